#include "JsonParse.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace kelptest {
namespace {

using common::json::Value;

class Reader {
 public:
  explicit Reader(std::string_view text) : m_text(text) {}

  std::optional<Value> Document(std::string* pError) {
    std::optional<Value> value = Read(0);
    SkipSpace();
    if (value && m_at != m_text.size()) value = Fail("text after the value");
    if (!value && pError) *pError = "at " + std::to_string(m_at) + ": " + m_reason;
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  std::nullopt_t Fail(const char* reason) {
    if (m_reason.empty()) m_reason = reason;
    return std::nullopt;
  }
  bool Refuse(const char* reason) {
    Fail(reason);
    return false;
  }

  void SkipSpace() {
    while (m_at < m_text.size() &&
           (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' || m_text[m_at] == '\r'))
      ++m_at;
  }

  bool Take(std::string_view word) {
    if (m_text.substr(m_at, word.size()) != word) return false;
    m_at += word.size();
    return true;
  }

  std::optional<Value> Read(int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    SkipSpace();
    if (m_at >= m_text.size()) return Fail("a value is missing");
    const char c = m_text[m_at];
    if (c == '{') return ReadObject(depth);
    if (c == '[') return ReadArray(depth);
    if (c == '"') {
      std::optional<std::string> s = ReadString();
      if (!s) return std::nullopt;
      return Value(std::move(*s));
    }
    if (Take("null")) return Value();
    if (Take("true")) return Value(true);
    if (Take("false")) return Value(false);
    return ReadNumber();
  }

  std::optional<Value> ReadNumber() {
    const std::size_t start = m_at;
    if (m_at < m_text.size() && m_text[m_at] == '-') ++m_at;
    const std::size_t digits = m_at;
    while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
    if (m_at == digits) return Fail("not a value");
    if (m_text[digits] == '0' && m_at - digits > 1) return Fail("a number with a leading zero");
    if (m_at < m_text.size() && (m_text[m_at] == '.' || m_text[m_at] == 'e' || m_text[m_at] == 'E'))
      return Fail("not an integer");
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(m_text.data() + start, m_text.data() + m_at, n);
    if (ec != std::errc()) return Fail("a number out of range");
    return Value(n);
  }

  std::optional<Value> ReadArray(int depth) {
    ++m_at;
    Value::Array items;
    SkipSpace();
    if (Take("]")) return Value(std::move(items));
    for (;;) {
      std::optional<Value> item = Read(depth + 1);
      if (!item) return std::nullopt;
      items.push_back(std::move(*item));
      SkipSpace();
      if (Take("]")) return Value(std::move(items));
      if (!Take(",")) return Fail("',' or ']' expected");
    }
  }

  std::optional<Value> ReadObject(int depth) {
    ++m_at;
    Value::Object members;
    SkipSpace();
    if (Take("}")) return Value(std::move(members));
    for (;;) {
      SkipSpace();
      if (m_at >= m_text.size() || m_text[m_at] != '"') return Fail("a member name expected");
      std::optional<std::string> key = ReadString();
      if (!key) return std::nullopt;
      SkipSpace();
      if (!Take(":")) return Fail("':' expected");
      std::optional<Value> value = Read(depth + 1);
      if (!value) return std::nullopt;
      members.push_back({std::move(*key), std::move(*value)});
      SkipSpace();
      if (Take("}")) return Value(std::move(members));
      if (!Take(",")) return Fail("',' or '}' expected");
    }
  }

  std::optional<std::uint32_t> ReadHex4() {
    std::uint32_t unit = 0;
    const auto [end, ec] = std::from_chars(m_text.data() + m_at, m_text.data() + std::min(m_at + 4, m_text.size()),
                                           unit, 16);
    if (ec != std::errc() || end != m_text.data() + m_at + 4) return Fail("a \\u escape needs four hex digits");
    m_at += 4;
    return unit;
  }

  static void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool ReadEscape(std::string& out) {
    if (m_at >= m_text.size()) return Refuse("an escape is cut short");
    const char c = m_text[m_at++];
    constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
    if (const std::size_t i = kFrom.find(c); i != std::string_view::npos) {
      out += kTo[i];
      return true;
    }
    if (c != 'u') return Refuse("an unknown escape");
    std::optional<std::uint32_t> unit = ReadHex4();
    if (!unit) return false;
    std::uint32_t cp = *unit;
    if (cp >= 0xDC00 && cp <= 0xDFFF) return Refuse("a lone low surrogate");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (!Take("\\u")) return Refuse("a high surrogate without its low half");
      std::optional<std::uint32_t> low = ReadHex4();
      if (!low || *low < 0xDC00 || *low > 0xDFFF) return Refuse("a high surrogate without its low half");
      cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
    }
    AppendUtf8(out, cp);
    return true;
  }

  // A raw multi-byte character, checked for being well-formed.
  bool ReadRawCharacter(std::string& out) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(m_text[i]); };
    const unsigned char lead = byte(m_at);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead < 0xC2 || lead > 0xF4 || m_at + length > m_text.size())
      return Refuse("not well-formed UTF-8");
    std::uint32_t cp = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      if ((byte(m_at + i) & 0xC0) != 0x80) return Refuse("not well-formed UTF-8");
      cp = (cp << 6) | (byte(m_at + i) & 0x3F);
    }
    constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return Refuse("not well-formed UTF-8");
    out.append(m_text.substr(m_at, length));
    m_at += length;
    return true;
  }

  std::optional<std::string> ReadString() {
    ++m_at;
    std::string out;
    for (;;) {
      if (m_at >= m_text.size()) return Fail("a string is not closed");
      const unsigned char c = static_cast<unsigned char>(m_text[m_at]);
      if (c == '"') {
        ++m_at;
        return out;
      }
      if (c < 0x20) return Fail("a raw control character in a string");
      if (c == '\\') {
        ++m_at;
        if (!ReadEscape(out)) return std::nullopt;
      } else if (c >= 0x80) {
        if (!ReadRawCharacter(out)) return std::nullopt;
      } else {
        out += static_cast<char>(c);
        ++m_at;
      }
    }
  }

  std::string_view m_text;
  std::size_t m_at = 0;
  std::string m_reason;
};

}  // namespace

std::optional<common::json::Value> ParseJson(std::string_view text, std::string* pError) {
  return Reader(text).Document(pError);
}

}  // namespace kelptest
