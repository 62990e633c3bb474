// JSON values and their text (RFC 8259), for documents other programs read. Objects keep their
// members in the order they were added, so a document's text is the same on every run.
// Strings are bytes taken as UTF-8: a byte that does not begin a well-formed sequence (stray
// continuation, overlong form, surrogate, beyond U+10FFFF, cut short) is written as U+FFFD, one
// per byte; control characters are escaped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace common::json {

struct Member;

class Value {
 public:
  using Array = std::vector<Value>;
  using Object = std::vector<Member>;
  enum class Kind { Null, Bool, Number, String, Array, Object };

  Value();
  Value(std::nullptr_t);
  Value(bool b);
  // Integers only; every number the tools write is a count, a code or a word of at most 32 bits.
  template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && (std::is_signed_v<T> || sizeof(T) < 8))
  Value(T n);
  Value(std::string s);
  Value(std::string_view s);
  Value(const char* s);
  Value(Array a);
  Value(Object o);
  // An absent value is null.
  template <typename T>
  Value(const std::optional<T>& o) {
    if (o) *this = Value(*o);
  }

  Kind kind() const { return static_cast<Kind>(m_data.index()); }
  bool IsNull() const { return kind() == Kind::Null; }
  // The accessors expect the kind; a wrong kind throws std::bad_variant_access.
  bool AsBool() const { return std::get<bool>(m_data); }
  std::int64_t AsNumber() const { return std::get<std::int64_t>(m_data); }
  const std::string& AsString() const { return std::get<std::string>(m_data); }
  const Array& AsArray() const { return std::get<Array>(m_data); }
  const Object& AsObject() const { return std::get<Object>(m_data); }
  // The member called key of an object; null when there is none or this is no object.
  const Value& operator[](std::string_view key) const;
  bool Has(std::string_view key) const;

  bool operator==(const Value& other) const;

 private:
  std::variant<std::nullptr_t, bool, std::int64_t, std::string, Array, Object> m_data;
};

struct Member {
  std::string key;
  Value value;
  bool operator==(const Member& other) const = default;
};

// Defined once Member is complete: clang needs the whole type wherever the variant is made.
inline Value::Value() = default;
inline Value::Value(std::nullptr_t) {}
inline Value::Value(bool b) : m_data(b) {}
inline Value::Value(std::string s) : m_data(std::move(s)) {}
inline Value::Value(std::string_view s) : m_data(std::string(s)) {}
inline Value::Value(const char* s) : m_data(std::string(s)) {}
inline Value::Value(Array a) : m_data(std::move(a)) {}
inline Value::Value(Object o) : m_data(std::move(o)) {}
template <typename T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && (std::is_signed_v<T> || sizeof(T) < 8))
Value::Value(T n) : m_data(static_cast<std::int64_t>(n)) {}

// The text of value: Compact on one line; Indented with two spaces a level, a member or element
// a line, empty objects and arrays as {} and [].
enum class Style { Compact, Indented };
std::string Write(const Value& value, Style style = Style::Compact);

}  // namespace common::json
