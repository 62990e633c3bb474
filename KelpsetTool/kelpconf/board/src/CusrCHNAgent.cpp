// CusrCHN: the operations carried out through the board's agent, one exchange each.
#include <string>

#include "board/AgentExchange.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/TextFormats.h"
#include "common/TraceLine.h"

namespace {

constexpr const char* kClass = "CusrCHN";

using Manager = CusrNasManager;

// Each thread's last exchange: the operations return their codes as before, and a caller that
// reports a failure asks its own thread what failed, unaffected by the poller's exchanges.
thread_local board::ExchangeResult t_lastExchange;

}  // namespace

board::ExchangeResult CusrCHN::LastExchange() { return t_lastExchange; }

board::ExchangeResult CusrCHN::Exchange(bool bQuiet, const char* pszName, const Step& request,
                                        const Step& reply) const {
  const std::shared_ptr<const CusrNasManager> pManager = NasManager();
  if (pManager == nullptr) {
    common::TraceLineFmt(TRC_ERROR, "CHN[%u] has no agent connection", m_ulIndex);
    t_lastExchange = {agent::kResultProtocol, {}, "no agent connection"};
    return t_lastExchange;
  }
  t_lastExchange = board::RunExchange(
      *pManager, bQuiet ? board::Connect::Quiet : board::Connect::Plain, pszName,
      [&](int nSocket) { return request(*pManager, nSocket); }, [&](int nSocket) { return reply(*pManager, nSocket); });
  return t_lastExchange;
}

std::uint32_t CusrCHN::ProgressExchange(const char* pszName, const char* pszWhat,
                                        std::uint32_t (CusrNasManager::*request)(int) const,
                                        std::uint32_t (CusrNasManager::*reply)(int, std::uint32_t*) const,
                                        std::uint32_t* pulStatus) const {
  CusrTraceScope trace(kClass, pszName, TRC_FUNC);
  const std::uint32_t ulResult = Exchange(
      false, pszName, [&](const Manager& m, int s) { return (m.*request)(s); },
      [&](const Manager& m, int s) { return (m.*reply)(s, pulStatus); }).code;
  if (ulResult == 0)
    trace.Info(TraceFmt("%s %s", *pulStatus == agent::kStatRunning ? "Processing" : "Finish", pszWhat), TRC_INFO);
  return ulResult;
}

std::uint32_t CusrCHN::GetAgentVersion() const {
  CusrTraceScope trace(kClass, "GetAgentVersion", TRC_FUNC);
  std::uint32_t ulVersion = kUnknownAgentVersion;
  const std::uint32_t ulResult = Exchange(
      true, "Version", [](const Manager& m, int s) { return m.RequestVersion(s); },
      [&](const Manager& m, int s) { return m.ReplyVersion(s, &ulVersion); }).code;
  return ulResult == 0 ? ulVersion : kUnknownAgentVersion;
}

std::uint32_t CusrCHN::GetCHNName(std::string* pstrName) const {
  CusrTraceScope trace(kClass, "GetCHNName", TRC_FUNC);
  return Exchange(
      false, "CHNName", [](const Manager& m, int s) { return m.RequestCHNName(s); },
      [&](const Manager& m, int s) { return m.ReplyCHNName(s, pstrName); }).code;
}

std::uint32_t CusrCHN::SetCHNName(const std::string& strName) const {
  CusrTraceScope trace(kClass, "SetCHNName", TRC_FUNC);
  return Exchange(
      false, "CHNNameSetting", [&](const Manager& m, int s) { return m.RequestCHNNameSetting(s, strName); },
      [](const Manager& m, int s) { return m.ReplyCHNNameSetting(s); }).code;
}

std::uint32_t CusrCHN::GetNetworkSetting(std::uint32_t ulInterface, std::string* pstrIPAddress,
                                         std::string* pstrNetmask, std::string* pstrGateway) const {
  CusrTraceScope trace(kClass, "GetNetworkSetting", TRC_FUNC);
  return Exchange(
      false, "NetworkInfo", [&](const Manager& m, int s) { return m.RequestNetworkInfo(s, ulInterface); },
      [&](const Manager& m, int s) { return m.ReplyNetworkInfo(s, pstrIPAddress, pstrNetmask, pstrGateway); }).code;
}

