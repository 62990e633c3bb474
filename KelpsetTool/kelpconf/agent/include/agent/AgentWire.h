// The board agent's wire protocol: frame constants, the table of exchanges and the fixed field
// widths. The client (CusrNasManager), the simulated agents, the tests and the fuzz targets all
// take the protocol from here.
//
// Every integer on the wire is unsigned 32-bit big-endian. A message starts with a 28-byte
// header: 16 bytes of magic (no terminator), ProtoVer, MsgType, MsgSize (bytes after MsgSize).
// A request goes on with the command word and, for most requests with parameters, DataSize and
// the parameters; a reply goes on with DataType (0x10000 + command) and Result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace agent {

inline constexpr std::string_view kMagic = "KELPAGENTMESSAGE";
inline constexpr std::size_t kMagicSize = 16;
inline constexpr std::size_t kHeaderSize = 28;       // magic, ProtoVer, MsgType, MsgSize
inline constexpr std::size_t kRequestPrefixSize = 36; // header, command, DataSize
inline constexpr std::size_t kBodyPrefixSize = 8;     // DataType and Result opening a reply body
inline constexpr std::uint32_t kDataTypeBase = 0x10000;
// The ProtoVer of the older exchanges, whose reply headers CheckProtocol checks.
inline constexpr std::uint32_t kOlderProtoVer = 0x00010000;
// A reply announcing more than this is a protocol error before anything is allocated.
inline constexpr std::uint32_t kMaxMsgSize = 16u << 20;
inline constexpr std::uint16_t kDefaultAgentPort = 20265;
inline constexpr std::uint32_t kReplyTimeoutSec = 60;
inline constexpr std::uint32_t kNetworkSettingLongWaitSec = 3720;

// Results of every operation of the client besides the agent's own codes.
inline constexpr std::uint32_t kResultOk = 0;
inline constexpr std::uint32_t kResultBadParameter = 1;  // refused before anything was sent
inline constexpr std::uint32_t kResultNoMemory = 4;
inline constexpr std::uint32_t kResultProtocol = 5;      // socket or protocol failure
inline constexpr std::uint32_t kResultAgentInfo = 6;     // an information reply carried an agent error
inline constexpr std::uint32_t kResultTimeout = 9;
inline constexpr std::uint32_t kResultRouteNotFound = 10;  // route delete: the caller shows its own message
inline constexpr std::uint32_t kResultBadRouteFlag = 0x15;

enum class Exchange {
  Install, UninstInfo, Uninstall, SutInstallCheck,
  NetworkInfo, NTPInfo, NTPSetting, CHNName, CHNNameSetting, MTUInfo, MTUSetting,
  RoutingInfo, RoutingAdd, RoutingDelete, NetworkSetting0301,
  CommandIF, ClusterStatus, ClusterDefinedStatus,
  NasOsLuBackupInfo, NasOsLuRestore, NasSharedLuBackupInfo, NasSharedLuRestore, InitializeCluster,
  NasOsLuRestoreStat, NasSharedLuRestoreStat, StopCluster, StopClusterStat, InitializeClusterStat,
  NasSystemLuBackupInfo, NasSystemLuExtract, NasSystemLuExtractStat, NasSystemLuRestore,
  NasSystemLuRestoreStat,
  Version,
};

struct ExchangeInfo {
  Exchange id;
  const char* name;  // the exchange's name without Request/Reply
  std::uint32_t msgType;
  std::uint32_t command;
  std::uint32_t protoVer;
};

inline constexpr std::array<ExchangeInfo, 34> kExchanges{{
    {Exchange::Install, "Install", 1, 0, 0x00010000},
    {Exchange::UninstInfo, "UninstInfo", 1, 1, 0x00010000},
    {Exchange::Uninstall, "Uninstall", 1, 2, 0x00010000},
    {Exchange::SutInstallCheck, "SutInstallCheck", 1, 3, 0x00040000},
    {Exchange::NetworkInfo, "NetworkInfo", 2, 0, 0x00010000},
    {Exchange::NTPInfo, "NTPInfo", 2, 2, 0x00010000},
    {Exchange::NTPSetting, "NTPSetting", 2, 3, 0x00010000},
    {Exchange::CHNName, "CHNName", 2, 4, 0x00010000},
    {Exchange::CHNNameSetting, "CHNNameSetting", 2, 5, 0x00010000},
    {Exchange::MTUInfo, "MTUInfo", 2, 6, 0x00020002},
    {Exchange::MTUSetting, "MTUSetting", 2, 7, 0x00020002},
    {Exchange::RoutingInfo, "RoutingInfo", 2, 8, 0x00030001},
    {Exchange::RoutingAdd, "RoutingAdd", 2, 9, 0x00030001},
    {Exchange::RoutingDelete, "RoutingDelete", 2, 10, 0x00030001},
    {Exchange::NetworkSetting0301, "NetworkSetting0301", 2, 11, 0x00030001},
    {Exchange::CommandIF, "CommandIF", 12, 0, 0x00010001},
    {Exchange::ClusterStatus, "ClusterStatus", 13, 1, 0x00010001},
    {Exchange::ClusterDefinedStatus, "ClusterDefinedStatus", 13, 2, 0x00020002},
    {Exchange::NasOsLuBackupInfo, "NasOsLuBackupInfo", 14, 3, 0x00010001},
    {Exchange::NasOsLuRestore, "NasOsLuRestore", 14, 4, 0x00010001},
    {Exchange::NasSharedLuBackupInfo, "NasSharedLuBackupInfo", 14, 5, 0x00010001},
    {Exchange::NasSharedLuRestore, "NasSharedLuRestore", 14, 6, 0x00010001},
    {Exchange::InitializeCluster, "InitializeCluster", 14, 7, 0x00010001},
    {Exchange::NasOsLuRestoreStat, "NasOsLuRestoreStat", 14, 8, 0x00010001},
    {Exchange::NasSharedLuRestoreStat, "NasSharedLuRestoreStat", 14, 9, 0x00010001},
    {Exchange::StopCluster, "StopCluster", 14, 10, 0x00010001},
    {Exchange::StopClusterStat, "StopClusterStat", 14, 11, 0x00010001},
    {Exchange::InitializeClusterStat, "InitializeClusterStat", 14, 12, 0x00010001},
    {Exchange::NasSystemLuBackupInfo, "NasSystemLuBackupInfo", 14, 14, 0x00050000},
    {Exchange::NasSystemLuExtract, "NasSystemLuExtract", 14, 15, 0x00050000},
    {Exchange::NasSystemLuExtractStat, "NasSystemLuExtractStat", 14, 16, 0x00050000},
    {Exchange::NasSystemLuRestore, "NasSystemLuRestore", 14, 17, 0x00050000},
    {Exchange::NasSystemLuRestoreStat, "NasSystemLuRestoreStat", 14, 18, 0x00050000},
    {Exchange::Version, "Version", 15, 0, 0x00010001},
}};

