// The descriptors of corvid's records and functions, generated from corvid/schema into the
// corvid_schema library: what the stand-in serves and what the JNI bridge's converter walks.
// Constant tables only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvid::schema {

enum class Kind : std::uint8_t {
  Int,           // integer of `size` bytes, Java int
  Hundredths,    // double, Java short in hundredths
  Text,          // char[size], Java String
  PlatformText,  // char[size] read with the platform charset, never written
  Byte,          // Java byte (inside byte[])
  Record,        // nested record `record`
};

struct Field {
  const char* name;
  const char* signature;  // JNI type signature of the Java field
  Kind kind;
  bool isSigned;
  bool bigEndian;
  std::uint8_t dimCount;  // 0, 1 or 2
  std::uint32_t offset;
  std::uint32_t size;     // of one element
  std::uint32_t dims[2];
  std::int16_t record;    // Kind::Record: index into kRecords
};

struct Record {
  const char* javaClass;  // "quarn/str/diskarray/Name"
  std::uint32_t size;
  const Field* fields;
  std::uint16_t fieldCount;
};

enum class Result : std::uint8_t { Void, Object, Array, Text, TextPair, Int };

// Characters of Method::args.
inline constexpr char kArgUnit = 'u', kArgSession = 's', kArgInt = 'i', kArgText = 'p',
                      kArgUnitText = 'P', kArgInput = '<';

struct Method {
  const char* name;       // without "ZQ_"
  const char* args;       // one character per argument, in order
  std::int16_t input;     // record of the input object, -1 none
  std::int16_t output;    // record of the output, -1 none
  std::uint32_t count;    // records in the output (Result::Array), 1 otherwise
  Result result;
  bool minusOne;          // the int result is -1 along with the exception
};

extern const Record kRecords[];
extern const std::size_t kRecordCount;
extern const Method kMethods[];
extern const std::size_t kMethodCount;
extern const std::int16_t kSessionRecord;

// Index of a method by name (without "ZQ_"), -1 when unknown.
int FindMethod(std::string_view name);

// The two texts of Result::TextPair are this long.
inline constexpr std::size_t kPairTextSize = 17;

}  // namespace corvid::schema
