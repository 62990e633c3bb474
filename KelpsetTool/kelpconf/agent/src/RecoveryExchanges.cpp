// The LU backup, restore and cluster exchanges of CusrNasManager. Every reply goes through
// ReplyRecovery; the polling replies hand their Result over as a progress state.
#include <span>

#include "agent/AgentCodes.h"
#include "agent/CusrNasManager.h"
#include "agent/RecoveryCodec.h"
#include "agent/ReplyTrace.h"
#include "common/CusrTraceScope.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "common/TraceLine.h"

using namespace agent;

namespace {

constexpr const char* kClass = "CusrNasManager";

// Shows the message of an agent code in scope, with the code as a restore shows it.
std::uint32_t ShowCodeMessage(const CusrTraceScope& scope, CodeScope codeScope, std::uint32_t ulCode) {
  const std::string shownCode = common::CodeText(ulCode | kRestoreCodeBit);
  scope.Info(shownCode, TRC_INFO);
  const AgentCode* row = FindAgentCode(codeScope, ulCode);
  const std::uint32_t ulMessageId = AgentCodeMessage(codeScope, ulCode);
  if (ulMessageId == kNoMessage) return 1;
  const std::string text = ShowMessage(ulMessageId, shownCode);
  if (row != nullptr && row->warning)
    scope.Warn(text, TRC_WARN);
  else
    scope.Error(text, TRC_ERROR);
  return 1;
}

// The row of an OS LU restore's Result that means the LU cannot be recovered, or null.
const AgentCode* OsLuUnrecoverable(Exchange id, std::uint32_t ulResult) {
  if (id != Exchange::NasOsLuRestore && id != Exchange::NasOsLuRestoreStat) return nullptr;
  return FindAgentCode(CodeScope::OsLuRestore, ulResult);
}

bool IsSystemLu(Exchange id) { return Info(id).protoVer == Info(Exchange::NasSystemLuBackupInfo).protoVer; }

}  // namespace

std::uint32_t CusrNasManager::ShowRestoreMessage(std::uint32_t ulCode) {
  CusrTraceScope scope(kClass, "ShowRestoreMessage", TRC_FUNC);
  return ShowCodeMessage(scope, CodeScope::Restore, ulCode);
}

std::uint32_t CusrNasManager::ShowSystemLuMessage(std::uint32_t ulCode) {
  CusrTraceScope scope(kClass, "ShowSystemLuMessage", TRC_FUNC);
  return ShowCodeMessage(scope, CodeScope::SystemLu, ulCode);
}

std::uint32_t CusrNasManager::ReplyRecovery(int nSocket, Exchange id, std::uint32_t* pulStatus,
                                            std::vector<std::uint8_t>* pData) const {
  CusrTraceScope scope(kClass, "ReplyRecovery", TRC_FUNC);
  std::vector<std::uint8_t> body;
  BodyPrefix prefix;
  if (const std::uint32_t ulResult = ReceiveWholeReply(nSocket, id, false, &body, &prefix); ulResult != kResultOk)
    return ulResult;
  if (pulStatus != nullptr) *pulStatus = prefix.result;
  if (prefix.result == kResultOk || IsProgressState(id, prefix.result)) {
    if (pData != nullptr) {
      body.erase(body.begin(), body.begin() + kBodyPrefixSize);
      *pData = std::move(body);
    }
    return kResultOk;
  }
  scope.Error("API ERROR", TRC_ERROR);
  if (const AgentCode* row = OsLuUnrecoverable(id, prefix.result))
    ShowAndTrace(row->messageId, common::CodeText(prefix.result), TRC_ERROR);
  else if (IsSystemLu(id))
    ShowSystemLuMessage(prefix.result);
  else
    ShowRestoreMessage(prefix.result);
  return prefix.result;
}

