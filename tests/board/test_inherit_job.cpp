// The inherit installation job without a dialog, over the four boards of a simulated unit on a
// scaled clock: a recording sink keeps every report with its logical time. The NAS OS is one that
// starts by itself after its installer (no agents run here, so each board waits out its install
// limit for an agent that never answers, which leaves the boards' runs long enough to overlap).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "PowerTestSupport.h"
#include "QuietMainDialog.h"
#include "VelapiTestUnit.h"
#include "board/BoardLock.h"
#include "board/BoardStatus.h"
#include "board/CusrCHN.h"
#include "board/CusrStatusAgent.h"
#include "common/CusrTraceScope.h"
#include "common/ProcessContext.h"
#include "install/InheritJob.h"
#include "plat/NamedMutex.h"

namespace {

using install::InheritStage;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::IsEmpty;
using ::testing::Ne;
namespace sim = corvid::sim;

constexpr double kScale = 0.002;  // a board's 10-minute limit takes 1.2 s
constexpr std::uint32_t kSlots[] = {0, 1, 8, 9};

// Every report of a job; RowStatus comes from several board threads at once.
class RecordingSink : public install::InheritSink {
 public:
  struct Row {
    plat::TimePoint at;
    std::size_t nBoard;
    std::string strText;
  };

  void StageReached(InheritStage stage) override {
    std::lock_guard lock(m_mutex);
    stages.push_back(stage);
    stageRows.push_back(rows.size());
    stageTimes.push_back(plat::Clock::Now());
  }
  void RowStatus(std::size_t nBoard, std::size_t, const std::string& strText) override {
    std::lock_guard lock(m_mutex);
    rows.push_back({plat::Clock::Now(), nBoard, strText});
  }
  void BoardEnded(const install::BoardResult& result) override {
    std::lock_guard lock(m_mutex);
    results.push_back(result);
  }
  void Ended(const install::InheritEnd& e) override {
    std::lock_guard lock(m_mutex);
    end = e;
  }

  // "SLOT CODE STAGE" per result.
  std::vector<std::string> ResultLines() const {
    std::vector<std::string> lines;
    for (const install::BoardResult& r : results)
      lines.push_back(TraceFmt("%u 0x%08x %s", r.plan.Slot(), r.Code(), r.bStarted ? StageName(r.outcome.stage) : "-"));
    return lines;
  }
  // The boards that reported rows in [from, to).
  std::vector<std::size_t> BoardsOfRows(std::size_t from, std::size_t to) const {
    std::vector<std::size_t> boards;
    for (std::size_t i = from; i < to && i < rows.size(); ++i) boards.push_back(rows[i].nBoard);
    return boards;
  }
  // When a board reported its first and its last row.
  plat::TimePoint FirstRow(std::size_t nBoard) const { return RowTimes(nBoard).front(); }
  plat::TimePoint LastRow(std::size_t nBoard) const { return RowTimes(nBoard).back(); }

  std::vector<InheritStage> stages;
  std::vector<std::size_t> stageRows;  // how many rows had come when each stage was reached
  std::vector<plat::TimePoint> stageTimes;
  std::vector<Row> rows;
  std::vector<install::BoardResult> results;
  std::optional<install::InheritEnd> end;

 private:
  static const char* StageName(install::Stage stage) {
    switch (stage) {
      case install::Stage::NasOs: return "nasos";
      case install::Stage::NasOsBoot: return "boot";
      case install::Stage::Products: return "products";
      case install::Stage::Done: return "done";
    }
    return "?";
  }
  std::vector<plat::TimePoint> RowTimes(std::size_t nBoard) const {
    std::vector<plat::TimePoint> times;
    for (const Row& r : rows)
      if (r.nBoard == nBoard) times.push_back(r.at);
    if (times.empty()) times.push_back(plat::TimePoint::max());
    return times;
  }