std::uint32_t CusrCHN::SetNetworkSetting0301(std::uint32_t ulInterface, const std::string& strIPAddress,
                                             const std::string& strNetmask, std::uint32_t ulWaitFlag) const {
  CusrTraceScope trace(kClass, "SetNetworkSetting0301", TRC_FUNC);
  std::uint32_t ulReply = 0;
  const std::uint32_t ulResult = Exchange(
      false, "NetworkSetting0301",
      [&](const Manager& m, int s) { return m.RequestNetworkSetting0301(s, ulInterface, strIPAddress, strNetmask); },
      [&](const Manager& m, int s) { return ulReply = m.ReplyNetworkSetting0301(s, ulWaitFlag); }).code;
  trace.Info(TraceFmt("ReplyNetworkSetting0301(), result = 0x%08x", ulReply), TRC_INFO);
  return ulResult;
}

std::uint32_t CusrCHN::GetNTPSetting(std::vector<std::string>* pServers) const {
  CusrTraceScope trace(kClass, "GetNTPSetting", TRC_FUNC);
  return Exchange(
      false, "NTPInfo", [](const Manager& m, int s) { return m.RequestNTPInfo(s); },
      [&](const Manager& m, int s) { return m.ReplyNTPInfo(s, pServers); }).code;
}

std::uint32_t CusrCHN::SetNTPSetting(const std::vector<std::string>& servers) const {
  CusrTraceScope trace(kClass, "SetNTPSetting", TRC_FUNC);
  return Exchange(
      false, "NTPSetting", [&](const Manager& m, int s) { return m.RequestNTPSetting(s, servers); },
      [](const Manager& m, int s) { return m.ReplyNTPSetting(s); }).code;
}

std::uint32_t CusrCHN::GetMTUInfo(std::uint32_t ulInterface, std::uint32_t* pulMTU) const {
  CusrTraceScope trace(kClass, "GetMTUInfo", TRC_FUNC);
  return Exchange(
      false, "MTUInfo", [&](const Manager& m, int s) { return m.RequestMTUInfo(s, ulInterface); },
      [&](const Manager& m, int s) { return m.ReplyMTUInfo(s, pulMTU); }).code;
}

std::uint32_t CusrCHN::SetMTUInfo(std::uint32_t ulInterface, std::uint32_t ulMTU) const {
  CusrTraceScope trace(kClass, "SetMTUInfo", TRC_FUNC);
  return Exchange(
      false, "MTUSetting", [&](const Manager& m, int s) { return m.RequestMTUSetting(s, ulInterface, ulMTU); },
      [](const Manager& m, int s) { return m.ReplyMTUSetting(s); }).code;
}

std::uint32_t CusrCHN::GetRoutingList(std::vector<agent::RouteTexts>* pRoutes) const {
  CusrTraceScope trace(kClass, "GetRoutingList", TRC_FUNC);
  return Exchange(
      false, "RoutingInfo", [](const Manager& m, int s) { return m.RequestRoutingInfo(s); },
      [&](const Manager& m, int s) { return m.ReplyRoutingInfo(s, pRoutes); }).code;
}

std::uint32_t CusrCHN::SetNewRoute(const agent::NewRoute& route) const {
  CusrTraceScope trace(kClass, "SetNewRoute", TRC_FUNC);
  std::uint32_t ulReply = 0;
  const std::uint32_t ulResult = Exchange(
      false, "RoutingAdd", [&](const Manager& m, int s) { return m.RequestRoutingAdd(s, route); },
      [&](const Manager& m, int s) { return ulReply = m.ReplyRoutingAdd(s); }).code;
  trace.Info(TraceFmt("ReplyRoutingAdd(), result = 0x%08x", ulReply), TRC_INFO);
  return ulResult;
}

