#include "dialogs/CdlgRestoreNasCmLu.h"

#include <vector>

#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TraceLine.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"

namespace res = kelp::res;
using namespace recovery;

namespace {

constexpr const char* kClass = "CdlgRestoreNasCmLu";

// Cluster initialisation results that ask for settings to be made again.
constexpr std::uint32_t kInitFileShare = 15;
constexpr std::uint32_t kInitServiceIp = 16;
constexpr std::uint32_t kInitBoth = 17;

constexpr std::uint32_t kGroup1Last = 8;  // StopCluster goes to one node of each cluster
constexpr const char* kCompleted = "Completed";
constexpr const char* kNotRun = "-";
constexpr const char* kTimedOut = "Failed(timeout)";

constexpr PollTexts kStopTexts{"Now Stopping: %s", "Cluster stopped: %s", "GetClusterStopStatus(): 0x%08x"};
constexpr PollTexts kRestoreTexts{nullptr, nullptr, "GetNasSharedLuRestoreStatus(): 0x%08x"};
constexpr PollTexts kInitTexts{"Now Initializing: %s", "Initialized Cluster Config: %s",
                               "GetClusterInitStatus(): 0x%08x"};

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

constexpr RestoreControls kControls{res::kCmLuStatusText, res::kCmLuDateText, res::kCmLuRebootAll,
                                    res::kCmLuRestore, res::kCmLuClose};

}  // namespace

CdlgRestoreNasCmLu::CdlgRestoreNasCmLu(kelp::ui::Host& host, session::ArraySession& rSession, std::function<void()> onClosed)
    : RestoreDialogBase(host, res::kTemplateRestoreCmLu, rSession, kControls), m_onClosed(std::move(onClosed)) {
  OnCommand(res::kCmLuRestore, [this] { OnRestore(); });
}

CdlgRestoreNasCmLu::~CdlgRestoreNasCmLu() {
  Clock().Stop();
  JoinWorkers();
}

bool CdlgRestoreNasCmLu::OnInitDialog() {
  GetDlgItem(res::kCmLuStatusText).SetWindowText("");
  GetDlgItem(res::kCmLuDateText).SetWindowText("");
  return true;
}

void CdlgRestoreNasCmLu::Prepare(CusrCHN& board, std::uint32_t ulStatus, const std::string& strDate,
                                 const std::filesystem::path& settingsFile) {
  m_pBoard = &board;
  m_strDate = strDate;
  m_settingsFile = settingsFile;
  SetShowStatus(ulStatus);
  ShowButtons();
}

void CdlgRestoreNasCmLu::SetShowStatus(std::uint32_t ulStatus) {
  m_ulStatus = ulStatus;
  bool bKnown = false;
  const std::string strText = LuStatusText(ulStatus, true, &bKnown);
  if (!bKnown) WriteTraceLine(TraceFmt("backup status : 0x%08x", ulStatus), "info_", TRC_INFO & GetTraceMask());
  GetDlgItem(res::kCmLuStatusText).SetWindowText(strText);
  SetDateText(ulStatus == kLuFailed ? kNoBackupDate : m_strDate);
}

void CdlgRestoreNasCmLu::ShowButtons() {
  GetDlgItem(res::kCmLuRestore).EnableWindow(m_ulStatus == kLuNormal);
  GetDlgItem(res::kCmLuRebootAll).EnableWindow(true);
  GetDlgItem(res::kCmLuClose).EnableWindow(true);
}

std::string CdlgRestoreNasCmLu::IsExistV01(const std::vector<RunningBoard>& running) {
  std::string strNames;
  for (const RunningBoard& board : running) {
    if (board.pBoard->GetAgentVersion() >= CusrCHN::kOldNasOsAgentVersion) continue;
    if (!strNames.empty()) strNames += ",";
    strNames += board.strName;
  }
  return strNames;
}

void CdlgRestoreNasCmLu::OnRestore() {
  CusrTraceScope trace(kClass, "OnRestore", TRC_FUNC);
  if (IsWorking() || IsReading() || m_pBoard == nullptr || Session().IsFunctionDisable()) return;
  if (m_ulStatus != kLuNormal) {
    trace.Warn(ShowMessage(msg::kRecoveryNotPossibleNow), TRC_WARN);
    return;
  }
  for (const std::uint32_t ulQuestion : {msg::kCmLuRebootFirst, msg::kCmLuRecoverySteps, msg::kFatalDamage})
    if (!Confirmed(ulQuestion)) return;
  std::vector<RunningBoard> running;
  for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s)
    if (const CusrCHN* pBoard = Session().Board(s); pBoard != nullptr && pBoard->IsOsRunning())
      running.push_back({pBoard, BoardName(s)});
  for (const int id : {res::kCmLuRestore, res::kCmLuRebootAll}) GetDlgItem(id).EnableWindow(false);
  StartRead([running = std::move(running)] { return IsExistV01(running); },
            [this](const std::string& strOld) { AgentsChecked(strOld); });
}

