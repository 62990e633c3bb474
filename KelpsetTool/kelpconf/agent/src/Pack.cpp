#include "agent/Pack.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>

#include "agent/AgentWire.h"
#include "common/TraceLine.h"
#include "common/VFormat.h"

namespace agent {
namespace {

// One item of a format: its letter and, for "S(n)", the width.
struct Item {
  char letter = 0;
  std::optional<std::size_t> width;
  std::size_t next = 0;  // index after the item in the format
};

// Parses the item at pos; nullopt for an unknown letter or a malformed "S(n)". A width beyond
// kMaxMsgSize cannot be a field of any message and counts as malformed.
std::optional<Item> ParseItem(std::string_view format, std::size_t pos) {
  Item item;
  item.letter = format[pos];
  item.next = pos + 1;
  switch (item.letter) {
    case 'l':
    case 's':
    case 'c':
      return item;
    case 'S':
      break;
    default:
      return std::nullopt;
  }
  if (item.next >= format.size() || format[item.next] != '(') return item;
  std::size_t p = item.next + 1;
  std::size_t width = 0;
  const std::size_t digitsStart = p;
  for (; p < format.size() && format[p] >= '0' && format[p] <= '9'; ++p) {
    width = width * 10 + static_cast<std::size_t>(format[p] - '0');
    if (width > kMaxMsgSize) return std::nullopt;
  }
  if (p == digitsStart || p >= format.size() || format[p] != ')') return std::nullopt;
  item.width = width;
  item.next = p + 1;
  return item;
}

void TraceItem(const Item& item, std::size_t offset) {
  if (item.width)
    common::TraceLineFmt(TRC_DEBUG, "S(%zu) at %zu", *item.width, offset);
  else
    common::TraceLineFmt(TRC_DEBUG, "%c at %zu", item.letter, offset);
}

void TraceUnknown(std::string_view format) {
  common::TraceLineFmt(TRC_ERROR, "Unknown format : %.*s", static_cast<int>(format.size()), format.data());
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t width) {
  for (std::size_t i = width; i-- > 0;) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t GetBigEndian(const std::uint8_t* p, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

// Stores a number into a destination of the item's kind; false when the kinds differ.
bool Store(const UnpackArg& dest, char letter, std::uint32_t value) {
  if (letter == 'l') {
    auto* const* p = std::get_if<std::uint32_t*>(&dest);
    if (p == nullptr || *p == nullptr) return false;
    **p = value;
  } else if (letter == 's') {
    auto* const* p = std::get_if<std::uint16_t*>(&dest);
    if (p == nullptr || *p == nullptr) return false;
    **p = static_cast<std::uint16_t>(value);
  } else {
    auto* const* p = std::get_if<std::uint8_t*>(&dest);
    if (p == nullptr || *p == nullptr) return false;
    **p = static_cast<std::uint8_t>(value);
  }
  return true;
}

std::size_t NumberWidth(char letter) { return letter == 'l' ? 4 : letter == 's' ? 2 : 1; }

}  // namespace

std::size_t Pack(std::vector<std::uint8_t>& out, std::string_view format, std::initializer_list<PackArg> values) {
  const std::size_t start = out.size();
  const PackArg* value = values.begin();
  for (std::size_t pos = 0; pos < format.size();) {
    const std::optional<Item> item = ParseItem(format, pos);
    if (!item) {
      TraceUnknown(format);
      break;
    }
    if (value == values.end()) break;
    TraceItem(*item, out.size() - start);
    if (item->letter == 'S') {
      const auto* text = std::get_if<std::string_view>(value);
      if (text == nullptr) break;
      if (item->width) {
        const std::size_t n = std::min(text->size(), *item->width);
        out.insert(out.end(), text->begin(), text->begin() + static_cast<std::ptrdiff_t>(n));
        out.insert(out.end(), *item->width - n, ' ');
      } else {
        out.insert(out.end(), text->begin(), text->end());
      }
    } else {
      const auto* number = std::get_if<std::uint32_t>(value);
      if (number == nullptr) break;
      PutBigEndian(out, *number, NumberWidth(item->letter));
    }
    ++value;
    pos = item->next;
  }
  const std::size_t produced = out.size() - start;
  common::TraceLineFmt(TRC_DETAIL, "%zu byte is packed", produced);
  return produced;
}

UnpackResult Unpack(std::span<const std::uint8_t> buffer, std::string_view format,
                    std::initializer_list<UnpackArg> destinations) {
  UnpackResult result;
  const UnpackArg* dest = destinations.begin();
  std::size_t pos = 0;
  while (pos < format.size()) {
    const std::optional<Item> item = ParseItem(format, pos);
    if (!item) {
      TraceUnknown(format);
      return result;
    }
    if (dest == destinations.end()) return result;
    const std::span<const std::uint8_t> rest = buffer.subspan(result.used);
    TraceItem(*item, result.used);
    if (item->letter == 'S') {
      auto* const* text = std::get_if<std::string*>(dest);
      if (text == nullptr || *text == nullptr) return result;
      std::size_t n = 0;
      if (item->width) {
        if (rest.size() < *item->width) return result;
        n = *item->width;
      } else {
        n = static_cast<std::size_t>(std::find(rest.begin(), rest.end(), std::uint8_t{0}) - rest.begin());
      }
      (*text)->assign(reinterpret_cast<const char*>(rest.data()), n);
      result.used += n;
    } else {
      const std::size_t width = NumberWidth(item->letter);
      if (rest.size() < width) return result;
      if (!Store(*dest, item->letter, GetBigEndian(rest.data(), width))) return result;
      result.used += width;
    }
    ++dest;
    pos = item->next;
  }
  result.complete = true;
  return result;
}

std::string MakeFormat(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  std::string s = VFormat(pszFormat, args);
  va_end(args);
  return s;
}

std::string PadBlanks(std::string_view text, std::size_t width) {
  std::string s(text);
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

std::string PadToWord(std::string_view text) { return PadBlanks(text, (text.size() + 3) / 4 * 4); }

std::string TrimTrailingBlanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
}

}  // namespace agent
