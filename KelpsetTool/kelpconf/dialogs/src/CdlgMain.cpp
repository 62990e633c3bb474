#include "dialogs/CdlgMain.h"

#include <cerrno>

#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "dialogs/CdlgAbout.h"
#include "dialogs/CdlgConfiguration.h"
#include "dialogs/CdlgInheritInstall.h"
#include "dialogs/BoardCaption.h"
#include "dialogs/MainButtonPlan.h"
#include "dialogs/MainLayout.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"

namespace res = kelp::res;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgMain";
constexpr std::uint32_t kStringTitle = str::kToolTitle;
constexpr int kPumpTimer = 0x7F01;
constexpr plat::Millis kPumpTick{100};

using kelp::ui::WaitCursor;

}  // namespace

CdlgMain::CdlgMain(kelp::ui::Host& host, session::ArraySession& rSession, std::string strUnitName)
    : Dialog(host, res::kTemplateMain),
      m_rSession(rSession),
      m_strUnitName(std::move(strUnitName)),
      m_functions(
          host, *this, rSession, [this](std::uint32_t ulSlot, int nCode) { BoardDialogClosed(ulSlot, nCode); },
          [this](std::uint32_t ulSlot) { ResetBoard(ulSlot, kBusyBootManagement); }),
      m_recovery(host, *this, rSession, [this] {
        SetEnableButton(m_uSelected);
        IsEnableCloseBtn();
      }) {
  m_rSession.Array().Subscribe(this);
  m_rSession.OnBusyChanged([this](std::uint32_t ulSlot) { BusyChanged(ulSlot); });
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
  m_rSession.OnBusyChanged({});
  // The reset worker and the boot and recovery dialogs' workers use the boards.
  JoinWorkers();
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
  const std::optional<mainwindow::MainLayout> layout = mainwindow::LayOutMain(ulModel);
  if (!layout) {
    trace.Error(ShowMessage(msg::kArrayInvalidValue, common::CodeText(ulModel)), TRC_ERROR);
    return false;
  }
  for (int i = 0; i < res::kBoardSlots; ++i)
    GetDlgItem(res::kBoardButtonFirst + i).SetWindowText(m_rSession.Array().LocationName(static_cast<std::uint32_t>(i)));
  for (const mainwindow::Placement& place : layout->placements) {
    kelp::ui::Control control = GetDlgItem(place.nId);
    if (place.rect) control.MoveWindow(place.rect->x, place.rect->y, place.rect->w, place.rect->h);
    if (place.shown) control.ShowWindow(*place.shown);
  }
  SetWindowSize(layout->nWidth, layout->nHeight);
  return true;
}

bool CdlgMain::CreateChnObject() {
  CusrTraceScope trace(kClass, "CreateChnObject", TRC_FUNC);
  // The session made the board objects and read their status; the window shows them.
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    GetDlgItem(res::kBoardButtonFirst + static_cast<int>(i))
        .SetWindowText(mainwindow::BoardCaption(m_rSession.Array().LocationName(i)));
    SetCHNCaption(i);
  }
  return true;
}

void CdlgMain::CreateAllDialog() {
  CusrTraceScope trace(kClass, "CreateAllDialog", TRC_FUNC);
  m_functions.Create();
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
  m_rSession.ClearNewerAgent();
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
    m_functions.BoardChanged(ulSlot);
  });
}