constexpr const ExchangeInfo& Info(Exchange id) { return kExchanges[static_cast<std::size_t>(id)]; }
constexpr std::uint32_t ReplyDataType(Exchange id) { return kDataTypeBase + Info(id).command; }
// The exchange a request's MsgType and command name, or null.
constexpr const ExchangeInfo* FindExchange(std::uint32_t msgType, std::uint32_t command) {
  for (const ExchangeInfo& info : kExchanges)
    if (info.msgType == msgType && info.command == command) return &info;
  return nullptr;
}
static_assert(Info(Exchange::Version).command == 0 && Info(Exchange::Version).msgType == 15,
              "kExchanges is in Exchange order");

// Fixed field widths and values.
inline constexpr std::size_t kAddressTextWidth = 16;   // "%d.%d.%d.%d" padded with blanks
inline constexpr std::size_t kInterfaceNameWidth = 4;  // "mng0" in the network setting
inline constexpr std::size_t kRouteInterfaceWidth = 9;
inline constexpr std::size_t kRouteNetmaskWidth = 16;
inline constexpr std::string_view kRouteAddInterface = "mng1     ";
inline constexpr std::string_view kDefaultRouteTarget = "default";
inline constexpr std::uint32_t kNetworkInfoDataSize = 48;
inline constexpr std::uint32_t kNetworkSettingDataSize = 36;
inline constexpr std::size_t kNetworkSettingReplySize = 36;  // header and body in one piece
inline constexpr std::size_t kMaxNtpServers = 3;
inline constexpr std::size_t kInstallDateWidth = 20;
inline constexpr std::size_t kInstallTypeWidth = 4;
inline constexpr std::uint32_t kSutCheckDataSize = 16;
inline constexpr std::size_t kBackupDateWidth = 16;
inline constexpr std::size_t kSystemLuFileWidth = 40;
// The command line the setup tool runs on a board to see which processes are up.
inline constexpr std::string_view kPsCommandLine = "ps -eo comm --sort cmd --no-headers";
inline constexpr std::uint32_t kVersionRequestWord = 0x02020000;
inline constexpr std::uint32_t kNewerAgentVersion = 0x05000001;  // an agent at least this new is newer than the tool
inline constexpr std::uint32_t kStopClusterWord = 3;
inline constexpr std::uint32_t kInstallErrorBit = 0x10000000;    // ORed into an install verdict
inline constexpr std::uint32_t kRestoreCodeBit = 0x01000000;     // ORed into a shown restore code

// Progress states of the polling replies.
inline constexpr std::uint32_t kStatFinished = 0;
inline constexpr std::uint32_t kStatRunning = 101;
inline constexpr std::array<std::uint32_t, 3> kInitClusterStates{15, 16, 17};

// SutInstallCheck requirement flags as the caller receives them.
inline constexpr std::uint32_t kNeedClusterStop = 0x1;
inline constexpr std::uint32_t kNeedNodeStop = 0x2;
inline constexpr std::uint32_t kNeedServiceStop = 0x4;
inline constexpr std::uint32_t kSutCheckNotice0 = 0x500;  // SutInstallCheck Results that are not errors
inline constexpr std::uint32_t kSutCheckNotice2 = 0x502;

// Route record texts as a listed route hands them over, in this order.
enum RouteField { kRouteInterface, kRouteTarget, kRouteNetmask, kRouteGateway, kRouteRouteFlag, kRouteMss,
                  kRouteHostFlag, kRouteFieldCount };
inline constexpr std::string_view kHostFlagWords[2] = {"Network", "Host"};
inline constexpr std::string_view kRouteFlagWords[2] = {"Allow", "Reject"};

// Installed product texts as ReplyUninstInfo hands them over, in this order.
enum ProductField { kProductName, kProductVersion, kProductDate, kProductType, kProductCode, kProductFieldCount };

}  // namespace agent
