#include "dialogs/RestorePhases.h"

#include "agent/AgentWire.h"
#include "common/CusrTraceScope.h"
#include "common/StringIds.h"
#include "common/Strings.h"

namespace recovery {
namespace {

constexpr const char* kClass = "RestorePhases";

// The slots of the two reboot groups.
constexpr std::uint32_t kGroup1First = 0;
constexpr std::uint32_t kGroup2First = 8;
constexpr std::uint32_t kGroupSize = 8;

std::string BoardName(const BoardOf& boardOf, std::uint32_t ulSlot) {
  const CusrCHN* pBoard = boardOf(ulSlot);
  return pBoard != nullptr ? pBoard->LocationName() : std::string();
}

bool AnyWorking(const BoardRuns& runs) {
  for (const BoardRun& run : runs)
    if (run.nState == kRequested || run.nState == kWorking) return true;
  return false;
}

}  // namespace

std::string LuStatusText(std::uint32_t ulStatus, bool bClusterDialog, bool* pbKnown) {
  const bool bClusterOnly = ulStatus == kLuStoppingCluster || ulStatus == kLuRemovingCluster;
  *pbKnown = ulStatus <= kLuFailed && (bClusterDialog || !bClusterOnly);
  if (!*pbKnown || ulStatus == kLuFailed) return LoadString(str::kLuStatusUnknown);
  return LoadString(str::kLuStatusUnknown + 1 + ulStatus);
}

std::string RebootingAllText() { return LoadString(str::kRebootingAllNasOs); }

std::string SystemLuStatusText(std::uint32_t ulStatus, bool* pbKnown) {
  *pbKnown = ulStatus >= kSysNoBackup && ulStatus <= kSysRebooting;
  return LoadString(str::kSystemLuStatusUnknown + (*pbKnown ? ulStatus : 0));
}

std::uint32_t SystemLuInitialStatus(std::uint32_t ulExecuteStatus, const std::string& strDate) {
  switch (ulExecuteStatus) {
    case 0: return strDate == kNoBackupDate ? kSysNoBackup : kSysNormal;
    case 1: return kSysSaving;
    case 2: return kSysUploading;
    case 3: return kSysRestoring;
    default: return 0;
  }
}

bool PhaseClock::Sleep(plat::Millis period) {
  std::unique_lock lock(m_mutex);
  plat::Clock::WaitUntil(m_cv, lock, plat::Clock::Now() + period, [this] { return m_bStopped; });
  return !m_bStopped;
}

void PhaseClock::Stop() {
  {
    std::lock_guard lock(m_mutex);
    m_bStopped = true;
  }
  m_cv.notify_all();
}

BoardOf OnlyBoard(const CusrCHN& board) {
  return [&board](std::uint32_t ulSlot) { return ulSlot == board.GetIndex() ? &board : nullptr; };
}

WaitEnd WaitForBoards(PhaseClock& clock, PhaseView& view, std::chrono::seconds limit, BoardRuns& runs,
                      const BoardOf& boardOf, PollCall poll, const PollTexts& texts, bool bStopAtFailure,
                      std::uint32_t* pulFailedSlot) {
  CusrTraceScope trace(kClass, "WaitForBoards", TRC_FUNC);
  for (plat::Millis waited{0}; AnyWorking(runs); waited += kPollInterval) {
    if (waited >= limit) return WaitEnd::TimedOut;
    view.Flash(true);
    const bool bAwake = clock.Sleep(kPollInterval);
    view.Flash(false);
    if (!bAwake) return WaitEnd::Stopped;
    for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s) {
      BoardRun& run = runs[s];
      if (run.nState != kRequested && run.nState != kWorking) continue;
      const CusrCHN* pBoard = boardOf(s);
      std::uint32_t ulStatus = agent::kStatRunning;
      const std::uint32_t ulCode = pBoard != nullptr ? (pBoard->*poll)(&ulStatus) : 5;
      if (ulCode != 0) {
        trace.Error(TraceFmt(texts.pszFailure, ulCode), TRC_ERROR);
        run = {kFinished, true, ulCode};
        if (bStopAtFailure) {
          *pulFailedSlot = s;
          return WaitEnd::Failed;
        }
      } else if (ulStatus == agent::kStatRunning) {
        run.nState = kWorking;
        if (texts.pszWorking) trace.Info(TraceFmt(texts.pszWorking, BoardName(boardOf, s).c_str()), TRC_INFO);
      } else {
        run = {kFinished, false, ulStatus};
        if (texts.pszFinished) trace.Info(TraceFmt(texts.pszFinished, BoardName(boardOf, s).c_str()), TRC_INFO);
      }
    }
  }
  return WaitEnd::Finished;
}

