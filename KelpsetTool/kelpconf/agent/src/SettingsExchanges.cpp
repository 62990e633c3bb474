// The board-settings and status exchanges: requests from SettingsCodec, replies through the
// shared frame steps, agent errors shown with the rejected field's name.
#include <algorithm>
#include <span>

#include "agent/AgentCodes.h"
#include "agent/CusrNasManager.h"
#include "agent/FailureCause.h"
#include "agent/Pack.h"
#include "agent/ReplyTrace.h"
#include "agent/SettingsCodec.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "common/TraceLine.h"
#include "plat/Version.h"

using namespace agent;

namespace {

constexpr const char* kClass = "CusrNasManager";

void Show(std::uint32_t ulMessageId, const std::string& strArgument) {
  common::TraceLine(TRC_ERROR, ShowMessage(ulMessageId, strArgument));
}

// An information reply carrying an agent error: the code's message, result 6.
std::uint32_t InfoError(std::uint32_t ulCode, const char* pszTrace) {
  common::TraceLine(TRC_ERROR, pszTrace);
  CusrNasManager::ShowAgentError(ulCode);
  return kResultAgentInfo;
}

// Where a setting reply's agent codes have their meaning.
CodeScope ScopeOf(Exchange id) {
  switch (id) {
    case Exchange::NetworkSetting0301:
      return CodeScope::NetworkSetting;
    case Exchange::RoutingAdd:
      return CodeScope::RoutingAdd;
    default:
      return CodeScope::AnyReply;
  }
}

// A setting reply carrying an agent error: the message naming the rejected field; the Result
// is the operation's result, except for a route that was not there to delete (10).
std::uint32_t SettingError(Exchange id, std::uint32_t ulCode) {
  if (id == Exchange::NetworkSetting0301 && ulCode == kAgentNotChanged) {
    common::TraceLine(TRC_INFO, "Network Information is not changed.");
    return ulCode;
  }
  if (id == Exchange::RoutingDelete && FindAgentCode(CodeScope::RoutingDelete, ulCode) != nullptr) {
    common::TraceLine(TRC_ERROR, "Error Code: " + common::CodeText(ulCode));
    return kResultRouteNotFound;
  }
  common::TraceLine(TRC_ERROR, "Error Code: " + common::CodeText(ulCode));
  Show(AgentCodeMessage(ScopeOf(id), ulCode), SettingErrorArgument(id, ulCode));
  return ulCode;
}

// A protocol error of a quiet exchange: traced, no box.
std::uint32_t QuietProtocolError(const CusrTraceScope& trace, const std::string& text) {
  FailureCause::Note(text);
  trace.Error(text, TRC_ERROR);
  return kResultProtocol;
}

// What a decoder did not accept, as the trace line of the protocol error.
std::string DecodeTrace(Decode status, std::size_t nReceived) {
  return MakeFormat("Invalid Data size : %zu (%s)", nReceived, ToText(status));
}

std::span<const std::uint8_t> DataOf(const std::vector<std::uint8_t>& body) {
  return std::span(body).subspan(std::min(body.size(), kBodyPrefixSize));
}

}  // namespace

