// Building and reading raw protocol bytes in tests: words, texts and their concatenation.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "agent/Pack.h"

namespace kelptest {

using Bytes = std::vector<std::uint8_t>;

// Big-endian 32-bit words.
inline Bytes Words(std::initializer_list<std::uint32_t> words) {
  Bytes out;
  for (std::uint32_t w : words) agent::Pack(out, "l", {w});
  return out;
}

// The bytes of a text, without terminator.
inline Bytes Of(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The big-endian word at offset (a failed expectation when it is past the end).
inline std::uint32_t WordAt(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  EXPECT_TRUE(offset <= bytes.size() && agent::Unpack(std::span(bytes).subspan(offset), "l", {&value}).complete)
      << "offset " << offset;
  return value;
}

// length bytes of text at offset, or "<past end>".
inline std::string TextAt(const Bytes& bytes, std::size_t offset, std::size_t length) {
  if (offset + length > bytes.size()) return "<past end>";
  return std::string(bytes.begin() + offset, bytes.begin() + offset + length);
}

}  // namespace kelptest
