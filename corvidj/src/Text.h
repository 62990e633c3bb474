// Pure conversions between the library's bytes and Java's values, kept apart from JNI so that
// they can be checked directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvidj {

// Rates: the library's double against Java's short in hundredths. To Java the value is truncated
// after a small nudge away from zero (so that every short survives the round trip), clamped to
// the short range; NaN gives 0.
std::int16_t ToHundredths(double value);
double FromHundredths(std::int16_t hundredths);

// The longest prefix of (modified) UTF-8 text of at most max bytes that ends on a character
// boundary (a surrogate pair counts as one character).
std::size_t CutUtf8(const char* text, std::size_t length, std::size_t max);

// Java's modified UTF-8 as standard UTF-8: each surrogate pair (two three-byte sequences)
// becomes one four-byte sequence.
std::string StandardUtf8(const char* text, std::size_t length);

bool IsAscii(const char* text, std::size_t length);

// UTF-8 to UTF-16; each byte that does not start a well-formed sequence becomes U+FFFD.
std::vector<std::uint16_t> DecodeUtf8(const char* text, std::size_t length);

}  // namespace corvidj
