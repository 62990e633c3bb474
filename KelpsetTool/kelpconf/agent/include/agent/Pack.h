// The format-driven field encoder of the agent protocol. A format is a run of items:
//   "l"     4 bytes, unsigned 32-bit big-endian
//   "s"     2 bytes, unsigned 16-bit big-endian
//   "c"     1 byte
//   "S(n)"  exactly n bytes of text (n decimal); packing takes n bytes of the text and pads a
//           shorter text with blanks (0x20), never zeros; unpacking yields the n bytes
//   "S"     packing: the text as it is; unpacking: the bytes up to the next zero byte of the
//           buffer, or to its end, without consuming the zero
// An unknown letter stops the walk with the error trace "Unknown format : %s". Both are pure:
// they never read or write outside the spans they are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace agent {

// A value to pack: a number for "l", "s" and "c" (cut to the item's width), a text for "S".
using PackArg = std::variant<std::uint32_t, std::string_view>;
// Where an unpacked item goes; "S(n)" and "S" need a std::string.
using UnpackArg = std::variant<std::uint32_t*, std::uint16_t*, std::uint8_t*, std::string*>;

// Appends the items to out and returns the bytes produced. The walk stops (returning what was
// produced so far) at an unknown letter, a malformed "S(n)", a missing value, or a value whose
// kind does not fit its item. Traces "%d byte is packed" at TRC_DETAIL.
std::size_t Pack(std::vector<std::uint8_t>& out, std::string_view format, std::initializer_list<PackArg> values);

struct UnpackResult {
  std::size_t used = 0;   // bytes consumed
  bool complete = false;  // every item was decoded; false when the buffer ended first, the
                          // format was bad or a destination did not fit its item
};
// Decodes items from the start of buffer into the destinations, in order.
UnpackResult Unpack(std::span<const std::uint8_t> buffer, std::string_view format,
                    std::initializer_list<UnpackArg> destinations);

// A format with its lengths filled in: MakeFormat("S(%d)llll", 16) gives "S(16)llll".
std::string MakeFormat(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

// The text padded with blanks to width (unchanged when it is as long or longer).
std::string PadBlanks(std::string_view text, std::size_t width);
// The text padded with blanks to the next multiple of 4 bytes.
std::string PadToWord(std::string_view text);
// The text without trailing blanks.
std::string TrimTrailingBlanks(std::string_view text);

}  // namespace agent
