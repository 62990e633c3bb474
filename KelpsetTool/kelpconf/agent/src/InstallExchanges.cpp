// The installation exchanges of CusrNasManager: install, list and remove program products, and
// the check of what an installation will require.
#include <new>

#include "agent/AgentCodes.h"
#include "agent/CusrNasManager.h"
#include "agent/InstallCodec.h"
#include "agent/ReplyTrace.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"

using namespace agent;

namespace {

constexpr const char* kClass = "CusrNasManager";

bool IsSutCheckNotice(std::uint32_t ulResult) { return ulResult == kSutCheckNotice0 || ulResult == kSutCheckNotice2; }

}  // namespace

void CusrNasManager::ShowInstallError(std::uint32_t ulValue, bool bNasOsWording) const {
  const AgentCode* row = FindAgentCode(CodeScope::Install, ulValue & ~kInstallErrorBit);
  std::uint32_t ulMessageId = bNasOsWording ? msg::kNasOsError : msg::kNasManagerError;
  if (row != nullptr) ulMessageId = row->messageId;
  ShowAndTrace(ulMessageId, ulMessageId == msg::kBoardInCluster ? BoardName() : common::CodeText(ulValue), TRC_ERROR);
}

std::uint32_t CusrNasManager::RequestInstall(int nSocket, std::uint32_t ulSerialNo, const std::string& strFileName,
                                             const std::string& strPcAddress, std::uint32_t ulFilePort) const {
  CusrTraceScope scope(kClass, "RequestInstall", TRC_FUNC);
  scope.Info(TraceFmt("Serial = %u, File = %s, PC = %s, Port = %u", ulSerialNo, TracedText(strFileName).c_str(),
                      TracedText(strPcAddress).c_str(), ulFilePort),
             TRC_INFO);
  return SendRequest(nSocket, EncodeInstallRequest(ulSerialNo, strFileName, strPcAddress, ulFilePort), false);
}

std::uint32_t CusrNasManager::ReplyInstall(int nSocket, std::uint32_t ulTimeoutSec, std::uint32_t* pulResult,
                                           bool bNasOsWording) const {
  CusrTraceScope scope(kClass, "ReplyInstall", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t ulResult = ReceiveHeaderAndPrefix(nSocket, Exchange::Install, ulTimeoutSec, &body, &prefix);
      ulResult != kResultOk)
    return ulResult;
  if (prefix.dataType != ReplyDataType(Exchange::Install))
    return ProtocolError(TraceFmt("Data type error, type = 0x%08x", prefix.dataType).c_str());
  if (prefix.result == kResultOk) {
    *pulResult = kResultOk;
    return kResultOk;
  }
  // The verdict travels in *pulResult; the exchange itself succeeded.
  *pulResult = prefix.result | kInstallErrorBit;
  ShowInstallError(*pulResult, bNasOsWording);
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestUninstInfo(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestUninstInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::UninstInfo), false);
}

