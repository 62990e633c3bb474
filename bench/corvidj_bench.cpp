// corvidj_bench: starts a JVM in this process on a simulated unit and runs CorvidjBench, which
// times the bridge's LogicalUnit[4096] and ArrayAllInformation against a hand-written converter
// (registered from here) and plain Java. Prints times and ratios.
#include <jni.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "corvid.h"
#include "corvid/Sim.h"

namespace {

constexpr char kUnit[] = "BENCH";

struct Free {
  void operator()(void* p) const { std::free(p); }
};

// The session record from a ZQSessionInfo.
bool SessionOf(JNIEnv* env, jobject session, ZQR_ZQSessionInfo* out) {
  jclass cls = env->GetObjectClass(session);
  jfieldID id = env->GetFieldID(cls, "session_id", "[B");
  env->DeleteLocalRef(cls);
  if (id == nullptr) return false;
  auto bytes = static_cast<jbyteArray>(env->GetObjectField(session, id));
  if (bytes == nullptr) return false;
  env->GetByteArrayRegion(bytes, 0, sizeof out->session_id, reinterpret_cast<jbyte*>(out->session_id));
  env->DeleteLocalRef(bytes);
  return !env->ExceptionCheck();
}

// Fetches the records of ZQ_GetLogicalUnit; null when anything failed.
std::unique_ptr<ZQR_LogicalUnit, Free> FetchLogicalUnits(JNIEnv* env, jstring unit, jobject session) {
  std::unique_ptr<ZQR_LogicalUnit, Free> lus(static_cast<ZQR_LogicalUnit*>(std::calloc(4096, sizeof(ZQR_LogicalUnit))));
  ZQR_ZQSessionInfo s{};
  if (!lus || !SessionOf(env, session, &s)) return nullptr;
  const char* name = env->GetStringUTFChars(unit, nullptr);
  if (name == nullptr) return nullptr;
  const int result = ZQ_GetLogicalUnit(name, &s, lus.get());
  env->ReleaseStringUTFChars(unit, name);
  return result == 0 ? std::move(lus) : nullptr;
}

jobjectArray JNICALL HandLogicalUnits(JNIEnv* env, jclass, jstring unit, jobject session) {
  const auto lus = FetchLogicalUnits(env, unit, session);
  if (!lus) return nullptr;
  jclass cls = env->FindClass("quarn/str/diskarray/LogicalUnit");
  if (cls == nullptr) return nullptr;
  jmethodID ctor = env->GetMethodID(cls, "<init>", "()V");
  jfieldID lun = env->GetFieldID(cls, "lun", "I"), rg = env->GetFieldID(cls, "rg_no", "I"),
           capacity = env->GetFieldID(cls, "capacity", "I"), ctl = env->GetFieldID(cls, "ctl", "I"),
           status = env->GetFieldID(cls, "status", "I"), stripe = env->GetFieldID(cls, "stripe", "I"),
           label = env->GetFieldID(cls, "label", "Ljava/lang/String;");
  if (!ctor || !lun || !rg || !capacity || !ctl || !status || !stripe || !label) return nullptr;
  jobjectArray array = env->NewObjectArray(4096, cls, nullptr);
  for (jsize i = 0; array != nullptr && i < 4096; ++i) {
    const ZQR_LogicalUnit& r = lus.get()[i];
    jobject o = env->NewObject(cls, ctor);
    if (o == nullptr) return nullptr;
    env->SetIntField(o, lun, r.lun);
    env->SetIntField(o, rg, r.rg_no);
    env->SetIntField(o, capacity, static_cast<jint>(r.capacity));
    env->SetIntField(o, ctl, r.ctl);
    env->SetIntField(o, status, r.status);
    env->SetIntField(o, stripe, r.stripe);
    char text[sizeof r.label + 1];
    const std::size_t n = strnlen(r.label, sizeof r.label);
    std::memcpy(text, r.label, n);
    text[n] = 0;
    jstring s = env->NewStringUTF(text);
    if (s == nullptr) return nullptr;
    env->SetObjectField(o, label, s);
    env->DeleteLocalRef(s);
    env->SetObjectArrayElement(array, i, o);
    env->DeleteLocalRef(o);
  }
  return array;
}

jbyteArray JNICALL RawLogicalUnits(JNIEnv* env, jclass, jstring unit, jobject session) {
  const auto lus = FetchLogicalUnits(env, unit, session);
  if (!lus) return nullptr;
  const jsize size = 4096 * sizeof(ZQR_LogicalUnit);
  jbyteArray bytes = env->NewByteArray(size);
  if (bytes != nullptr) env->SetByteArrayRegion(bytes, 0, size, reinterpret_cast<const jbyte*>(lus.get()));
  return bytes;
}

jint JNICALL RawAllInformation(JNIEnv* env, jclass, jstring unit, jobject session) {
  std::unique_ptr<ZQR_ArrayAllInformation, Free> all(
      static_cast<ZQR_ArrayAllInformation*>(std::calloc(1, sizeof(ZQR_ArrayAllInformation))));
  ZQR_ZQSessionInfo s{};
  if (!all || !SessionOf(env, session, &s)) return -1;
  const char* name = env->GetStringUTFChars(unit, nullptr);
  if (name == nullptr) return -1;
  const int result = ZQ_GetAllInformation(name, &s, all.get());
  env->ReleaseStringUTFChars(unit, name);
  return result;
}

bool Report(JNIEnv* env) {
  if (!env->ExceptionCheck()) return true;
  env->ExceptionDescribe();
  return false;
}

}  // namespace

