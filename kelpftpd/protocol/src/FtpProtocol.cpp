#include "kelpftp/FtpProtocol.h"

#include <algorithm>
#include <cstring>

namespace kelpftp {
namespace {

template <std::size_t N>
void PutHeader(std::array<std::uint8_t, N>& out, std::uint32_t type) {
  static_assert(N >= kHeaderSize);
  std::memcpy(out.data(), kMagic.data(), kMagicSize);
  StoreBE32(std::span(out).template subspan<16, 4>(), kVersion);
  StoreBE32(std::span(out).template subspan<20, 4>(), type);
}

}  // namespace

std::uint32_t LoadBE32(std::span<const std::uint8_t, 4> bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
         std::uint32_t{bytes[3]};
}

void StoreBE32(std::span<std::uint8_t, 4> bytes, std::uint32_t value) {
  bytes[0] = static_cast<std::uint8_t>(value >> 24);
  bytes[1] = static_cast<std::uint8_t>(value >> 16);
  bytes[2] = static_cast<std::uint8_t>(value >> 8);
  bytes[3] = static_cast<std::uint8_t>(value);
}

Header DecodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes) {
  Header header;
  std::copy_n(bytes.begin(), kMagicSize, header.magic.begin());
  header.version = LoadBE32(bytes.subspan<16, 4>());
  header.type = LoadBE32(bytes.subspan<20, 4>());
  return header;
}

HeaderCheck CheckHeader(const Header& header) {
  if (std::memcmp(header.magic.data(), kMagic.data(), kMagicSize) != 0) return HeaderCheck::BadMagic;
  if (header.version != kVersion) return HeaderCheck::BadVersion;
  return HeaderCheck::Ok;
}

FileRequest DecodeRequestBody(std::span<const std::uint8_t, kRequestBodySize> bytes) {
  FileRequest request;
  const auto name = bytes.first<kMaxNameLength>();
  const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
  request.name.assign(name.begin(), end);
  request.offset = LoadBE32(bytes.subspan<kNameFieldSize, 4>());
  request.size = LoadBE32(bytes.subspan<kNameFieldSize + 4, 4>());
  return request;
}

Reply DecodeReply(std::span<const std::uint8_t, kReplySize> bytes) {
  Reply reply;
  reply.header = DecodeHeader(bytes.first<kHeaderSize>());
  reply.status = LoadBE32(bytes.subspan<kHeaderSize, 4>());
  return reply;
}

std::array<std::uint8_t, kHeaderSize> EncodeHeader(std::uint32_t type) {
  std::array<std::uint8_t, kHeaderSize> out{};
  PutHeader(out, type);
  return out;
}

std::array<std::uint8_t, kReplySize> EncodeReply(std::uint32_t type, std::uint32_t status) {
  std::array<std::uint8_t, kReplySize> out{};
  PutHeader(out, type);
  StoreBE32(std::span(out).subspan<kHeaderSize, 4>(), status);
  return out;
}

std::array<std::uint8_t, kLengthReplySize> EncodeLengthReply(std::uint32_t value) {
  std::array<std::uint8_t, kLengthReplySize> out{};
  PutHeader(out, kTypeFileReply);
  StoreBE32(std::span(out).subspan<kHeaderSize, 4>(), kStatusOk);
  StoreBE32(std::span(out).subspan<kReplySize, 4>(), value);
  return out;
}

Trailer EncodeDataTrailer(std::uint32_t n, bool more) {
  Trailer trailer;
  const std::size_t pad = PaddingOf(n);
  std::fill_n(trailer.bytes.begin(), pad, kPadByte);
  StoreBE32(std::span<std::uint8_t, 4>(trailer.bytes.data() + pad, 4), more ? 1 : 0);
  trailer.size = pad + kEndFlagSize;
  return trailer;
}

std::optional<std::array<std::uint8_t, kFileRequestSize>> EncodeFileRequest(std::string_view name,
                                                                            std::uint32_t offset,
                                                                            std::uint32_t size) {
  if (name.size() > kMaxNameLength || name.find('\0') != std::string_view::npos) return std::nullopt;
  std::array<std::uint8_t, kFileRequestSize> out{};
  PutHeader(out, kTypeFileRequest);
  std::memcpy(out.data() + kHeaderSize, name.data(), name.size());
  StoreBE32(std::span(out).subspan<kHeaderSize + kNameFieldSize, 4>(), offset);
  StoreBE32(std::span(out).subspan<kHeaderSize + kNameFieldSize + 4, 4>(), size);
  return out;
}

std::string Printable(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c < 0x20 || c > 0x7E) c = '.';
  return out;
}

std::string MagicText(std::span<const std::uint8_t, kMagicSize> magic) {
  return Printable(std::string_view(reinterpret_cast<const char*>(magic.data()), magic.size()));
}

}  // namespace kelpftp
