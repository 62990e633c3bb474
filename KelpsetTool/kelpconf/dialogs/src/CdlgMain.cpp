#include "dialogs/CdlgMain.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "board/DumpTransfer.h"
#include "common/CusrTraceScope.h"
#include "common/MessageCatalogue.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "dialogs/CdlgAbout.h"
#include "dialogs/CdlgBootManagement.h"
#include "dialogs/CdlgProgramInstall.h"
#include "board/DumpDownload.h"
#include "dialogs/CdlgDownloadDump.h"
#include "dialogs/CdlgHibernationDump.h"
#include "dialogs/CdlgConfiguration.h"
#include "dialogs/CdlgInheritInstall.h"
#include "dialogs/CdlgNetworkSetting.h"
#include "dialogs/CdlgRestoreNasCmLu.h"
#include "dialogs/CdlgRestoreNasOsLu.h"
#include "dialogs/CdlgRestoreNasSystemLu.h"
#include "dialogs/MainButtonPlan.h"
#include "dialogs/RestorePhases.h"
#include "media/CusrMedia.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"

namespace res = kelp::res;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgMain";
constexpr std::uint32_t kStringTitle = str::kToolTitle;
constexpr const char* kCaptionIndent = "                    ";  // twenty blanks before the location
constexpr int kPumpTimer = 0x7F01;
constexpr plat::Millis kPumpTick{100};

// In the order of the window's two button grids.
constexpr int kNodeButtons[] = {res::kProgramInstall, res::kRouting,      res::kNncReset,
                                res::kNasDump,        res::kRestoreOsLu,  res::kDownloadDump};
constexpr int kPublicButtons[] = {res::kRestoreCmLu, res::kConfiguration, res::kRestoreSystemLu,
                                  res::kInheritInstall};

struct BoardLayout {
  std::uint16_t usModel;
  int nBoardsPerGroup;
};
constexpr BoardLayout kLayouts[] = {{0x1700, 1}, {0x1701, 1}, {0x1702, 1}, {0x1703, 2}};

constexpr std::uint32_t kSystemLuAgentVersion = 0x05000000;
constexpr std::uint32_t kBadUploadCode = 6;  // shown with 3556 for an upload status that names no board
constexpr const char* kBootManagementHint = "Double-click: Boot Management";
constexpr const char* kDumpWriteMinutes = "30";  // the longest a board takes to write its dump file

using kelp::ui::WaitCursor;

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

}  // namespace

CdlgMain::CdlgMain(kelp::ui::Host& host, session::ArraySession& rSession, std::string strUnitName)
    : Dialog(host, res::kTemplateMain), m_rSession(rSession), m_strUnitName(std::move(strUnitName)) {
  m_rSession.Array().Subscribe(this);
  for (int i = 0; i < res::kBoardSlots; ++i)
    OnCommand(res::kBoardButtonFirst + i, [this, i] { OnCHNButtonClicked(res::kBoardButtonFirst + i); });
  for (int i = 0; i < res::kBoardSlots; ++i)
    OnDoubleClick(res::kBoardButtonFirst + i, [this, i] { OnBootManagement(static_cast<std::uint32_t>(i)); });
  OnCommand(res::kMainClose, [this] { OnMainClose(); });
  const std::pair<int, void (CdlgMain::*)()> handlers[] = {
      {res::kProgramInstall, &CdlgMain::OnProgramInstall}, {res::kRouting, &CdlgMain::OnSetting},
      {res::kNncReset, &CdlgMain::OnP4Reset},              {res::kNasDump, &CdlgMain::OnHibernationDump},
      {res::kRestoreOsLu, &CdlgMain::OnRestoreOsLu},       {res::kDownloadDump, &CdlgMain::OnDownloadDump},
      {res::kRestoreCmLu, &CdlgMain::OnRestoreCmLu},       {res::kConfiguration, &CdlgMain::OnConfiguration},
      {res::kRestoreSystemLu, &CdlgMain::OnRestoreSystemLu}, {res::kInheritInstall, &CdlgMain::OnInheritInstall},
      {res::kReferConfig, &CdlgMain::OnReferConfig},
  };
  for (const auto& [id, handler] : handlers) OnCommand(id, [this, handler] { (this->*handler)(); });
}

CdlgMain::~CdlgMain() {
  m_rSession.Array().Unsubscribe(this);
  // The reset worker and the boot and recovery dialogs' workers use the boards.
  JoinWorkers();
  for (auto& dialog : m_pdlgBoot) dialog.reset();
  for (auto& dialog : m_pdlgNetwork) dialog.reset();
  m_pdlgRestoreCmLu.reset();
}

// ---------------------------------------------------------------- start-up

bool CdlgMain::OnInitDialog() {
  CusrTraceScope trace(kClass, "OnInitDialog", TRC_FUNC);
  SetWindowText(LoadString(kStringTitle) + " ( " + m_strUnitName + " )");
  ShowSplash(true);

  std::uint32_t ulError = 0;
  if (!m_rSession.Start(&ulError)) {
    trace.Error(TraceFmt("CusrCHN::GetEquipment() : %u", ulError), TRC_ERROR);
    ExitSVP();
    return false;
  }
  if (!OnInitDialogW(m_rSession.Array().ModelWord())) {
    ExitSVP();
    return false;
  }
  LoadCHNCaption();
  if (!CreateChnObject()) {
    trace.Error("cannot create chn object", TRC_ERROR);
    ExitSVP();
    return false;
  }
  if (m_rSession.AnyAgentNewer()) {
    trace.Error(ShowMessage(msg::kAgentNewerThanTool), TRC_ERROR);
    ExitSVP();
    return false;
  }
  CreateAllDialog();
  if (StartAgent() != 0) {
    trace.Error("status agent cannot run", TRC_ERROR);
    ExitSVP();
    return false;
  }
  SetUpInstallDevice();

  GetDlgItem(res::kMainClose).SetFocus();
  GetDlgItem(res::kLuInitialize).ShowWindow(false);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
  ShowSplash(false);
  m_bStartedUp = true;
  return false;
}

