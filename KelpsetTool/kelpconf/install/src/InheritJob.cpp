#include "install/InheritJob.h"

#include <thread>

#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/TraceLine.h"

namespace install {
namespace {

constexpr const char* kClass = "InheritJob";
constexpr std::uint32_t kInheritType = 2;
constexpr std::uint32_t kLuBoth = 0x11;
constexpr plat::Millis kStartGap{1000};
constexpr plat::Millis kProductGap{1000};

}  // namespace

std::uint32_t BoardPlan::Slot() const { return board.get().GetIndex(); }

const char* StageText(InheritStage stage) {
  switch (stage) {
    case InheritStage::LuBoard: return "first board with LU initialisation";
    case InheritStage::OtherBoards: return "other boards";
    case InheritStage::Stopping: return "stopping";
  }
  return "?";
}

// One board of the job: written by its thread until bDone, read by Run afterwards.
struct InheritJob::BoardRun {
  std::size_t nBoard = 0;
  std::uint32_t ulInitStatus = 0;
  BoardResult result;  // its plan from the start
  bool bDone = false;  // under m_mutex
  std::thread thread;
};

// A board's progress into its rows. The board never asks between products: a failed product is
// marked and the next one goes on, until the job gives up.
class InheritJob::BoardSink : public ProgressSink {
 public:
  BoardSink(InheritSink& sink, std::size_t nBoard, const std::atomic<bool>& bAbandon)
      : m_sink(sink), m_nBoard(nBoard), m_bAbandon(bAbandon) {}
  void RowStatus(std::size_t nRow, const std::string& strText) override { m_sink.RowStatus(m_nBoard, nRow, strText); }
  void Label(const std::string&, bool) override {}
  void StopEnabled(bool) override {}
  bool StopRequested() const override { return m_bAbandon; }
  void ClearStopRequest() override {}
  bool CancelRemaining() override { return m_bAbandon; }
  bool Abandoned() const override { return m_bAbandon; }