std::uint32_t CusrNasManager::RequestNetworkInfo(int nSocket, std::uint32_t ulInterface) const {
  CusrTraceScope trace(kClass, "RequestNetworkInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeNetworkInfoRequest(ulInterface), false);
}

std::uint32_t CusrNasManager::ReplyNetworkInfo(int nSocket, std::string* pstrIPAddress, std::string* pstrNetmask,
                                               std::string* pstrGateway) const {
  CusrTraceScope trace(kClass, "ReplyNetworkInfo", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::NetworkInfo, false, &body, &prefix); r != kResultOk)
    return r;
  if (prefix.result != kResultOk) return InfoError(prefix.result, "Cannot get Network info");
  NetworkInfo info;
  std::uint32_t ulDataSize = 0;
  const Decode status = DecodeNetworkInfo(DataOf(body), &info, &ulDataSize);
  if (status == Decode::BadSize) return ProtocolError(MakeFormat("Invalid Data size : %u", ulDataSize).c_str());
  if (status != Decode::Ok) return ProtocolError(DecodeTrace(status, body.size()).c_str());
  trace.Info("IP Address = " + info.strIPAddress + ", Netmask = " + info.strNetmask + ", Gateway = " + info.strGateway,
             TRC_INFO);
  *pstrIPAddress = info.strIPAddress;
  *pstrNetmask = info.strNetmask;
  *pstrGateway = info.strGateway;
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestNetworkSetting0301(int nSocket, std::uint32_t ulInterface,
                                                        const std::string& strIPAddress,
                                                        const std::string& strNetmask) const {
  CusrTraceScope trace(kClass, "RequestNetworkSetting0301", TRC_FUNC);
  return SendRequest(nSocket, EncodeNetworkSetting0301Request(ulInterface, strIPAddress, strNetmask), false);
}

std::uint32_t CusrNasManager::ReplyNetworkSetting0301(int nSocket, std::uint32_t ulWaitFlag) const {
  CusrTraceScope trace(kClass, "ReplyNetworkSetting0301", TRC_FUNC);
  std::uint8_t bytes[kNetworkSettingReplySize];
  // Only the first wait covers the agent applying the setting; the rest of the reply follows at once.
  const std::uint32_t ulFirstWait = ulWaitFlag == 1 ? kNetworkSettingLongWaitSec : kReplyTimeoutSec;
  if (const std::uint32_t r = RecvMessage(nSocket, bytes, 1, ulFirstWait); r != kResultOk) return r;
  if (const std::uint32_t r = RecvMessage(nSocket, bytes + 1, sizeof bytes - 1, kReplyTimeoutSec); r != kResultOk)
    return r;
  trace.Info(MakeFormat("Recv Size:%zu", sizeof bytes), TRC_INFO);
  NetworkSettingReply reply;
  DecodeNetworkSetting0301Reply(bytes, &reply);
  trace.Info("Protocol Header    : |" + reply.header.magic + "|", TRC_INFO);
  trace.Info(MakeFormat("Protocol Version   : 0x%08x", reply.header.protoVer), TRC_INFO);
  trace.Info(MakeFormat("Message Type       : 0x%08x", reply.header.msgType), TRC_INFO);
  trace.Info(MakeFormat("Data Type          : 0x%08x", reply.prefix.dataType), TRC_INFO);
  trace.Info(MakeFormat("Result Code        : 0x%08x", reply.prefix.result), TRC_INFO);
  const ExchangeInfo& info = Info(Exchange::NetworkSetting0301);
  if (!IsMagic(reply.header.magic)) return ProtocolError(("Invalid header: |" + reply.header.magic + "|").c_str());
  if (reply.header.protoVer != info.protoVer)
    return ProtocolError(MakeFormat("Invalid Protocol Version: 0x%08x", reply.header.protoVer).c_str());
  if (reply.header.msgType != info.msgType)
    return ProtocolError(MakeFormat("Invalid Message Type: 0x%08x", reply.header.msgType).c_str());
  // The piece read holds the whole reply: a MsgSize announcing more is a lie about the bytes sent.
  if (reply.header.msgSize != kNetworkSettingReplySize - kHeaderSize)
    return ProtocolError(MakeFormat("Invalid MsgSize = %u", reply.header.msgSize).c_str());
  if (reply.prefix.dataType != ReplyDataType(Exchange::NetworkSetting0301)) return ProtocolError("Invalid Data Type");
  if (reply.prefix.result != kResultOk) return SettingError(Exchange::NetworkSetting0301, reply.prefix.result);
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestNTPInfo(int nSocket) const {
  CusrTraceScope trace(kClass, "RequestNTPInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NTPInfo), false);
}

std::uint32_t CusrNasManager::ReplyNTPInfo(int nSocket, std::vector<std::string>* pServers) const {
  CusrTraceScope trace(kClass, "ReplyNTPInfo", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::NTPInfo, false, &body, &prefix); r != kResultOk)
    return r;
  if (prefix.result != kResultOk) return InfoError(prefix.result, "Cannot get NTP info");
  std::vector<std::string> servers;
  if (const Decode status = DecodeNTPInfo(DataOf(body), &servers); status != Decode::Ok)
    return ProtocolError(DecodeTrace(status, body.size()).c_str());
  for (const std::string& server : servers) trace.Info("NTP Server = |" + TracedText(server) + "|", TRC_INFO);
  *pServers = std::move(servers);
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestNTPSetting(int nSocket, const std::vector<std::string>& servers) const {
  CusrTraceScope trace(kClass, "RequestNTPSetting", TRC_FUNC);
  return SendRequest(nSocket, EncodeNTPSettingRequest(servers), false);
}

std::uint32_t CusrNasManager::ReplyNTPSetting(int nSocket) const {
  CusrTraceScope trace(kClass, "ReplyNTPSetting", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::NTPSetting, false, &body, &prefix); r != kResultOk)
    return r;
  return prefix.result == kResultOk ? kResultOk : SettingError(Exchange::NTPSetting, prefix.result);
}

std::uint32_t CusrNasManager::RequestCHNName(int nSocket) const {
  CusrTraceScope trace(kClass, "RequestCHNName", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::CHNName), false);
}

std::uint32_t CusrNasManager::ReplyCHNName(int nSocket, std::string* pstrName) const {
  CusrTraceScope trace(kClass, "ReplyCHNName", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::CHNName, false, &body, &prefix); r != kResultOk)
    return r;
  if (prefix.result != kResultOk) return InfoError(prefix.result, "Cannot get CHN name");
  std::string name;
  if (const Decode status = DecodeCHNName(DataOf(body), &name); status != Decode::Ok)
    return ProtocolError(DecodeTrace(status, body.size()).c_str());
  if (name.empty()) trace.Info("No setting CHN name", TRC_INFO);
  *pstrName = std::move(name);
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestCHNNameSetting(int nSocket, const std::string& strName) const {
  CusrTraceScope trace(kClass, "RequestCHNNameSetting", TRC_FUNC);
  return SendRequest(nSocket, EncodeCHNNameSettingRequest(strName), false);
}

std::uint32_t CusrNasManager::ReplyCHNNameSetting(int nSocket) const {
  CusrTraceScope trace(kClass, "ReplyCHNNameSetting", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::CHNNameSetting, false, &body, &prefix);
      r != kResultOk)
    return r;
  return prefix.result == kResultOk ? kResultOk : SettingError(Exchange::CHNNameSetting, prefix.result);
}

