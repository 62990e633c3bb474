// Pure encoders of the board-settings and status requests and decoders of their replies. The
// decoders take the reply data after DataType and Result and check every length and DataSize
// against the bytes they are given: nothing is read or allocated beyond them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "agent/AgentTypes.h"
#include "agent/FrameCodec.h"

namespace agent {

using Bytes = std::vector<std::uint8_t>;

// "mng<n>", the management interface name.
std::string InterfaceName(std::uint32_t ulInterface);

Bytes EncodeNetworkInfoRequest(std::uint32_t ulInterface);
// Interface name in 4 bytes, address and mask texts in 16 bytes each (blank-padded or cut).
Bytes EncodeNetworkSetting0301Request(std::uint32_t ulInterface, const std::string& strIPAddress,
                                      const std::string& strNetmask);
// At most the first kMaxNtpServers servers are sent.
Bytes EncodeNTPSettingRequest(const std::vector<std::string>& servers);
Bytes EncodeCHNNameSettingRequest(const std::string& strName);
Bytes EncodeMTUInfoRequest(std::uint32_t ulInterface);
Bytes EncodeMTUSettingRequest(std::uint32_t ulInterface, std::uint32_t ulMTU);
Bytes EncodeRoutingAddRequest(const NewRoute& route);
// The route as listed. Refused (empty bytes, *pstrRefusal the reason to trace) when Interface is
// longer than 9, Netmask longer than 16, a flag word unknown or MSS not a decimal number. A
// Gateway "*" is the listed form of "no gateway" and goes out with Gateway Length 0.
Bytes EncodeRoutingDeleteRequest(const RouteTexts& route, std::string* pstrRefusal);
Bytes EncodeCommandIFRequest(const std::string& strCommandLine);
Bytes EncodeVersionRequest(std::uint32_t ulToolVersion);

// "5, 0, 1, 0" gives 0x05000100; 0xFFFFFFFF when the text is not four numbers.
std::uint32_t VersionWord(const std::string& strVersionText);

// ReplyNetworkInfo data: DataSize must be kNetworkInfoDataSize (BadSize, *pulDataSize tells
// what came), then three 16-byte texts without their trailing blanks.
struct NetworkInfo {
  std::string strIPAddress;
  std::string strNetmask;
  std::string strGateway;
};
Decode DecodeNetworkInfo(std::span<const std::uint8_t> data, NetworkInfo* pInfo, std::uint32_t* pulDataSize);
// Up to kMaxNtpServers length-and-text pairs within DataSize, trailing blanks removed.
Decode DecodeNTPInfo(std::span<const std::uint8_t> data, std::vector<std::string>* pServers);
// DataSize 0: no name set (empty); else name length and name, trailing blanks removed.
Decode DecodeCHNName(std::span<const std::uint8_t> data, std::string* pstrName);
// DataSize, then the MTU inside the DataSize bytes.
Decode DecodeMTUInfo(std::span<const std::uint8_t> data, std::uint32_t* pulMTU);
// Appends route records until DataSize bytes are consumed; Truncated appends none. BadFlag: a
// Host or Route Flag other than 0 or 1, *pstrError the text to trace; the routes before it are
// appended.
Decode DecodeRoutingInfo(std::span<const std::uint8_t> data, std::vector<RouteTexts>* pRoutes,
                         std::string* pstrError);
// The command output: ulDataSize bytes of data.
Decode DecodeCommandIF(std::span<const std::uint8_t> data, std::uint32_t ulDataSize, std::string* pstrOutput);

// The 36 bytes of ReplyNetworkSetting0301: header, DataType and Result in one piece.
struct NetworkSettingReply {
  ReplyHeader header;
  BodyPrefix prefix;
};
Decode DecodeNetworkSetting0301Reply(std::span<const std::uint8_t> bytes, NetworkSettingReply* pReply);

// The text argument of the message for a setting reply's agent error: the rejected field's
// name, or the Result as "0x%08x".
std::string SettingErrorArgument(Exchange id, std::uint32_t ulResult);

}  // namespace agent