std::uint32_t CusrCHN::DeleteRoutingInfo(const agent::RouteTexts& route) const {
  CusrTraceScope trace(kClass, "DeleteRoutingInfo", TRC_FUNC);
  return Exchange(
      false, "RoutingDelete", [&](const Manager& m, int s) { return m.RequestRoutingDelete(s, route); },
      [](const Manager& m, int s) { return m.ReplyRoutingDelete(s); }).code;
}

std::uint32_t CusrCHN::ClusterExchange(const char* pszMethod, bool bQuiet, bool bDefined,
                                       std::uint32_t* pulStatus) const {
  CusrTraceScope trace(kClass, pszMethod, TRC_FUNC);
  const std::uint32_t ulResult =
      bDefined ? Exchange(
                     bQuiet, "ClusterDefinedStatus",
                     [](const Manager& m, int s) { return m.RequestClusterDefinedStatus(s); },
                     [&](const Manager& m, int s) { return m.ReplyClusterDefinedStatus(s, pulStatus); }).code
               : Exchange(
                     bQuiet, "ClusterStatus", [](const Manager& m, int s) { return m.RequestClusterStatus(s); },
                     [&](const Manager& m, int s) { return m.ReplyClusterStatus(s, pulStatus); }).code;
  if (ulResult == 0) trace.Info(TraceFmt("Cluster Status CHN[%u] = 0x%08x", m_ulIndex, *pulStatus), TRC_INFO);
  return ulResult;
}

std::uint32_t CusrCHN::GetClusterStatus(std::uint32_t* pulStatus) const {
  return ClusterExchange("GetClusterStatus", false, false, pulStatus);
}

std::uint32_t CusrCHN::GetClusterStatusEx(std::uint32_t* pulStatus) const {
  return ClusterExchange("GetClusterStatusEx", true, false, pulStatus);
}

std::uint32_t CusrCHN::GetClusterDefinedStatus(std::uint32_t* pulStatus) const {
  return ClusterExchange("GetClusterDefinedStatus", false, true, pulStatus);
}

const std::vector<agent::ProductTexts>* CusrCHN::GetInstPPInfo(std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "GetInstPPInfo", TRC_FUNC);
  m_lstPPInfo.clear();
  *pulError = 0;
  if (!IsOsRunning()) {
    trace.Info(TraceFmt("CHN %u is not located", m_ulIndex), TRC_INFO);
    return &m_lstPPInfo;
  }
  *pulError = GetProductList(&m_lstPPInfo);
  if (*pulError != 0) {
    m_lstPPInfo.clear();
    return nullptr;
  }
  return &m_lstPPInfo;
}

std::uint32_t CusrCHN::GetProductList(std::vector<agent::ProductTexts>* pProducts) const {
  return Exchange(
             false, "UninstInfo", [](const Manager& m, int s) { return m.RequestUninstInfo(s); },
             [&](const Manager& m, int s) { return m.ReplyUninstInfo(s, pProducts); })
      .code;
}

std::uint32_t CusrCHN::InstallCommonPP(const std::string& strFileName, std::uint32_t ulTimeoutSec,
                                       std::uint32_t* pulResult, bool bNasOsWording) const {
  CusrTraceScope trace(kClass, "InstallCommonPP", TRC_FUNC);
  trace.Info(TraceFmt("Set timeout : %u", ulTimeoutSec), TRC_INFO);
  const std::string strPcAddress = common::AddressText(m_rArray.SvpIPAddress().data());
  return Exchange(
      false, "Install",
      [&](const Manager& m, int s) {
        return m.RequestInstall(s, m_rArray.SerialNo(), strFileName, strPcAddress, static_cast<std::uint32_t>(m_rArray.FtpPort()));
      },
      [&](const Manager& m, int s) { return m.ReplyInstall(s, ulTimeoutSec, pulResult, bNasOsWording); }).code;
}

std::uint32_t CusrCHN::UninstallPP(std::uint32_t ulPPCode, const std::string& strName) const {
  CusrTraceScope trace(kClass, "UninstallPP", TRC_FUNC);
  return Exchange(
      false, "Uninstall", [&](const Manager& m, int s) { return m.RequestUninstall(s, ulPPCode, strName); },
      [](const Manager& m, int s) { return m.ReplyUninstall(s); }).code;
}

