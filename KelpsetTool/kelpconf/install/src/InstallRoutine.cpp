#include "install/InstallRoutine.h"

#include <array>
#include <cstdio>
#include <atomic>
#include <filesystem>

#include "agent/AgentWire.h"
#include "board/BoardStatus.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageCatalogue.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "velapi.h"

namespace install {
namespace {

constexpr const char* kClass = "InstallRoutine";

// Installing marks: bit 0 installing, bit 1 with LU initialisation.
std::array<std::atomic<int>, CusrCHN::kSlots> g_marks{};

std::string Format(std::uint32_t ulId, const std::string& strArg) {
  return FormatWithTextArgs(LoadString(ulId), {strArg});
}

// The LU registration of one installation, released once.
class InitRegistration {
 public:
  InitRegistration(board::ArrayTables& rArray, std::uint32_t ulFlags, bool bRegistered)
      : m_rArray(rArray), m_ulFlags(bRegistered ? ulFlags : 0) {}
  ~InitRegistration() { Release(); }
  InitRegistration(const InitRegistration&) = delete;
  InitRegistration& operator=(const InitRegistration&) = delete;
  void Release() {
    if (m_ulFlags != 0) m_rArray.SubInitStatus(m_ulFlags);
    m_ulFlags = 0;
  }

