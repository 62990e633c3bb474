#include "Convert.h"

#include <algorithm>
#include <cstring>

#include "Text.h"

namespace corvidj {
namespace {

using schema::Field;
using schema::Kind;

// Bytes one row (or the whole array, at level 0) covers.
std::size_t Span(const Field& f, int level) {
  std::size_t n = f.size;
  for (int d = level; d < f.dimCount; ++d) n *= f.dims[d];
  return n;
}

std::int32_t ReadInt(const Field& f, const unsigned char* p) {
  // The common little-endian widths load directly; the loop covers big-endian and odd widths.
  if (!f.bigEndian) {
    if (f.size == 4) {
      std::int32_t v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    if (f.size == 2) {
      std::uint16_t v;
      std::memcpy(&v, p, sizeof v);
      return f.isSigned ? std::int32_t{static_cast<std::int16_t>(v)} : std::int32_t{v};
    }
    if (f.size == 1) return f.isSigned ? std::int32_t{static_cast<std::int8_t>(*p)} : std::int32_t{*p};
  }
  std::uint32_t v = 0;
  for (std::uint32_t b = 0; b < f.size; ++b) v |= std::uint32_t{p[f.bigEndian ? f.size - 1 - b : b]} << (8 * b);
  if (f.isSigned && f.size < 4 && (v >> (8 * f.size - 1)) != 0) v |= ~0u << (8 * f.size);
  return static_cast<std::int32_t>(v);
}

void WriteInt(const Field& f, unsigned char* p, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (std::uint32_t b = 0; b < f.size; ++b) p[f.bigEndian ? f.size - 1 - b : b] = static_cast<unsigned char>(v >> (8 * b));
}

double ReadDouble(const unsigned char* p) {
  double v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void WriteDouble(unsigned char* p, double v) { std::memcpy(p, &v, sizeof v); }

// Up to this many primitive elements are copied through the stack.
constexpr std::size_t kStackElements = 512;

}  // namespace

Converter::Converter(JNIEnv* env) : m_env(env), m_ids(schema::kRecordCount) {}

jclass Converter::Class(const char* name) {
  for (const auto& [n, c] : m_classes)
    if (n == name) return c;
  jclass c = m_env->FindClass(name);
  if (c != nullptr) m_classes.emplace_back(name, c);
  return c;
}

Converter::Ids* Converter::Lookup(int record) {
  Ids& ids = m_ids[record];
  if (ids.looked) return ids.cls != nullptr ? &ids : nullptr;
  ids.looked = true;
  const schema::Record& r = schema::kRecords[record];
  jclass cls = m_env->FindClass(r.javaClass);
  if (cls == nullptr) return nullptr;
  jmethodID ctor = m_env->GetMethodID(cls, "<init>", "()V");
  if (ctor == nullptr) return nullptr;
  ids.fields.resize(r.fieldCount);
  for (std::uint16_t i = 0; i < r.fieldCount; ++i) {
    ids.fields[i] = m_env->GetFieldID(cls, r.fields[i].name, r.fields[i].signature);
    if (ids.fields[i] == nullptr) return nullptr;
  }
  ids.ctor = ctor;
  ids.cls = cls;
  return &ids;
}

jstring Converter::NewText(const char* text, std::size_t size) {
  const std::size_t n = ::strnlen(text, size);
  if (IsAscii(text, n)) {
    if (n < size) return m_env->NewStringUTF(text);
    char copy[kStackElements + 1];
    std::vector<char> big;
    char* buf = n <= kStackElements ? copy : (big.resize(n + 1), big.data());
    std::memcpy(buf, text, n);
    buf[n] = 0;
    return m_env->NewStringUTF(buf);
  }
  const std::vector<std::uint16_t> units = DecodeUtf8(text, n);
  return m_env->NewString(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(units.size()));
}

jstring Converter::PlatformText(const char* text, std::size_t size) {
  const auto n = static_cast<jsize>(::strnlen(text, size));
  jclass string = StringClass();
  if (string == nullptr) return nullptr;
  jmethodID ctor = m_env->GetMethodID(string, "<init>", "([BII)V");
  if (ctor == nullptr) return nullptr;
  jbyteArray bytes = m_env->NewByteArray(n);
  if (bytes == nullptr) return nullptr;
  m_env->SetByteArrayRegion(bytes, 0, n, reinterpret_cast<const jbyte*>(text));
  auto s = static_cast<jstring>(m_env->NewObject(string, ctor, bytes, 0, n));
  m_env->DeleteLocalRef(bytes);
  return s;
}

bool Converter::CopyText(jstring text, char* out, std::size_t size) {
  std::memset(out, 0, size);
  if (text == nullptr) return true;
  const jsize length = m_env->GetStringUTFLength(text);
  const char* chars = m_env->GetStringUTFChars(text, nullptr);
  if (chars == nullptr) {
    m_keepPending = true;
    return false;
  }
  const auto n = static_cast<std::size_t>(length);
  if (std::memchr(chars, 0xED, n) == nullptr) {
    std::memcpy(out, chars, CutUtf8(chars, n, size - 1));
  } else {
    const std::string standard = StandardUtf8(chars, n);
    std::memcpy(out, standard.data(), CutUtf8(standard.data(), standard.size(), size - 1));
  }
  m_env->ReleaseStringUTFChars(text, chars);
  return true;
}

jobject Converter::ToJava(int record, const unsigned char* data) {
  Ids* ids = Lookup(record);
  if (ids == nullptr) return nullptr;
  jobject object = m_env->NewObject(ids->cls, ids->ctor);
  if (object == nullptr) return nullptr;
  const schema::Record& r = schema::kRecords[record];
  for (std::uint16_t i = 0; i < r.fieldCount; ++i) {
    if (!SetField(object, r.fields[i], ids->fields[i], data + r.fields[i].offset)) {
      m_env->DeleteLocalRef(object);
      return nullptr;
    }
  }
  return object;
}

bool Converter::SetField(jobject object, const Field& f, jfieldID id, const unsigned char* p) {
  jobject value = nullptr;
  if (f.dimCount > 0) {
    value = MakeArray(f, 0, p);
  } else {
    switch (f.kind) {
      // Stores through an id of the object's own class, of a value of the field's own type
      // (the id was looked up with the signature the value is made for), cannot raise: only the
      // allocations can, and each is checked by its null result.
      case Kind::Int: m_env->SetIntField(object, id, ReadInt(f, p)); return true;
      case Kind::Hundredths: m_env->SetShortField(object, id, ToHundredths(ReadDouble(p))); return true;
      case Kind::Text: value = NewText(reinterpret_cast<const char*>(p), f.size); break;
      case Kind::PlatformText: value = PlatformText(reinterpret_cast<const char*>(p), f.size); break;
      case Kind::Record: value = ToJava(f.record, p); break;
      case Kind::Byte: return false;
    }
  }
  if (value == nullptr) return false;
  m_env->SetObjectField(object, id, value);
  m_env->DeleteLocalRef(value);
  return true;
}

jobject Converter::MakeArray(const Field& f, int level, const unsigned char* p) {
  const auto n = static_cast<jsize>(f.dims[level]);
  const std::size_t step = Span(f, level + 1);
  if (level + 1 < f.dimCount) {
    jclass rowClass = Class(f.signature + level + 1);
    if (rowClass == nullptr) return nullptr;
    jobjectArray rows = m_env->NewObjectArray(n, rowClass, nullptr);
    for (jsize i = 0; rows != nullptr && i < n; ++i) {
      jobject row = MakeArray(f, level + 1, p + i * step);
      if (row == nullptr) {
        m_env->DeleteLocalRef(rows);
        return nullptr;
      }
      m_env->SetObjectArrayElement(rows, i, row);
      m_env->DeleteLocalRef(row);
    }
    return rows;
  }
  switch (f.kind) {
    case Kind::Byte: {
      jbyteArray a = m_env->NewByteArray(n);
      if (a != nullptr) m_env->SetByteArrayRegion(a, 0, n, reinterpret_cast<const jbyte*>(p));
      return a;
    }
    case Kind::Int: {
      jintArray a = m_env->NewIntArray(n);
      if (a == nullptr) return nullptr;
      jint stack[kStackElements];
      std::vector<jint> heap(static_cast<std::size_t>(n) > kStackElements ? n : 0);
      jint* values = heap.empty() ? stack : heap.data();
      for (jsize i = 0; i < n; ++i) values[i] = ReadInt(f, p + i * f.size);
      m_env->SetIntArrayRegion(a, 0, n, values);
      return a;
    }
    case Kind::Hundredths: {
      jshortArray a = m_env->NewShortArray(n);
      if (a == nullptr) return nullptr;
      std::vector<jshort> values(n);
      for (jsize i = 0; i < n; ++i) values[i] = ToHundredths(ReadDouble(p + i * f.size));
      m_env->SetShortArrayRegion(a, 0, n, values.data());
      return a;
    }
    case Kind::Text:
    case Kind::PlatformText: {
      jclass string = StringClass();
      jobjectArray a = string != nullptr ? m_env->NewObjectArray(n, string, nullptr) : nullptr;
      for (jsize i = 0; a != nullptr && i < n; ++i) {
        jstring s = NewText(reinterpret_cast<const char*>(p + i * f.size), f.size);
        if (s == nullptr) {
          m_env->DeleteLocalRef(a);
          return nullptr;
        }
        m_env->SetObjectArrayElement(a, i, s);
        m_env->DeleteLocalRef(s);
      }
      return a;
    }
    case Kind::Record: return ToJavaArray(f.record, p, f.dims[level], false);
  }
  return nullptr;
}

jobjectArray Converter::ToJavaArray(int record, const unsigned char* data, std::uint32_t count, bool partial) {
  Ids* ids = Lookup(record);
  if (ids == nullptr) return nullptr;
  jobjectArray array = m_env->NewObjectArray(static_cast<jsize>(count), ids->cls, nullptr);
  if (array == nullptr) return nullptr;
  const std::size_t size = schema::kRecords[record].size;
  for (std::uint32_t i = 0; i < count; ++i) {
    jobject element = ToJava(record, data + i * size);
    if (element == nullptr) {
      if (partial && !m_keepPending) {
        m_env->ExceptionClear();
        return array;
      }
      m_env->DeleteLocalRef(array);
      return nullptr;
    }
    m_env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
    m_env->DeleteLocalRef(element);
  }
  return array;
}

bool Converter::FromJava(int record, jobject object, unsigned char* data) {
  Ids* ids = Lookup(record);
  if (ids == nullptr) return false;
  const schema::Record& r = schema::kRecords[record];
  for (std::uint16_t i = 0; i < r.fieldCount; ++i)
    if (r.fields[i].kind != Kind::PlatformText && !GetField(object, r.fields[i], ids->fields[i], data + r.fields[i].offset))
      return false;
  return true;
}

bool Converter::GetField(jobject object, const Field& f, jfieldID id, unsigned char* p) {
  if (f.dimCount == 0 && f.kind == Kind::Int) {
    const jint v = m_env->GetIntField(object, id);
    if (m_env->ExceptionCheck()) return false;
    WriteInt(f, p, v);
    return true;
  }
  if (f.dimCount == 0 && f.kind == Kind::Hundredths) {
    const jshort v = m_env->GetShortField(object, id);
    if (m_env->ExceptionCheck()) return false;
    WriteDouble(p, FromHundredths(v));
    return true;
  }
  jobject value = m_env->GetObjectField(object, id);
  if (m_env->ExceptionCheck()) return false;
  bool ok = true;
  if (value == nullptr) {
    // Left as the zeroed record has it.
  } else if (f.dimCount > 0) {
    ok = ReadArray(f, 0, value, p);
  } else if (f.kind == Kind::Text) {
    ok = CopyText(static_cast<jstring>(value), reinterpret_cast<char*>(p), f.size);
  } else if (f.kind == Kind::Record) {
    ok = FromJava(f.record, value, p);
  }
  m_env->DeleteLocalRef(value);
  return ok;
}

bool Converter::ReadArray(const Field& f, int level, jobject array, unsigned char* p) {
  const jsize length = m_env->GetArrayLength(static_cast<jarray>(array));
  const jsize n = std::min(length, static_cast<jsize>(f.dims[level]));
  const std::size_t step = Span(f, level + 1);
  const bool leaf = level + 1 == f.dimCount;
  if (leaf && f.kind == Kind::Byte) {
    m_env->GetByteArrayRegion(static_cast<jbyteArray>(array), 0, n, reinterpret_cast<jbyte*>(p));
    return !m_env->ExceptionCheck();
  }
  if (leaf && (f.kind == Kind::Int || f.kind == Kind::Hundredths)) {
    std::vector<jint> ints(f.kind == Kind::Int ? n : 0);
    std::vector<jshort> shorts(f.kind == Kind::Hundredths ? n : 0);
    if (f.kind == Kind::Int) m_env->GetIntArrayRegion(static_cast<jintArray>(array), 0, n, ints.data());
    else m_env->GetShortArrayRegion(static_cast<jshortArray>(array), 0, n, shorts.data());
    if (m_env->ExceptionCheck()) return false;
    for (jsize i = 0; i < n; ++i) {
      if (f.kind == Kind::Int) WriteInt(f, p + i * f.size, ints[i]);
      else WriteDouble(p + i * f.size, FromHundredths(shorts[i]));
    }
    return true;
  }
  for (jsize i = 0; i < n; ++i) {
    jobject element = m_env->GetObjectArrayElement(static_cast<jobjectArray>(array), i);
    if (m_env->ExceptionCheck()) return false;
    bool ok = true;
    if (element == nullptr) {
      // Left zero.
    } else if (!leaf) {
      ok = ReadArray(f, level + 1, element, p + i * step);
    } else if (f.kind == Kind::Text) {
      ok = CopyText(static_cast<jstring>(element), reinterpret_cast<char*>(p + i * step), f.size);
    } else {
      ok = FromJava(f.record, element, p + i * step);
    }
    m_env->DeleteLocalRef(element);
    if (!ok) return false;
  }
  return true;
}

}  // namespace corvidj
