#include "Text.h"

#include <cmath>
#include <limits>

namespace corvidj {

std::int16_t ToHundredths(double value) {
  if (std::isnan(value)) return 0;
  const double scaled = std::trunc(value * 100 + std::copysign(1e-6, value));
  if (scaled <= std::numeric_limits<std::int16_t>::min()) return std::numeric_limits<std::int16_t>::min();
  if (scaled >= std::numeric_limits<std::int16_t>::max()) return std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(scaled);
}

double FromHundredths(std::int16_t hundredths) { return hundredths * 0.01; }

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// A high surrogate in modified UTF-8: ED A0..AF xx.
bool IsHighSurrogate(const unsigned char* p) { return p[0] == 0xED && (p[1] & 0xF0) == 0xA0; }

}  // namespace

std::size_t CutUtf8(const char* text, std::size_t length, std::size_t max) {
  if (length <= max) return length;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  std::size_t n = max;
  while (n > 0 && IsContinuation(p[n])) --n;
  if (n >= 3 && IsHighSurrogate(p + n - 3)) n -= 3;
  return n;
}

std::string StandardUtf8(const char* text, std::size_t length) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length;) {
    const bool pair = i + 6 <= length && IsHighSurrogate(p + i) && p[i + 3] == 0xED && (p[i + 4] & 0xF0) == 0xB0;
    if (!pair) {
      out += text[i++];
      continue;
    }
    const std::uint32_t high = 0xD800 | (p[i + 1] & 0x0F) << 6 | (p[i + 2] & 0x3F);
    const std::uint32_t low = 0xDC00 | (p[i + 4] & 0x0F) << 6 | (p[i + 5] & 0x3F);
    const std::uint32_t cp = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
    i += 6;
  }
  return out;
}

bool IsAscii(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

std::vector<std::uint16_t> DecodeUtf8(const char* text, std::size_t length) {
  constexpr std::uint16_t kReplacement = 0xFFFD;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  std::vector<std::uint16_t> out;
  out.reserve(length);
  std::size_t i = 0;
  while (i < length) {
    const unsigned char c = p[i];
    std::size_t need = 0;
    std::uint32_t cp = 0, least = 0;
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    if ((c & 0xE0) == 0xC0) need = 1, cp = c & 0x1F, least = 0x80;
    else if ((c & 0xF0) == 0xE0) need = 2, cp = c & 0x0F, least = 0x800;
    else if ((c & 0xF8) == 0xF0) need = 3, cp = c & 0x07, least = 0x10000;
    bool ok = need > 0;
    for (std::size_t k = 1; ok && k <= need; ++k) {
      if (i + k >= length || !IsContinuation(p[i + k])) ok = false;
      else cp = cp << 6 | (p[i + k] & 0x3F);
    }
    ok = ok && cp >= least && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (!ok) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<std::uint16_t>(cp));
    }
    i += need + 1;
  }
  return out;
}

}  // namespace corvidj