std::uint32_t CusrNasManager::RequestMTUInfo(int nSocket, std::uint32_t ulInterface) const {
  CusrTraceScope trace(kClass, "RequestMTUInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeMTUInfoRequest(ulInterface), false);
}

std::uint32_t CusrNasManager::ReplyMTUInfo(int nSocket, std::uint32_t* pulMTU) const {
  CusrTraceScope trace(kClass, "ReplyMTUInfo", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::MTUInfo, false, &body, &prefix); r != kResultOk)
    return r;
  if (prefix.result != kResultOk) return SettingError(Exchange::MTUInfo, prefix.result);
  std::uint32_t ulMTU = 0;
  if (const Decode status = DecodeMTUInfo(DataOf(body), &ulMTU); status != Decode::Ok)
    return ProtocolError(DecodeTrace(status, body.size()).c_str());
  trace.Info(MakeFormat("MTU = %u", ulMTU), TRC_INFO);
  *pulMTU = ulMTU;
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestMTUSetting(int nSocket, std::uint32_t ulInterface, std::uint32_t ulMTU) const {
  CusrTraceScope trace(kClass, "RequestMTUSetting", TRC_FUNC);
  return SendRequest(nSocket, EncodeMTUSettingRequest(ulInterface, ulMTU), false);
}

std::uint32_t CusrNasManager::ReplyMTUSetting(int nSocket) const {
  CusrTraceScope trace(kClass, "ReplyMTUSetting", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::MTUSetting, false, &body, &prefix); r != kResultOk)
    return r;
  return prefix.result == kResultOk ? kResultOk : SettingError(Exchange::MTUSetting, prefix.result);
}

