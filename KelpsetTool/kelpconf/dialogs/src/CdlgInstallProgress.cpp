#include "dialogs/CdlgInstallProgress.h"

#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "media/MediaRules.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"

namespace res = kelp::res;

namespace {

constexpr const char* kClass = "CdlgInstallProgress";
constexpr int kStatusColumn = 2;

}  // namespace

CdlgInstallProgress::CdlgInstallProgress(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard,
                                         ClosedCallback onClosed)
    : BoardDialog(host, res::kTemplateInstallProgress, rSession, rBoard, "installation", std::move(onClosed)) {
  OnCommand(res::kIpStop, [this] { OnStopInstall(); });
  OnCommand(res::kIpClose, [this] { OnOK(); });
}

CdlgInstallProgress::~CdlgInstallProgress() { JoinWorkers(); }

void CdlgInstallProgress::SetSelectPPInfo(install::InstallRequest request) { m_request = std::move(request); }

void CdlgInstallProgress::SetInstallPPList() {
  kelp::ui::Control list = GetDlgItem(res::kIpList);
  list.DeleteAllRows();
  for (const board::ProductRecord& record : m_request.products)
    list.AddRow({record[board::kProductName], media::GetVersionString(record[board::kProductVersion], false), ""});
}

void CdlgInstallProgress::ShowProgressDlg() {
  GetDlgItem(res::kIpBoardLabel).SetWindowText(Board().LocationName());
  GetDlgItem(res::kIpLabel).SetWindowText("");
  SetInstallPPList();
  ShowWindow(true);
  BringToForeground();
  StartInstalling();
}

void CdlgInstallProgress::StartInstalling() {
  CusrTraceScope trace(kClass, "StartInstalling", TRC_FUNC);
  m_bStopRequested = false;
  SetWorking(true);
  GetDlgItem(res::kIpStop).EnableWindow(false);
  GetDlgItem(res::kIpClose).EnableWindow(false);
  GetHost().SetWaitCursor(true);
  StartWorker([this] { InstallThreadFunc(); });
}

void CdlgInstallProgress::InstallThreadFunc() {
  const install::InstallOutcome outcome = install::RunInstallation(Board(), m_request, *this);
  bool bCompleted = !outcome.bNasOsFailed;
  if (bCompleted) {
    if (outcome.bRestartNeeded) ShowMessage(msg::kPatchNeedsRestart);
    if (outcome.bInstalledAny) install::ChangeInstallInfo(Board());
  }
  Post([this, bCompleted] { SetFinishStatus(bCompleted); });
}

void CdlgInstallProgress::SetFinishStatus(bool bCompleted) {
  CusrTraceScope trace(kClass, "SetFinishStatus", TRC_FUNC);
  install::SetInstalling(Board().GetIndex(), false);
  SetWorking(false);
  if (bCompleted) GetDlgItem(res::kIpLabel).SetWindowText(LoadString(str::kInstallCompleted));
  StopBlinking();
  GetDlgItem(res::kIpClose).EnableWindow(true);
  GetDlgItem(res::kIpStop).EnableWindow(false);
  GetHost().SetWaitCursor(false);
}

void CdlgInstallProgress::StopBlinking() {
  KillTimer(kBlinkTimer);
  m_productStart.reset();
  m_bBlinking = false;
  GetDlgItem(res::kIpLabel).ShowWindow(true);
}

void CdlgInstallProgress::RowStatus(std::size_t nRow, const std::string& strText) {
  Post([this, nRow, strText] { GetDlgItem(res::kIpList).SetRowText(static_cast<int>(nRow), kStatusColumn, strText); });
}

void CdlgInstallProgress::Label(const std::string& strText, bool bBlink) {
  Post([this, strText, bBlink] {
    m_productStart.reset();
    GetDlgItem(res::kIpLabel).SetWindowText(strText);
    if (bBlink && !m_bBlinking) {
      m_bBlinking = true;
      SetTimer(kBlinkTimer, kBlinkPeriod);
    } else if (!bBlink) {
      StopBlinking();
    }
  });
}

void CdlgInstallProgress::StopEnabled(bool bEnable) {
  Post([this, bEnable] { GetDlgItem(res::kIpStop).EnableWindow(bEnable && !m_bStopRequested); });
}

bool CdlgInstallProgress::CancelRemaining() {
  int nButton = IDNO;
  ShowMessage(msg::kCancelRemainingQuestion, {}, {}, &nButton);
  return nButton == IDYES;
}

void CdlgInstallProgress::ProductStarted(std::size_t /*nRow*/, plat::Millis limit) {
  Post([this, limit] {
    m_productStart = plat::Clock::Now();
    m_productLimit = limit;
  });
}

void CdlgInstallProgress::OnTimer(int id) {
  if (id != kBlinkTimer) return;
  kelp::ui::Control label = GetDlgItem(res::kIpLabel);
  if (m_productStart)
    label.SetWindowText(LoadString(str::kNowInstalling) + " " +
                        install::ElapsedText(plat::Clock::Now() - *m_productStart, m_productLimit));
  label.ShowWindow(!label.IsWindowVisible());
}

void CdlgInstallProgress::OnStopInstall() {
  CusrTraceScope trace(kClass, "OnStopInstall", TRC_FUNC);
  m_bStopRequested = true;
  GetDlgItem(res::kIpStop).EnableWindow(false);
}