void CdlgMain::ShowSplash(bool bShow) {
  if (bShow && !m_pdlgSplash) {
    m_pdlgSplash = std::make_unique<kelp::ui::Dialog>(GetHost(), res::kTemplateSplash);
    if (m_pdlgSplash->Create()) m_pdlgSplash->ShowWindow(true);
  } else if (!bShow && m_pdlgSplash) {
    m_pdlgSplash->ShowWindow(false);
    m_pdlgSplash.reset();
  }
}

bool CdlgMain::OnInitDialogW(std::uint32_t ulModel) {
  CusrTraceScope trace(kClass, "OnInitDialogW", TRC_FUNC);
  const auto* pLayout = std::find_if(std::begin(kLayouts), std::end(kLayouts),
                                     [&](const BoardLayout& l) { return l.usModel == (ulModel & 0xFFFF); });
  if (pLayout == std::end(kLayouts)) {
    trace.Error(ShowMessage(msg::kArrayInvalidValue, TraceFmt("0x%08x", ulModel)), TRC_ERROR);
    return false;
  }
  const int nPerGroup = pLayout->nBoardsPerGroup;
  for (int i = 0; i < res::kBoardSlots; ++i) {
    kelp::ui::Control button = GetDlgItem(res::kBoardButtonFirst + i);
    button.SetWindowText(m_rSession.Array().LocationName(static_cast<std::uint32_t>(i)));
    const int p = i % 8;
    if (p >= nPerGroup) {
      button.ShowWindow(false);
      continue;
    }
    button.MoveWindow(25, p * 116 + (i < 8 ? 20 : 63), 450, 33);
    button.ShowWindow(true);
  }
  int y = 0;
  GetDlgItem(res::kBoardFrame1).MoveWindow(15, y, 470, 106);
  y += 116;
  const int nSecondFrame = nPerGroup == 1 ? 0 : 106;
  GetDlgItem(res::kBoardFrame2).MoveWindow(15, y, 470, nSecondFrame);
  y += nSecondFrame + 10;
  const auto placeGrid = [&](const int* pIds, std::size_t n, int top) {
    for (std::size_t k = 0; k < n; ++k)
      GetDlgItem(pIds[k]).MoveWindow(k % 2 == 0 ? 25 : 255, top + static_cast<int>(k / 2) * 40 + 20, 220, 30);
  };
  GetDlgItem(res::kNodeFunctionFrame).MoveWindow(15, y, 470, 140);
  placeGrid(kNodeButtons, std::size(kNodeButtons), y);
  y += 150;
  GetDlgItem(res::kPublicFunctionFrame).MoveWindow(15, y, 470, 100);
  placeGrid(kPublicButtons, std::size(kPublicButtons), y);
  y += 110;
  GetDlgItem(res::kMainClose).MoveWindow(255, y + 10, 220, 30);
  SetWindowSize(500, y + 85);
  GetDlgItem(res::kInheritInstall).ShowWindow(false);
  return true;
}

void CdlgMain::LoadCHNCaption() {
  for (std::uint32_t s = 0; s < m_strStatusWords.size(); ++s) {
    m_strStatusWords[s] = LoadString(kStatusWordString + s);
    const std::string strBracketed = LoadString(kStatusCaptionString + s);
    for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i)
      m_strCaptions[i][s] = kCaptionIndent + m_rSession.Array().LocationName(i) + strBracketed;
  }
}

bool CdlgMain::CreateChnObject() {
  CusrTraceScope trace(kClass, "CreateChnObject", TRC_FUNC);
  // The session made the board objects and read their status; the window shows them.
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    GetDlgItem(res::kBoardButtonFirst + static_cast<int>(i))
        .SetWindowText(kCaptionIndent + m_rSession.Array().LocationName(i));
    SetCHNCaption(i);
  }
  return true;
}

void CdlgMain::CreateAllDialog() {
  CusrTraceScope trace(kClass, "CreateAllDialog", TRC_FUNC);
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    m_pdlgBoot[i] = std::make_unique<CdlgBootManagement>(GetHost(), *this, i);
    m_pdlgBoot[i]->Create();
    m_pdlgInstall[i] = std::make_unique<CdlgProgramInstall>(GetHost(), *this, i);
    m_pdlgInstall[i]->Create();
    m_pdlgDump[i] = std::make_unique<CdlgHibernationDump>(GetHost(), *this, i);
    m_pdlgDump[i]->Create();
    m_pdlgNetwork[i] = std::make_unique<CdlgNetworkSetting>(GetHost(), *this, i);
    m_pdlgNetwork[i]->Create();
  }
}

std::uint32_t CdlgMain::StartAgent() {
  CusrTraceScope trace(kClass, "StartAgent", TRC_FUNC);
  return m_rSession.StartPoller(this, static_cast<std::uint32_t>(m_rSession.Settings().refreshSeconds) * 1000);
}

void CdlgMain::SetUpInstallDevice() {
  CusrTraceScope trace(kClass, "SetUpInstallDevice", TRC_FUNC);
  m_rSession.SetUpInstallDevice();
  if (m_rSession.Services() != nullptr && m_rSession.Services()->IsSimulated())
    GetDlgItem(res::kConfiguration).SetToolTip("Network-boot services: simulated (no DHCP or TFTP server runs)");
}

