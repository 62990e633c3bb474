// Pure encoding of whole requests and decoding of reply headers and body prefixes: bytes in,
// values out, no sockets. The exchange codecs (SettingsCodec.h, InstallCodec.h,
// RecoveryCodec.h) build on these.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "agent/AgentWire.h"

namespace agent {

// What a decoder found in the bytes it was given.
enum class Decode {
  Ok,
  Truncated,  // an item or a length field reaches past the bytes received
  BadSize,    // a fixed DataSize differs from what the reply must carry
  BadFlag,    // a flag word outside its values (route records)
};
const char* ToText(Decode status);

struct ReplyHeader {
  std::string magic;  // the 16 bytes as received
  std::uint32_t protoVer = 0;
  std::uint32_t msgType = 0;
  std::uint32_t msgSize = 0;
};
// Unpacks "S(16)lll" from the first kHeaderSize bytes; Truncated when there are fewer.
Decode DecodeHeader(std::span<const std::uint8_t> bytes, ReplyHeader* pHeader);
bool IsMagic(const std::string& magic);

// DataType and Result (or the word a reply carries in its place) at the start of a body.
struct BodyPrefix {
  std::uint32_t dataType = 0;
  std::uint32_t result = 0;
};
Decode DecodeBodyPrefix(std::span<const std::uint8_t> body, BodyPrefix* pPrefix);

// A request without parameters: header and command, MsgSize 4 (32 bytes).
std::vector<std::uint8_t> EncodeBareRequest(Exchange id);
// A request with DataSize and the already packed parameters: MsgSize = DataSize + 8.
std::vector<std::uint8_t> EncodeRequest(Exchange id, std::span<const std::uint8_t> params);
// A request whose parameter bytes follow the command directly, without DataSize.
std::vector<std::uint8_t> EncodeRequestNoDataSize(Exchange id, std::span<const std::uint8_t> params);

// Reply bytes as an agent sends them: header, DataType, Result, then data. For the simulated
// agents and the tests.
std::vector<std::uint8_t> EncodeReply(std::uint32_t protoVer, std::uint32_t msgType, std::uint32_t dataType,
                                      std::uint32_t result, std::span<const std::uint8_t> data);
std::vector<std::uint8_t> EncodeReply(Exchange id, std::uint32_t result, std::span<const std::uint8_t> data = {});

}  // namespace agent