std::uint32_t CusrNasManager::ReplyLuBackupInfo(int nSocket, Exchange id, LuBackupInfo* pInfo) const {
  std::vector<std::uint8_t> data;
  if (const std::uint32_t ulResult = ReplyRecovery(nSocket, id, nullptr, &data); ulResult != kResultOk)
    return ulResult;
  if (const Decode status = DecodeLuBackupInfo(data, pInfo); status != Decode::Ok)
    return ProtocolError(TraceFmt("Invalid backup information : %s", ToText(status)).c_str());
  common::TraceLineFmt(TRC_INFO, "Data Size = 0x%08x, Backup Status = 0x%08x, Date = %s", pInfo->ulDataSize,
                       pInfo->ulBackupStatus, pInfo->strDate.c_str());
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestNasOsLuBackupInfo(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasOsLuBackupInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasOsLuBackupInfo), false);
}

std::uint32_t CusrNasManager::ReplyNasOsLuBackupInfo(int nSocket, LuBackupInfo* pInfo) const {
  CusrTraceScope scope(kClass, "ReplyNasOsLuBackupInfo", TRC_FUNC);
  return ReplyLuBackupInfo(nSocket, Exchange::NasOsLuBackupInfo, pInfo);
}

std::uint32_t CusrNasManager::RequestNasOsLuResotre(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasOsLuResotre", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasOsLuRestore), false);
}

std::uint32_t CusrNasManager::ReplyNasOsLuRestore(int nSocket) const {
  CusrTraceScope scope(kClass, "ReplyNasOsLuRestore", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasOsLuRestore, nullptr, nullptr);
}

std::uint32_t CusrNasManager::RequestNasSharedLuBackupInfo(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasSharedLuBackupInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasSharedLuBackupInfo), false);
}

std::uint32_t CusrNasManager::ReplyNasSharedLuBackupInfo(int nSocket, LuBackupInfo* pInfo) const {
  CusrTraceScope scope(kClass, "ReplyNasSharedLuBackupInfo", TRC_FUNC);
  return ReplyLuBackupInfo(nSocket, Exchange::NasSharedLuBackupInfo, pInfo);
}

std::uint32_t CusrNasManager::RequestNasSharedLuResotre(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasSharedLuResotre", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasSharedLuRestore), false);
}

std::uint32_t CusrNasManager::ReplyNasSharedLuRestore(int nSocket) const {
  CusrTraceScope scope(kClass, "ReplyNasSharedLuRestore", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasSharedLuRestore, nullptr, nullptr);
}

std::uint32_t CusrNasManager::RequestInitializeCluster(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestInitializeCluster", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::InitializeCluster), false);
}

std::uint32_t CusrNasManager::ReplyInitializeCluster(int nSocket) const {
  CusrTraceScope scope(kClass, "ReplyInitializeCluster", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::InitializeCluster, nullptr, nullptr);
}

std::uint32_t CusrNasManager::RequestNasOsLuRestoreStat(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasOsLuRestoreStat", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasOsLuRestoreStat), false);
}

std::uint32_t CusrNasManager::ReplyNasOsLuRestoreStat(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope scope(kClass, "ReplyNasOsLuRestoreStat", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasOsLuRestoreStat, pulStatus, nullptr);
}

std::uint32_t CusrNasManager::RequestNasSharedLuRestoreStat(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasSharedLuRestoreStat", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasSharedLuRestoreStat), false);
}

std::uint32_t CusrNasManager::ReplyNasSharedLuRestoreStat(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope scope(kClass, "ReplyNasSharedLuRestoreStat", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasSharedLuRestoreStat, pulStatus, nullptr);
}

std::uint32_t CusrNasManager::RequestStopCluster(int nSocket, std::uint32_t ulWord) const {
  CusrTraceScope scope(kClass, "RequestStopCluster", TRC_FUNC);
  return SendRequest(nSocket, EncodeStopClusterRequest(ulWord), false);
}

std::uint32_t CusrNasManager::ReplyStopCluster(int nSocket) const {
  CusrTraceScope scope(kClass, "ReplyStopCluster", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::StopCluster, nullptr, nullptr);
}