  std::mutex m_mutex;
};

class InheritJobOnUnit : public ::testing::Test {
 protected:
  // The four boards of a new unit, the status poller running; the LU flags registered when a
  // board's thread starts are kept per slot.
  void SetUp() override {
    sim::UnitSpec scenario = veltest::DefaultSpec();
    scenario.autoBootAfterInstall = true;
    scenario.durations.installMs = 60'000;
    scenario.durations.bootMs = 20'000;
    veltest::ResetUnit(scenario);
    plat::Clock::SetTimeScale(kScale);
    sim::SetTimeScale(kScale);
    for (int k = 0; k < 4; ++k) ASSERT_TRUE(sim::SetBoardStatus(veltest::kUnit, k, nas::kStatusStopped));
    m_context.emplace(common::ProcessSetup{.display = &m_display, .traceSink = &m_trace, .traceMask = TRC_MASK_DEBUG});
    std::uint32_t ulError = 0;
    ASSERT_TRUE(m_array.Initialize(20266, &ulError)) << ulError;
    for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) m_boards.push_back(std::make_unique<CusrCHN>(m_array, i));
    m_array.GetChnStatusKestrel(0);
    for (const std::uint32_t slot : kSlots) m_boards[slot]->SetChnStatusKestrel();
    for (const std::uint32_t slot : kSlots) WatchLuFlags(slot);
    m_poller.Create(&m_main, 20'000);
    ASSERT_EQ(m_poller.Start(), 0u);
  }
  void TearDown() override {
    m_poller.Stop();
    m_boards.clear();
    m_context.reset();
    plat::Clock::SetTimeScale(0);
  }

  // Keeps the LU flags registered when the slot's next board thread starts.
  void WatchLuFlags(std::uint32_t slot) {
    m_luFlags[slot] = 0xdead;
    m_trace.OnLine(m_array.LocationName(slot) + " Install Thread",
                   [this, slot] { m_luFlags[slot] = m_array.GetInitStatus(); });
  }
  std::vector<install::BoardPlan> Plans() {
    std::vector<install::BoardPlan> plans;
    for (const std::uint32_t slot : kSlots) plans.push_back({*m_boards[slot], m_products, 1});
    return plans;
  }
  void Run(std::vector<install::BoardPlan> plans, bool bFirstGetsLu, RecordingSink& sink) {
    install::InheritJob job(std::move(plans), m_products, bFirstGetsLu);
    job.Run(sink);
  }
  std::size_t InstallThreads(std::uint32_t slot) const {
    return m_trace.TimesOf(m_array.LocationName(slot) + " Install Thread").size();
  }

  board::ArrayTables m_array;
  RecordingDisplay m_display;
  powertest::TimedTraceSink m_trace;
  kelptest::QuietMainDialog m_main;
  std::optional<common::ProcessContext> m_context;
  std::vector<std::unique_ptr<CusrCHN>> m_boards;
  CusrStatusAgent m_poller{m_array};
  install::ProductList m_products{{"NAS OS", "01-02-00-00", "nasos.img", "10", "nasos.os", "0102-0001"}};
  std::array<std::atomic<std::uint32_t>, CusrCHN::kSlots> m_luFlags{};
};

TEST_F(InheritJobOnUnit, FirstBoardFailingLeavesTheOthersNotStarted) {
  ASSERT_TRUE(sim::InjectBoardFault(veltest::kUnit, 0, sim::BoardFault::InstallFailure, 0x00FE));
  RecordingSink sink;
  Run(Plans(), true, sink);
  EXPECT_THAT(sink.stages, ElementsAre(InheritStage::LuBoard));
  EXPECT_THAT(sink.BoardsOfRows(0, sink.rows.size()), Each(Eq(0u)));
  EXPECT_THAT(sink.ResultLines(), ElementsAre("0 0x000000fe nasos", "1 0xffffffff -", "8 0xffffffff -",
                                              "9 0xffffffff -"));
  ASSERT_TRUE(sink.end);
  EXPECT_FALSE(sink.end->bSucceeded);
  EXPECT_EQ(m_luFlags[0], 0x11u);
  EXPECT_EQ(m_array.GetInitStatus(), 0u) << "the LU registration outlived the first board";
  EXPECT_TRUE(m_trace.Has("Install Failed (LU Initialize) : 0x000000fe"));
  EXPECT_TRUE(m_trace.Has("Inherit and Install Failed (Code:0x000000fe)"));
  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates(veltest::kUnit, &states));
  for (int k = 1; k < 4; ++k) {
    EXPECT_EQ(InstallThreads(kSlots[k]), 0u) << "slot " << kSlots[k];
    EXPECT_EQ(states[k].status, nas::kStatusStopped) << "slot " << kSlots[k];
  }
  for (const install::BoardResult& r : sink.results) EXPECT_TRUE(install::RetryPlan(r)) << r.plan.Slot();
}