void CdlgMain::ExitSVP() {
  CusrTraceScope trace(kClass, "ExitSVP", TRC_FUNC);
  trace.Info(ShowMessage(msg::kToolWillFinish), TRC_INFO);
  OnOK();
}

void CdlgMain::OnOK() {
  CusrTraceScope trace(kClass, "OnOK", TRC_FUNC);
  m_bExiting = true;
  SetFunctionButtonsEnabled(false);
  GetDlgItem(res::kMainClose).EnableWindow(false);
  {
    WaitCursor cursor(GetHost());
    m_rSession.StopServices();
  }
  {
    WaitCursor cursor(GetHost());
    m_rSession.StopPoller();
  }
  // Only now: a check still running while the poller stops would otherwise lock and tell again.
  m_bNewerAgent = false;
  EndDialog(IDOK);
}

void CdlgMain::OnMainClose() { OnOK(); }

void CdlgMain::IsEnableCloseBtn() {
  CusrTraceScope trace(kClass, "IsEnableCloseBtn", TRC_FUNC);
  if (IsExiting()) return;
  const bool bIdle = m_rSession.PublicBusy() == 0 && !IsRestoreMode() && !m_rSession.AnyBoardBusy() && !IsReading();
  trace.Info(bIdle ? "can close main dialog" : "cannot close main dialog", TRC_INFO);
  GetDlgItem(res::kMainClose).EnableWindow(bIdle);
}

// ---------------------------------------------------------------- links from the board layer

void CdlgMain::BoardChanged(std::uint32_t ulSlot) {
  Post([this, ulSlot] {
    SetCHNCaption(ulSlot);
    SetEnableButton(m_uSelected);
    if (CdlgBootManagement* pBoot = BootManagement(ulSlot); pBoot && pBoot->IsWindowVisible()) pBoot->SetLinuxStatus();
    if (CdlgHibernationDump* pDump = HibernationDump(ulSlot); pDump && pDump->IsWindowVisible()) pDump->SetShowStatus();
  });
}

bool CdlgMain::MarkNewerAgent() {
  if (m_bNewerAgent.exchange(true)) return false;
  Post([this] { SetDisableALLButton(); });
  return true;
}

bool CdlgMain::PostAgentFinished() {
  PostMessage(kAgentFinished, 0, 0);
  return true;
}

bool CdlgMain::WaitPumping(const std::function<bool()>& done, plat::Millis timeout) {
  const plat::TimePoint deadline = plat::Clock::Now() + timeout;
  SetTimer(kPumpTimer, kPumpTick);
  GetHost().RunUntil([&] { return done() || plat::Clock::Now() >= deadline; });
  KillTimer(kPumpTimer);
  return done();
}

void CdlgMain::OnUserMessage(unsigned msg, std::uintptr_t, std::intptr_t) {
  if (msg == kAgentFinished) m_bAgentFinished = true;
}

// ---------------------------------------------------------------- board buttons

const std::string& CdlgMain::Caption(std::uint32_t ulSlot, std::int32_t nStatus) const {
  static const std::string kNone;
  return ulSlot < CusrCHN::kSlots && HasWord(nStatus) ? m_strCaptions[ulSlot][static_cast<std::size_t>(nStatus)]
                                                      : kNone;
}

const std::string& CdlgMain::StatusWord(std::int32_t nStatus) const {
  static const std::string kNone;
  return HasWord(nStatus) ? m_strStatusWords[static_cast<std::size_t>(nStatus)] : kNone;
}

std::string CdlgMain::BoardTooltip(std::uint32_t ulSlot) const {
  const CusrCHN* pBoard = Board(ulSlot);
  if (pBoard == nullptr) return {};
  std::string text = "Last status read: ";
  if (const std::uint64_t ms = pBoard->LastSeenMs(); ms == 0) {
    text += "never";
  } else {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local);
    text += buffer;
  }
  const std::string stage = pBoard->StageText();
  if (!stage.empty()) text += "\n" + stage;
  return text + "\n" + kBootManagementHint;
}

void CdlgMain::SetCHNCaption(std::uint32_t ulSlot) {
  CusrTraceScope trace(kClass, "SetCHNCaption", TRC_DEBUG);
  const CusrCHN* pBoard = Board(ulSlot);
  if (pBoard == nullptr) return;
  const std::int32_t nStatus = pBoard->GetStatus();
  trace.Debug(TraceFmt("Status CHN[%u] = %d", ulSlot, nStatus), TRC_DEBUG);
  kelp::ui::Control button = GetDlgItem(res::kBoardButtonFirst + static_cast<int>(ulSlot));
  if (HasWord(nStatus) && button.GetWindowText() != Caption(ulSlot, nStatus))
    button.SetWindowText(Caption(ulSlot, nStatus));
  button.SetToolTip(BoardTooltip(ulSlot));
  if (nStatus == CHN_STATUS_DIE || nStatus == CHN_STATUS_FATAL) button.EnableWindow(false);
}

void CdlgMain::OnCHNButtonClicked(int nId) {
  CusrTraceScope trace(kClass, "OnCHNButtonClicked", TRC_FUNC);
  if (IsExiting() || m_bReferConfig) return;
  if (nId < res::kBoardButtonFirst || nId > res::kBoardButtonLast || GetDlgItem(nId).GetCheck() == 0) return;
  m_uSelected = static_cast<std::uint32_t>(nId - res::kBoardButtonFirst);
  trace.Info(TraceFmt("CHN[%u] Selected", m_uSelected), TRC_INFO);
  SetEnableButton(m_uSelected);
}

