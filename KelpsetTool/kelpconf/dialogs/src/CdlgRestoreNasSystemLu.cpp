#include "dialogs/CdlgRestoreNasSystemLu.h"

#include <vector>

#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "common/TraceLine.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;
using namespace recovery;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgRestoreNasSystemLu";
constexpr std::uint32_t kClusterPairs = CusrCHN::kSlots / 2;
constexpr const char* kCompleted = "Completed";
constexpr const char* kFailed = "Failed";
constexpr const char* kNotRun = "-";
constexpr PollTexts kExtractTexts{nullptr, nullptr, "GetNasSystemLuExtractStatus(): 0x%08x"};
constexpr PollTexts kRestoreTexts{nullptr, nullptr, "GetNasSystemLuRestoreStatus(): 0x%08x"};
constexpr RestoreControls kControls{res::kSysLuStatusText, res::kSysLuDateText, res::kSysLuRebootAll,
                                    res::kSysLuRestore, res::kSysLuClose};

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

bool IsPairNode(std::int32_t nStatus) { return nStatus == CHN_STATUS_INACTIVE || nStatus == CHN_STATUS_UP; }

void StepsFailed(const std::string& strStep1, const std::string& strStep2, const std::string& strStep3) {
  int nButton = IDOK;
  common::TraceLine(TRC_ERROR, ShowMessageEx(msg::kSystemLuRecoveryFailed, &nButton, {strStep1, strStep2, strStep3}));
}

}  // namespace

CdlgRestoreNasSystemLu::CdlgRestoreNasSystemLu(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& board,
                                               Backup backup, std::filesystem::path settingsFile)
    : RestoreDialogBase(host, res::kTemplateRestoreSystemLu, rSession, kControls),
      m_board(board),
      m_backup(std::move(backup)),
      m_ulStatus(m_backup.ulStatus),
      m_settingsFile(std::move(settingsFile)) {
  OnCommand(res::kSysLuRestore, [this] { OnRestore(); });
}

CdlgRestoreNasSystemLu::~CdlgRestoreNasSystemLu() {
  Clock().Stop();
  JoinWorkers();
}

bool CdlgRestoreNasSystemLu::OnInitDialog() {
  SetShowStatus(m_ulStatus);
  GetDlgItem(res::kSysLuDateText).SetWindowText(m_backup.strDate);
  ShowButtons();
  return true;
}

void CdlgRestoreNasSystemLu::SetShowStatus(std::uint32_t ulStatus) {
  m_ulStatus = ulStatus;
  bool bKnown = false;
  const std::string strText = SystemLuStatusText(ulStatus, &bKnown);
  if (!bKnown) WriteTraceLine(TraceFmt("backup status : 0x%08x", ulStatus), "info_", TRC_INFO & GetTraceMask());
  GetDlgItem(res::kSysLuStatusText).SetWindowText(strText);
}

void CdlgRestoreNasSystemLu::ShowButtons() {
  for (const int id : {res::kSysLuRebootAll, res::kSysLuRestore, res::kSysLuClose}) GetDlgItem(id).EnableWindow(true);
}

std::uint32_t CdlgRestoreNasSystemLu::CheckNodes(const std::array<std::int32_t, CusrCHN::kSlots>& statuses) {
  for (std::uint32_t p = 0; p < kClusterPairs; ++p) {
    const std::int32_t n1 = statuses[p], n2 = statuses[p + kClusterPairs];
    if (n1 == kNoNasPackage && n2 == kNoNasPackage) continue;
    if (!IsPairNode(n1) || !IsPairNode(n2)) return msg::kSystemLuNodesNotInactive;
  }
  for (const std::int32_t nStatus : statuses)
    if (nStatus == CHN_STATUS_UP) return msg::kActiveNodeExists;
  return 0;
}

void CdlgRestoreNasSystemLu::OnRestore() {
  CusrTraceScope trace(kClass, "OnRestore", TRC_FUNC);
  if (IsWorking() || Session().IsFunctionDisable()) return;
  std::array<std::int32_t, CusrCHN::kSlots> statuses{};
  for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s) {
    const CusrCHN* pBoard = Session().Board(s);
    statuses[s] = Session().Array().IsCHN(s) && pBoard != nullptr ? pBoard->GetStatus() : kNoNasPackage;
  }
  if (const std::uint32_t ulRefusal = CheckNodes(statuses); ulRefusal != 0) {
    trace.Warn(ShowMessage(ulRefusal), TRC_WARN);
    return;
  }
  for (const std::uint32_t ulQuestion : {msg::kSystemLuRecoverySteps, msg::kFatalDamage})
    if (!Confirmed(ulQuestion)) return;
  SetShowStatus(kSysExpanding);
  StartWork([this] { m_bSucceeded = ExecRestore(); });
}

