#include "services/NetbootServices.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <utility>

#include "board/BoardStatus.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "plat/Clock.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace services {
namespace {

// These are the main window's operations: the trace names them as its own.
constexpr const char* kClass = "CdlgMain";
constexpr int kStartAttempts = 3;
constexpr int kStopAttempts = 3;
constexpr plat::Millis kRetryPause{1000};
constexpr std::int64_t kHostLimit = 255;
constexpr char kParameters[] = "Parameters";
constexpr char kMacSection[] = "mac id address";

}  // namespace

int StartHostNumber(int nConfigured, std::size_t n) {
  // In 64 bits, so that a start near the top of int cannot wrap below 255.
  const std::int64_t llLast = std::int64_t{nConfigured} + static_cast<std::int64_t>(n) - 1;
  return nConfigured <= 0 || llLast >= kHostLimit ? kDefaultStartHost : nConfigured;
}

const char* BootstrapFileFor(std::span<const std::uint16_t> nncTypes) {
  for (const std::uint16_t usType : nncTypes) {
    if (usType == 1) return "bpbatch";
    if (usType == 2) return "pxelinux.0";
  }
  return "pxelinux.0";
}

NetbootServices::NetbootServices(board::ArrayTables& rArray, std::filesystem::path settingsFile,
                                 int nDhcpStartAddress, InstallDeviceFailed onInstallDeviceFailed)
    : m_rArray(rArray),
      m_settingsFile(std::move(settingsFile)),
      m_nDhcpStartAddress(nDhcpStartAddress),
      m_onInstallDeviceFailed(std::move(onInstallDeviceFailed)) {
  std::uint32_t ulError = 0;
  if (const auto manager = plat::ServiceManager::Open(m_settingsFile, &ulError)) {
    m_strBackend = manager->BackendName();
    m_bSimulated = manager->IsSimulated();
  }
}

NetbootServices::~NetbootServices() = default;

void NetbootServices::ReportInstallDeviceFailed() const {
  if (m_onInstallDeviceFailed) m_onInstallDeviceFailed();
}

void NetbootServices::ShowServiceMessage(const char* pszServiceName) const {
  ShowMessage(msg::kServiceNotStarted, pszServiceName, kServiceFunctions);
}

bool NetbootServices::SearchDhcpEnvFile() const {
  std::error_code ec;
  return std::filesystem::is_regular_file(plat::MapPath(kDhcpSettingFile), ec);
}

std::vector<MacAddress> NetbootServices::CollectMacList() const {
  std::vector<MacAddress> macList;
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    const CusrCHN* pBoard = m_rArray.GetCHN(i);
    if (pBoard != nullptr && pBoard->GetStatus() != board::CHN_STATUS_DIE) macList.push_back(pBoard->MacAddress());
  }
  return macList;
}

bool NetbootServices::RunService(int nWithTftp) {
  CusrTraceScope trace(kClass, "RunService", TRC_FUNC);
  if (m_bSimulated)
    trace.Info(TraceFmt("%s and %s are simulated (services backend sim): no DHCP or TFTP server runs",
                        kDhcpServiceName, kTftpServiceName),
               TRC_INFO);
  if (SearchDhcpEnvFile() &&
      !WriteSettingFile(m_rArray.SvpIPAddress(), m_rArray.SvpSubnetMask(), CollectMacList())) {
    ReportInstallDeviceFailed();
    return false;
  }
  m_pDhcpService = StartService(kDhcpServiceName);
  if (!m_pDhcpService) {
    ReportInstallDeviceFailed();
    return false;
  }
  if (nWithTftp == 1) m_pTftpService = StartService(kTftpServiceName);
  if (m_pTftpService) return true;
  ReportInstallDeviceFailed();
  return false;
}

bool NetbootServices::WriteSettingFile(const Ipv4& ucSvpIp, [[maybe_unused]] const Ipv4& ucSvpMask,
                                       std::span<const MacAddress> macList) {
  CusrTraceScope trace(kClass, "WriteSettingFile", TRC_FUNC);
  const std::span<const MacAddress> boards = macList.first(std::min(macList.size(), kMaxBoards));
  const std::string strSvpIp = common::AddressText(ucSvpIp.data());
  trace.Info(TraceFmt("lpSvpIp      = %s", strSvpIp.c_str()), TRC_INFO);
  trace.Info(TraceFmt("iMacAddrNum  = %d", static_cast<int>(boards.size())), TRC_INFO);
  trace.Info(TraceFmt("Get Address  = %d", m_nDhcpStartAddress), TRC_INFO);
  const int nStartAddr = StartHostNumber(m_nDhcpStartAddress, boards.size());
  trace.Info(TraceFmt("nStartAddr   = %d", nStartAddr), TRC_INFO);

  std::array<std::uint16_t, CusrCHN::kSlots> nncTypes{};
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) nncTypes[i] = m_rArray.NNCType(i);
  const std::string strNet = TraceFmt("%d.%d.%d", ucSvpIp[0], ucSvpIp[1], ucSvpIp[2]);
  const std::int64_t llEndAddr = std::int64_t{nStartAddr} + static_cast<std::int64_t>(boards.size()) - 1;

  std::vector<plat::ProfileChange> changes = {
      {kParameters, "Bootstrap File", BootstrapFileFor(nncTypes), {}},
      {kParameters, "Use Bootstrap File", "1", {}},
      {kParameters, "Bootstrap Server", strSvpIp, {}},
      {kParameters, "Service Identifier", strSvpIp, {}},
      {kParameters, "Start Address", TraceFmt("%s.%d", strNet.c_str(), nStartAddr), {}},
      {kParameters, "End Address", TraceFmt("%s.%lld", strNet.c_str(), static_cast<long long>(llEndAddr)), {}},
      {kParameters, "DNS", strSvpIp, {}},
      {kParameters, "Gateway", strSvpIp, {}},
  };
  plat::ProfileChange macLines{kMacSection, "", "", {}};
  for (std::size_t i = 0; i < boards.size(); ++i) {
    const MacAddress& mac = boards[i];
    macLines.entries.push_back(TraceFmt("%02X-%02X-%02X-%02X-%02X-%02X = %s.%lld", mac[0], mac[1], mac[2], mac[3],
                                        mac[4], mac[5], strNet.c_str(),
                                        static_cast<long long>(nStartAddr + static_cast<std::int64_t>(i))));
  }
  changes.push_back(std::move(macLines));

  errno = 0;
  if (!plat::WritePrivateProfileChanges(changes, plat::MapPath(kDhcpSettingFile))) {
    // Nothing was written: the first key of the order is the one that failed.
    trace.Error(TraceFmt("Bootstrap File : 0x%08x", static_cast<unsigned>(errno)), TRC_ERROR);
    trace.Error(ShowMessage(msg::kFileIoError), TRC_ERROR);
    return false;
  }
  return true;
}

