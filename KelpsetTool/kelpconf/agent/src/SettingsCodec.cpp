#include "agent/SettingsCodec.h"

#include <charconv>
#include <cstdio>

#include "agent/AgentCodes.h"
#include "agent/ByteReader.h"
#include "agent/Pack.h"
#include "agent/ReplyTrace.h"
#include "common/TextFormats.h"

namespace agent {
namespace {

// The DataSize word and the DataSize bytes after it, which must all have been received.
Decode DataRegion(std::span<const std::uint8_t> data, std::span<const std::uint8_t>* pRegion) {
  ByteReader reader(data);
  std::uint32_t ulDataSize = 0;
  if (!reader.Word(&ulDataSize) || ulDataSize > reader.Left()) return Decode::Truncated;
  *pRegion = data.subspan(reader.Used(), ulDataSize);
  return Decode::Ok;
}

std::string DottedOrEmpty(const std::optional<std::array<std::uint8_t, 4>>& address) {
  return address ? common::AddressText(address->data()) : std::string();
}

std::uint32_t Size(const std::string& text) { return static_cast<std::uint32_t>(text.size()); }

bool FlagWord(const std::string& word, const std::string_view (&words)[2], std::uint32_t* pulFlag) {
  for (std::uint32_t i = 0; i < 2; ++i)
    if (word == words[i]) {
      *pulFlag = i;
      return true;
    }
  return false;
}

}  // namespace

std::string InterfaceName(std::uint32_t ulInterface) { return "mng" + std::to_string(ulInterface); }

Bytes EncodeNetworkInfoRequest(std::uint32_t ulInterface) {
  const std::string name = InterfaceName(ulInterface);
  Bytes params;
  Pack(params, MakeFormat("S(%zu)", name.size()), {name});
  return EncodeRequest(Exchange::NetworkInfo, params);
}

Bytes EncodeNetworkSetting0301Request(std::uint32_t ulInterface, const std::string& strIPAddress,
                                      const std::string& strNetmask) {
  Bytes params;
  Pack(params, MakeFormat("S(%zu)S(%zu)S(%zu)", kInterfaceNameWidth, kAddressTextWidth, kAddressTextWidth),
       {InterfaceName(ulInterface), strIPAddress, strNetmask});
  return EncodeRequest(Exchange::NetworkSetting0301, params);
}

Bytes EncodeNTPSettingRequest(const std::vector<std::string>& servers) {
  Bytes params;
  for (std::size_t i = 0; i < servers.size() && i < kMaxNtpServers; ++i)
    Pack(params, MakeFormat("lS(%zu)", servers[i].size()), {Size(servers[i]), servers[i]});
  return EncodeRequest(Exchange::NTPSetting, params);
}

Bytes EncodeCHNNameSettingRequest(const std::string& strName) {
  Bytes params;
  Pack(params, MakeFormat("lS(%zu)", strName.size()), {Size(strName), strName});
  return EncodeRequest(Exchange::CHNNameSetting, params);
}

Bytes EncodeMTUInfoRequest(std::uint32_t ulInterface) {
  const std::string name = InterfaceName(ulInterface);
  Bytes params;
  Pack(params, MakeFormat("S(%zu)", name.size()), {name});
  return EncodeRequest(Exchange::MTUInfo, params);
}

Bytes EncodeMTUSettingRequest(std::uint32_t ulInterface, std::uint32_t ulMTU) {
  const std::string name = InterfaceName(ulInterface);
  Bytes params;
  Pack(params, MakeFormat("S(%zu)l", name.size()), {name, ulMTU});
  return EncodeRequest(Exchange::MTUSetting, params);
}

Bytes EncodeRoutingAddRequest(const NewRoute& route) {
  const std::string target =
      PadToWord(route.target ? common::AddressText(route.target->data()) : std::string(kDefaultRouteTarget));
  const std::string gateway = PadToWord(DottedOrEmpty(route.gateway));
  const std::string netmask = common::AddressText(route.netmask.data());
  Bytes params;
  Pack(params,
       MakeFormat("S(%zu)lS(%zu)S(%zu)lS(%zu)lll", kRouteInterfaceWidth, target.size(), kRouteNetmaskWidth,
                  gateway.size()),
       {kRouteAddInterface, Size(target), target, netmask, Size(gateway), gateway, route.ulHostFlag,
        route.ulRouteFlag, route.ulMSS});
  return EncodeRequest(Exchange::RoutingAdd, params);
}

Bytes EncodeRoutingDeleteRequest(const RouteTexts& route, std::string* pstrRefusal) {
  const std::string& iface = route[kRouteInterface];
  const std::string& netmask = route[kRouteNetmask];
  if (iface.size() > kRouteInterfaceWidth) {
    *pstrRefusal = "Too Long Interface Name: |" + TracedText(iface) + "|";
    return {};
  }
  if (netmask.size() > kRouteNetmaskWidth) {
    *pstrRefusal = "Too Long NetMask: |" + TracedText(netmask) + "|";
    return {};
  }
  std::uint32_t ulHostFlag = 0;
  std::uint32_t ulRouteFlag = 0;
  if (!FlagWord(route[kRouteHostFlag], kHostFlagWords, &ulHostFlag)) {
    *pstrRefusal = "Invalid Host Flag: " + TracedText(route[kRouteHostFlag]);
    return {};
  }
  if (!FlagWord(route[kRouteRouteFlag], kRouteFlagWords, &ulRouteFlag)) {
    *pstrRefusal = "Invalid Route Flag: " + TracedText(route[kRouteRouteFlag]);
    return {};
  }
  const std::string& mssText = route[kRouteMss];
  std::uint32_t ulMSS = 0;
  const auto [end, error] = std::from_chars(mssText.data(), mssText.data() + mssText.size(), ulMSS);
  if (mssText.empty() || error != std::errc() || end != mssText.data() + mssText.size()) {
    *pstrRefusal = "Invalid MSS: " + TracedText(mssText);
    return {};
  }
  const std::string target = PadToWord(route[kRouteTarget]);
  const std::string gateway = route[kRouteGateway] == "*" ? std::string() : PadToWord(route[kRouteGateway]);
  Bytes params;
  Pack(params,
       MakeFormat("S(%zu)lS(%zu)S(%zu)lS(%zu)lll", kRouteInterfaceWidth, target.size(), kRouteNetmaskWidth,
                  gateway.size()),
       {iface, Size(target), target, netmask, Size(gateway), gateway, ulHostFlag, ulRouteFlag, ulMSS});
  return EncodeRequest(Exchange::RoutingDelete, params);
}

Bytes EncodeCommandIFRequest(const std::string& strCommandLine) {
  Bytes params;
  Pack(params, MakeFormat("S(%zu)", strCommandLine.size()), {strCommandLine});
  return EncodeRequest(Exchange::CommandIF, params);
}

Bytes EncodeVersionRequest(std::uint32_t ulToolVersion) {
  Bytes params;
  Pack(params, "ll", {kVersionRequestWord, ulToolVersion});
  return EncodeRequest(Exchange::Version, params);
}

std::uint32_t VersionWord(const std::string& strVersionText) {
  unsigned parts[4];
  char tail = 0;
  if (std::sscanf(strVersionText.c_str(), "%u, %u, %u, %u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) !=
      4)
    return 0xFFFFFFFF;
  return (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
}

Decode DecodeNetworkInfo(std::span<const std::uint8_t> data, NetworkInfo* pInfo, std::uint32_t* pulDataSize) {
  ByteReader reader(data);
  *pulDataSize = 0;
  if (!reader.Word(pulDataSize)) return Decode::Truncated;
  if (*pulDataSize != kNetworkInfoDataSize) return Decode::BadSize;
  std::string texts[3];
  for (std::string& text : texts)
    if (!reader.Text(kAddressTextWidth, &text)) return Decode::Truncated;
  pInfo->strIPAddress = TrimTrailingBlanks(texts[0]);
  pInfo->strNetmask = TrimTrailingBlanks(texts[1]);
  pInfo->strGateway = TrimTrailingBlanks(texts[2]);
  return Decode::Ok;
}

Decode DecodeNTPInfo(std::span<const std::uint8_t> data, std::vector<std::string>* pServers) {
  std::span<const std::uint8_t> region;
  if (const Decode status = DataRegion(data, &region); status != Decode::Ok) return status;
  ByteReader reader(region);
  std::vector<std::string> servers;
  while (reader.Left() > 0 && servers.size() < kMaxNtpServers) {
    std::uint32_t ulLength = 0;
    std::string server;
    if (!reader.Word(&ulLength) || !reader.Text(ulLength, &server)) return Decode::Truncated;
    servers.push_back(TrimTrailingBlanks(server));
  }
  *pServers = std::move(servers);
  return Decode::Ok;
}

Decode DecodeCHNName(std::span<const std::uint8_t> data, std::string* pstrName) {
  std::span<const std::uint8_t> region;
  if (const Decode status = DataRegion(data, &region); status != Decode::Ok) return status;
  pstrName->clear();
  if (region.empty()) return Decode::Ok;
  ByteReader reader(region);
  std::uint32_t ulLength = 0;
  std::string name;
  if (!reader.Word(&ulLength) || !reader.Text(ulLength, &name)) return Decode::Truncated;
  *pstrName = TrimTrailingBlanks(name);
  return Decode::Ok;
}

Decode DecodeMTUInfo(std::span<const std::uint8_t> data, std::uint32_t* pulMTU) {
  std::span<const std::uint8_t> region;
  if (const Decode status = DataRegion(data, &region); status != Decode::Ok) return status;
  ByteReader reader(region);
  return reader.Word(pulMTU) ? Decode::Ok : Decode::Truncated;
}

Decode DecodeRoutingInfo(std::span<const std::uint8_t> data, std::vector<RouteTexts>* pRoutes,
                         std::string* pstrError) {
  std::span<const std::uint8_t> region;
  if (const Decode status = DataRegion(data, &region); status != Decode::Ok) return status;
  ByteReader reader(region);
  std::vector<RouteTexts> routes;
  // A record cut short hands out none of the records; a bad flag ends the list after those before it.
  const auto keep = [&] { pRoutes->insert(pRoutes->end(), routes.begin(), routes.end()); };
  while (reader.Left() > 0) {
    RouteTexts route;
    std::uint32_t ulTargetLength = 0, ulGatewayLength = 0, ulHostFlag = 0, ulRouteFlag = 0, ulMSS = 0;
    if (!reader.Text(kRouteInterfaceWidth, &route[kRouteInterface]) || !reader.Word(&ulTargetLength) ||
        !reader.Text(ulTargetLength, &route[kRouteTarget]) || !reader.Text(kRouteNetmaskWidth, &route[kRouteNetmask]) ||
        !reader.Word(&ulGatewayLength) || !reader.Text(ulGatewayLength, &route[kRouteGateway]) ||
        !reader.Word(&ulHostFlag) || !reader.Word(&ulRouteFlag) || !reader.Word(&ulMSS))
      return Decode::Truncated;
    if (ulHostFlag > 1 || ulRouteFlag > 1) {
      *pstrError = ulHostFlag > 1 ? MakeFormat("Invalid Host Flag: 0x%08x", ulHostFlag)
                                  : MakeFormat("Invalid Route Flag: 0x%08x", ulRouteFlag);
      keep();
      return Decode::BadFlag;
    }
    if (ulGatewayLength == 0) route[kRouteGateway] = "*";
    route[kRouteHostFlag] = kHostFlagWords[ulHostFlag];
    route[kRouteRouteFlag] = kRouteFlagWords[ulRouteFlag];
    route[kRouteMss] = std::to_string(ulMSS);
    routes.push_back(std::move(route));
  }
  keep();
  return Decode::Ok;
}

Decode DecodeCommandIF(std::span<const std::uint8_t> data, std::uint32_t ulDataSize, std::string* pstrOutput) {
  ByteReader reader(data);
  return reader.Text(ulDataSize, pstrOutput) ? Decode::Ok : Decode::Truncated;
}

Decode DecodeNetworkSetting0301Reply(std::span<const std::uint8_t> bytes, NetworkSettingReply* pReply) {
  const UnpackResult r =
      Unpack(bytes, MakeFormat("S(%zu)lllll", kMagicSize),
             {&pReply->header.magic, &pReply->header.protoVer, &pReply->header.msgType, &pReply->header.msgSize,
              &pReply->prefix.dataType, &pReply->prefix.result});
  return r.complete ? Decode::Ok : Decode::Truncated;
}

std::string SettingErrorArgument(Exchange id, std::uint32_t ulResult) {
  struct FieldName {
    Exchange id;
    std::uint32_t result;
    const char* name;
  };
  static constexpr FieldName kFieldNames[] = {
      {Exchange::NetworkSetting0301, kAgentField0, "NIC Type"},
      {Exchange::NetworkSetting0301, kAgentField1, "IP Address"},
      {Exchange::NetworkSetting0301, kAgentField2, "Network Mask"},
      {Exchange::NTPSetting, kAgentField0, "NTP Server 1"},
      {Exchange::NTPSetting, kAgentField1, "NTP Server 2"},
      {Exchange::NTPSetting, kAgentField2, "NTP Server 3"},
      {Exchange::NTPSetting, kAgentTooManyValues, "NTP Server"},
      {Exchange::CHNNameSetting, kAgentField1, "CHA Name"},
      {Exchange::CHNNameSetting, kAgentTooManyValues, "CHA Name"},
      {Exchange::RoutingAdd, kAgentRouteInterface, "Interface"},
      {Exchange::RoutingAdd, kAgentRouteTarget, "Target"},
      {Exchange::RoutingAdd, kAgentRouteNetmask, "NetMask"},
      {Exchange::RoutingAdd, kAgentRouteGateway, "Gateway"},
  };
  for (const FieldName& row : kFieldNames)
    if (row.id == id && row.result == ulResult) return row.name;
  return common::CodeText(ulResult);
}

}  // namespace agent