int main() {
  char root[] = "/tmp/corvidj_bench.XXXXXX";
  if (mkdtemp(root) == nullptr) return 1;
  setenv("KELP_SYSTEM_ROOT", root, 1);
  setenv("KELP_RUNTIME_DIR", (std::string(root) + "/run").c_str(), 1);
  std::string error;
  if (!corvid::sim::CreateUnit(corvid::sim::PresetUnit(kUnit, corvid::sim::Model::ZQH, 4), false, &error)) {
    std::fprintf(stderr, "corvidj_bench: %s\n", error.c_str());
    return 1;
  }
  std::string classPath = "-Djava.class.path=" CORVIDJ_JAR ":" CORVIDJ_BENCH_JAR;
  std::string libraryPath = "-Djava.library.path=" CORVIDJ_LIB_DIR;
  // A fixed, touched heap: no page faults or heap growth inside the timed calls.
  JavaVMOption options[] = {{classPath.data(), nullptr},
                            {libraryPath.data(), nullptr},
                            {const_cast<char*>("-Xms512m"), nullptr},
                            {const_cast<char*>("-Xmx512m"), nullptr},
                            {const_cast<char*>("-XX:+AlwaysPreTouch"), nullptr}};
  JavaVMInitArgs args{JNI_VERSION_10, 5, options, JNI_FALSE};
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) {
    std::fprintf(stderr, "corvidj_bench: no JVM\n");
    return 1;
  }
  int status = 1;
  jclass bench = env->FindClass("quarn/str/diskarray/bench/CorvidjBench");
  const JNINativeMethod natives[] = {
      {const_cast<char*>("handLogicalUnits"),
       const_cast<char*>("(Ljava/lang/String;Lquarn/str/diskarray/ZQSessionInfo;)[Lquarn/str/diskarray/LogicalUnit;"),
       reinterpret_cast<void*>(HandLogicalUnits)},
      {const_cast<char*>("rawLogicalUnits"), const_cast<char*>("(Ljava/lang/String;Lquarn/str/diskarray/ZQSessionInfo;)[B"),
       reinterpret_cast<void*>(RawLogicalUnits)},
      {const_cast<char*>("rawAllInformation"), const_cast<char*>("(Ljava/lang/String;Lquarn/str/diskarray/ZQSessionInfo;)I"),
       reinterpret_cast<void*>(RawAllInformation)},
  };
  if (bench != nullptr && env->RegisterNatives(bench, natives, 3) == 0) {
    const int offsets[] = {sizeof(ZQR_LogicalUnit), offsetof(ZQR_LogicalUnit, lun), offsetof(ZQR_LogicalUnit, rg_no),
                           offsetof(ZQR_LogicalUnit, capacity), offsetof(ZQR_LogicalUnit, ctl),
                           offsetof(ZQR_LogicalUnit, status), offsetof(ZQR_LogicalUnit, stripe),
                           offsetof(ZQR_LogicalUnit, label), sizeof(ZQR_LogicalUnit::label)};
    jintArray offsetArray = env->NewIntArray(9);
    env->SetIntArrayRegion(offsetArray, 0, 9, offsets);
    jmethodID run = env->GetStaticMethodID(bench, "run", "(Ljava/lang/String;[I)V");
    jstring unit = env->NewStringUTF(kUnit);
    if (run != nullptr && unit != nullptr) env->CallStaticVoidMethod(bench, run, unit, offsetArray);
    status = Report(env) ? 0 : 1;
  } else {
    Report(env);
  }
  vm->DestroyJavaVM();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return status;
}
