// The frame every native method shares: argument checks and copies, the output record, the one
// library call, the conversion of its result and the one exception a failure raises. A Call
// lives for one native method; it owns every record it allocates and the call's local frame.
#pragma once

#include <jni.h>

#include <cstdlib>
#include <memory>

#include "Convert.h"

namespace corvidj {

// Codes the bridge adds to the library's.
inline constexpr int kNoError = 256;          // no exception
inline constexpr int kNullArgument = 0x102;   // a required argument is null (or a text too long)
inline constexpr int kNoMemory = 0xFFFF;      // a record could not be allocated
inline constexpr int kConversion = 0xB01;     // a Java object could not be built or read

inline constexpr std::size_t kUnitSize = 65;
inline constexpr std::size_t kTextSize = 1024;

// Raises the exception for `code` (none for 0 and 256), clearing whatever was pending first.
void ThrowCode(JNIEnv* env, int code);

// A record pointer that converts to the library's pointer type of the argument it is passed as.
struct AnyRecord {
  void* p;
  template <class T>
  operator T*() const { return static_cast<T*>(p); }
};

class Call {
 public:
  Call(JNIEnv* env, int method);
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // Argument steps, in argument order; each false ends the call (its failure recorded).
  bool Unit(jstring unit);
  bool Session(jobject session);
  bool Text(jstring text);
  bool Input(jobject object);
  // Allocates the (zeroed) output.
  bool Ready();
  void Done(int result) { m_result = result; }

  const char* unit() const { return m_unit; }
  const char* text() const { return m_text.get(); }
  AnyRecord session() const { return {m_session.get()}; }
  AnyRecord in() const { return {m_in.get()}; }
  AnyRecord out() const { return {m_out.get()}; }
  char** textOut() { return &m_libText; }
  char* pair(int i) { return m_pair[i]; }
  int* intOut() { return &m_int; }

  jobject ResultObject();
  jobjectArray ResultArray();
  jstring ResultText();
  jobjectArray ResultPair();
  jint ResultInt();
  void ResultVoid();

 private:
  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  using Buffer = std::unique_ptr<unsigned char, Free>;

  bool Fail(int code);
  // True when the library call ran and succeeded; otherwise raises the call's exception.
  bool Succeeded();
  template <class T>
  T Return(T value);

  JNIEnv* m_env;
  const schema::Method& m_method;
  Converter m_convert;
  bool m_frame = false;
  int m_result = -1;           // the library's result; -1 until it ran
  int m_failure = 0;           // the bridge's own failure, 0 none
  bool m_pending = false;      // a JVM exception that must reach Java as it is
  char m_unit[kUnitSize] = {};
  std::unique_ptr<char[]> m_text;
  Buffer m_session, m_in, m_out;
  char* m_libText = nullptr;
  char m_pair[2][schema::kPairTextSize] = {};
  int m_int = 0;
};

}  // namespace corvidj