void CdlgRestoreNasCmLu::AgentsChecked(const std::string& strOld) {
  CusrTraceScope trace(kClass, "OnRestore", TRC_FUNC);
  ShowButtons();
  if (!strOld.empty()) {
    trace.Warn(ShowMessage(msg::kCmLuNasOsOld, strOld), TRC_WARN);
    return;
  }
  m_runs = {};
  StartWork([this] { m_ulResult = StartRestore(); });
}

std::uint32_t CdlgRestoreNasCmLu::StartRestore() {
  CusrTraceScope trace(kClass, "StartRestore", TRC_FUNC);
  std::uint32_t ulResult = StartClusterStopping();
  if (ulResult != 0) {
    trace.Error(TraceFmt("StartClusterStopping(): 0x%08x", ulResult), TRC_ERROR);
  } else if ((ulResult = StartRestoreCmLU()) != 0) {
    trace.Error(TraceFmt("StartRestoreCmLU(): 0x%08x", ulResult), TRC_ERROR);
  } else if ((ulResult = StartClusterInitialize()) != 0) {
    trace.Error(TraceFmt("StartClusterInitialize(): 0x%08x", ulResult), TRC_ERROR);
  }
  if (ulResult != 0) {
    trace.Error(TraceFmt("StartRestore(): 0x%08x", ulResult), TRC_ERROR);
    return ulResult;
  }
  ShowRecovered();
  return 0;
}

bool CdlgRestoreNasCmLu::RequestBoards(std::uint32_t ulFirst, std::uint32_t ulLast,
                                       std::uint32_t (CusrCHN::*request)() const, const char* pszFailure,
                                       std::uint32_t* pulSlot, std::uint32_t* pulCode) {
  CusrTraceScope trace(kClass, "RequestBoards", TRC_FUNC);
  for (std::uint32_t s = ulFirst; s < ulLast; ++s) {
    const CusrCHN* pBoard = Session().Board(s);
    if (pBoard == nullptr || !pBoard->IsOsRunning()) continue;
    if (const std::uint32_t ulCode = (pBoard->*request)(); ulCode != 0) {
      trace.Error(TraceFmt(pszFailure, ulCode), TRC_ERROR);
      *pulSlot = s;
      *pulCode = ulCode;
      return false;
    }
    trace.Info(TraceFmt("Request OK: %s", BoardName(s).c_str()), TRC_INFO);
    m_runs[s] = {kRequested, false, 0};
  }
  return true;
}

std::uint32_t CdlgRestoreNasCmLu::StartClusterStopping() {
  CusrTraceScope trace(kClass, "StartClusterStopping", TRC_FUNC);
  Post([this] { SetShowStatus(kLuStoppingCluster); });
  std::uint32_t ulSlot = 0, ulCode = 0;
  if (!RequestBoards(0, kGroup1Last, &CusrCHN::StopCluster, "StopCluster(): 0x%08x", &ulSlot, &ulCode)) {
    ErrorMessage(FailedText("Failed", ulSlot, ulCode), kNotRun, kNotRun);
    return ulCode;
  }
  switch (WaitForBoards(Clock(), *this, board::ReadLimit(m_settingsFile, board::kCmLuStopLimit), m_runs, MainBoards(),
                        &CusrCHN::GetClusterStopStatus, kStopTexts, true, &ulSlot)) {
    case WaitEnd::Finished:
      trace.Info("Finish the cluster stop operation.", TRC_INFO);
      return 0;
    case WaitEnd::Failed:
      ErrorMessage(FailedText("Failed", ulSlot, m_runs[ulSlot].ulResult), kNotRun, kNotRun);
      return m_runs[ulSlot].ulResult;
    case WaitEnd::TimedOut:
      ErrorMessage(kTimedOut, kNotRun, kNotRun);
      return agent::kResultTimeout;
    case WaitEnd::Stopped: break;
  }
  return agent::kResultTimeout;
}

