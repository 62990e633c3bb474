#include "common/Json.h"

#include <cstdio>

namespace common::json {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of bytes, 0 when there is none.
std::size_t SequenceLength(std::string_view bytes) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = at(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() < length || at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (at(i) < 0x80 || at(i) > 0xBF) return 0;
  return length;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  while (!text.empty()) {
    const char c = text.front();
    const std::size_t length = SequenceLength(text);
    if (length == 0) {
      out += kReplacement;
      text.remove_prefix(1);
      continue;
    }
    if (length > 1) {
      out += text.substr(0, length);
      text.remove_prefix(length);
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
    text.remove_prefix(1);
  }
  out += '"';
}

class Writer {
 public:
  explicit Writer(Style style) : m_style(style) {}

  void Append(const Value& value, int depth) {
    switch (value.kind()) {
      case Value::Kind::Null: m_text += "null"; break;
      case Value::Kind::Bool: m_text += value.AsBool() ? "true" : "false"; break;
      case Value::Kind::Number: m_text += std::to_string(value.AsNumber()); break;
      case Value::Kind::String: AppendQuoted(m_text, value.AsString()); break;
      case Value::Kind::Array: AppendList(value.AsArray(), '[', ']', depth); break;
      case Value::Kind::Object: AppendList(value.AsObject(), '{', '}', depth); break;
    }
  }

  std::string Take() { return std::move(m_text); }

 private:
  template <typename List>
  void AppendList(const List& items, char open, char close, int depth) {
    m_text += open;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i > 0) m_text += ',';
      NewLine(depth + 1);
      AppendItem(items[i], depth + 1);
    }
    if (!items.empty()) NewLine(depth);
    m_text += close;
  }

  void AppendItem(const Value& value, int depth) { Append(value, depth); }
  void AppendItem(const Member& member, int depth) {
    AppendQuoted(m_text, member.key);
    m_text += m_style == Style::Indented ? ": " : ":";
    Append(member.value, depth);
  }

  void NewLine(int depth) {
    if (m_style == Style::Compact) return;
    m_text += '\n';
    m_text.append(static_cast<std::size_t>(depth) * 2, ' ');
  }

  const Style m_style;
  std::string m_text;
};

}  // namespace

const Value& Value::operator[](std::string_view key) const {
  static const Value kNull;
  if (kind() != Kind::Object) return kNull;
  for (const Member& member : AsObject())
    if (member.key == key) return member.value;
  return kNull;
}

bool Value::Has(std::string_view key) const {
  if (kind() != Kind::Object) return false;
  for (const Member& member : AsObject())
    if (member.key == key) return true;
  return false;
}

bool Value::operator==(const Value& other) const { return m_data == other.m_data; }

std::string Write(const Value& value, Style style) {
  Writer writer(style);
  writer.Append(value, 0);
  return writer.Take();
}

}  // namespace common::json
