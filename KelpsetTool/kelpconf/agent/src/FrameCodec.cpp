#include "agent/FrameCodec.h"

#include <algorithm>

#include "agent/Pack.h"

namespace agent {
namespace {

// Header and command; the caller appends what follows the command.
std::vector<std::uint8_t> StartRequest(Exchange id, std::size_t afterCommand) {
  const ExchangeInfo& info = Info(id);
  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSize + 4 + afterCommand);
  Pack(out, "S(16)llll", {kMagic, info.protoVer, info.msgType, static_cast<std::uint32_t>(4 + afterCommand),
                          info.command});
  return out;
}

}  // namespace

const char* ToText(Decode status) {
  switch (status) {
    case Decode::Ok:
      return "Ok";
    case Decode::Truncated:
      return "Truncated";
    case Decode::BadSize:
      return "BadSize";
    case Decode::BadFlag:
      return "BadFlag";
  }
  return "?";
}

Decode DecodeHeader(std::span<const std::uint8_t> bytes, ReplyHeader* pHeader) {
  const UnpackResult r = Unpack(bytes.first(std::min(bytes.size(), kHeaderSize)), "S(16)lll",
                                {&pHeader->magic, &pHeader->protoVer, &pHeader->msgType, &pHeader->msgSize});
  return r.complete ? Decode::Ok : Decode::Truncated;
}

bool IsMagic(const std::string& magic) { return magic == kMagic; }

Decode DecodeBodyPrefix(std::span<const std::uint8_t> body, BodyPrefix* pPrefix) {
  return Unpack(body, "ll", {&pPrefix->dataType, &pPrefix->result}).complete ? Decode::Ok : Decode::Truncated;
}

std::vector<std::uint8_t> EncodeBareRequest(Exchange id) { return StartRequest(id, 0); }

std::vector<std::uint8_t> EncodeRequest(Exchange id, std::span<const std::uint8_t> params) {
  std::vector<std::uint8_t> out = StartRequest(id, 4 + params.size());
  Pack(out, "l", {static_cast<std::uint32_t>(params.size())});
  out.insert(out.end(), params.begin(), params.end());
  return out;
}

std::vector<std::uint8_t> EncodeRequestNoDataSize(Exchange id, std::span<const std::uint8_t> params) {
  std::vector<std::uint8_t> out = StartRequest(id, params.size());
  out.insert(out.end(), params.begin(), params.end());
  return out;
}

std::vector<std::uint8_t> EncodeReply(std::uint32_t protoVer, std::uint32_t msgType, std::uint32_t dataType,
                                      std::uint32_t result, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSize + 8 + data.size());
  Pack(out, "S(16)lllll",
       {kMagic, protoVer, msgType, static_cast<std::uint32_t>(8 + data.size()), dataType, result});
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<std::uint8_t> EncodeReply(Exchange id, std::uint32_t result, std::span<const std::uint8_t> data) {
  const ExchangeInfo& info = Info(id);
  return EncodeReply(info.protoVer, info.msgType, ReplyDataType(id), result, data);
}

}  // namespace agent