std::uint32_t CusrNasManager::ReplyUninstInfo(int nSocket, std::vector<ProductTexts>* pProducts) const {
  CusrTraceScope scope(kClass, "ReplyUninstInfo", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t ulResult = ReceiveWholeReply(nSocket, Exchange::UninstInfo, false, &body, &prefix);
      ulResult != kResultOk)
    return ulResult;
  if (prefix.result != kResultOk) {
    scope.Error("Cannot get PP info", TRC_ERROR);
    ShowAgentError(prefix.result);
    return kResultAgentInfo;
  }
  try {
    std::vector<ProductEntry> products;
    const Decode status = DecodeProducts(std::span(body).subspan(kBodyPrefixSize), &products);
    if (status != Decode::Ok) return ProtocolError(TraceFmt("Invalid PP info : %s", ToText(status)).c_str());
    TraceRecords(products.size(), "products", [&](std::size_t i) {
      const ProductEntry& p = products[i];
      scope.Info(TraceFmt("PP Code = %u, Name = %s, Version = %s", p.code, TracedText(p.name).c_str(),
                          TracedText(p.version).c_str()),
                 TRC_INFO);
    });
    for (ProductEntry& p : products) {
      pProducts->push_back(ProductTexts{std::move(p.name), std::move(p.version), std::move(p.date), std::move(p.type),
                                        std::to_string(p.code)});
    }
  } catch (const std::bad_alloc&) {
    ShowAndTrace(msg::kNoMemory, std::to_string(body.size()), TRC_ERROR);
    return kResultNoMemory;
  }
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestUninstall(int nSocket, std::uint32_t ulPPCode, const std::string& strName) const {
  CusrTraceScope scope(kClass, "RequestUninstall", TRC_FUNC);
  scope.Info(TraceFmt("PP Code = %u, Name = %s", ulPPCode, TracedText(strName).c_str()), TRC_INFO);
  return SendRequest(nSocket, EncodeUninstallRequest(ulPPCode, strName), false);
}

std::uint32_t CusrNasManager::ReplyUninstall(int nSocket) const {
  CusrTraceScope scope(kClass, "ReplyUninstall", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t ulResult =
          ReceiveHeaderAndPrefix(nSocket, Exchange::Uninstall, kReplyTimeoutSec, &body, &prefix);
      ulResult != kResultOk)
    return ulResult;
  if (prefix.dataType != ReplyDataType(Exchange::Uninstall))
    return ProtocolError(TraceFmt("iDataType = 0x%08x", prefix.dataType).c_str());
  if (prefix.result != kResultOk) ShowAgentError(prefix.result);
  return prefix.result;
}

std::uint32_t CusrNasManager::RequestSutInstallCheck(int nSocket, const std::string& strFileName,
                                                     const std::string& strPcAddress, std::uint32_t ulFilePort) const {
  CusrTraceScope scope(kClass, "RequestSutInstallCheck", TRC_FUNC);
  scope.Info(TraceFmt("File = %s, PC = %s, Port = %u", TracedText(strFileName).c_str(),
                      TracedText(strPcAddress).c_str(), ulFilePort),
             TRC_INFO);
  return SendRequest(nSocket, EncodeSutInstallCheckRequest(strFileName, strPcAddress, ulFilePort), false);
}

std::uint32_t CusrNasManager::ReplySutInstallCheck(int nSocket, std::uint32_t* pulFlags, std::uint32_t* pulReboot,
                                                   std::uint32_t* pulResult) const {
  CusrTraceScope scope(kClass, "ReplySutInstallCheck", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t ulResult =
          ReceiveHeaderAndPrefix(nSocket, Exchange::SutInstallCheck, kReplyTimeoutSec, &body, &prefix);
      ulResult != kResultOk)
    return ulResult;
  *pulResult = prefix.result;
  if (prefix.dataType != ReplyDataType(Exchange::SutInstallCheck))
    return ProtocolError(TraceFmt("Data Type = 0x%08x", prefix.dataType).c_str());
  if (prefix.result != kResultOk && !IsSutCheckNotice(prefix.result)) {
    ShowInstallError(prefix.result | kInstallErrorBit, false);
    return kResultAgentInfo;
  }
  std::uint32_t ulDataSize = 0;
  SutCheck check;
  switch (DecodeSutCheck(std::span(body).subspan(kBodyPrefixSize), &ulDataSize, &check)) {
    case Decode::Ok:
      break;
    case Decode::BadSize:
      return ProtocolError(TraceFmt("Invalid Data size : %u", ulDataSize).c_str());
    default:
      return ProtocolError(TraceFmt("Invalid Data size : %zu", body.size() - kBodyPrefixSize).c_str());
  }
  scope.Info(TraceFmt("Node stop    : %u", check.nodeStop), TRC_INFO);
  scope.Info(TraceFmt("Cluster stop : %u", check.clusterStop), TRC_INFO);
  scope.Info(TraceFmt("Service stop : %u", check.serviceStop), TRC_INFO);
  scope.Info(TraceFmt("Reboot       : %u", check.reboot), TRC_INFO);
  if (check.nodeStop == 1) *pulFlags |= kNeedNodeStop;
  if (check.clusterStop == 1) *pulFlags |= kNeedClusterStop;
  if (check.serviceStop == 1) *pulFlags |= kNeedServiceStop;
  if (check.reboot == 1) *pulReboot = 1;
  return kResultOk;
}