// ---------------------------------------------------------------- function buttons

void CdlgMain::SetFunctionButtonsEnabled(bool bEnable) {
  for (const int id : mainwindow::kFunctionButtons) GetDlgItem(id).EnableWindow(bEnable);
}

void CdlgMain::SetDisableALLButton() {
  SetFunctionButtonsEnabled(false);
  for (int i = 0; i < res::kBoardSlots; ++i) GetDlgItem(res::kBoardButtonFirst + i).EnableWindow(false);
}

mainwindow::MainSnapshot CdlgMain::Snapshot(std::uint32_t ulSlot) const {
  mainwindow::MainSnapshot snapshot;
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    snapshot.status[i] = Board(i) ? Board(i)->GetStatus() : CHN_STATUS_DIE;
    snapshot.fitted[i] = m_rSession.Array().IsCHN(i);
  }
  snapshot.busy = m_rSession.BusyCodes();
  snapshot.publicBusy = m_rSession.PublicBusy();
  snapshot.selected = ulSlot;
  snapshot.referConfig = m_bReferConfig;
  snapshot.restoreCmLu = m_bRestoreCmLu;
  snapshot.restoreSystemLu = m_bRestoreSystemLu;
  snapshot.installDeviceFailed = m_rSession.InstallDeviceFailed();
  snapshot.mediaRootIsMP = m_rSession.MediaRootIsMP();
  snapshot.newerAgent = m_bNewerAgent;
  snapshot.reading = IsReading();
  return snapshot;
}

void CdlgMain::ApplyPlan(const mainwindow::ButtonPlan& plan) {
  for (const auto& [id, bEnable] : plan.enabled) GetDlgItem(id).EnableWindow(bEnable);
}

void CdlgMain::SetEnableButton(std::uint32_t ulSlot) {
  CusrTraceScope trace(kClass, "SetEnableButton", TRC_FUNC);
  if (IsExiting()) return;
  if (ulSlot > kNoBoard) {
    trace.Error(TraceFmt("CdlgMain::SetEnableButton uNumber = [%u]", ulSlot), TRC_ERROR);
    return;
  }
  const mainwindow::ButtonPlan plan = mainwindow::PlanButtons(Snapshot(ulSlot));
  if (plan.unknownBusyCode) {
    ShowMessage(msg::kInternalError, TraceFmt("0x%08x", static_cast<unsigned>(*plan.unknownBusyCode)));
    ExitSVP();
    return;
  }
  ApplyPlan(plan);
}

void CdlgMain::SetPublicFunctionButton() {
  CusrTraceScope trace(kClass, "SetPublicFunctionButton", TRC_FUNC);
  if (IsExiting()) return;
  ApplyPlan(mainwindow::PlanPublicButtons(Snapshot(m_uSelected)));
}

bool CdlgMain::IsAnyWindowDisplayed() const {
  const bool bAny = mainwindow::AnyWindowDisplayed(Snapshot(m_uSelected));
  WriteTraceLine(bAny ? "Any Windows are displayed" : "Main Window Only", "debug", TRC_DEBUG & GetTraceMask());
  return bAny;
}

bool CdlgMain::IsFunctionDisable() {
  if (!m_bNewerAgent) return false;
  ShowMessage(msg::kAgentNewerStopTool);
  WriteTraceLine("This Button cannot start the Function.", "info_", TRC_INFO & GetTraceMask());
  return true;
}

void CdlgMain::SetBoardBusy(std::uint32_t ulSlot, int nCode) {
  if (ulSlot >= CusrCHN::kSlots) return;
  m_rSession.SetBoardBusy(ulSlot, nCode);
  GetHost().SetBusy(static_cast<int>(ulSlot), nCode);
}

void CdlgMain::SetPublicBusy(int nCode) {
  m_rSession.SetPublicBusy(nCode);
  GetHost().SetBusy(kelp::ui::kPublicBusySlot, nCode);
}

void CdlgMain::OnSysCommand(unsigned nId) {
  if ((nId & 0xFFF0) != kAboutCommand) return;
  CdlgAbout about(GetHost());
  const int nResult = about.DoModal();
  if (nResult == -1 || nResult == 3)
    WriteTraceLine(TraceFmt("About dialog created failed. code = 0x%08x", static_cast<unsigned>(nResult)), "error",
                   TRC_ERROR & GetTraceMask());
}

bool CdlgMain::OnKey(const kelp::ui::KeyChord& key) {
  if (key.shift && key.ctrl && !key.alt && key.key == "e") {
    GetDlgItem(res::kInheritInstall).ShowWindow(true);
    return true;
  }
  return false;
}

void CdlgMain::SetInstallDeviceState(bool bFailed, bool bMediaRootIsMP) {
  m_rSession.SetInstallDeviceState(bFailed, bMediaRootIsMP);
  SetEnableButton(m_uSelected);
}

// ---------------------------------------------------------------- refer-configuration mode

void CdlgMain::OnReferConfig() {
  CusrTraceScope trace(kClass, "OnReferConfig", TRC_FUNC);
  if (IsFunctionDisable()) return;
  if (m_bReferConfig) {
    LeaveReferConfig();
    return;
  }
  m_bReferConfig = true;
  for (int i = 0; i < res::kBoardSlots; ++i) GetDlgItem(res::kBoardButtonFirst + i).EnableWindow(false);
  SetEnableButton(m_uSelected);
}

