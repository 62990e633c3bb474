// corvidj_bench: starts a JVM in this process on a simulated unit and runs CorvidjBench, which
// times the bridge's LogicalUnit[4096] and ArrayAllInformation against a hand-written converter
// (registered from here) and plain Java. Prints times and ratios.
#include <jni.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
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

// A char field as a careful converter makes it: never more than the field, and never bytes
// outside ASCII through NewStringUTF (here they become U+FFFD; the labels are ASCII).
jstring HandText(JNIEnv* env, const char* field, std::size_t size) {
  const std::size_t n = strnlen(field, size);
  jchar wide[256];
  char text[256];
  bool ascii = true;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    ascii = ascii && c < 0x80;
    text[i] = field[i];
    wide[i] = c < 0x80 ? c : 0xFFFD;
  }
  text[n] = 0;
  return ascii ? env->NewStringUTF(text) : env->NewString(wide, static_cast<jsize>(n));
}

// Per record class, what the hand-written converter looks up once per call.
struct Class {
  jclass cls = nullptr;
  jmethodID ctor = nullptr;
};

bool Find(JNIEnv* env, const char* name, Class* c) {
  c->cls = env->FindClass(name);
  c->ctor = c->cls != nullptr ? env->GetMethodID(c->cls, "<init>", "()V") : nullptr;
  return c->ctor != nullptr;
}

struct LuIds : Class {
  static constexpr char kClass[] = "quarn/str/diskarray/LogicalUnit";
  jfieldID lun, rg, capacity, ctl, status, stripe, label;
  bool Find(JNIEnv* env) {
    if (!::Find(env, kClass, this)) return false;
    lun = env->GetFieldID(cls, "lun", "I"), rg = env->GetFieldID(cls, "rg_no", "I"),
    capacity = env->GetFieldID(cls, "capacity", "I"), ctl = env->GetFieldID(cls, "ctl", "I"),
    status = env->GetFieldID(cls, "status", "I"), stripe = env->GetFieldID(cls, "stripe", "I"),
    label = env->GetFieldID(cls, "label", "Ljava/lang/String;");
    return lun && rg && capacity && ctl && status && stripe && label;
  }
  bool Fill(JNIEnv* env, jobject o, const ZQR_LogicalUnit& r) const {
    env->SetIntField(o, lun, r.lun);
    env->SetIntField(o, rg, r.rg_no);
    env->SetIntField(o, capacity, static_cast<jint>(r.capacity));
    env->SetIntField(o, ctl, r.ctl);
    env->SetIntField(o, status, r.status);
    env->SetIntField(o, stripe, r.stripe);
    return SetText(env, o, label, r.label, sizeof r.label);
  }
  static bool SetText(JNIEnv* env, jobject o, jfieldID id, const char* field, std::size_t size) {
    jstring s = HandText(env, field, size);
    if (s == nullptr) return false;
    env->SetObjectField(o, id, s);
    env->DeleteLocalRef(s);
    return true;
  }
};

struct DriveIds : Class {
  static constexpr char kClass[] = "quarn/str/diskarray/DiskDrive";
  jfieldID unit, hdu, status, kind;
  bool Find(JNIEnv* env) {
    if (!::Find(env, kClass, this)) return false;
    unit = env->GetFieldID(cls, "unit", "I"), hdu = env->GetFieldID(cls, "hdu", "I"),
    status = env->GetFieldID(cls, "status", "I"), kind = env->GetFieldID(cls, "kind", "I");
    return unit && hdu && status && kind;
  }
  bool Fill(JNIEnv* env, jobject o, const ZQR_DiskDrive& r) const {
    env->SetIntField(o, unit, r.unit);
    env->SetIntField(o, hdu, r.hdu);
    env->SetIntField(o, status, r.status);
    env->SetIntField(o, kind, r.kind);
    return true;
  }
};

struct DriveInfoIds : Class {
  static constexpr char kClass[] = "quarn/str/diskarray/DiskDriveInformation";
  jfieldID unit, hdu, rpm, capacity, vendor, product, revision, serial;
  bool Find(JNIEnv* env) {
    if (!::Find(env, kClass, this)) return false;
    const char* text = "Ljava/lang/String;";
    unit = env->GetFieldID(cls, "unit", "I"), hdu = env->GetFieldID(cls, "hdu", "I"),
    rpm = env->GetFieldID(cls, "rpm", "I"), capacity = env->GetFieldID(cls, "capacity", "I"),
    vendor = env->GetFieldID(cls, "vendor", text), product = env->GetFieldID(cls, "product", text),
    revision = env->GetFieldID(cls, "revision", text), serial = env->GetFieldID(cls, "serial", text);
    return unit && hdu && rpm && capacity && vendor && product && revision && serial;
  }
  bool Fill(JNIEnv* env, jobject o, const ZQR_DiskDriveInformation& r) const {
    env->SetIntField(o, unit, r.unit);
    env->SetIntField(o, hdu, r.hdu);
    env->SetIntField(o, rpm, r.rpm);
    env->SetIntField(o, capacity, static_cast<jint>(r.capacity));
    return LuIds::SetText(env, o, vendor, r.vendor, sizeof r.vendor) &&
           LuIds::SetText(env, o, product, r.product, sizeof r.product) &&
           LuIds::SetText(env, o, revision, r.revision, sizeof r.revision) &&
           LuIds::SetText(env, o, serial, r.serial, sizeof r.serial);
  }
};

