#include "session/ArraySession.h"

#include <algorithm>

#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "media/CusrMedia.h"
#include "velapi.h"

namespace session {
namespace {

constexpr const char* kClass = "ArraySession";

}  // namespace

ArraySession::ArraySession(std::filesystem::path settingsFile, MainSettings settings)
    : m_settingsFile(std::move(settingsFile)),
      m_settings(std::move(settings)),
      m_pcArray(std::make_unique<board::ArrayTables>()) {}

ArraySession::~ArraySession() {
  StopPoller();
  StopFileServer();
  m_pcServices.reset();
  if (m_pcStatusAgent && m_pcStatusAgent->Abandoned()) {
    // The poller's thread still runs inside a call and uses the tables and the boards: they stay
    // until the process ends.
    static_cast<void>(m_pcStatusAgent.release());
    for (auto& board : m_pcCHNs) static_cast<void>(board.release());
    static_cast<void>(m_pcArray.release());
  }
}

bool ArraySession::ReadSvpAddress(std::uint32_t* pulError) {
  std::uint8_t ucIp[4] = {};
  std::uint8_t ucMask[4] = {};
  if (!dsvp_GetSvpIPAddr(ucIp, ucMask, pulError)) return false;
  m_pcArray->SetSvpAddress(ucIp, ucMask);
  return true;
}

bool ArraySession::Start(std::uint32_t* pulError, const AccessReport& report) {
  CusrTraceScope trace(kClass, "Start", TRC_FUNC);
  if (!m_pcArray->Initialize(m_settings.ftpPort, pulError)) return false;
  for (std::uint32_t i = 0; i < kSlots; ++i) {
    m_pcCHNs[i] = std::make_unique<CusrCHN>(*m_pcArray, i);
    if (!m_pcArray->IsCHN(i)) continue;
    std::uint32_t ulError = 0;
    const CusrCHN::AgentAccess access = m_pcCHNs[i]->PrepareAgentAccess(m_settingsFile, &ulError);
    if (report) {
      report(i, access, ulError);
    } else if (access == CusrCHN::AgentAccess::NoMacAddress) {
      trace.Error(TraceFmt("m_pcCHNs[%u]->GetMacAddress() : 0x%08x", i, ulError), TRC_ERROR);
    } else if (access == CusrCHN::AgentAccess::NoConnection) {
      trace.Error(TraceFmt("m_pcCHNs[%u]->InitManager() : 0x%08x", i, ulError), TRC_ERROR);
    }
  }
  m_pcArray->GetChnStatusKestrel(0);
  m_pcArray->SetChnStatusUpdateTime();
  for (const auto& board : m_pcCHNs) board->SetChnStatusKestrel();
  return true;
}

FtpdStart ArraySession::StartFileServer() {
  return StartFtpd(m_settings.ftpdPath, m_settingsFile, m_pcArray->SvpIPAddress(), &m_cFtpd);
}

void ArraySession::StopFileServer() { m_cFtpd.Terminate(0); }

bool ArraySession::AnyAgentNewer() {
  bool bNewer = false;
  for (const auto& board : m_pcCHNs)
    if (board) bNewer = board->IsNasAgentNewer() || bNewer;
  return bNewer;
}

std::uint32_t ArraySession::StartPoller(board::MainDialogLink* pLink, std::uint32_t ulPeriodMs) {
  CusrTraceScope trace(kClass, "StartAgent", TRC_FUNC);
  m_pcStatusAgent = std::make_unique<CusrStatusAgent>(*m_pcArray);
  m_pcStatusAgent->Create(pLink, ulPeriodMs);
  return m_pcStatusAgent->Start();
}

void ArraySession::StopPoller() {
  if (m_pcStatusAgent) m_pcStatusAgent->Stop();
}

void ArraySession::SetUpInstallDevice() {
  CusrTraceScope trace(kClass, "SetUpInstallDevice", TRC_FUNC);
  m_pcServices = std::make_unique<services::NetbootServices>(*m_pcArray, m_settingsFile, m_settings.dhcpStartAddress,
                                                             [this] { m_bInstallDeviceFailed = true; });
  if (m_pcServices->IsSimulated()) trace.Info("network-boot services simulated: no DHCP or TFTP server runs", TRC_INFO);
  CusrMedia media;
  const media::LocateResult located = media.LocateInstallMedia(m_settings.installFiles);
  m_strMediaRoot = located.location.strRoot;
  m_bMediaRootIsMP = located.location.bRootIsMP;
  if (located.ulError != 0) {
    m_bInstallDeviceFailed = true;
    trace.Error(TraceFmt("SetInstallDevice() : code = 0x%08x", located.ulError), TRC_ERROR);
    return;
  }
  if (!m_pcServices->RunService(1)) trace.Error("cannot start service", TRC_ERROR);
}

void ArraySession::ChangeInstallDevice(const std::string& strMediaRoot) {
  CusrTraceScope trace(kClass, "ChangeInstallDevice", TRC_FUNC);
  m_strMediaRoot = strMediaRoot;
  CusrMedia media;
  if (const std::uint32_t ulError = media.SetInstallDevice(m_strMediaRoot); ulError != 0) {
    m_bInstallDeviceFailed = true;
    trace.Error(TraceFmt("SetInstallDevice() : code = 0x%08x", ulError), TRC_ERROR);
  } else if (m_pcServices && !m_pcServices->RunService(1)) {
    trace.Error("TFTP/DHCP service restart error", TRC_ERROR);
  }
}

void ArraySession::StopServices() {
  CusrTraceScope trace(kClass, "StopServices", TRC_FUNC);
  if (!m_pcServices) return;
  for (plat::ServiceHandle* pService : {m_pcServices->DhcpService(), m_pcServices->TftpService()})
    if (pService != nullptr) m_pcServices->StopService(pService);
}

void ArraySession::SetInstallDeviceState(bool bFailed, bool bMediaRootIsMP) {
  m_bInstallDeviceFailed = bFailed;
  m_bMediaRootIsMP = bMediaRootIsMP;
}

bool ArraySession::IsFunctionDisable() const {
  if (!IsNewerAgent()) return false;
  ShowMessage(msg::kAgentNewerStopTool);
  WriteTraceLine("This Button cannot start the Function.", "info_", TRC_INFO & GetTraceMask());
  return true;
}

void ArraySession::SetBoardBusy(std::uint32_t ulSlot, int nCode) {
  if (ulSlot >= kSlots) return;
  m_nBusy[ulSlot] = nCode;
  if (m_onBusyChanged) m_onBusyChanged(ulSlot);
}

void ArraySession::SetPublicBusy(int nCode) {
  m_nPublicBusy = nCode;
  if (m_onBusyChanged) m_onBusyChanged(kSlots);
}

bool ArraySession::Claim(std::uint32_t ulSlot, int nCode) {
  if (ulSlot >= kSlots || m_nBusy[ulSlot] != 0) return false;
  SetBoardBusy(ulSlot, nCode);
  return true;
}

bool ArraySession::Release(std::uint32_t ulSlot, int nCode) {
  if (ulSlot >= kSlots || m_nBusy[ulSlot] != nCode) return false;
  SetBoardBusy(ulSlot, 0);
  return true;
}

bool ArraySession::AnyBoardBusy() const {
  return std::any_of(m_nBusy.begin(), m_nBusy.end(), [](int nCode) { return nCode != 0; });
}

CusrCHN* ArraySession::GetLatestCHN() const {
  CusrTraceScope trace("CdlgMain", "GetLatestCHN", TRC_FUNC);
  if (m_settings.targetOutOfRange) trace.Warn("Target is out of range: the latest board is chosen", TRC_WARN);
  if (m_settings.target != -1) return Board(static_cast<std::uint32_t>(m_settings.target));
  CusrCHN* pLatest = nullptr;
  std::uint32_t ulLatest = 0;
  for (const auto& board : m_pcCHNs) {
    if (!board || !board->IsOsRunning()) continue;
    const std::uint32_t ulVersion = board->GetAgentVersion();
    if (pLatest == nullptr || ulVersion > ulLatest) {
      pLatest = board.get();
      ulLatest = ulVersion;
    }
  }
  if (pLatest != nullptr)
    trace.Info(TraceFmt("Latest CHN = %u, Version = 0x%08x", pLatest->GetIndex(), ulLatest), TRC_INFO);
  return pLatest;
}

}  // namespace session