void CdlgMain::LeaveReferConfig() {
  CusrTraceScope trace(kClass, "LeaveReferConfig", TRC_FUNC);
  m_bReferConfig = false;
  m_uSelected = kNoBoard;
  SetPublicBusy(0);
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    kelp::ui::Control button = GetDlgItem(res::kBoardButtonFirst + static_cast<int>(i));
    const std::int32_t nStatus = Board(i) ? Board(i)->GetStatus() : CHN_STATUS_DIE;
    if (nStatus == CHN_STATUS_DIE || nStatus == CHN_STATUS_FATAL) continue;
    button.EnableWindow(true);
    button.SetCheck(0);
  }
  SetPublicFunctionButton();
}

// ---------------------------------------------------------------- node functions

void CdlgMain::OnProgramInstall() {
  CusrTraceScope trace(kClass, "OnProgramInstall", TRC_FUNC);
  const std::uint32_t ulSlot = m_uSelected;
  if (ulSlot >= CusrCHN::kSlots || !m_pdlgInstall[ulSlot] || IsFunctionDisable()) return;
  if (m_rSession.BusyCodes()[ulSlot] == kBusyProgramInstall) {
    m_pdlgInstall[ulSlot]->BringForward();
    return;
  }
  if (m_rSession.BusyCodes()[ulSlot] != 0) {
    trace.Info(TraceFmt("CHN[%u] busy: %d", ulSlot, m_rSession.BusyCodes()[ulSlot]), TRC_INFO);
    return;
  }
  SetBoardBusy(ulSlot, kBusyProgramInstall);
  GetDlgItem(res::kMainClose).EnableWindow(false);
  SetEnableButton(m_uSelected);
  m_pdlgInstall[ulSlot]->Open({m_rSession.MediaRoot(), m_rSession.MediaRootIsMP()});
}

void CdlgMain::ProgramInstallClosed(std::uint32_t ulSlot) {
  if (ulSlot >= CusrCHN::kSlots || m_rSession.BusyCodes()[ulSlot] != kBusyProgramInstall) return;
  SetBoardBusy(ulSlot, 0);
  SetCHNCaption(ulSlot);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}

void CdlgMain::OnSetting() {
  CusrTraceScope trace(kClass, "OnSetting", TRC_FUNC);
  const std::uint32_t ulSlot = m_uSelected;
  CdlgNetworkSetting* pNetwork = NetworkSetting(ulSlot);
  if (IsFunctionDisable() || pNetwork == nullptr || IsExiting()) return;
  if (m_rSession.BusyCodes()[ulSlot] == kBusyRouting) {
    pNetwork->ShowWindow(true);
    pNetwork->BringToForeground();
    return;
  }
  if (m_rSession.BusyCodes()[ulSlot] != 0) {
    trace.Info(TraceFmt("CHN[%u] busy: %d", ulSlot, m_rSession.BusyCodes()[ulSlot]), TRC_INFO);
    return;
  }
  SetBoardBusy(ulSlot, kBusyRouting);
  GetDlgItem(res::kMainClose).EnableWindow(false);
  SetEnableButton(m_uSelected);
  pNetwork->ShowNetSetDialog(m_bReferConfig);
}

void CdlgMain::NetworkSettingClosed(std::uint32_t ulSlot) {
  if (ulSlot >= CusrCHN::kSlots || m_rSession.BusyCodes()[ulSlot] != kBusyRouting) return;
  SetBoardBusy(ulSlot, 0);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}

void CdlgMain::OnHibernationDump() {
  CusrTraceScope trace(kClass, "OnHibernationDump", TRC_FUNC);
  if (IsFunctionDisable()) return;
  const std::uint32_t ulSlot = m_uSelected;
  CdlgHibernationDump* pDump = HibernationDump(ulSlot);
  if (pDump == nullptr) return;
  if (m_rSession.BusyCodes()[ulSlot] == kBusyNasDump || (m_rSession.BusyCodes()[ulSlot] == kBusyReset && pDump->IsWorking())) {
    pDump->ShowWindow(true);
    pDump->BringToForeground();
    return;
  }
  if (m_rSession.BusyCodes()[ulSlot] != 0) {
    trace.Info(TraceFmt("CHN[%u] busy: %d", ulSlot, m_rSession.BusyCodes()[ulSlot]), TRC_INFO);
    return;
  }
  SetBoardBusy(ulSlot, kBusyNasDump);
  GetDlgItem(res::kMainClose).EnableWindow(false);
  SetEnableButton(m_uSelected);
  pDump->SetShowStatus();
  pDump->ShowWindow(true);
  pDump->BringToForeground();
}

void CdlgMain::HibernationDumpClosed(std::uint32_t ulSlot) {
  CdlgHibernationDump* pDump = HibernationDump(ulSlot);
  if (pDump == nullptr || pDump->IsWorking()) return;
  SetCHNCaption(ulSlot);
  if (m_rSession.BusyCodes()[ulSlot] == kBusyNasDump) SetBoardBusy(ulSlot, 0);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    kelp::ui::Control button = GetDlgItem(res::kBoardButtonFirst + static_cast<int>(i));
    if (button.IsWindowEnabled()) {
      button.SetFocus();
      break;
    }
  }
}

template <class Read, class FollowUp>
void CdlgMain::ReadThen(Read read, FollowUp followUp) {
  StartRead(
      std::move(read),
      [this, followUp = std::move(followUp)](auto result) mutable {
        SetEnableButton(m_uSelected);
        IsEnableCloseBtn();
        followUp(std::move(result));
      },
      false);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}