struct RaidIds : Class {
  static constexpr char kClass[] = "quarn/str/diskarray/RaidGroup";
  jfieldID rg, level, combination, drives, status;
  bool Find(JNIEnv* env) {
    if (!::Find(env, kClass, this)) return false;
    rg = env->GetFieldID(cls, "rg_no", "I"), level = env->GetFieldID(cls, "level", "I"),
    combination = env->GetFieldID(cls, "combination", "I"), drives = env->GetFieldID(cls, "drives", "I"),
    status = env->GetFieldID(cls, "status", "I");
    return rg && level && combination && drives && status;
  }
  bool Fill(JNIEnv* env, jobject o, const ZQR_RaidGroup& r) const {
    env->SetIntField(o, rg, r.rg_no);
    env->SetIntField(o, level, r.level);
    env->SetIntField(o, combination, r.combination);
    env->SetIntField(o, drives, r.drives);
    env->SetIntField(o, status, r.status);
    return true;
  }
};

// An array of `n` records, each element's reference released once stored.
template <class Ids, class Record>
jobjectArray HandArray(JNIEnv* env, const Ids& ids, const Record* records, jsize n) {
  jobjectArray array = env->NewObjectArray(n, ids.cls, nullptr);
  for (jsize i = 0; array != nullptr && i < n; ++i) {
    jobject o = env->NewObject(ids.cls, ids.ctor);
    if (o == nullptr || !ids.Fill(env, o, records[i])) return nullptr;
    env->SetObjectArrayElement(array, i, o);
    env->DeleteLocalRef(o);
  }
  return array;
}

jobjectArray JNICALL HandLogicalUnits(JNIEnv* env, jclass, jstring unit, jobject session) {
  const auto lus = FetchLogicalUnits(env, unit, session);
  LuIds ids;
  if (!lus || !ids.Find(env)) return nullptr;
  return HandArray(env, ids, lus.get(), 4096);
}

// Sets array field `name` of `all`; false when anything failed.
template <class Ids, class Record, std::size_t N>
bool HandMember(JNIEnv* env, jobject all, jclass allClass, const char* name, const Record (&records)[N]) {
  Ids ids;
  if (!ids.Find(env)) return false;
  const std::string signature = std::string("[L") + Ids::kClass + ";";
  jfieldID id = env->GetFieldID(allClass, name, signature.c_str());
  if (id == nullptr) return false;
  jobjectArray array = HandArray(env, ids, records, static_cast<jsize>(N));
  if (array == nullptr) return false;
  env->SetObjectField(all, id, array);
  env->DeleteLocalRef(array);
  env->DeleteLocalRef(ids.cls);
  return true;
}

jbyteArray JNICALL RawLogicalUnits(JNIEnv* env, jclass, jstring unit, jobject session) {
  const auto lus = FetchLogicalUnits(env, unit, session);
  if (!lus) return nullptr;
  const jsize size = 4096 * sizeof(ZQR_LogicalUnit);
  jbyteArray bytes = env->NewByteArray(size);
  if (bytes != nullptr) env->SetByteArrayRegion(bytes, 0, size, reinterpret_cast<const jbyte*>(lus.get()));
  return bytes;
}

// ZQ_GetAllInformation written out by hand for its four record arrays (lu, drive_status,
// drive_info, raid: 5,086 of its objects); the other members are left null.
jobject JNICALL HandAllInformation(JNIEnv* env, jclass, jstring unit, jobject session) {
  std::unique_ptr<ZQR_ArrayAllInformation, Free> all(
      static_cast<ZQR_ArrayAllInformation*>(std::calloc(1, sizeof(ZQR_ArrayAllInformation))));
  ZQR_ZQSessionInfo s{};
  if (!all || !SessionOf(env, session, &s)) return nullptr;
  const char* name = env->GetStringUTFChars(unit, nullptr);
  if (name == nullptr) return nullptr;
  const int result = ZQ_GetAllInformation(name, &s, all.get());
  env->ReleaseStringUTFChars(unit, name);
  Class allClass;
  if (result != 0 || !Find(env, "quarn/str/diskarray/ArrayAllInformation", &allClass)) return nullptr;
  jobject o = env->NewObject(allClass.cls, allClass.ctor);
  const ZQR_ArrayAllInformation& r = *all;
  if (o == nullptr || !HandMember<LuIds>(env, o, allClass.cls, "lu", r.lu) ||
      !HandMember<DriveIds>(env, o, allClass.cls, "drive_status", r.drive_status) ||
      !HandMember<DriveInfoIds>(env, o, allClass.cls, "drive_info", r.drive_info) ||
      !HandMember<RaidIds>(env, o, allClass.cls, "raid", r.raid))
    return nullptr;
  return o;
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
      {const_cast<char*>("handAllInformation"),
       const_cast<char*>("(Ljava/lang/String;Lquarn/str/diskarray/ZQSessionInfo;)Lquarn/str/diskarray/ArrayAllInformation;"),
       reinterpret_cast<void*>(HandAllInformation)},
      {const_cast<char*>("rawAllInformation"), const_cast<char*>("(Ljava/lang/String;Lquarn/str/diskarray/ZQSessionInfo;)I"),
       reinterpret_cast<void*>(RawAllInformation)},
  };
  if (bench != nullptr && env->RegisterNatives(bench, natives, std::size(natives)) == 0) {
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
