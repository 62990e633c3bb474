// The kelpftpd wire format: every message starts with a 16-byte magic and two big-endian 32-bit
// words (version, type); replies add a status word. All messages are of fixed size except the
// data reply, whose length follows from its length word.
//
// Pure functions over byte spans, no sockets: the decoders take spans of exactly the message
// size, so nothing is ever read past a message; the encoders return the exact bytes to send.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelpftp {

inline constexpr std::string_view kMagic = "****KELPFTPD****";
inline constexpr std::size_t kMagicSize = 16;
inline constexpr std::uint32_t kVersion = 0x00010000;

// Message types.
inline constexpr std::uint32_t kTypeFileRequest = 0x00010001;  // "Request FTP"
inline constexpr std::uint32_t kTypeEndRequest = 0x00010002;   // "Request shutdown"
inline constexpr std::uint32_t kTypeGreeting = 0x00020000;
inline constexpr std::uint32_t kTypeFileReply = 0x00020001;
inline constexpr std::uint32_t kTypeEndReply = 0x00020002;

// Status words.
inline constexpr std::uint32_t kStatusOk = 0;
inline constexpr std::uint32_t kGreetingServed = 1;
inline constexpr std::uint32_t kGreetingRefused = 0;
inline constexpr std::uint32_t kErrorFile = 3;       // not found, or cannot be opened, positioned or read
inline constexpr std::uint32_t kErrorNoMemory = 10;  // no memory for the data block

// The offset that asks for the file size instead of data.
inline constexpr std::uint32_t kSizeRequestOffset = 0xFFFFFFFF;
// The largest data block the server hands out; larger requests get kErrorNoMemory.
inline constexpr std::uint32_t kMaxBlockSize = 64u << 20;

// Sizes in bytes.
inline constexpr std::size_t kHeaderSize = 24;        // magic, version, type
inline constexpr std::size_t kReplySize = 28;         // header and status: greeting, error, end replies
inline constexpr std::size_t kLengthReplySize = 32;   // reply and a length word: size reply, data reply start
inline constexpr std::size_t kNameFieldSize = 1024;
inline constexpr std::size_t kMaxNameLength = kNameFieldSize - 1;
inline constexpr std::size_t kRequestBodySize = 1032;  // name, offset, size
inline constexpr std::size_t kFileRequestSize = kHeaderSize + kRequestBodySize;
inline constexpr std::size_t kEndFlagSize = 4;
inline constexpr std::size_t kMaxTrailerSize = 3 + kEndFlagSize;
inline constexpr std::uint8_t kPadByte = 0x20;

std::uint32_t LoadBE32(std::span<const std::uint8_t, 4> bytes);
void StoreBE32(std::span<std::uint8_t, 4> bytes, std::uint32_t value);

struct Header {
  std::array<std::uint8_t, kMagicSize> magic{};
  std::uint32_t version = 0;
  std::uint32_t type = 0;
};

enum class HeaderCheck { Ok, BadMagic, BadVersion };

Header DecodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes);
// The magic is checked first, then the version.
HeaderCheck CheckHeader(const Header& header);

// A file request's body. The name is read up to its NUL, and never past kMaxNameLength
// characters even when the field holds no NUL.
struct FileRequest {
  std::string name;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

FileRequest DecodeRequestBody(std::span<const std::uint8_t, kRequestBodySize> bytes);

// A reply's header and status word.
struct Reply {
  Header header;
  std::uint32_t status = 0;
};

Reply DecodeReply(std::span<const std::uint8_t, kReplySize> bytes);

std::array<std::uint8_t, kHeaderSize> EncodeHeader(std::uint32_t type);
// Greeting, error reply and end reply.
std::array<std::uint8_t, kReplySize> EncodeReply(std::uint32_t type, std::uint32_t status);
// A file reply with status 0 and a length word: the whole size reply, or the start of a data
// reply carrying n.
std::array<std::uint8_t, kLengthReplySize> EncodeLengthReply(std::uint32_t value);

// Padding after n data bytes: 0 when n is a multiple of 4, else 4 - n mod 4.
constexpr std::size_t PaddingOf(std::uint64_t n) { return (4 - n % 4) % 4; }
// Total size of a data reply carrying n bytes.
constexpr std::uint64_t DataReplySize(std::uint64_t n) {
  return kLengthReplySize + n + PaddingOf(n) + kEndFlagSize;
}

// What follows the data of a data reply: the padding bytes and the end flag (1 when more of the
// file follows the block).
struct Trailer {
  std::array<std::uint8_t, kMaxTrailerSize> bytes{};
  std::size_t size = 0;
  std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
};

Trailer EncodeDataTrailer(std::uint32_t n, bool more);

// A whole file request; empty when the name does not fit (more than kMaxNameLength characters,
// or holding a NUL).
std::optional<std::array<std::uint8_t, kFileRequestSize>> EncodeFileRequest(std::string_view name,
                                                                            std::uint32_t offset,
                                                                            std::uint32_t size);

// Text safe for one trace line: every byte outside printable ASCII shown as '.'.
std::string Printable(std::string_view text);
// The magic as trace text: its 16 bytes, made printable.
std::string MagicText(std::span<const std::uint8_t, kMagicSize> magic);

}  // namespace kelpftp
