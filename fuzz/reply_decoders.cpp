// Fuzz target: arbitrary bytes into every pure decoder of the agent client (frame header, body
// prefix, the data of each reply) and into Unpack with a fuzzed format. The first byte picks the
// decoder. A decoder must return a status for any input and never read past what it is given.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "agent/FrameCodec.h"
#include "agent/InstallCodec.h"
#include "agent/Pack.h"
#include "agent/RecoveryCodec.h"
#include "agent/SettingsCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  std::string text;
  std::uint32_t word = 0;
  switch (data[0] % 13) {
    case 0: {
      agent::ReplyHeader header;
      agent::DecodeHeader(bytes, &header);
      agent::BodyPrefix prefix;
      agent::DecodeBodyPrefix(bytes, &prefix);
      break;
    }
    case 1: {
      agent::NetworkInfo info;
      agent::DecodeNetworkInfo(bytes, &info, &word);
      break;
    }
    case 2: {
      std::vector<std::string> servers;
      agent::DecodeNTPInfo(bytes, &servers);
      break;
    }
    case 3: agent::DecodeCHNName(bytes, &text); break;
    case 4: agent::DecodeMTUInfo(bytes, &word); break;
    case 5: {
      std::vector<agent::RouteTexts> routes;
      agent::DecodeRoutingInfo(bytes, &routes, &text);
      break;
    }
    case 6: {
      // The output length is a word of the reply, so it is as hostile as the data.
      if (bytes.size() < 4) break;
      const std::uint32_t length = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                                   (std::uint32_t{bytes[2]} << 8) | bytes[3];
      agent::DecodeCommandIF(bytes.subspan(4), length, &text);
      break;
    }
    case 7: {
      agent::NetworkSettingReply reply;
      agent::DecodeNetworkSetting0301Reply(bytes, &reply);
      break;
    }
    case 8: {
      std::vector<agent::ProductEntry> products;
      agent::DecodeProducts(bytes, &products);
      break;
    }
    case 9: {
      agent::SutCheck check;
      agent::DecodeSutCheck(bytes, &word, &check);
      break;
    }
    case 10: {
      agent::LuBackupInfo info;
      agent::DecodeLuBackupInfo(bytes, &info);
      break;
    }
    case 11: {
      agent::SystemLuBackupInfo info;
      agent::DecodeSystemLuBackupInfo(bytes, &info);
      break;
    }
    case 12: {
      // A format of up to 32 bytes, then the buffer it reads.
      const std::size_t formatSize = bytes.empty() ? 0 : bytes[0] % 33;
      if (bytes.size() < 1 + formatSize) break;
      const std::string_view format(reinterpret_cast<const char*>(bytes.data() + 1), formatSize);
      std::string s1, s2;
      std::uint32_t l = 0;
      std::uint16_t h = 0;
      std::uint8_t c = 0;
      agent::Unpack(bytes.subspan(1 + formatSize), format, {&s1, &l, &h, &c, &s2, &l, &s1});
      break;
    }
  }
  return 0;
}
