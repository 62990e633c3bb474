// The watched power operations against a simulated unit, on manual time: the array is read once
// per 20-second pace and only then, each interim status reaches the dialog at the poll that saw
// it, and the operation's time limit ends the watch of a board that never finishes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "PowerTestSupport.h"
#include "TestEnv.h"
#include "board/CusrCHN.h"
#include "common/ProcessContext.h"
#include "corvid/Sim.h"
#include "nas/StatusWord.h"
#include "plat/Clock.h"
#include "velapi.h"

namespace {

namespace sim = corvid::sim;
using ::testing::ElementsAreArray;

constexpr char kUnit[] = "WATCH";
constexpr int kSlot = 0;  // board k = 0
constexpr std::int64_t kPaceSeconds = 20;
constexpr int kWordBoot = 303, kWordShutdown = 306;

// What the dialog was shown: when, and the status word.
struct Change {
  std::int64_t seconds;
  int wordId;
  bool operator==(const Change&) const = default;
};

void PrintTo(const Change& c, std::ostream* os) { *os << "+" << c.seconds << "s word " << c.wordId; }

class TimedDialog : public board::PowerDialog {
 public:
  explicit TimedDialog(plat::TimePoint start) : m_start(start) {}
  void ShowPowerStatus(std::int32_t, int nStatusWordId) override {
    const std::lock_guard lock(m_mutex);
    if (!m_changes.empty() && m_changes.back().wordId == nStatusWordId) return;
    m_changes.push_back(
        {std::chrono::duration_cast<std::chrono::seconds>(plat::Clock::Now() - m_start).count(), nStatusWordId});
  }
  std::vector<Change> Changes() {
    const std::lock_guard lock(m_mutex);
    return m_changes;
  }

 private:
  const plat::TimePoint m_start;
  std::mutex m_mutex;
  std::vector<Change> m_changes;
};

enum class Operation { Boot, Reboot };

struct WatchCase {
  const char* name;
  Operation operation;
  std::uint16_t restingStatus;
  bool stall;  // the board never progresses after the command
  std::vector<Change> changes;
  bool finished;
  std::int64_t polls;
};

const WatchCase kCases[] = {
    {"BootShowsEachChangeAtThePollThatSawIt", Operation::Boot, nas::kStatusStopped, false,
     {{20, kWordBoot}}, true, 5},
    {"RebootRunsThroughShutdownAndBoot", Operation::Reboot, nas::kStatusOsUp, false,
     {{20, kWordShutdown}, {60, kWordBoot}}, true, 8},
    {"AStalledBootEndsAtTheFirstPollPastItsLimit", Operation::Boot, nas::kStatusStopped, true,
     {{20, kWordBoot}}, false, 1940 / kPaceSeconds},
};

constexpr char kPollLine[] = "CHN[0] = dsvp_NasGetShutdownStatusEx";

// One private system root per process: VELAPI keeps the unit it selected for the process's life.
class PowerWatch : public ::testing::TestWithParam<WatchCase> {
 protected:
  static void SetUpTestSuite() {
    env = new kelptest::IsolatedEnv;
    sim::SetTimeScale(1e12);  // the unit moves only through AdvanceTime, in step with the manual clock
    ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit(kUnit, sim::Model::ZQH, 4), true));
    std::uint32_t ulErr = 0;
    ASSERT_EQ(dsvp_SetArrayUnitName(kUnit, &ulErr), TRUE) << ulErr;
  }
  static void TearDownTestSuite() {
    sim::SetTimeScale(1.0);
    delete env;
  }

  void SetUp() override {
    ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit(kUnit, sim::Model::ZQH, 4), true));
    ASSERT_TRUE(sim::SetBoardStatus(kUnit, 0, GetParam().restingStatus));
  }

  static kelptest::IsolatedEnv* env;
};

kelptest::IsolatedEnv* PowerWatch::env = nullptr;

TEST_P(PowerWatch, PollsOncePerPaceUntilTheBoardEnds) {
  const WatchCase& c = GetParam();
  plat::ManualClock clock;
  RecordingDisplay display;
  powertest::TimedTraceSink sink;
  common::ProcessContext context({.display = &display, .traceSink = &sink, .traceMask = TRC_MASK_DEBUG});
  if (c.stall) {
    ASSERT_TRUE(sim::InjectBoardFault(kUnit, 0, sim::BoardFault::Stall, 1));
  }
  board::ArrayTables array;
  CusrCHN board(array, kSlot);
  const plat::TimePoint start = plat::Clock::Now();
  TimedDialog dialog(start);
  std::atomic<bool> ended{false};
  bool result = false;
  std::thread watcher([&] {
    std::uint32_t ulError = 0;
    result = c.operation == Operation::Boot ? board.StartBoot(&dialog, "", &ulError)
                                            : board.StartReboot(&dialog, &ulError);
    ended = true;
  });

  // Each turn: the watcher sleeps out its pace, both clocks move one pace, the watcher reads once.
  const auto polls = [&] { return static_cast<std::int64_t>(sink.TimesOf(kPollLine).size()); };
  for (std::int64_t turns = 0; turns <= c.polls && !ended;) {
    if (!clock.WaitForWaiters(1, std::chrono::milliseconds(20))) continue;  // reading or ending
    ASSERT_TRUE(sim::AdvanceTime(kUnit, kPaceSeconds * 1000));
    clock.Advance(std::chrono::seconds(kPaceSeconds));
    ++turns;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (polls() < turns && !ended && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  }
  watcher.join();

  EXPECT_EQ(result, c.finished);
  const std::vector<plat::TimePoint> readings = sink.TimesOf(kPollLine);
  EXPECT_EQ(static_cast<std::int64_t>(readings.size()), c.polls);
  for (std::size_t i = 0; i < readings.size(); ++i)
    EXPECT_EQ(readings[i] - start, std::chrono::seconds(kPaceSeconds * static_cast<std::int64_t>(i + 1)))
        << "one reading per pace, none in between";
  EXPECT_THAT(dialog.Changes(), ElementsAreArray(c.changes));
}

std::string CaseName(const ::testing::TestParamInfo<WatchCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(Operations, PowerWatch, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