std::unique_ptr<plat::ServiceHandle> NetbootServices::StartService(const char* pszServiceName) {
  CusrTraceScope trace(kClass, "StartService", TRC_FUNC);
  std::uint32_t ulError = 0;
  const std::unique_ptr<plat::ServiceManager> pManager = plat::ServiceManager::Open(m_settingsFile, &ulError);
  if (!pManager) {
    trace.Error(TraceFmt("OpenSCManager() error : 0x%08x", ulError), TRC_ERROR);
    ShowServiceMessage(pszServiceName);
    return nullptr;
  }
  std::unique_ptr<plat::ServiceHandle> pService = pManager->OpenService(pszServiceName, &ulError);
  if (!pService) {
    trace.Error(TraceFmt("OpenService() error : 0x%08x", ulError), TRC_ERROR);
    ShowServiceMessage(pszServiceName);
    return nullptr;
  }
  if (pService->Start(&ulError)) return pService;
  if (ulError == plat::kServiceAlreadyRunning) {
    // Restarted, so that it reads its settings again.
    trace.Info(TraceFmt("%s is already running", pszServiceName), TRC_INFO);
    if (!StopService(pService.get())) {
      trace.Error("Cannot stop the service", TRC_ERROR);
      ShowServiceMessage(pszServiceName);
      return nullptr;
    }
  }
  for (int nAttempt = 1; nAttempt <= kStartAttempts; ++nAttempt) {
    plat::Clock::Sleep(kRetryPause);
    if (pService->Start(&ulError)) return pService;
    trace.Error(TraceFmt("StartService( ) error (%d) : 0x%08x", nAttempt, ulError), TRC_ERROR);
  }
  if (ulError == plat::kServiceSpecificError && m_strBackend == "dnsmasq") {
    // dnsmasq is not started on settings it cannot take as they are: the trace says which.
    std::string strWhy;
    const bool bDhcp = std::string_view(pszServiceName) == kDhcpServiceName;
    if (plat::DnsmasqConfiguration(m_settingsFile, bDhcp, !bDhcp, &strWhy).empty())
      trace.Error(TraceFmt("%s : settings refused : %s", pszServiceName, strWhy.c_str()), TRC_ERROR);
  }
  trace.Error("Cannot run the service", TRC_ERROR);
  ShowServiceMessage(pszServiceName);
  return nullptr;
}

bool NetbootServices::StopService(plat::ServiceHandle* pService) {
  CusrTraceScope trace(kClass, "StartService", TRC_FUNC);
  if (pService == nullptr) return false;
  for (int nAttempt = 1; nAttempt <= kStopAttempts; ++nAttempt) {
    std::uint32_t ulError = 0;
    if (pService->Stop(&ulError)) return true;
    trace.Error(TraceFmt("ControlService( ) error (%d) : 0x%08x", nAttempt, ulError), TRC_ERROR);
    if (nAttempt < kStopAttempts) plat::Clock::Sleep(kRetryPause);
  }
  return false;
}

std::uint32_t NetbootServices::RefreshMacAddress() {
  CusrTraceScope trace(kClass, "RefreshMacAddress", TRC_FUNC);
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    CusrCHN* pBoard = m_rArray.GetCHN(i);
    if (!m_rArray.IsCHN(i) || pBoard == nullptr) continue;
    std::uint32_t ulError = 0;
    if (!pBoard->GetMacAddress(&ulError)) {
      trace.Error(TraceFmt("m_pcCHNs[%d]->GetMacAddress() : 0x%08x", static_cast<int>(i), ulError), TRC_ERROR);
      trace.Error(TraceFmt("%s : the MAC address cannot be read", m_rArray.LocationName(i).c_str()), TRC_ERROR);
      ShowMessage(GetApiErrorMessageId(ulError), common::CodeText(ulError));
      return ulError;
    }
  }
  RunService(0);
  return 0;
}

}  // namespace services