std::uint32_t CusrCHN::SutInstallCheck(const std::string& strFileName, std::uint32_t* pulFlags,
                                       std::uint32_t* pulReboot, std::uint32_t* pulResult) const {
  CusrTraceScope trace(kClass, "SutInstallCheck", TRC_FUNC);
  const std::string strPcAddress = common::AddressText(m_rArray.SvpIPAddress().data());
  trace.Info(TraceFmt("SVP IP Address |%s|", strPcAddress.c_str()), TRC_INFO);
  return Exchange(
      true, "SutInstallCheck",
      [&](const Manager& m, int s) {
        return m.RequestSutInstallCheck(s, strFileName, strPcAddress, static_cast<std::uint32_t>(m_rArray.FtpPort()));
      },
      [&](const Manager& m, int s) { return m.ReplySutInstallCheck(s, pulFlags, pulReboot, pulResult); }).code;
}

int CusrCHN::IsRebootNecessary(const std::string& strFileName) const {
  CusrTraceScope trace(kClass, "IsRebootNecessary", TRC_FUNC);
  std::uint32_t ulFlags = 0, ulReboot = 0, ulResult = 0;
  if (const std::uint32_t r = SutInstallCheck(strFileName, &ulFlags, &ulReboot, &ulResult); r != 0) {
    trace.Error(TraceFmt("SutInstallCheck() = 0x%08x", r), TRC_ERROR);
    return -1;
  }
  return ulReboot == 1 ? 1 : 0;
}

std::uint32_t CusrCHN::GetOsLuBackupInfo(agent::LuBackupInfo* pInfo) const {
  CusrTraceScope trace(kClass, "GetOsLuBackupInfo", TRC_FUNC);
  return Exchange(
      false, "NasOsLuBackupInfo", [](const Manager& m, int s) { return m.RequestNasOsLuBackupInfo(s); },
      [&](const Manager& m, int s) { return m.ReplyNasOsLuBackupInfo(s, pInfo); }).code;
}

std::uint32_t CusrCHN::GetSharedLuBackupInfo(agent::LuBackupInfo* pInfo) const {
  CusrTraceScope trace(kClass, "GetSharedLuBackupInfo", TRC_FUNC);
  return Exchange(
      false, "NasSharedLuBackupInfo", [](const Manager& m, int s) { return m.RequestNasSharedLuBackupInfo(s); },
      [&](const Manager& m, int s) { return m.ReplyNasSharedLuBackupInfo(s, pInfo); }).code;
}

std::uint32_t CusrCHN::GetSystemLuBackupInfo(agent::SystemLuBackupInfo* pInfo) const {
  CusrTraceScope trace(kClass, "GetSystemLuBackupInfo", TRC_FUNC);
  return Exchange(
      false, "NasSystemLuBackupInfo", [](const Manager& m, int s) { return m.RequestNasSystemLuBackupInfo(s); },
      [&](const Manager& m, int s) { return m.ReplyNasSystemLuBackupInfo(s, pInfo); }).code;
}

std::uint32_t CusrCHN::RestoreNasOsLU() const {
  CusrTraceScope trace(kClass, "RestoreNasOsLU", TRC_FUNC);
  return Exchange(
      false, "NasOsLuRestore", [](const Manager& m, int s) { return m.RequestNasOsLuResotre(s); },
      [](const Manager& m, int s) { return m.ReplyNasOsLuRestore(s); }).code;
}

std::uint32_t CusrCHN::RestoreNasSharedLU() const {
  CusrTraceScope trace(kClass, "RestoreNasSharedLU", TRC_FUNC);
  return Exchange(
      false, "NasSharedLuRestore", [](const Manager& m, int s) { return m.RequestNasSharedLuResotre(s); },
      [](const Manager& m, int s) { return m.ReplyNasSharedLuRestore(s); }).code;
}

std::uint32_t CusrCHN::RestoreNasSystemLU() const {
  CusrTraceScope trace(kClass, "RestoreNasSystemLU", TRC_FUNC);
  return Exchange(
      false, "NasSystemLuRestore", [](const Manager& m, int s) { return m.RequestNasSystemLuResotre(s); },
      [](const Manager& m, int s) { return m.ReplyNasSystemLuRestore(s); }).code;
}