std::uint32_t CdlgRestoreNasCmLu::StartRestoreCmLU() {
  CusrTraceScope trace(kClass, "StartRestoreCmLU", TRC_FUNC);
  Post([this] { SetShowStatus(kLuRestoring); });
  const std::uint32_t ulSlot = m_pBoard->GetIndex();
  if (const std::uint32_t ulCode = m_pBoard->RestoreNasSharedLU(); ulCode != 0) {
    trace.Error(TraceFmt("RestoreNasSharedLU(): 0x%08x", ulCode), TRC_ERROR);
    ErrorMessage(kCompleted, FailedText("Faild", ulSlot, ulCode), kNotRun);
    return ulCode;
  }
  BoardRuns runs{};
  runs[ulSlot] = {kRequested, false, 0};
  std::uint32_t ulFailed = 0;
  const std::chrono::seconds limit = board::ReadLimit(m_settingsFile, board::kCmLuRestoreLimit);
  switch (WaitForBoards(Clock(), *this, limit, runs, OnlyBoard(*m_pBoard),
                        &CusrCHN::GetNasSharedLuRestoreStatus, kRestoreTexts, true, &ulFailed)) {
    case WaitEnd::Finished:
      trace.Info("Finish the restoration of the NAS Cluster Management LU", TRC_INFO);
      return 0;
    case WaitEnd::Failed:
      ErrorMessage(kCompleted, FailedText("Faild", ulSlot, runs[ulSlot].ulResult), kNotRun);
      return runs[ulSlot].ulResult;
    case WaitEnd::TimedOut:
      ErrorMessage(kCompleted, kTimedOut, kNotRun);
      return agent::kResultTimeout;
    case WaitEnd::Stopped: break;
  }
  return agent::kResultTimeout;
}

std::uint32_t CdlgRestoreNasCmLu::StartClusterInitialize() {
  CusrTraceScope trace(kClass, "StartClusterInitialize", TRC_FUNC);
  Post([this] { SetShowStatus(kLuRemovingCluster); });
  m_runs = {};
  std::uint32_t ulSlot = 0, ulCode = 0;
  if (!RequestBoards(0, CusrCHN::kSlots, &CusrCHN::InitClusterConfig, "InitClusterConfig(): 0x%08x", &ulSlot,
                     &ulCode)) {
    ErrorMessage(kCompleted, kCompleted, FailedText("Failed", ulSlot, ulCode));
    return ulCode;
  }
  switch (WaitForBoards(Clock(), *this, board::ReadLimit(m_settingsFile, board::kCmLuInitLimit), m_runs, MainBoards(),
                        &CusrCHN::GetClusterInitStatus, kInitTexts, true, &ulSlot)) {
    case WaitEnd::Finished:
      trace.Info("Finishi the initialization of all cluster configuration.", TRC_INFO);
      return 0;
    case WaitEnd::Failed:
      ErrorMessage(kCompleted, kCompleted, FailedText("Failed", ulSlot, m_runs[ulSlot].ulResult));
      return m_runs[ulSlot].ulResult;
    case WaitEnd::TimedOut:
      ErrorMessage(kCompleted, kCompleted, kTimedOut);
      return agent::kResultTimeout;
    case WaitEnd::Stopped: break;
  }
  return agent::kResultTimeout;
}

void CdlgRestoreNasCmLu::ErrorMessage(const std::string& strStep1, const std::string& strStep2,
                                      const std::string& strStep3) const {
  CusrTraceScope trace(kClass, "ErrorMessage", TRC_FUNC);
  int nButton = IDOK;
  trace.Error(ShowMessageEx(msg::kCmLuRecoveryFailed, &nButton, {strStep1, strStep2, strStep3}), TRC_ERROR);
}

void CdlgRestoreNasCmLu::ShowRecovered() const {
  std::vector<std::string> fileShare, serviceIp;
  for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s) {
    const BoardRun& run = m_runs[s];
    if (run.nState != kFinished || run.bFailed) continue;
    const std::string strLine = "  " + BoardName(s) + "\n";
    if (run.ulResult == kInitFileShare || run.ulResult == kInitBoth) fileShare.push_back(strLine);
    if (run.ulResult == kInitServiceIp || run.ulResult == kInitBoth) serviceIp.push_back(strLine);
  }
  if (fileShare.empty() && serviceIp.empty()) {
    common::TraceLine(TRC_INFO, ShowMessage(msg::kCmLuRecovered));
    return;
  }
  common::TraceLine(TRC_WARN, ShowMessage(msg::kCmLuRecoveredSettingsAgain, JoinLines(fileShare, "  -\n"),
                                          JoinLines(serviceIp, "  -\n")));
}

void CdlgRestoreNasCmLu::WorkFinished() {
  // After a failure Restore stays off: only the reboot and Close.
  SetShowStatus(m_ulResult == 0 ? kLuNormal : kLuFailed);
  ShowButtons();
}

void CdlgRestoreNasCmLu::SetFieldCaption(bool bRebooting) {
  if (bRebooting) {
    GetDlgItem(res::kCmLuStatusText).SetWindowText(RebootingAllText());
    return;
  }
  SetShowStatus(m_ulStatus);
  ShowButtons();
}

void CdlgRestoreNasCmLu::OnOK() {
  if (IsWorking()) return;
  CusrTraceScope trace(kClass, "OnOK", TRC_FUNC);
  EndDialog(IDOK);
  if (m_onClosed) m_onClosed();
}
