// Text forms of the values kept in unit.ini and state.ini: numbers (decimal or 0x hex), dotted
// addresses, MAC addresses, hex byte strings, escaped free text; and the rule for unit and log
// names. Pure functions; parsers accept nothing but the whole text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvid::detail {

// 1..64 characters; no '/', no "..", no control characters, not ".".
bool IsValidName(std::string_view name);

// Decimal, or hex with a 0x/0X prefix; no sign, no blanks.
std::optional<std::uint64_t> ParseNumber(std::string_view text);
// ParseNumber limited to max.
std::optional<std::uint32_t> ParseBounded(std::string_view text, std::uint32_t max);
// Decimal with an optional '-'.
std::optional<std::int64_t> ParseSigned(std::string_view text);
std::string Hex(std::uint32_t value);  // "0x%X"
// Exactly out.size() 32-bit numbers separated by ',' (blanks around them allowed).
bool ParseWordList(std::string_view text, std::span<std::uint32_t> out);

std::optional<std::array<std::uint8_t, 4>> ParseIp(std::string_view text);
std::string FormatIp(const std::array<std::uint8_t, 4>& ip);
// Six hex pairs separated by ':' or '-'.
std::optional<std::array<std::uint8_t, 6>> ParseMac(std::string_view text);
std::string FormatMac(const std::array<std::uint8_t, 6>& mac);

// Bytes as lower-case hex pairs and back (an even number of hex digits).
std::string EncodeBytes(const std::vector<std::uint8_t>& bytes);
std::optional<std::vector<std::uint8_t>> DecodeBytes(std::string_view text);

// Free text in an ini value: blanks, control bytes, bytes above 0x7E and '%' become %XX.
std::string Escape(std::string_view text);
// Undoes Escape; a '%' not followed by two hex digits stays as it is.
std::string Unescape(std::string_view text);

}  // namespace corvid::detail
