// The one converter between the library's records and Java objects: it walks the generated
// descriptors. Classes, constructors and field ids are looked up once per call (one Converter
// per call) and kept as local references of the call's frame; nothing outlives the call.
//
// Every function returns false / null on failure with the JVM's exception left pending;
// keepPending() tells when that exception must reach Java as it is (an OutOfMemoryError from
// the JVM's own string copy) instead of the bridge's 2817.
#pragma once

#include <jni.h>

#include <cstdint>
#include <vector>

#include "corvid/Schema.h"

namespace corvidj {

namespace schema = corvid::schema;

class Converter {
 public:
  explicit Converter(JNIEnv* env);

  jobject ToJava(int record, const unsigned char* data);
  // `count` records; partial: a failing element ends the loop, leaves the rest null and clears
  // its exception, else it fails the whole array.
  jobjectArray ToJavaArray(int record, const unsigned char* data, std::uint32_t count, bool partial);
  bool FromJava(int record, jobject object, unsigned char* data);

  // Text to Java: the first strnlen(size) bytes, ASCII as is, anything else decoded from UTF-8.
  jstring NewText(const char* text, std::size_t size);
  // A Java String into a char field of `size` bytes, as UTF-8: at most size - 1 bytes, never
  // half a character, NUL-terminated. A null String gives an empty text.
  bool CopyText(jstring text, char* out, std::size_t size);

  jclass StringClass() { return Class("java/lang/String"); }
  bool keepPending() const { return m_keepPending; }

 private:
  struct Ids {
    bool looked = false;
    jclass cls = nullptr;
    jmethodID ctor = nullptr;
    std::vector<jfieldID> fields;
  };

  Ids* Lookup(int record);
  jclass Class(const char* name);
  bool SetField(jobject object, const schema::Field& f, jfieldID id, const unsigned char* p);
  jobject MakeArray(const schema::Field& f, int level, const unsigned char* p);
  bool GetField(jobject object, const schema::Field& f, jfieldID id, unsigned char* p);
  bool ReadArray(const schema::Field& f, int level, jobject array, unsigned char* p);
  jstring PlatformText(const char* text, std::size_t size);

  JNIEnv* m_env;
  std::vector<Ids> m_ids;
  std::vector<std::pair<const char*, jclass>> m_classes;  // by name pointer
  bool m_keepPending = false;
};

}  // namespace corvidj
