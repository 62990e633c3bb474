#include "TextCodec.h"

#include <charconv>
#include <cstdio>

namespace corvid::detail {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kHexUpper[] = "0123456789ABCDEF";

// Splits text at sep into exactly n parts.
template <std::size_t N>
std::optional<std::array<std::string_view, N>> SplitExact(std::string_view text, char sep) {
  std::array<std::string_view, N> parts;
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t end = (i + 1 == N) ? text.size() : text.find(sep);
    if (end == std::string_view::npos) return std::nullopt;
    parts[i] = text.substr(0, end);
    text.remove_prefix(i + 1 == N ? text.size() : end + 1);
  }
  if (parts[N - 1].find(sep) != std::string_view::npos) return std::nullopt;
  return parts;
}

}  // namespace

bool IsValidName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name == "." || name.find("..") != std::string_view::npos)
    return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || HexDigit(text[0]) < 0) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> ParseBounded(std::string_view text, std::uint32_t max) {
  const auto value = ParseNumber(text);
  if (!value || *value > max) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

std::optional<std::int64_t> ParseSigned(std::string_view text) {
  std::int64_t value = 0;
  if (text.empty() || text[0] == '+') return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string Hex(std::uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", value);
  return buf;
}

bool ParseWordList(std::string_view text, std::span<std::uint32_t> out) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::size_t comma = text.find(',');
    if ((comma == std::string_view::npos) != (i + 1 == out.size())) return false;
    std::string_view part = text.substr(0, comma);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    const auto value = ParseBounded(part, 0xFFFFFFFF);
    if (!value) return false;
    out[i] = *value;
    text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
  }
  return true;
}

std::optional<std::array<std::uint8_t, 4>> ParseIp(std::string_view text) {
  const auto parts = SplitExact<4>(text, '.');
  if (!parts) return std::nullopt;
  std::array<std::uint8_t, 4> ip{};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string_view p = (*parts)[i];
    if (p.empty() || p.size() > 3 || p.find_first_not_of("0123456789") != std::string_view::npos)
      return std::nullopt;
    const auto value = ParseBounded(p, 255);
    if (!value) return std::nullopt;
    ip[i] = static_cast<std::uint8_t>(*value);
  }
  return ip;
}

std::string FormatIp(const std::array<std::uint8_t, 4>& ip) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ip[0], ip[1], ip[2], ip[3]);
  return buf;
}

std::optional<std::array<std::uint8_t, 6>> ParseMac(std::string_view text) {
  if (text.size() != 17) return std::nullopt;
  std::array<std::uint8_t, 6> mac{};
  for (std::size_t i = 0; i < 6; ++i) {
    const int hi = HexDigit(text[i * 3]);
    const int lo = HexDigit(text[i * 3 + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    if (i < 5 && text[i * 3 + 2] != ':' && text[i * 3 + 2] != '-') return std::nullopt;
    mac[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return mac;
}

std::string FormatMac(const std::array<std::uint8_t, 6>& mac) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return buf;
}

std::string EncodeBytes(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 0xF];
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> DecodeBytes(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int hi = HexDigit(text[2 * i]);
    const int lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return bytes;
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '%') {
      out += '%';
      out += kHexUpper[u >> 4];
      out += kHexUpper[u & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace corvid::detail
