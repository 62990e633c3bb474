#include "dialogs/CdlgBootManagement.h"

#include <algorithm>
#include <iterator>

#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "dialogs/MainButtonPlan.h"
#include "dialogs/ShutdownCheck.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgBootManagement";

// Buttons by board status when no operation runs; a status not listed leaves only Close.
// DUMP and DUMPSKIP keep Close: a board stuck there must not hold the dialog open.
struct LinuxButtons {
  std::int32_t nStatus;
  bool bBoot;          // Boot and the boot option
  bool bStopOrReboot;  // Reboot and Shutdown
};
constexpr LinuxButtons kLinuxButtons[] = {
    {CHN_STATUS_STOP, true, false},      {CHN_STATUS_DOWN, true, false},
    {CHN_STATUS_BOOTING, false, false},  {CHN_STATUS_STOPPING, false, false},
    {CHN_STATUS_PANIC, false, false},    {CHN_STATUS_INACTIVE, false, true},
    {CHN_STATUS_UP, false, true},        {CHN_STATUS_WARN, false, true},
    {CHN_STATUS_DUMP, false, false},     {CHN_STATUS_DUMPSKIP, false, false},
};

// Per operation: its question, failure message and trace name.
struct PowerText {
  std::uint32_t ulQuestion;
  std::uint32_t ulFailure;
  const char* pszName;
};
constexpr PowerText kPowerTexts[] = {
    {msg::kBootQuestion, msg::kBootFailed, "StartBoot"},
    {msg::kRebootQuestion, msg::kRebootFailed, "StartReboot"},
    {msg::kShutdownQuestion, msg::kShutdownFailed, "StartShutdown"},
};

constexpr const char* kBootOptionRule = "Boot Option: at most 84 printable ASCII characters";

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

}  // namespace

CdlgBootManagement::CdlgBootManagement(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard,
                                       ClosedCallback onClosed, std::function<void()> onNncReset)
    : BoardDialog(host, res::kTemplateBootManagement, rSession, rBoard, "operation", std::move(onClosed),
                  CloseWhileWorking::Hides),
      m_onNncReset(std::move(onNncReset)) {
  OnCommand(res::kBootBoot, [this] { OnBoot(); });
  OnCommand(res::kBootReboot, [this] { OnReboot(); });
  OnCommand(res::kBootShutdown, [this] { OnShutdown(); });
  OnCommand(res::kBootNncReset, [this] { OnNncReset(); });
  OnCommand(res::kBootClose, [this] { OnOK(); });
}

