// Pure codecs of the installation exchanges (family 1): whole requests, and the data of the
// replies after DataType and Result. Bytes in, values and a Decode status out; the decoders
// read only inside the span they are given and size nothing from a length they have not
// checked against it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "agent/FrameCodec.h"

namespace agent {

// One installed program product as the agent lists it.
struct ProductEntry {
  std::uint32_t code = 0;
  std::string name;     // trailing blanks removed
  std::string version;  // trailing blanks removed
  std::string date;     // kInstallDateWidth characters
  std::string type;     // kInstallTypeWidth characters
};

// What an installation check requires (each word 1 = yes).
struct SutCheck {
  std::uint32_t nodeStop = 0;
  std::uint32_t clusterStop = 0;
  std::uint32_t serviceStop = 0;
  std::uint32_t reboot = 0;
};

// The file name goes out padded with blanks to a multiple of 4 bytes, the maintenance PC
// address padded to kAddressTextWidth. Empty when a field cannot be packed.
std::vector<std::uint8_t> EncodeInstallRequest(std::uint32_t serialNo, std::string_view fileName,
                                               std::string_view pcAddress, std::uint32_t filePort);
std::vector<std::uint8_t> EncodeUninstallRequest(std::uint32_t ppCode, std::string_view name);
std::vector<std::uint8_t> EncodeSutInstallCheckRequest(std::string_view fileName, std::string_view pcAddress,
                                                       std::uint32_t filePort);

// The ReplyUninstInfo data (DataSize, then entries until DataSize bytes are consumed), appended
// to *pProducts in wire order. Truncated when DataSize or a length inside an entry reaches past
// the bytes given, or an entry past DataSize; nothing is appended then.
Decode DecodeProducts(std::span<const std::uint8_t> data, std::vector<ProductEntry>* pProducts);
// The ReplySutInstallCheck data: DataSize (BadSize unless kSutCheckDataSize; *pDataSize gets
// it whenever it was there), then four words.
Decode DecodeSutCheck(std::span<const std::uint8_t> data, std::uint32_t* pDataSize, SutCheck* pCheck);

// Reply data as an agent sends them (simulated agents, tests).
std::vector<std::uint8_t> EncodeProducts(const std::vector<ProductEntry>& products);
std::vector<std::uint8_t> EncodeSutCheck(const SutCheck& check);

}  // namespace agent