std::uint32_t CusrNasManager::RequestRoutingInfo(int nSocket) const {
  CusrTraceScope trace(kClass, "RequestRoutingInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::RoutingInfo), false);
}

std::uint32_t CusrNasManager::ReplyRoutingInfo(int nSocket, std::vector<RouteTexts>* pRoutes) const {
  CusrTraceScope trace(kClass, "ReplyRoutingInfo", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::RoutingInfo, false, &body, &prefix); r != kResultOk)
    return r;
  if (prefix.result != kResultOk) return InfoError(prefix.result, "Cannot get Routing info");
  const std::size_t nBefore = pRoutes->size();
  std::string strError;
  const Decode status = DecodeRoutingInfo(DataOf(body), pRoutes, &strError);
  TraceRecords(pRoutes->size() - nBefore, "routes", [&](std::size_t i) {
    const RouteTexts& route = (*pRoutes)[nBefore + i];
    trace.Info("Interface = |" + TracedText(route[kRouteInterface]) + "|", TRC_INFO);
    trace.Info("Target = |" + TracedText(route[kRouteTarget]) + "|", TRC_INFO);
    trace.Info("Netmask = |" + TracedText(route[kRouteNetmask]) + "|", TRC_INFO);
    trace.Info("Gateway = |" + TracedText(route[kRouteGateway]) + "|", TRC_INFO);
    trace.Info("Host Type = " + route[kRouteHostFlag], TRC_INFO);
    trace.Info("Route Type = " + route[kRouteRouteFlag], TRC_INFO);
    trace.Info("MSS = " + route[kRouteMss], TRC_INFO);
  });
  if (status == Decode::BadFlag) {
    common::TraceLine(TRC_ERROR, strError);
    Show(msg::kNasManagerError, common::CodeText(kResultBadRouteFlag));
    return kResultBadRouteFlag;
  }
  if (status != Decode::Ok) return ProtocolError(DecodeTrace(status, body.size()).c_str());
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestRoutingAdd(int nSocket, const NewRoute& route) const {
  CusrTraceScope trace(kClass, "RequestRoutingAdd", TRC_FUNC);
  return SendRequest(nSocket, EncodeRoutingAddRequest(route), false);
}

std::uint32_t CusrNasManager::ReplyRoutingAdd(int nSocket) const {
  CusrTraceScope trace(kClass, "ReplyRoutingAdd", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::RoutingAdd, false, &body, &prefix); r != kResultOk)
    return r;
  return prefix.result == kResultOk ? kResultOk : SettingError(Exchange::RoutingAdd, prefix.result);
}

std::uint32_t CusrNasManager::RequestRoutingDelete(int nSocket, const RouteTexts& route) const {
  CusrTraceScope trace(kClass, "RequestRoutingDelete", TRC_FUNC);
  std::string strRefusal;
  const std::vector<std::uint8_t> request = EncodeRoutingDeleteRequest(route, &strRefusal);
  if (request.empty()) {
    FailureCause::Note(strRefusal);
    trace.Error(strRefusal, TRC_ERROR);
    return kResultBadParameter;
  }
  const auto inserted = [&](const char* pszField, std::size_t nLength, std::size_t nWidth) {
    trace.Debug(MakeFormat("%s Inserted [%zu] Spaces", pszField, nWidth - std::min(nLength, nWidth)), TRC_DEBUG);
  };
  const std::size_t nTarget = route[kRouteTarget].size();
  const std::size_t nGateway = route[kRouteGateway] == "*" ? 0 : route[kRouteGateway].size();
  inserted("Interface", route[kRouteInterface].size(), kRouteInterfaceWidth);
  inserted("Target", nTarget, (nTarget + 3) / 4 * 4);
  inserted("NetMask", route[kRouteNetmask].size(), kRouteNetmaskWidth);
  inserted("Gateway", nGateway, (nGateway + 3) / 4 * 4);
  return SendRequest(nSocket, request, false);
}

std::uint32_t CusrNasManager::ReplyRoutingDelete(int nSocket) const {
  CusrTraceScope trace(kClass, "ReplyRoutingDelete", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::RoutingDelete, false, &body, &prefix);
      r != kResultOk)
    return r;
  return prefix.result == kResultOk ? kResultOk : SettingError(Exchange::RoutingDelete, prefix.result);
}