// The first board runs alone with the LU flags; the others then start a second apart, run at
// the same time without the flags, and each reports its own result.
TEST_F(InheritJobOnUnit, OtherBoardsRunTogetherAfterTheFirstAndEachReports) {
  RecordingSink sink;
  Run(Plans(), true, sink);
  EXPECT_THAT(sink.stages, ElementsAre(InheritStage::LuBoard, InheritStage::OtherBoards));
  ASSERT_EQ(sink.stageRows.size(), 2u);
  EXPECT_THAT(sink.BoardsOfRows(0, sink.stageRows[1]), Each(Eq(0u)));
  EXPECT_THAT(sink.BoardsOfRows(sink.stageRows[1], sink.rows.size()), Each(Ne(0u)));
  EXPECT_THAT(sink.ResultLines(), ElementsAre("0 0x00000000 done", "1 0x00000000 done", "8 0x00000000 done",
                                              "9 0x00000000 done"));
  ASSERT_TRUE(sink.end);
  EXPECT_TRUE(sink.end->bSucceeded);
  EXPECT_EQ(m_luFlags[0], 0x11u);
  for (const std::uint32_t slot : {1u, 8u, 9u}) EXPECT_EQ(m_luFlags[slot], 0u) << "slot " << slot;
  // Each further board starts a second after the one before (its thread reports a little later).
  for (std::size_t b = 1; b < 4; ++b)
    EXPECT_GE(sink.FirstRow(b) - sink.stageTimes[1], plat::Millis(1000) * static_cast<int>(b)) << "board " << b;
  EXPECT_LT(sink.FirstRow(3), std::min({sink.LastRow(1), sink.LastRow(2), sink.LastRow(3)}))
      << "the other boards did not run together";
  for (const install::BoardResult& r : sink.results) EXPECT_FALSE(install::RetryPlan(r)) << r.plan.Slot();
  EXPECT_THAT(m_display.Boxes(), IsEmpty());
}

// A board after the first fails its NAS OS: a retry runs that board alone, whole, without the
// LU flags; failing again it is reported like any further board, and the next retry finishes.
TEST_F(InheritJobOnUnit, RetryRunsOnlyTheFailedBoard) {
  ASSERT_TRUE(sim::InjectBoardFault(veltest::kUnit, 2, sim::BoardFault::InstallFailure, 0x00FE));
  RecordingSink first;
  Run(Plans(), true, first);
  EXPECT_THAT(first.ResultLines(), ElementsAre("0 0x00000000 done", "1 0x00000000 done", "8 0x000000fe nasos",
                                               "9 0x00000000 done"));
  ASSERT_TRUE(first.end);
  EXPECT_FALSE(first.end->bSucceeded);
  EXPECT_EQ(m_trace.TimesOf("Install Failed : 0x000000fe").size(), 1u);

  const auto retryOf = [](const RecordingSink& sink) {
    std::vector<install::BoardPlan> plans;
    for (const install::BoardResult& r : sink.results)
      if (std::optional<install::BoardPlan> plan = install::RetryPlan(r)) plans.push_back(*plan);
    return plans;
  };
  std::vector<install::BoardPlan> retry = retryOf(first);
  ASSERT_EQ(retry.size(), 1u);
  EXPECT_EQ(retry[0].Slot(), 8u);
  EXPECT_EQ(retry[0].products, m_products);
  ASSERT_TRUE(sim::InjectBoardFault(veltest::kUnit, 2, sim::BoardFault::InstallFailure, 0x00FE));
  WatchLuFlags(8);
  RecordingSink second;
  Run(retry, false, second);
  EXPECT_THAT(second.stages, ElementsAre(InheritStage::OtherBoards));
  EXPECT_THAT(second.ResultLines(), ElementsAre("8 0x000000fe nasos"));
  EXPECT_EQ(m_luFlags[8], 0u);
  EXPECT_EQ(m_trace.TimesOf("Install Failed : 0x000000fe").size(), 2u) << "the retry's failure went untraced";

  retry = retryOf(second);
  ASSERT_EQ(retry.size(), 1u);
  RecordingSink third;
  Run(retry, false, third);
  EXPECT_THAT(third.ResultLines(), ElementsAre("8 0x00000000 done"));
  ASSERT_TRUE(third.end);
  EXPECT_TRUE(third.end->bSucceeded);
  EXPECT_EQ(InstallThreads(8), 3u);
  for (const std::uint32_t slot : {0u, 1u, 9u}) EXPECT_EQ(InstallThreads(slot), 1u) << "slot " << slot;
}

// A board whose lock another program holds past the wait limit: the job stops, waits for every
// board thread, and that board fails with the time-out code without its installer started. The
// LU registration lasts while the LU board still runs.
struct HeldCase {
  const char* pszName;
  int k;  // the held board
  std::vector<InheritStage> stages;
  std::vector<std::string> results;
  std::uint32_t ulLuWhenStopping;  // the registered LU flags when the stop begins
};

void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.pszName; }