std::string FailedText(const char* pszWord, const std::string& strName, std::uint32_t ulCode) {
  return TraceFmt("%s(%s:0x%08x)", pszWord, strName.c_str(), ulCode);
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& strEmpty) {
  if (lines.empty()) return strEmpty;
  std::string strText;
  for (const std::string& line : lines) strText += line;
  return strText;
}

bool IsRebootable(std::int32_t nStatus) {
  switch (nStatus) {
    case board::CHN_STATUS_BOOTING:
    case board::CHN_STATUS_INACTIVE:
    case board::CHN_STATUS_UP:
    case board::CHN_STATUS_STOPPING:
    case board::CHN_STATUS_WARN:
    case board::CHN_STATUS_PANIC:
    case board::CHN_STATUS_HUNGUP: return true;
    default: return false;
  }
}

RebootPlan PlanRebootAll(const std::array<std::int32_t, CusrCHN::kSlots>& statuses) {
  CusrTraceScope trace(kClass, "PlanRebootAll", TRC_FUNC);
  RebootPlan plan;
  for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s) {
    const std::int32_t nStatus = statuses[s];
    if (nStatus == kNoNasPackage) {
      trace.Info(TraceFmt("CHN[%u] Status = -- (Not NAS Package)", s), TRC_INFO);
      continue;
    }
    const bool bReboot = IsRebootable(nStatus);
    trace.Info(TraceFmt("CHN[%u] Status = %2d (%s)", s, nStatus, bReboot ? "Reboot" : "No reboot"), TRC_INFO);
    if (!bReboot) continue;
    plan.marks[s] = 1;
    plan.bAnyMarked = true;
    if (nStatus == board::CHN_STATUS_UP) plan.bActiveNode = true;
  }
  return plan;
}

RebootOutcome RebootAll(const RebootPlan& plan, const NameOf& nameOf, const MultiRebootCall& multiReboot) {
  CusrTraceScope trace(kClass, "RebootAll", TRC_FUNC);
  board::RebootResults results{};
  std::vector<std::string> failed;
  // A group that ends with the limit or a worker that never started failed as a whole: the
  // boards without their own code get the group's.
  const auto rebootGroup = [&](int nMode, std::uint32_t ulFirst) {
    const std::uint32_t ulGroupCode = multiReboot(nMode, plan.marks, results);
    const std::size_t nBefore = failed.size();
    for (std::uint32_t s = ulFirst; s < ulFirst + kGroupSize; ++s) {
      if (plan.marks[s] != 1) continue;
      const std::uint32_t ulCode = results[s] != 0 ? results[s] : ulGroupCode;
      if (ulCode != 0) failed.push_back(TraceFmt("   %s  Code = 0x%08x\n", nameOf(s).c_str(), ulCode));
    }
    return failed.size() == nBefore;
  };
  RebootOutcome outcome;
  std::vector<std::string> notRestarted;
  if (rebootGroup(board::kRebootCluster2, kGroup2First)) {
    rebootGroup(board::kRebootCluster1, kGroup1First);
  } else {
    for (std::uint32_t s = kGroup1First; s < kGroup1First + kGroupSize; ++s)
      if (plan.marks[s] == 1) notRestarted.push_back("   " + nameOf(s) + "\n");
  }
  outcome.bSucceeded = failed.empty();
  outcome.strFailed = JoinLines(failed, "    -");
  outcome.strNotRestarted = JoinLines(notRestarted, "    -");
  return outcome;
}

}  // namespace recovery