std::uint32_t CusrNasManager::RequestCommandIF(int nSocket, const std::string& strCommandLine) const {
  CusrTraceScope trace(kClass, "RequestCommandIF", TRC_FUNC);
  return SendRequest(nSocket, EncodeCommandIFRequest(strCommandLine), true);
}

std::uint32_t CusrNasManager::ReplyCommandIF(int nSocket, std::string* pstrOutput) const {
  CusrTraceScope trace(kClass, "ReplyCommandIF", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::CommandIF, true, &body, &prefix); r != kResultOk)
    return r;
  const std::uint32_t iDataSize = prefix.result;
  if (DecodeCommandIF(DataOf(body), iDataSize, pstrOutput) != Decode::Ok)
    return QuietProtocolError(trace, MakeFormat("Invalid Data size : %u", iDataSize));
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestClusterStatus(int nSocket) const {
  CusrTraceScope trace(kClass, "RequestClusterStatus", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::ClusterStatus), false);
}

std::uint32_t CusrNasManager::ReplyClusterStatus(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope trace(kClass, "ReplyClusterStatus", TRC_FUNC);
  std::uint8_t bytes[kHeaderSize];
  if (const std::uint32_t r = RecvMessage(nSocket, bytes, sizeof bytes, kReplyTimeoutSec); r != kResultOk) return r;
  ReplyHeader header;
  DecodeHeader(bytes, &header);
  const ExchangeInfo& info = Info(Exchange::ClusterStatus);
  if (!IsMagic(header.magic) || header.msgType != info.msgType)
    return ProtocolError(MakeFormat("Invalid Message, Hesder(%s), ReqType(0x%08x), RepType(0x%08x)",
                                    header.magic.c_str(), info.msgType, header.msgType)
                             .c_str());
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveReply(nSocket, Exchange::ClusterStatus, header.msgSize, &body, &prefix, false);
      r != kResultOk)
    return r;
  *pulStatus = prefix.result;
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestClusterDefinedStatus(int nSocket) const {
  CusrTraceScope trace(kClass, "RequestClusterDefinedStatus", TRC_FUNC);
  const ExchangeInfo& info = Info(Exchange::ClusterDefinedStatus);
  return SendHeader(nSocket, info.protoVer, info.msgType, 4, info.command);
}

std::uint32_t CusrNasManager::ReplyClusterDefinedStatus(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope trace(kClass, "ReplyClusterDefinedStatus", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t r = ReceiveWholeReply(nSocket, Exchange::ClusterDefinedStatus, false, &body, &prefix);
      r != kResultOk)
    return r;
  *pulStatus = prefix.result;
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestVersion(int nSocket) const {
  CusrTraceScope trace(kClass, "RequestVersion", TRC_FUNC);
  return SendRequest(nSocket, EncodeVersionRequest(ToolVersionWord()), true);
}

std::uint32_t CusrNasManager::ReplyVersion(int nSocket, std::uint32_t* pulVersion) const {
  CusrTraceScope trace(kClass, "ReplyVersion", TRC_FUNC);
  const ExchangeInfo& info = Info(Exchange::Version);
  std::uint32_t ulMsgSize = 0;
  if (const std::uint32_t r = RecvHeaderEx(nSocket, info.protoVer, info.msgType, &ulMsgSize); r != kResultOk) return r;
  std::vector<std::uint8_t> body;
  if (const std::uint32_t r = ReceiveBody(nSocket, ulMsgSize, &body, true); r != kResultOk) return r;
  BodyPrefix prefix;
  if (DecodeBodyPrefix(body, &prefix) != Decode::Ok) {
    return QuietProtocolError(trace, MakeFormat("Invalid Data size : %zu", body.size()));
  }
  if (prefix.dataType != ReplyDataType(Exchange::Version)) {
    return QuietProtocolError(trace, MakeFormat("Invalid Data type = 0x%08x", prefix.dataType));
  }
  trace.Info(MakeFormat("Agent Version = 0x%08x", prefix.result), TRC_INFO);
  *pulVersion = prefix.result;
  return kResultOk;
}

std::uint32_t CusrNasManager::ToolVersionWord() { return VersionWord(plat::ProgramVersionText()); }