class HeldBoard : public InheritJobOnUnit, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldBoard, PastTheWaitLimitIsStoppedAndFailsWithCode9) {
  const HeldCase& c = GetParam();
  plat::NamedMutex held(board::BoardLock::NameOf(kSlots[c.k]));
  ASSERT_EQ(held.Lock(), plat::LockResult::Acquired);
  std::atomic<std::uint32_t> ulLuWhenStopping{0xdead};
  m_trace.OnLine("the wait limit passed", [&] { ulLuWhenStopping = m_array.GetInitStatus(); });
  RecordingSink sink;
  std::thread job([&] { Run(Plans(), true, sink); });
  bool bStopping = false;
  for (int i = 0; i < 3000 && !bStopping; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    bStopping = m_trace.Has("the wait limit passed");
  }
  EXPECT_FALSE(sink.end) << "the job ended while a board thread still waited for its lock";
  held.Unlock();
  job.join();
  ASSERT_TRUE(bStopping);
  EXPECT_EQ(ulLuWhenStopping, c.ulLuWhenStopping);
  EXPECT_EQ(m_array.GetInitStatus(), 0u);
  EXPECT_EQ(sink.stages, c.stages);
  EXPECT_EQ(sink.ResultLines(), c.results);
  ASSERT_TRUE(sink.end);
  EXPECT_FALSE(sink.end->bSucceeded);
  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates(veltest::kUnit, &states));
  EXPECT_EQ(states[c.k].activity, "idle");
  EXPECT_EQ(states[c.k].status, nas::kStatusStopped);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, HeldBoard,
    ::testing::Values(
        HeldCase{"LuBoard", 0, {InheritStage::LuBoard, InheritStage::Stopping},
                 {"0 0x00000009 nasos", "1 0xffffffff -", "8 0xffffffff -", "9 0xffffffff -"}, 0x11},
        HeldCase{"OtherBoard", 3, {InheritStage::LuBoard, InheritStage::OtherBoards, InheritStage::Stopping},
                 {"0 0x00000000 done", "1 0x00000000 done", "8 0x00000000 done", "9 0x00000009 nasos"}, 0}),
    veltest::CaseName<HeldCase>);

// What a retry runs for each kind of board result.
TEST_F(InheritJobOnUnit, RetryPlanOfEachResult) {
  const install::ProductList products{{"NAS OS", "05-01-00-00", "os.img", "10", "os", "1"},
                                      {"Backup", "05-01-00-00", "b.pp", "5", "pp", "1"},
                                      {"Cluster", "05-01-00-00", "c.pp", "5", "pp", "1"}};
  const install::BoardPlan plan{*m_boards[1], products, 1};
  struct Case {
    const char* pszName;
    install::BoardResult result;
    std::optional<std::vector<std::string>> names;  // the retry's products; none: no retry
    std::size_t nOsCount;
  };
  const auto outcome = [](std::uint32_t ulCode, install::Stage stage, std::vector<std::size_t> failed) {
    install::InstallOutcome o;
    o.ulCode = ulCode;
    o.stage = stage;
    o.failedRows = std::move(failed);
    return o;
  };
  const std::vector<std::string> all{"NAS OS", "Backup", "Cluster"};
  const std::vector<Case> cases{
      {"succeeded", {plan, true, outcome(0, install::Stage::Done, {}), {}}, std::nullopt, 0},
      {"not started", {plan, false, {}, {}}, all, 1},
      {"NAS OS failed", {plan, true, outcome(0xfe, install::Stage::NasOs, {}), {}}, all, 1},
      {"boot failed", {plan, true, outcome(9, install::Stage::NasOsBoot, {}), {}}, all, 1},
      {"one product failed", {plan, true, outcome(0x10000018, install::Stage::Products, {2}), {}},
       std::vector<std::string>{"Cluster"}, 0},
      {"two products failed", {plan, true, outcome(0x10000018, install::Stage::Products, {1, 2}), {}},
       std::vector<std::string>{"Backup", "Cluster"}, 0},
      {"stopped between products", {plan, true, outcome(9, install::Stage::Products, {}), {}}, all, 1},
  };
  for (const Case& c : cases) {
    const std::optional<install::BoardPlan> retry = install::RetryPlan(c.result);
    ASSERT_EQ(retry.has_value(), c.names.has_value()) << c.pszName;
    if (!retry) continue;
    std::vector<std::string> names;
    for (const board::ProductRecord& r : retry->products) names.push_back(r[board::kProductName]);
    EXPECT_EQ(names, *c.names) << c.pszName;
    EXPECT_EQ(retry->nOsCount, c.nOsCount) << c.pszName;
    EXPECT_EQ(retry->Slot(), 1u) << c.pszName;
  }
}

}  // namespace