 private:
  InheritSink& m_sink;
  std::size_t m_nBoard;
  const std::atomic<bool>& m_bAbandon;
};

InheritJob::InheritJob(std::vector<BoardPlan> plans, const ProductList& products, bool bFirstGetsLu)
    : m_plans(std::move(plans)), m_limits(GetInheritLimits(products)), m_bFirstGetsLu(bFirstGetsLu) {}

InheritJob::~InheritJob() = default;

void InheritJob::StartBoard(std::size_t nBoard, std::uint32_t ulInitStatus, InheritSink& sink) {
  auto run = std::make_unique<BoardRun>(nBoard, ulInitStatus, BoardResult{m_plans[nBoard], true, {}, {}});
  BoardRun& ref = *run;
  m_runs.push_back(std::move(run));
  ref.thread = std::thread([this, &ref, &sink] { InstallThread(ref, sink); });
}

bool InheritJob::WaitRuns(std::size_t nFrom, plat::TimePoint deadline) {
  std::unique_lock lock(m_mutex);
  return plat::Clock::WaitUntil(m_done, lock, deadline, [&] {
    for (std::size_t i = nFrom; i < m_runs.size(); ++i)
      if (!m_runs[i]->bDone) return false;
    return true;
  });
}

void InheritJob::Enter(InheritStage stage, InheritSink& sink) {
  common::TraceLineFmt(TRC_INFO, "inherit installation : %s", StageText(stage));
  sink.StageReached(stage);
}

board::ArrayTables& InheritJob::LuTables() const { return m_plans.front().board.get().Array(); }

void InheritJob::Run(InheritSink& sink) {
  CusrTraceScope trace(kClass, "Run", TRC_FUNC);
  bool bTimedOut = false;
  bool bLuRegistered = false;
  std::size_t nNext = 0;
  if (m_bFirstGetsLu && !m_plans.empty()) {
    Enter(InheritStage::LuBoard, sink);
    LuTables().AddInitStatus(kLuBoth);
    bLuRegistered = true;
    StartBoard(0, kLuBoth, sink);
    bTimedOut = !WaitRuns(0, plat::Clock::Now() + m_limits.wait);
    // The registration guards the LUs while their board runs: past the wait limit, until it
    // has stopped.
    if (!bTimedOut) {
      LuTables().SubInitStatus(kLuBoth);
      bLuRegistered = false;
    }
    nNext = 1;
    const std::uint32_t ulCode = bTimedOut ? agent::kResultTimeout : m_runs.front()->result.outcome.ulCode;
    if (ulCode != 0) {
      trace.Error(TraceFmt("Install Failed (LU Initialize) : 0x%08x", ulCode), TRC_ERROR);
      nNext = m_plans.size();  // the others are not started
    }
  }
  if (!bTimedOut && nNext < m_plans.size()) {
    Enter(InheritStage::OtherBoards, sink);
    for (std::size_t i = nNext; i < m_plans.size(); ++i) {
      plat::Clock::Sleep(kStartGap);
      StartBoard(i, 0, sink);
    }
    bTimedOut = !WaitRuns(nNext, plat::Clock::Now() + m_limits.wait);
  }
  if (bTimedOut) {
    // A board past the wait limit is told to stop; its thread still reports into its rows, so
    // the end waits for every thread.
    Enter(InheritStage::Stopping, sink);
    trace.Error("the wait limit passed: the boards still installing are stopped", TRC_ERROR);
    m_bAbandon = true;
    WaitRuns(0, plat::TimePoint::max());
  }
  if (bLuRegistered) LuTables().SubInitStatus(kLuBoth);
  Report(bTimedOut, sink);
}

void InheritJob::Report(bool bTimedOut, InheritSink& sink) {
  CusrTraceScope trace(kClass, "Report", TRC_FUNC);
  std::vector<BoardResult> results;
  InheritEnd end;
  for (auto& run : m_runs) {
    run->thread.join();
    BoardResult& r = run->result;
    if (bTimedOut && r.outcome.stage != Stage::Done && r.outcome.ulCode == 0) r.outcome.ulCode = agent::kResultTimeout;
    // The LU board's failure was traced on its own; a retry has no LU board.
    const bool bLuBoard = m_bFirstGetsLu && run.get() == m_runs.front().get();
    if (r.outcome.ulCode != 0 && !bLuBoard)
      trace.Error(TraceFmt("Install Failed : 0x%08x", r.outcome.ulCode), TRC_ERROR);
    end.bRestartNeeded = end.bRestartNeeded || r.outcome.bRestartNeeded;
    results.push_back(r);
  }
  for (std::size_t i = m_runs.size(); i < m_plans.size(); ++i)
    results.push_back(BoardResult{m_plans[i], false, {}, {}});
  std::uint32_t ulFirstCode = 0;
  for (const BoardResult& r : results)
    if (ulFirstCode == 0) ulFirstCode = r.bStarted ? r.outcome.ulCode : agent::kResultTimeout;
  end.bSucceeded = ulFirstCode == 0 && !bTimedOut;
  if (!end.bSucceeded) trace.Error(TraceFmt("Inherit and Install Failed (Code:0x%08x)", ulFirstCode), TRC_ERROR);
  for (const BoardResult& r : results) sink.BoardEnded(r);
  sink.Ended(end);
}

void InheritJob::InstallThread(BoardRun& run, InheritSink& sink) {
  CusrTraceScope trace(kClass, "InstallThread", TRC_FUNC);
  const BoardPlan& plan = run.result.plan;
  CusrCHN& board = plan.board;
  trace.Info(TraceFmt("%s Install Thread", plan.board.get().LocationName().c_str()), TRC_INFO);
  const plat::TimePoint start = plat::Clock::Now();
  InstallRequest request;
  request.products = plan.products;
  request.nOsCount = plan.nOsCount;
  request.ulInitStatus = run.ulInitStatus;
  request.ulInstallType = kInheritType;
  request.productGap = kProductGap;
  BoardSink boardSink(sink, run.nBoard, m_bAbandon);
  run.result.outcome = RunInstallation(board, request, boardSink);
  if (run.result.outcome.bInstalledAny) ChangeInstallInfo(board);
  run.result.elapsed = plat::Clock::Now() - start;
  {
    std::lock_guard lock(m_mutex);
    run.bDone = true;
  }
  m_done.notify_all();
}

std::optional<BoardPlan> RetryPlan(const BoardResult& result) {
  if (result.bStarted && result.outcome.ulCode == 0) return std::nullopt;
  if (!result.bStarted || result.outcome.stage != Stage::Products || result.outcome.failedRows.empty())
    return result.plan;
  BoardPlan plan{result.plan.board, {}, 0};
  for (const std::size_t nRow : result.outcome.failedRows) plan.products.push_back(result.plan.products[nRow]);
  return plan;
}

}  // namespace install
