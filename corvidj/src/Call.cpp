#include "Call.h"

#include <cstdio>
#include <cstring>

#include "corvid.h"

namespace corvidj {
namespace {

constexpr char kExceptionClass[] = "quarn/str/diskarray/DiskArrayException";
// Room for the classes a call looks up plus the references its conversion holds at once.
constexpr jint kFrameCapacity = 64;

unsigned char* Zeroed(std::size_t size) { return static_cast<unsigned char*>(std::calloc(1, size)); }

}  // namespace

void ThrowCode(JNIEnv* env, int code) {
  if (code == 0 || code == kNoError) return;
  if (env->ExceptionCheck()) env->ExceptionClear();
  if (code == kNoMemory) {
    if (jclass oom = env->FindClass("java/lang/OutOfMemoryError")) env->ThrowNew(oom, "");
    return;
  }
  jclass cls = env->FindClass(kExceptionClass);
  if (cls == nullptr) {
    env->ExceptionClear();
    if (jclass missing = env->FindClass("java/lang/ClassNotFoundException")) env->ThrowNew(missing, kExceptionClass);
    return;
  }
  jmethodID ctor = env->GetMethodID(cls, "<init>", "(I)V");
  if (ctor == nullptr) return;
  auto error = static_cast<jthrowable>(env->NewObject(cls, ctor, static_cast<jint>(code)));
  if (error == nullptr) return;
  env->Throw(error);
  env->DeleteLocalRef(error);
  env->DeleteLocalRef(cls);
}

Call::Call(JNIEnv* env, int method)
    : m_env(env), m_method(schema::kMethods[method]), m_convert(env) {
  std::fflush(stdout);
  m_frame = env->PushLocalFrame(static_cast<jint>(schema::kRecordCount) + kFrameCapacity) == 0;
  if (!m_frame) m_pending = true;
}

Call::~Call() {
  if (m_libText != nullptr) ZQ_FreeMemory(m_libText);
}

bool Call::Fail(int code) {
  if (m_failure == 0 && !m_pending) {
    if (m_convert.keepPending()) m_pending = true;
    else m_failure = code;
  }
  return false;
}

bool Call::Unit(jstring unit) {
  if (m_pending) return false;
  if (unit == nullptr) return Fail(kNullArgument);
  return m_convert.CopyText(unit, m_unit, kUnitSize) || Fail(kConversion);
}

bool Call::Text(jstring text) {
  if (m_pending) return false;
  if (text == nullptr) return Fail(kNullArgument);
  // A longer path would name another file once cut.
  if (static_cast<std::size_t>(m_env->GetStringUTFLength(text)) >= kTextSize) return Fail(kNullArgument);
  m_text.reset(new (std::nothrow) char[kTextSize]);
  if (!m_text) return Fail(kNoMemory);
  return m_convert.CopyText(text, m_text.get(), kTextSize) || Fail(kConversion);
}

bool Call::Session(jobject session) {
  if (m_pending) return false;
  if (session == nullptr) return Fail(kNullArgument);
  const schema::Record& r = schema::kRecords[schema::kSessionRecord];
  jclass cls = m_env->GetObjectClass(session);
  jfieldID id = m_env->GetFieldID(cls, r.fields[0].name, r.fields[0].signature);
  m_env->DeleteLocalRef(cls);
  if (id == nullptr) return Fail(kConversion);
  auto bytes = static_cast<jbyteArray>(m_env->GetObjectField(session, id));
  if (bytes == nullptr) return Fail(kNullArgument);
  m_session.reset(Zeroed(r.size));
  if (!m_session) return Fail(kNoMemory);
  const jsize n = std::min<jsize>(m_env->GetArrayLength(bytes), static_cast<jsize>(r.size));
  m_env->GetByteArrayRegion(bytes, 0, n, reinterpret_cast<jbyte*>(m_session.get()));
  m_env->DeleteLocalRef(bytes);
  return !m_env->ExceptionCheck() || Fail(kConversion);
}

bool Call::Input(jobject object) {
  if (m_pending) return false;
  if (object == nullptr) return Fail(kNullArgument);
  m_in.reset(Zeroed(schema::kRecords[m_method.input].size));
  if (!m_in) return Fail(kNoMemory);
  return m_convert.FromJava(m_method.input, object, m_in.get()) || Fail(kConversion);
}

bool Call::Ready() {
  if (m_pending || m_failure != 0) return false;
  if (m_method.output >= 0) {
    m_out.reset(Zeroed(std::size_t{schema::kRecords[m_method.output].size} * m_method.count));
    if (!m_out) return Fail(kNoMemory);
  }
  return true;
}

bool Call::Succeeded() {
  if (m_pending) return false;
  const int code = m_failure != 0 ? m_failure : m_result;
  if (code == 0) return true;
  ThrowCode(m_env, code);
  return false;
}

template <class T>
T Call::Return(T value) {
  if (m_frame) value = static_cast<T>(m_env->PopLocalFrame(value));
  if (value != nullptr) std::fflush(stdout);
  return value;
}

jobject Call::ResultObject() {
  jobject result = nullptr;
  if (Succeeded()) {
    result = m_convert.ToJava(m_method.output, m_out.get());
    if (result == nullptr && !m_convert.keepPending()) ThrowCode(m_env, kConversion);
  }
  return Return(result);
}

jobjectArray Call::ResultArray() {
  jobjectArray result = nullptr;
  if (Succeeded()) {
    result = m_convert.ToJavaArray(m_method.output, m_out.get(), m_method.count, true);
    if (result == nullptr && !m_convert.keepPending()) ThrowCode(m_env, kConversion);
  }
  return Return(result);
}

jstring Call::ResultText() {
  jstring result = nullptr;
  if (Succeeded() && m_libText != nullptr) {
    result = m_convert.NewText(m_libText, std::strlen(m_libText));
    if (result == nullptr) ThrowCode(m_env, kConversion);
  }
  return Return(result);
}

jobjectArray Call::ResultPair() {
  jobjectArray result = nullptr;
  if (Succeeded() && m_pair[0][0] != 0) {
    jclass string = m_convert.StringClass();
    result = string != nullptr ? m_env->NewObjectArray(2, string, nullptr) : nullptr;
    for (int i = 0; result != nullptr && i < 2; ++i) {
      jstring text = m_convert.NewText(m_pair[i], sizeof m_pair[i]);
      if (text == nullptr) {
        result = nullptr;
        break;
      }
      m_env->SetObjectArrayElement(result, i, text);
      m_env->DeleteLocalRef(text);
    }
    if (result == nullptr) ThrowCode(m_env, kConversion);
  }
  return Return(result);
}

jint Call::ResultInt() {
  const bool ok = Succeeded();
  if (m_frame) m_env->PopLocalFrame(nullptr);
  if (ok) std::fflush(stdout);
  if (ok) return m_int;
  return m_method.minusOne ? -1 : 0;
}

void Call::ResultVoid() {
  const bool ok = Succeeded();
  if (m_frame) m_env->PopLocalFrame(nullptr);
  if (ok) std::fflush(stdout);
}

}  // namespace corvidj