 private:
  board::ArrayTables& m_rArray;
  std::uint32_t m_ulFlags;
};

// One array call under the board lock, which is not held through the pace before it.
template <class Call>
auto Locked(CusrCHN& board, Call call) {
  board::BoardLock& lock = board.TimerMutex();
  lock.LockAfterPace();
  auto result = call();
  lock.UnlockAndStamp();
  return result;
}

void TraceRecord(CusrTraceScope& trace, const board::ProductRecord& r) {
  trace.Info(TraceFmt("Product   = %s", r[board::kProductName].c_str()), TRC_INFO);
  trace.Info(TraceFmt("File Name = %s", r[board::kProductFilePath].c_str()), TRC_INFO);
  trace.Info(TraceFmt("Versin    = %s", r[board::kProductVersion].c_str()), TRC_INFO);
  trace.Info(TraceFmt("Build     = %s", r[board::kProductBuild].c_str()), TRC_INFO);
  trace.Info(TraceFmt("Timeout   = %s", r[board::kProductTimeout].c_str()), TRC_INFO);
}

bool Blocked(CusrTraceScope& trace, CusrCHN& board, const char* pszWhen) {
  if (board.MpBlockadeFlag() == 0) return false;
  trace.Error(TraceFmt("%s Install Thread finish%s : MP Blockade", board.LocationName().c_str(),
                       pszWhen),
              TRC_ERROR);
  ShowMessage(msg::kPowerHardwareError, common::CodeText(kCodeMpBlockade));
  return true;
}

// The NAS OS at the head of the request: installer, progress, boot, wait for the running NAS
// OS. 0 or the failure's code; the row and label show it.
std::uint32_t InstallNasOs(CusrTraceScope& trace, CusrCHN& board, const InstallRequest& request,
                           ProgressSink& sink, InitRegistration& registration, Stage* pStage) {
  const board::ProductRecord& record = request.products.front();
  TraceRecord(trace, record);
  const auto fail = [&](std::uint32_t ulCode, std::uint32_t ulLabel) {
    sink.RowStatus(0, FailedText(ulCode));
    sink.Label(LoadString(ulLabel), false);
    return ulCode;
  };
  plat::Millis limit = InstallLimit(record);
  sink.Label(Format(str::kNasOsInstalling, record[board::kProductTimeout]), true);
  board.SetStatus(board::CHN_STATUS_INST);
  std::uint32_t ulError = 0;
  // The lock may come only after the installation was given up (another program drove the
  // board meanwhile): then the installer is not started.
  bool bAbandoned = false;
  const bool bStarted = Locked(board, [&] {
    bAbandoned = sink.Abandoned();
    return !bAbandoned && board.InstallOS(record, request.ulInstallType, request.ulInitStatus, &ulError);
  });
  if (bAbandoned) return fail(agent::kResultTimeout, str::kNasOsNotUpdated);
  if (!bStarted) {
    trace.Error("InstallOS()", TRC_ERROR);
    trace.Error(TraceFmt("Error Code = 0x%08x", ulError), TRC_ERROR);
    ShowMessage(GetApiErrorMessageId(ulError), common::CodeText(ulError));
    return fail(ulError, str::kNasOsNotUpdated);
  }
  plat::TimePoint start = plat::Clock::Now();
  for (;;) {
    if (Blocked(trace, board, "")) return fail(kCodeMpBlockade, str::kNasOsNotUpdated);
    if (sink.Abandoned()) return fail(agent::kResultTimeout, str::kNasOsNotUpdated);
    if (plat::Clock::Now() - start > limit) {
      ShowMessage(msg::kNasOsError, common::CodeText(agent::kResultTimeout));
      return fail(agent::kResultTimeout, str::kNasOsNotUpdated);
    }
    std::string strProgress;
    bool bFailed = false;
    std::uint32_t ulCode = 0;
    const bool bEnded = Locked(board, [&] { return board.GetOSInstallStatus(&strProgress, false, &bFailed, &ulCode); });
    if (!strProgress.empty()) sink.RowStatus(0, strProgress);
    if (!bEnded) continue;
    if (bFailed) {
      trace.Error(TraceFmt("GetOSInstallStatus(): code = 0x%08x", ulCode), TRC_ERROR);
      return fail(ulCode, str::kNasOsNotUpdated);
    }
    break;
  }
  *pStage = Stage::NasOsBoot;
  if (!BootsByItself(record)) {
    if (!Locked(board, [&] { return board.StartInstallBoot(&ulError); })) {
      trace.Error(TraceFmt("StartInstallBoot(): code = 0x%08x", ulError), TRC_ERROR);
      return fail(ulError, str::kNasOsNotUpdated);
    }
    sink.Label(Format(str::kNasOsRebooting, std::to_string(kBootLimitMinutes)), true);
    start = plat::Clock::Now();
    limit = kBootLimit;
  }
  while (!board.IsOsRunning()) {
    if (Blocked(trace, board, " (Reboot)")) return fail(kCodeMpBlockade, str::kNasOsRebootFailed);
    if (sink.Abandoned()) return fail(agent::kResultTimeout, str::kNasOsRebootFailed);
    if (plat::Clock::Now() - start > limit) {
      board.UpdateMyStatus();
      if (board.IsOsRunning()) break;
      ShowMessage(msg::kNasOsError, common::CodeText(agent::kResultTimeout));
      return fail(agent::kResultTimeout, str::kNasOsRebootFailed);
    }
    plat::Clock::Sleep(kRunningPoll);
  }
  // The array reports the NAS OS running a little before its agent listens; the products need
  // the agent, so wait for its first answer within the same limit (a quiet exchange: no box per
  // refused try).
  std::uint32_t ulClusterStatus = 0;
  while (board.GetClusterStatusEx(&ulClusterStatus) != 0) {
    if (sink.Abandoned() || plat::Clock::Now() - start > limit) {
      trace.Warn("the agent does not answer yet", TRC_WARN);
      break;
    }
    plat::Clock::Sleep(kRunningPoll);
  }
  sink.RowStatus(0, LoadString(str::kCompleted));
  sink.Label(LoadString(str::kNasOsInstallCompleted), false);
  registration.Release();
  return 0;
}

}  // namespace

std::string FailedText(std::uint32_t ulCode) {
  char sz[64];
  std::snprintf(sz, sizeof sz, LoadString(str::kFailedCode).c_str(), ulCode);
  return sz;
}

InstallOutcome RunInstallation(CusrCHN& board, const InstallRequest& request, ProgressSink& sink) {
  CusrTraceScope trace(kClass, "InstallThreadFunc", TRC_FUNC);
  InitRegistration registration(board.Array(), request.ulInitStatus, request.bInitRegistered);
  InstallOutcome outcome;
  const std::size_t nCount = request.products.size();
  for (std::size_t i = 0; i < nCount; ++i) sink.RowStatus(i, LoadString(str::kZeroPercent));
  sink.StopEnabled(nCount > 1);
  if (request.nOsCount > 0) {
    outcome.ulCode = InstallNasOs(trace, board, request, sink, registration, &outcome.stage);
    if (outcome.ulCode != 0) {
      outcome.bNasOsFailed = true;
      return outcome;
    }
  }
  outcome.stage = Stage::Products;
  for (std::size_t i = request.nOsCount; i < nCount; ++i) {
    if (sink.StopRequested()) {
      if (sink.CancelRemaining()) break;
      sink.ClearStopRequest();
    }
    const board::ProductRecord& record = request.products[i];
    const bool bLast = i + 1 == nCount;
    if (bLast) sink.StopEnabled(false);
    TraceRecord(trace, record);
    sink.RowStatus(i, LoadString(str::kZeroPercent));
    sink.Label(LoadString(str::kNowInstalling), true);
    if (request.productGap.count() > 0) plat::Clock::Sleep(request.productGap);
    sink.ProductStarted(i, InstallLimit(record));
    const std::string strFile = std::filesystem::path(record[board::kProductFilePath]).filename().string();
    const auto ulTimeoutSec = static_cast<std::uint32_t>(InstallLimit(record).count() / 1000);
    std::uint32_t ulResult = 0;
    std::uint32_t ulCode = board.InstallCommonPP(strFile, ulTimeoutSec, &ulResult);
    if (ulCode == 0) ulCode = ulResult;
    if (ulCode == 0) {
      sink.RowStatus(i, LoadString(str::kCompleted));
      outcome.bInstalledAny = true;
      if (IsPatch(record) && board.IsRebootNecessary(strFile) == 1) outcome.bRestartNeeded = true;
      continue;
    }
    trace.Error(TraceFmt("InstallCommonPP() code = 0x%08x", ulCode), TRC_ERROR);
    sink.RowStatus(i, FailedText(ulCode));
    outcome.failedRows.push_back(i);
    if (outcome.ulCode == 0) outcome.ulCode = ulCode;
    if (IsPatch(record)) break;
    if (!bLast && sink.CancelRemaining()) break;
  }
  if (outcome.ulCode == 0) outcome.stage = Stage::Done;
  return outcome;
}

std::uint32_t ChangeInstallInfo(CusrCHN& board) {
  CusrTraceScope trace(kClass, "ChangeInstallInfo", TRC_FUNC);
  const std::uint32_t ulIndex = board.GetIndex();
  const auto sCluster = static_cast<short>(ulIndex / 8);
  const auto sPCB = static_cast<short>(ulIndex % 8);
  std::uint32_t ulError = 0;
  for (int nTry = 0; nTry < 2; ++nTry) {
    trace.Info(TraceFmt("CHN[%u] = dsvp_NasChangeInstallInf", ulIndex), TRC_INFO);
    ulError = 0;
    if (Locked(board, [&] { return dsvp_NasChangeInstallInf(sCluster, sPCB, &ulError) != 0; })) return 0;
    if (ulError != VEL_ERR_SVP_TIMEOUT || nTry == 1) break;
    trace.Warn(TraceFmt("dsvp_NasChangeInstallInf() Time out (sCluster = %d, sPCB = %d). retry", sCluster, sPCB),
               TRC_WARN);
  }
  trace.Error(TraceFmt("dsvp_NasChangeInstallInf : 0x%08x", ulError), TRC_ERROR);
  board.UpdateMyStatus();
  ShowMessage(GetApiErrorMessageId(ulError), common::CodeText(ulError));
  return ulError;
}

void SetInstalling(std::uint32_t ulSlot, bool bInstalling, bool bLuInit) {
  if (ulSlot < g_marks.size()) g_marks[ulSlot] = bInstalling ? (bLuInit ? 3 : 1) : 0;
}

bool IsOtherInstallingWithoutLu(std::uint32_t ulSlot) {
  for (std::uint32_t i = 0; i < g_marks.size(); ++i)
    if (i != ulSlot && g_marks[i] == 1) return true;
  return false;
}

}  // namespace install