bool CdlgBootManagement::IsValidBootOption(const std::string& strOption) {
  return strOption.size() <= kMaxBootOptionBytes &&
         std::all_of(strOption.begin(), strOption.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

void CdlgBootManagement::Prepare() {
  GetDlgItem(res::kBootBoardLabel).SetWindowText(Board().LocationName());
  GetDlgItem(res::kBootStatusText).SetWindowText(StatusWord(Board().GetStatus()));
  SetLinuxStatus();
}

void CdlgBootManagement::SetEnableButton(bool bClose) {
  for (const int id : {res::kBootBoot, res::kBootOption, res::kBootReboot, res::kBootShutdown, res::kBootNncReset})
    GetDlgItem(id).EnableWindow(false);
  GetDlgItem(res::kBootClose).EnableWindow(bClose);
}

void CdlgBootManagement::SetLinuxStatus() {
  if (IsWorking() || IsReading()) {
    SetEnableButton(true);
    return;
  }
  const std::int32_t nStatus = Board().GetStatus();
  const int nBusy = Session().BoardBusy(Slot());
  if (nBusy != 0 && nBusy != mainwindow::kBusyBootManagement) {
    SetEnableButton(true);
    return;
  }
  const auto* pRow = std::find_if(std::begin(kLinuxButtons), std::end(kLinuxButtons),
                                  [&](const LinuxButtons& row) { return row.nStatus == nStatus; });
  const bool bBoot = pRow != std::end(kLinuxButtons) && pRow->bBoot;
  const bool bStop = pRow != std::end(kLinuxButtons) && pRow->bStopOrReboot;
  GetDlgItem(res::kBootBoot).EnableWindow(bBoot);
  GetDlgItem(res::kBootOption).EnableWindow(bBoot);
  GetDlgItem(res::kBootReboot).EnableWindow(bStop);
  GetDlgItem(res::kBootShutdown).EnableWindow(bStop);
  GetDlgItem(res::kBootNncReset).EnableWindow(mainwindow::IsResetAllowed(nStatus));
  GetDlgItem(res::kBootClose).EnableWindow(true);
  if (HasWord(nStatus)) GetDlgItem(res::kBootStatusText).SetWindowText(StatusWord(nStatus));
}

void CdlgBootManagement::OnBoot() {
  CusrTraceScope trace(kClass, "OnBoot", TRC_FUNC);
  if (IsWorking() || IsReading() || IsFunctionDisable()) return;
  const std::string strOption = GetDlgItem(res::kBootOption).GetWindowText();
  if (!IsValidBootOption(strOption)) {
    trace.Warn(ShowMessage(msg::kInvalidEntry, kBootOptionRule), TRC_WARN);
    return;
  }
  if (!Confirmed(msg::kBootQuestion)) return;
  StartPower(Power::Boot, strOption);
}

void CdlgBootManagement::OnReboot() { OnStopOperation(Power::Reboot); }

void CdlgBootManagement::OnShutdown() { OnStopOperation(Power::Shutdown); }

void CdlgBootManagement::OnStopOperation(Power power) {
  CusrTraceScope trace(kClass, power == Power::Reboot ? "OnReboot" : "OnShutdown", TRC_FUNC);
  if (IsWorking() || IsReading() || IsFunctionDisable()) return;
  if (!Confirmed(kPowerTexts[static_cast<int>(power)].ulQuestion)) return;
  SetEnableButton(true);
  StartRead([&board = Board()] { return CheckShutdown(board); },
            [this, power](bool bGoOn) {
              if (bGoOn) StartPower(power, {});
              else SetLinuxStatus();
            });
}

bool CdlgBootManagement::CheckShutdown(const CusrCHN& board) {
  return board.GetAgentVersion() < CusrCHN::kOldNasOsAgentVersion
             ? Confirmed(msg::kOldNasOsQuestion)
             : dialogs::CheckShutdown(board, msg::kServicesAffected) == dialogs::ShutdownCheck::GoOn;
}

void CdlgBootManagement::OnNncReset() {
  CusrTraceScope trace(kClass, "OnNncReset", TRC_FUNC);
  if (IsWorking() || IsReading() || IsFunctionDisable()) return;
  if (m_onNncReset) m_onNncReset();
  SetLinuxStatus();
}

void CdlgBootManagement::StartPower(Power power, std::string strBootOption) {
  SetWorking(true);
  SetEnableButton(true);
  StartWorker([this, power, strBootOption = std::move(strBootOption)] {
    const PowerText& text = kPowerTexts[static_cast<int>(power)];
    CusrTraceScope trace(kClass, text.pszName, TRC_FUNC);
    CusrCHN& board = Board();
    std::uint32_t ulError = 0;
    bool bDone = false;
    switch (power) {
      case Power::Boot:
        trace.Info(TraceFmt("Boot Option = %s", strBootOption.c_str()), TRC_INFO);
        bDone = board.StartBoot(this, strBootOption, &ulError);
        break;
      case Power::Reboot:
        bDone = board.StartReboot(this, &ulError);
        break;
      case Power::Shutdown:
        bDone = board.StartShutdown(this, &ulError);
        break;
    }
    if (!bDone) {
      ShowMessage(text.ulFailure, common::CodeText(ulError));
      trace.Error(TraceFmt("%s() Error : 0x%08x", text.pszName, ulError), TRC_ERROR);
    }
    trace.Info(TraceFmt("%s() return code : 0x%08x", text.pszName, ulError), TRC_INFO);
    Post([this] { PowerFinished(); });
  });
}

void CdlgBootManagement::PowerFinished() {
  SetWorking(false);
  SetLinuxStatus();
  if (!IsWindowVisible()) Closed();
}

void CdlgBootManagement::ShowPowerStatus(std::int32_t, int nStatusWordId) {
  Post([this, nStatusWordId] {
    GetDlgItem(res::kBootStatusText).SetWindowText(LoadString(static_cast<std::uint32_t>(nStatusWordId)));
  });
}