std::uint32_t CusrCHN::ExtractNasSystemLU(const std::string& strFileName) const {
  CusrTraceScope trace(kClass, "ExtractNasSystemLU", TRC_FUNC);
  return Exchange(
      false, "NasSystemLuExtract", [&](const Manager& m, int s) { return m.RequestNasSystemLuExtract(s, strFileName); },
      [](const Manager& m, int s) { return m.ReplyNasSystemLuExtract(s); }).code;
}

std::uint32_t CusrCHN::GetNasOsLuRestoreStatus(std::uint32_t* pulStatus) const {
  return ProgressExchange("NasOsLuRestoreStat", "NAS OS LU Restore", &Manager::RequestNasOsLuRestoreStat,
                          &Manager::ReplyNasOsLuRestoreStat, pulStatus);
}

std::uint32_t CusrCHN::GetNasSharedLuRestoreStatus(std::uint32_t* pulStatus) const {
  return ProgressExchange("NasSharedLuRestoreStat", "NAS Shared LU Restore", &Manager::RequestNasSharedLuRestoreStat,
                          &Manager::ReplyNasSharedLuRestoreStat, pulStatus);
}

std::uint32_t CusrCHN::GetNasSystemLuRestoreStatus(std::uint32_t* pulStatus) const {
  return ProgressExchange("NasSystemLuRestoreStat", "NAS System LU Restore", &Manager::RequestNasSystemLuRestoreStat,
                          &Manager::ReplyNasSystemLuRestoreStat, pulStatus);
}

std::uint32_t CusrCHN::GetNasSystemLuExtractStatus(std::uint32_t* pulStatus) const {
  return ProgressExchange("NasSystemLuExtractStat", "NAS System LU Extract", &Manager::RequestNasSystemLuExtractStat,
                          &Manager::ReplyNasSystemLuExtractStat, pulStatus);
}

std::uint32_t CusrCHN::StopCluster() const {
  CusrTraceScope trace(kClass, "StopCluster", TRC_FUNC);
  return Exchange(
      false, "StopCluster", [](const Manager& m, int s) { return m.RequestStopCluster(s); },
      [](const Manager& m, int s) { return m.ReplyStopCluster(s); }).code;
}

std::uint32_t CusrCHN::GetClusterStopStatus(std::uint32_t* pulStatus) const {
  return ProgressExchange("StopClusterStat", "Stop Cluster", &Manager::RequestStopClusterStat,
                          &Manager::ReplyStopClusterStat, pulStatus);
}

std::uint32_t CusrCHN::InitClusterConfig() const {
  CusrTraceScope trace(kClass, "InitClusterConfig", TRC_FUNC);
  return Exchange(
      false, "InitializeCluster", [](const Manager& m, int s) { return m.RequestInitializeCluster(s); },
      [](const Manager& m, int s) { return m.ReplyInitializeCluster(s); }).code;
}

std::uint32_t CusrCHN::GetClusterInitStatus(std::uint32_t* pulStatus) const {
  return ProgressExchange("InitializeClusterStat", "Initialize Cluster", &Manager::RequestInitializeClusterStat,
                          &Manager::ReplyInitializeClusterStat, pulStatus);
}

std::uint32_t CusrCHN::ExecCommList(const std::vector<std::string>& commands,
                                    std::vector<CommandResult>* pResults) const {
  CusrTraceScope trace(kClass, "ExecCommList", TRC_FUNC);
  pResults->clear();
  for (const std::string& command : commands) {
    std::string strOutput;
    const std::uint32_t ulResult = Exchange(
        true, "CommandIF", [&](const Manager& m, int s) { return m.RequestCommandIF(s, command); },
        [&](const Manager& m, int s) { return m.ReplyCommandIF(s, &strOutput); }).code;
    if (ulResult != 0) return ulResult;
    pResults->push_back({command, "0", std::to_string(strOutput.size()), std::move(strOutput)});
  }
  return 0;
}