bool CdlgMain::MarkNewerAgent() {
  if (!m_rSession.MarkNewerAgent()) return false;
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

void CdlgMain::SetCHNCaption(std::uint32_t ulSlot) {
  CusrTraceScope trace(kClass, "SetCHNCaption", TRC_DEBUG);
  const CusrCHN* pBoard = Board(ulSlot);
  if (pBoard == nullptr) return;
  const std::int32_t nStatus = pBoard->GetStatus();
  trace.Debug(TraceFmt("Status CHN[%u] = %d", ulSlot, nStatus), TRC_DEBUG);
  kelp::ui::Control button = GetDlgItem(res::kBoardButtonFirst + static_cast<int>(ulSlot));
  if (const std::string strCaption = mainwindow::BoardCaption(pBoard->LocationName(), nStatus);
      HasWord(nStatus) && button.GetWindowText() != strCaption)
    button.SetWindowText(strCaption);
  button.SetToolTip(mainwindow::BoardTooltip(pBoard->LastSeenMs(), pBoard->StageText()));
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
  snapshot.restoreCmLu = m_recovery.IsRestoreCmLu();
  snapshot.restoreSystemLu = m_recovery.IsRestoreSystemLu();
  snapshot.installDeviceFailed = m_rSession.InstallDeviceFailed();
  snapshot.mediaRootIsMP = m_rSession.MediaRootIsMP();
  snapshot.newerAgent = m_rSession.IsNewerAgent();
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

bool CdlgMain::IsFunctionDisable() { return m_rSession.IsFunctionDisable(); }

void CdlgMain::SetBoardBusy(std::uint32_t ulSlot, int nCode) { m_rSession.SetBoardBusy(ulSlot, nCode); }

void CdlgMain::SetPublicBusy(int nCode) { m_rSession.SetPublicBusy(nCode); }

void CdlgMain::BusyChanged(std::uint32_t ulSlot) {
  if (ulSlot < CusrCHN::kSlots)
    GetHost().SetBusy(static_cast<int>(ulSlot), m_rSession.BoardBusy(ulSlot));
  else
    GetHost().SetBusy(kelp::ui::kPublicBusySlot, m_rSession.PublicBusy());
  SetEnableButton(m_uSelected);
  IsEnableCloseBtn();
}

void CdlgMain::BoardDialogClosed(std::uint32_t ulSlot, int nCode) {
  SetCHNCaption(ulSlot);
  if (nCode != kBusyNasDump) return;
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    kelp::ui::Control button = GetDlgItem(res::kBoardButtonFirst + static_cast<int>(i));
    if (button.IsWindowEnabled()) {
      button.SetFocus();
      break;
    }
  }
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
  if (!IsFunctionDisable()) m_functions.OpenProgramInstall(m_uSelected);
}

void CdlgMain::OnSetting() {
  if (!IsFunctionDisable() && !IsExiting()) m_functions.OpenNetworkSetting(m_uSelected, m_bReferConfig);
}

void CdlgMain::OnHibernationDump() {
  if (!IsFunctionDisable()) m_functions.OpenNasDump(m_uSelected);
}

void CdlgMain::OnDownloadDump() {
  if (!IsFunctionDisable()) m_recovery.DownloadDump(m_uSelected);
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
  CdlgInheritInstall dialog(GetHost(), m_rSession, {m_rSession.MediaRoot(), m_rSession.MediaRootIsMP()});
  if (const int nResult = dialog.DoModal(); nResult == -1 || nResult == 3)
    ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno)));
  SetPublicBusy(0);
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i)
    if (Board(i)) SetCHNCaption(i);
  SetEnableButton(m_uSelected);
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
  if (ulSlot >= CusrCHN::kSlots || IsExiting() || m_bReferConfig || IsRestoreMode()) return;
  if (GetDlgItem(res::kBoardButtonFirst + static_cast<int>(ulSlot)).IsWindowEnabled() && !IsFunctionDisable())
    m_functions.OpenBootManagement(ulSlot);
}

void CdlgMain::OnP4Reset() {
  if (!IsFunctionDisable()) ResetBoard(m_uSelected, 0);
}

void CdlgMain::ResetBoard(std::uint32_t ulSlot, int nOwnerCode) {
  if (!IsExiting()) m_functions.Reset(ulSlot, nOwnerCode);
}

// ---------------------------------------------------------------- LU recovery

void CdlgMain::OnRestoreOsLu() {
  if (!IsFunctionDisable()) m_recovery.RestoreOsLu(m_uSelected);
}

void CdlgMain::OnRestoreCmLu() {
  if (!IsFunctionDisable()) m_recovery.RestoreCmLu();
}

void CdlgMain::OnRestoreSystemLu() {
  if (!IsFunctionDisable()) m_recovery.RestoreSystemLu();
}