void CdlgMain::OnDownloadDump() {
  CusrTraceScope trace(kClass, "OnDownloadDump", TRC_FUNC);
  if (IsFunctionDisable() || IsReading() || m_uSelected >= CusrCHN::kSlots) return;
  const std::uint32_t ulSlot = m_uSelected;
  const std::string strName = m_rSession.Array().LocationName(ulSlot);
  ReadThen(
      [&board = *Board(ulSlot), strName]() -> std::optional<CdlgDownloadDump::DumpInfo> {
        if (board.GetAgentVersion() >= CusrCHN::kOldNasOsAgentVersion) return OpeningDumpInfo(board, strName);
        CusrTraceScope worker(kClass, "OnDownloadDump", TRC_FUNC);
        worker.Warn(ShowMessage(msg::kOsLuVersionOld, strName), TRC_WARN);
        return std::nullopt;
      },
      [this, ulSlot](const std::optional<CdlgDownloadDump::DumpInfo>& info) {
        CusrTraceScope followUp(kClass, "OnDownloadDump", TRC_FUNC);
        if (!info) return;
        CdlgDownloadDump dlg(GetHost(), *this, ulSlot, *info);
        if (dlg.DoModal() == -1)
          followUp.Error(ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno))), TRC_ERROR);
        SetEnableButton(m_uSelected);
      });
}

std::optional<CdlgDownloadDump::DumpInfo> CdlgMain::OpeningDumpInfo(CusrCHN& board, const std::string& strName) {
  CusrTraceScope trace(kClass, "OnDownloadDump", TRC_FUNC);
  // A download that outran its wait: the dialog follows it until a poll sees its end.
  std::string strFiled;
  const bool bStillDownloading = board::CheckDownloadMark(board, &strFiled);
  if (!strFiled.empty()) ShowMessage(msg::kDumpDownloaded, strName, strFiled);
  CdlgDownloadDump::DumpInfo info;
  std::uint32_t ulError = 0;
  if (!board.GetDumpInfo(&info.ulStatus, &info.strDate, &info.ulSize, &ulError)) {
    trace.Error(TraceFmt("GetDumpInfo(): 0x%08x", ulError), TRC_ERROR);
    return std::nullopt;
  }
  trace.Info(TraceFmt("Status: 0x%08x, Date: %s, Size: %d", info.ulStatus, info.strDate.c_str(),
                      static_cast<int>(info.ulSize)),
             TRC_INFO);
  if (bStillDownloading) {
    info.ulStatus = board::kDumpDownloading;
    return info;
  }
  switch (board::ClassifyDumpStatus(info.ulStatus)) {
    case board::DumpState::Error:
      trace.Error(ShowMessage(msg::kNasOsError, common::CodeText(info.ulStatus)), TRC_ERROR);
      return std::nullopt;
    case board::DumpState::Nothing:
      trace.Warn(ShowMessage(msg::kDumpNotReady, strName, kDumpWriteMinutes), TRC_WARN);
      return std::nullopt;
    default:
      return info;
  }
}

void CdlgMain::OnInheritInstall() {
  CusrTraceScope trace(kClass, "OnInheritInstall", TRC_FUNC);
  if (IsFunctionDisable()) return;
  std::string strNodes;
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i)
    if (m_rSession.Array().IsCHN(i)) strNodes += "\n  - " + m_rSession.Array().LocationName(i);
  int nButton = IDCANCEL;
  ShowMessage(msg::kInheritInstallQuestion, strNodes, {}, &nButton);
  if (nButton != IDOK) return;
  SetPublicBusy(kPublicBusyInherit);
  GetDlgItem(res::kMainClose).EnableWindow(false);
  SetEnableButton(m_uSelected);
  CdlgInheritInstall dialog(GetHost(), *this, {m_rSession.MediaRoot(), m_rSession.MediaRootIsMP()});
  if (const int nResult = dialog.DoModal(); nResult == -1 || nResult == 3)
    ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno)));
  SetPublicBusy(0);
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i)
    if (Board(i)) SetCHNCaption(i);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}

void CdlgMain::OnConfiguration() {
  CusrTraceScope trace(kClass, "OnConfiguration", TRC_FUNC);
  if (!IsFunctionDisable()) RunConfiguration();
}

void CdlgMain::RunConfiguration() {
  CusrTraceScope trace(kClass, "RunConfiguration", TRC_FUNC);
  CdlgConfiguration dlg(GetHost(), m_rSession.MediaRoot(), [this] { return IsFunctionDisable(); });
  const int nResult = dlg.DoModal();
  if (nResult != IDOK && nResult != IDCANCEL) {
    trace.Error(ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno))), TRC_ERROR);
    return;
  }
  if (nResult != IDOK) return;
  m_rSession.ChangeInstallDevice(dlg.GetMediaRoot());
  SetEnableButton(m_uSelected);
}

void CdlgMain::OnBootManagement(std::uint32_t ulSlot) {
  CusrTraceScope trace(kClass, "OnBootManagement", TRC_FUNC);
  CdlgBootManagement* pBoot = BootManagement(ulSlot);
  if (pBoot == nullptr || IsExiting() || m_bReferConfig || m_bRestoreCmLu || m_bRestoreSystemLu) return;
  if (!GetDlgItem(res::kBoardButtonFirst + static_cast<int>(ulSlot)).IsWindowEnabled() || IsFunctionDisable()) return;
  if (m_rSession.BusyCodes()[ulSlot] == kBusyBootManagement) {
    // Its own dialog, perhaps hidden while its operation runs.
    pBoot->ShowWindow(true);
    pBoot->BringToForeground();
    return;
  }
  if (m_rSession.BusyCodes()[ulSlot] != 0) {
    trace.Info(TraceFmt("CHN[%u] busy: %d", ulSlot, m_rSession.BusyCodes()[ulSlot]), TRC_INFO);
    return;
  }
  SetBoardBusy(ulSlot, kBusyBootManagement);
  GetDlgItem(res::kMainClose).EnableWindow(false);
  SetEnableButton(m_uSelected);
  pBoot->Prepare();
  pBoot->ShowWindow(true);
  pBoot->BringToForeground();
}

