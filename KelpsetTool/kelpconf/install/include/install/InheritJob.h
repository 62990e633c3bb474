// The inherit installation over several boards, as its control worker runs it: the first board
// alone while it initialises the LUs, then the others in parallel, one thread per board started
// a second apart, each through RunInstallation with one second between products. A board past
// the wait limit is told to stop, and every board thread is joined before the end is reported.
// The job owns no dialog: it reports into an InheritSink, so a dialog and a test drive it alike.
//
// Threads: Run blocks its caller (a worker) until every board thread has ended. RowStatus comes
// from the board threads, for several boards at once; the other reports come from the caller's
// thread. A sink posts to its UI thread and returns.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/ArrayTables.h"
#include "install/InstallRoutine.h"
#include "install/InstallRules.h"

class CusrCHN;

namespace install {

// What one board installs: everything, or on a retry after a product failed only the failed
// products (its NAS OS runs by then).
struct BoardPlan {
  std::reference_wrapper<CusrCHN> board;
  ProductList products;
  std::size_t nOsCount = 0;

  std::uint32_t Slot() const;
};

// The code a board that was not started reports.
inline constexpr std::uint32_t kCodeNotStarted = 0xffffffff;

// The result of one board's run.
struct BoardResult {
  BoardPlan plan;
  bool bStarted = false;
  InstallOutcome outcome;
  plat::Millis elapsed{0};

  // The outcome's code, or kCodeNotStarted.
  std::uint32_t Code() const { return bStarted ? outcome.ulCode : kCodeNotStarted; }
};

// The steps of the job, in order; a step is skipped when it has nothing to do.
enum class InheritStage {
  LuBoard,      // the first board runs alone and initialises the LUs
  OtherBoards,  // the other boards are started and run together
  Stopping,     // the wait limit passed: the boards still running are told to stop
};
const char* StageText(InheritStage stage);

struct InheritEnd {
  bool bSucceeded = false;
  bool bRestartNeeded = false;  // a patch asks for the NAS OS to be restarted
};

class InheritSink {
 public:
  virtual ~InheritSink() = default;
  virtual void StageReached(InheritStage /*stage*/) {}
  // The status text of row nRow of the products of the nBoard-th plan.
  virtual void RowStatus(std::size_t nBoard, std::size_t nRow, const std::string& strText) = 0;
  // Each board's result once every board has ended, in the order of the plans; boards left out
  // after the first board failed are reported as not started.
  virtual void BoardEnded(const BoardResult& result) = 0;
  virtual void Ended(const InheritEnd& end) = 0;
};

class InheritJob {
 public:
  // plans: the boards in index order. products: the whole selection, which sets the wait limit
  // even when the plans hold fewer. bFirstGetsLu: the first plan initialises the LUs (flags 17)
  // and must succeed before the others start.
  InheritJob(std::vector<BoardPlan> plans, const ProductList& products, bool bFirstGetsLu);
  ~InheritJob();
  // Once per job; every board thread it starts has ended when it returns.
  void Run(InheritSink& sink);

 private:
  struct BoardRun;
  class BoardSink;

  // Traces the stage and reports it.
  static void Enter(InheritStage stage, InheritSink& sink);
  void StartBoard(std::size_t nBoard, std::uint32_t ulInitStatus, InheritSink& sink);
  void InstallThread(BoardRun& run, InheritSink& sink);
  // Waits for the runs from nFrom until deadline; false when one still runs.
  bool WaitRuns(std::size_t nFrom, plat::TimePoint deadline);
  // Joins every board thread; the results in the order of the plans, then the end.
  void Report(bool bTimedOut, InheritSink& sink);

  // The array tables of the boards, where the LU registration lives (plans not empty).
  board::ArrayTables& LuTables() const;
  std::vector<BoardPlan> m_plans;
  InheritLimits m_limits;
  bool m_bFirstGetsLu;
  std::vector<std::unique_ptr<BoardRun>> m_runs;
  std::atomic<bool> m_bAbandon{false};
  std::mutex m_mutex;
  std::condition_variable m_done;
};

// What a retry runs for a board: nothing after a success, only the failed products after a
// product failure (the NAS OS runs), else the whole plan again.
std::optional<BoardPlan> RetryPlan(const BoardResult& result);

}  // namespace install