bool CdlgRestoreNasSystemLu::ExecRestore() {
  CusrTraceScope trace(kClass, "ExecRestore", TRC_FUNC);
  const std::uint32_t ulSlot = m_board.GetIndex();
  if (const std::uint32_t ulCode = m_board.ExtractNasSystemLU(m_backup.strFileName); ulCode != 0) {
    trace.Error(TraceFmt("ExtractNasSystemLU(): 0x%08x", ulCode), TRC_ERROR);
    StepsFailed(FailedText("Faild", ulSlot, ulCode), kNotRun, kNotRun);
    return false;
  }
  BoardRuns runs{};
  runs[ulSlot] = {kRequested, false, 0};
  std::uint32_t ulFailed = 0;
  const std::chrono::seconds limit = board::ReadLimit(m_settingsFile, board::kSystemLuExtractLimit);
  switch (WaitForBoards(Clock(), *this, limit, runs, OnlyBoard(m_board), &CusrCHN::GetNasSystemLuExtractStatus,
                        kExtractTexts, true, &ulFailed)) {
    case WaitEnd::Finished: trace.Info("Finish the extract of the All NAS System LU", TRC_INFO); break;
    case WaitEnd::Failed:
      StepsFailed(FailedText("Faild", ulSlot, runs[ulSlot].ulResult), kNotRun, kNotRun);
      return false;
    case WaitEnd::TimedOut:
      trace.Error("Failed(timeout)", TRC_ERROR);
      trace.Error(ShowMessage(msg::kTimeout, common::CodeText(agent::kResultTimeout)), TRC_ERROR);
      StepsFailed(kFailed, kNotRun, kNotRun);
      return false;
    case WaitEnd::Stopped: return false;
  }
  Post([this] { SetShowStatus(kSysRestoring); });
  return StartRestoreSystemLU();
}

bool CdlgRestoreNasSystemLu::StartRestoreSystemLU() {
  CusrTraceScope trace(kClass, "StartRestoreSystemLU", TRC_FUNC);
  BoardRuns runs{};
  for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s) {
    const CusrCHN* pBoard = Session().Board(s);
    if (!Session().Array().IsCHN(s) || pBoard == nullptr) continue;
    if (const std::uint32_t ulCode = pBoard->RestoreNasSystemLU(); ulCode != 0) {
      trace.Error(TraceFmt("RestoreNasSystemLU(): 0x%08x", ulCode), TRC_ERROR);
      trace.Error(FailedText("Faild", s, ulCode), TRC_ERROR);
      runs[s] = {kFinished, true, ulCode};
      continue;
    }
    runs[s] = {kRequested, false, 0};
  }
  std::uint32_t ulFailed = 0;
  const std::chrono::seconds limit = board::ReadLimit(m_settingsFile, board::kSystemLuRestoreLimit);
  const WaitEnd end = WaitForBoards(Clock(), *this, limit, runs, MainBoards(), &CusrCHN::GetNasSystemLuRestoreStatus,
                                    kRestoreTexts, false, &ulFailed);
  if (end == WaitEnd::Stopped) return false;
  if (end == WaitEnd::TimedOut) {
    trace.Error("Failed(timeout)", TRC_ERROR);
    trace.Error("StartRestoreSystemLU() Timeout.", TRC_ERROR);
    trace.Error(ShowMessage(msg::kTimeout, common::CodeText(agent::kResultTimeout)), TRC_ERROR);
    // Boards still working when the limit came have failed.
    for (BoardRun& run : runs)
      if (run.nState == kRequested || run.nState == kWorking) run = {kFinished, true, agent::kResultTimeout};
  } else {
    trace.Info("Finish the restoration of the All NAS System LU", TRC_INFO);
  }
  std::vector<std::string> failed;
  for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s)
    if (runs[s].bFailed)
      failed.push_back(TraceFmt("   %s   Code = 0x%08x\n", BoardName(s).c_str(), runs[s].ulResult));
  if (!failed.empty()) {
    StepsFailed(kCompleted, kCompleted, std::string(kFailed) + "\n" + JoinLines(failed, {}));
    return false;
  }
  common::TraceLine(TRC_INFO, ShowMessage(msg::kSystemLuRecovered));
  return true;
}

void CdlgRestoreNasSystemLu::WorkFinished() {
  SetShowStatus(m_bSucceeded ? kSysNormal : kSysFailed);
  ShowButtons();
}

void CdlgRestoreNasSystemLu::SetFieldCaption(bool bRebooting) {
  if (bRebooting) {
    bool bKnown = false;
    GetDlgItem(res::kSysLuStatusText).SetWindowText(SystemLuStatusText(kSysRebooting, &bKnown));
    return;
  }
  SetShowStatus(m_ulStatus);
  ShowButtons();
}

void CdlgRestoreNasSystemLu::OnOK() {
  if (IsWorking()) return;
  EndDialog(IDOK);
}