void CdlgMain::BootManagementClosed(std::uint32_t ulSlot) {
  CdlgBootManagement* pBoot = BootManagement(ulSlot);
  if (pBoot == nullptr || pBoot->IsWorking() || m_rSession.BusyCodes()[ulSlot] != kBusyBootManagement) return;
  SetBoardBusy(ulSlot, 0);
  SetCHNCaption(ulSlot);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}

void CdlgMain::OnP4Reset() {
  if (!IsFunctionDisable()) ResetBoard(m_uSelected, 0);
}

void CdlgMain::ResetBoard(std::uint32_t ulSlot, int nOwnerCode) {
  CusrTraceScope trace(kClass, "OnP4Reset", TRC_FUNC);
  if (ulSlot >= CusrCHN::kSlots || IsExiting()) return;
  if (m_rSession.BusyCodes()[ulSlot] != nOwnerCode) {
    // Another operation holds the board: its mark stays.
    trace.Info(TraceFmt("CHN[%u] busy: %d", ulSlot, m_rSession.BusyCodes()[ulSlot]), TRC_INFO);
    return;
  }
  SetBoardBusy(ulSlot, kBusyReset);
  SetEnableButton(m_uSelected);
  GetDlgItem(res::kMainClose).EnableWindow(false);
  for (const std::uint32_t ulQuestion : {msg::kNncResetQuestion, msg::kForcedStopQuestion, msg::kFatalDamage}) {
    if (!Confirmed(ulQuestion)) {
      SetBoardBusy(ulSlot, nOwnerCode);
      SetEnableButton(m_uSelected);
      IsEnableCloseBtn();
      return;
    }
  }
  CusrCHN* pBoard = Board(ulSlot);
  StartWorker([this, pBoard, ulSlot, nOwnerCode] {
    CusrTraceScope worker(kClass, "P4ResetThread", TRC_FUNC);
    std::uint32_t ulError = 0;
    if (pBoard->StartP4Reset(nullptr, &ulError)) ShowMessage(msg::kFinishedNormally);
    else worker.Error(TraceFmt("function failed, code = 0x%08x", ulError), TRC_ERROR);
    Post([this, ulSlot, nOwnerCode] { FinishReset(ulSlot, nOwnerCode); });
  });
}

void CdlgMain::FinishReset(std::uint32_t ulSlot, int nOwnerCode) {
  CdlgBootManagement* pBoot = BootManagement(ulSlot);
  // The boot dialog that asked for the reset gets its board back only while it is open.
  const bool bOwnerOpen = nOwnerCode == kBusyBootManagement && pBoot && pBoot->IsWindowVisible();
  SetBoardBusy(ulSlot, bOwnerOpen ? nOwnerCode : 0);
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
  if (bOwnerOpen) pBoot->SetLinuxStatus();
}

// ---------------------------------------------------------------- LU recovery

void CdlgMain::OnRestoreOsLu() {
  CusrTraceScope trace(kClass, "OnRestoreOsLu", TRC_FUNC);
  if (IsFunctionDisable() || IsReading() || m_uSelected >= CusrCHN::kSlots) return;
  CusrCHN& board = *Board(m_uSelected);
  const std::string strName = m_rSession.Array().LocationName(m_uSelected);
  ReadThen(
      [&board, strName]() -> std::optional<agent::LuBackupInfo> {
        CusrTraceScope worker(kClass, "OnRestoreOsLu", TRC_FUNC);
        agent::LuBackupInfo info;
        if (board.GetAgentVersion() < CusrCHN::kOldNasOsAgentVersion) {
          worker.Warn(ShowMessage(msg::kOsLuVersionOld, strName), TRC_WARN);
        } else if (const std::uint32_t ulResult = board.GetOsLuBackupInfo(&info)) {
          worker.Error(TraceFmt("GetOsLuBackupInfo(): 0x%08x", ulResult), TRC_ERROR);
        } else if (info.strDate == recovery::kNoBackupDate) {
          worker.Warn(ShowMessage(msg::kNoOsLuBackup, strName), TRC_WARN);
        } else {
          return info;
        }
        return std::nullopt;
      },
      [this, &board, strName](const std::optional<agent::LuBackupInfo>& info) {
        CusrTraceScope followUp(kClass, "OnRestoreOsLu", TRC_FUNC);
        if (info) {
          CdlgRestoreNasOsLu dlg(GetHost(), *this, board, strName, info->ulBackupStatus, info->strDate, SettingsFile());
          if (const int nResult = dlg.DoModal(); nResult == -1 || nResult == 3)
            followUp.Error(ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno))),
                           TRC_ERROR);
          SetEnableButton(m_uSelected);
        }
        GetDlgItem(res::kRestoreOsLu).SetFocus();
      });
}

namespace {

// The newest running board and its backup information, read on a worker; no board when a
// message or the trace told why the recovery does not open.
template <class Info>
struct LatestBackup {
  CusrCHN* pBoard = nullptr;
  Info info;
};

}  // namespace

