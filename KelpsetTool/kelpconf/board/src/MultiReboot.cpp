#include "board/MultiReboot.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "agent/AgentWire.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"

namespace board {
namespace {

constexpr const char* kClass = "CdlgMain";
constexpr int kRebootMode = 3;
constexpr std::uint32_t kWaitTimeoutCode = 0x102;
constexpr std::uint32_t kResultWaitFailed = 7;

struct SlotRange {
  std::uint32_t first;
  std::uint32_t last;  // one past the end
  const char* trace;
};

bool RangeOf(int nMode, SlotRange* pRange) {
  switch (nMode) {
    case kRebootCluster1: *pRange = {0, 8, "Multi reboot mode : CL1"}; return true;
    case kRebootCluster2: *pRange = {8, 16, "Multi reboot mode : CL2"}; return true;
    case kRebootAllClusters: *pRange = {0, 16, "Multi reboot mode : All cluster"}; return true;
    default: return false;
  }
}

// How many workers still run; each worker counts itself out.
struct Running {
  std::mutex mutex;
  std::condition_variable ended;
  int count = 0;
};

}  // namespace

void RebootCallThread(CusrCHN& board, std::uint32_t* pulResult) {
  CusrTraceScope trace(kClass, "RebootCallThread", TRC_FUNC);
  trace.Info(TraceFmt("Start Reboot CHN : %u", board.GetIndex()), TRC_INFO);
  std::uint32_t ulError = 0;
  board.StartBootReboot(kRebootMode, &ulError);
  *pulResult = ulError;
}

std::uint32_t MultiReboot(ArrayTables& rArray, int nMode, const RebootMarks& marks, RebootResults& results) {
  CusrTraceScope trace(kClass, "MultiReboot", TRC_FUNC);
  SlotRange range{};
  if (!RangeOf(nMode, &range)) {
    trace.Error(TraceFmt("Multi reboot mode : %d", nMode), TRC_ERROR);
    return 0;
  }
  trace.Info(range.trace, TRC_INFO);
  for (std::uint32_t s = range.first; s < range.last; ++s) results[s] = 0;

  Running running;
  std::vector<std::thread> workers;
  std::uint32_t ulResult = 0;
  for (std::uint32_t s = range.first; s < range.last && ulResult == 0; ++s) {
    if (marks[s] != 1) continue;
    CusrCHN* pBoard = rArray.GetCHN(s);
    if (pBoard == nullptr) {
      trace.Warn(TraceFmt("CHN[%u] has no board object", s), TRC_WARN);
      continue;
    }
    if (!workers.empty()) plat::Clock::Sleep(kMultiRebootStagger);
    {
      std::lock_guard lock(running.mutex);
      ++running.count;
    }
    try {
      workers.emplace_back([&running, pBoard, pulResult = &results[s]] {
        RebootCallThread(*pBoard, pulResult);
        std::lock_guard lock(running.mutex);
        --running.count;
        running.ended.notify_all();
      });
    } catch (const std::system_error& e) {
      {
        std::lock_guard lock(running.mutex);
        --running.count;
      }
      trace.Error(e.what(), TRC_ERROR);
      trace.Error(ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<std::uint32_t>(e.code().value()))),
                  TRC_ERROR);
      ulResult = kResultWaitFailed;
    }
  }

  if (ulResult == 0 && !workers.empty()) {
    std::unique_lock lock(running.mutex);
    if (!plat::Clock::WaitUntil(running.ended, lock, plat::Clock::Now() + kMultiRebootLimit,
                                [&] { return running.count == 0; })) {
      trace.Error(TraceFmt("WaitForMultipleObjects() Timeout. Code = 0x%08x", kWaitTimeoutCode), TRC_ERROR);
      lock.unlock();
      trace.Error(ShowMessage(msg::kTimeout, common::CodeText(kWaitTimeoutCode)), TRC_ERROR);
      ulResult = agent::kResultTimeout;
    }
  }
  // The workers write the caller's tables: none outlives this call.
  for (std::thread& worker : workers) worker.join();
  return ulResult;
}

}  // namespace board