std::uint32_t CusrNasManager::RequestStopClusterStat(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestStopClusterStat", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::StopClusterStat), false);
}

std::uint32_t CusrNasManager::ReplyStopClusterStat(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope scope(kClass, "ReplyStopClusterStat", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::StopClusterStat, pulStatus, nullptr);
}

std::uint32_t CusrNasManager::RequestInitializeClusterStat(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestInitializeClusterStat", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::InitializeClusterStat), false);
}

std::uint32_t CusrNasManager::ReplyInitializeClusterStat(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope scope(kClass, "ReplyInitializeClusterStat", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::InitializeClusterStat, pulStatus, nullptr);
}

std::uint32_t CusrNasManager::RequestNasSystemLuBackupInfo(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasSystemLuBackupInfo", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasSystemLuBackupInfo), false);
}

std::uint32_t CusrNasManager::ReplyNasSystemLuBackupInfo(int nSocket, SystemLuBackupInfo* pInfo) const {
  CusrTraceScope scope(kClass, "ReplyNasSystemLuBackupInfo", TRC_FUNC);
  std::vector<std::uint8_t> data;
  if (const std::uint32_t ulResult = ReplyRecovery(nSocket, Exchange::NasSystemLuBackupInfo, nullptr, &data);
      ulResult != kResultOk)
    return ulResult;
  if (const Decode status = DecodeSystemLuBackupInfo(data, pInfo); status != Decode::Ok)
    return ProtocolError(TraceFmt("Invalid backup information : %s", ToText(status)).c_str());
  scope.Info(
      TraceFmt("Execute Status = 0x%08x, Upload Status = 0x%08x, File Name = %s, Download Date = %s",
               pInfo->ulExecuteStatus, pInfo->ulUploadStatus, pInfo->strFileName.c_str(), pInfo->strDate.c_str()),
      TRC_INFO);
  return kResultOk;
}

std::uint32_t CusrNasManager::RequestNasSystemLuExtract(int nSocket, const std::string& strFileName) const {
  CusrTraceScope scope(kClass, "RequestNasSystemLuExtract", TRC_FUNC);
  scope.Info(TraceFmt("File Name = %s", TracedText(strFileName).c_str()), TRC_INFO);
  return SendRequest(nSocket, EncodeSystemLuExtractRequest(strFileName), false);
}

std::uint32_t CusrNasManager::ReplyNasSystemLuExtract(int nSocket) const {
  CusrTraceScope scope(kClass, "ReplyNasSystemLuExtract", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasSystemLuExtract, nullptr, nullptr);
}

std::uint32_t CusrNasManager::RequestNasSystemLuExtractStat(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasSystemLuExtractStat", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasSystemLuExtractStat), false);
}

std::uint32_t CusrNasManager::ReplyNasSystemLuExtractStat(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope scope(kClass, "ReplyNasSystemLuExtractStat", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasSystemLuExtractStat, pulStatus, nullptr);
}

std::uint32_t CusrNasManager::RequestNasSystemLuResotre(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasSystemLuResotre", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasSystemLuRestore), false);
}

std::uint32_t CusrNasManager::ReplyNasSystemLuRestore(int nSocket) const {
  CusrTraceScope scope(kClass, "ReplyNasSystemLuRestore", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasSystemLuRestore, nullptr, nullptr);
}

std::uint32_t CusrNasManager::RequestNasSystemLuRestoreStat(int nSocket) const {
  CusrTraceScope scope(kClass, "RequestNasSystemLuRestoreStat", TRC_FUNC);
  return SendRequest(nSocket, EncodeBareRequest(Exchange::NasSystemLuRestoreStat), false);
}

std::uint32_t CusrNasManager::ReplyNasSystemLuRestoreStat(int nSocket, std::uint32_t* pulStatus) const {
  CusrTraceScope scope(kClass, "ReplyNasSystemLuRestoreStat", TRC_FUNC);
  return ReplyRecovery(nSocket, Exchange::NasSystemLuRestoreStat, pulStatus, nullptr);
}