void CdlgMain::OnRestoreCmLu() {
  CusrTraceScope trace(kClass, "OnRestoreCmLu", TRC_FUNC);
  if (IsFunctionDisable() || IsReading()) return;
  if (m_bRestoreCmLu && m_pdlgRestoreCmLu) {
    m_pdlgRestoreCmLu->BringToForeground();
    return;
  }
  ReadThen(
      [&session = m_rSession] {
        CusrTraceScope worker(kClass, "OnRestoreCmLu", TRC_FUNC);
        LatestBackup<agent::LuBackupInfo> latest;
        CusrCHN* pBoard = session.GetLatestCHN();
        if (pBoard == nullptr || pBoard->GetAgentVersion() < CusrCHN::kOldNasOsAgentVersion) {
          worker.Warn(ShowMessage(msg::kNoRunningNasOs, LoadString(str::kNasOsVersion0200)), TRC_WARN);
        } else if (const std::uint32_t ulResult = pBoard->GetSharedLuBackupInfo(&latest.info)) {
          worker.Error(TraceFmt("GetSharedLuBackupInfo(): 0x%08x", ulResult), TRC_ERROR);
        } else {
          latest.pBoard = pBoard;
        }
        return latest;
      },
      [this](const LatestBackup<agent::LuBackupInfo>& latest) { OpenRestoreCmLu(latest.pBoard, latest.info); });
}

void CdlgMain::OpenRestoreCmLu(CusrCHN* pBoard, const agent::LuBackupInfo& info) {
  CusrTraceScope trace(kClass, "OnRestoreCmLu", TRC_FUNC);
  if (pBoard == nullptr) return;
  trace.Info(TraceFmt("Status : 0x%08x, Date : %s", info.ulBackupStatus, info.strDate.c_str()), TRC_INFO);
  if (info.strDate == recovery::kNoBackupDate) {
    trace.Warn(ShowMessage(msg::kNoCmLuBackup), TRC_WARN);
    return;
  }
  if (!m_pdlgRestoreCmLu) {
    m_pdlgRestoreCmLu = std::make_unique<CdlgRestoreNasCmLu>(GetHost(), *this, [this] { RestoreCmLuClosed(); });
    m_pdlgRestoreCmLu->Create();
  }
  m_pdlgRestoreCmLu->Prepare(*pBoard, info.ulBackupStatus, info.strDate, SettingsFile());
  m_bRestoreCmLu = true;
  SetEnableButton(kNoBoard);
  m_pdlgRestoreCmLu->ShowWindow(true);
  m_pdlgRestoreCmLu->BringToForeground();
}

void CdlgMain::RestoreCmLuClosed() {
  m_bRestoreCmLu = false;
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}

void CdlgMain::OnRestoreSystemLu() {
  CusrTraceScope trace(kClass, "OnRestoreSystemLu", TRC_FUNC);
  if (IsFunctionDisable() || IsReading() || m_bRestoreSystemLu) return;
  ReadThen(
      [&session = m_rSession] {
        CusrTraceScope worker(kClass, "OnRestoreSystemLu", TRC_FUNC);
        LatestBackup<agent::SystemLuBackupInfo> latest;
        CusrCHN* pBoard = session.GetLatestCHN();
        if (pBoard == nullptr || pBoard->GetAgentVersion() < kSystemLuAgentVersion) {
          worker.Warn(ShowMessage(msg::kNoRunningNasOs, LoadString(str::kNasOsVersion0500)), TRC_WARN);
        } else if (const std::uint32_t ulResult = pBoard->GetSystemLuBackupInfo(&latest.info)) {
          worker.Error(TraceFmt("GetSystemLuBackupInfo(): 0x%08x", ulResult), TRC_ERROR);
        } else {
          latest.pBoard = pBoard;
        }
        return latest;
      },
      [this](const LatestBackup<agent::SystemLuBackupInfo>& latest) {
        if (latest.pBoard != nullptr) OpenRestoreSystemLu(*latest.pBoard, latest.info);
      });
}

void CdlgMain::OpenRestoreSystemLu(CusrCHN& board, const agent::SystemLuBackupInfo& info) {
  CusrTraceScope trace(kClass, "OnRestoreSystemLu", TRC_FUNC);
  trace.Info(TraceFmt("Execute Status = 0x%08x, Upload Status = 0x%08x, File Name = %s, Download Date = %s",
                      info.ulExecuteStatus, info.ulUploadStatus, info.strFileName.c_str(), info.strDate.c_str()),
             TRC_INFO);
  if (const std::uint32_t u = info.ulUploadStatus; u != 0) {
    // The board that uploaded the data: 1-4 are slots 0-3, 5-8 slots 8-11.
    const bool bNamesSlot = u <= 8;
    const std::uint32_t ulSlot = u <= 4 ? u - 1 : u + 3;
    if (!bNamesSlot || !m_rSession.Array().IsCHN(ulSlot)) {
      trace.Error(TraceFmt(bNamesSlot ? "Update Data is amusing: 0x%08x" : "Upload data is illegal: 0x%08x", u),
                  TRC_ERROR);
      ShowMessage(msg::kNasManagerError, common::CodeText(kBadUploadCode));
      return;
    }
  }
  CdlgRestoreNasSystemLu::Backup backup{recovery::SystemLuInitialStatus(info.ulExecuteStatus, info.strDate),
                                        info.strFileName, info.strDate};
  m_bRestoreSystemLu = true;
  SetEnableButton(kNoBoard);
  {
    CdlgRestoreNasSystemLu dlg(GetHost(), *this, board, std::move(backup), SettingsFile());
    if (const int nResult = dlg.DoModal(); nResult == -1 || nResult == 3)
      trace.Error(ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno))), TRC_ERROR);
  }
  m_bRestoreSystemLu = false;
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}
