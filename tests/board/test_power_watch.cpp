// The power watch against a simulated unit, on manual time: the array is read once per 20-second
// pace and only then, every change reaches the caller at the poll that saw it, and the
// operation's time limit ends the watch of a board that never finishes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "TestEnv.h"
#include "board/BoardStatus.h"
#include "board/PowerOperation.h"
#include "board/PowerProgress.h"
#include "corvid/Sim.h"
#include "plat/Clock.h"
#include "velapi.h"

namespace {

namespace sim = corvid::sim;
using ::testing::ElementsAreArray;

constexpr char kUnit[] = "WATCH";
constexpr int kSlot = 0;  // board k = 0
constexpr std::int64_t kPaceSeconds = 20;

// What the caller saw change: when, and the board's status word and progress code.
struct Change {
  std::int64_t seconds;
  std::uint16_t statusWord;
  std::uint8_t progressCode;
  bool operator==(const Change&) const = default;
};

void PrintTo(const Change& c, std::ostream* os) {
  *os << "+" << c.seconds << "s status " << c.statusWord << " code " << static_cast<int>(c.progressCode);
}

struct WatchCase {
  const char* name;
  board::PowerCommand command;
  std::uint16_t restingStatus;
  bool stall;  // the board stops progressing right after the command
  std::vector<Change> changes;
  board::WatchEnd end;
  std::int64_t polls;
};

const WatchCase kCases[] = {
    {"BootShowsEachChangeAtThePollThatSawIt", board::PowerCommand::Boot, board::kStatusStopped, false,
     {{20, board::kStatusBooting, board::kProgressBootRunning}, {100, board::kStatusOsUp, board::kProgressDone}},
     board::WatchEnd::Finished, 5},
    {"RebootRunsThroughShutdownAndBoot", board::PowerCommand::Reboot, board::kStatusOsUp, false,
     {{20, board::kStatusStopping, board::kProgressRebootShutdownRunning},
      {60, board::kStatusBooting, board::kProgressBootRunning},
      {160, board::kStatusOsUp, board::kProgressDone}},
     board::WatchEnd::Finished, 8},
    {"AStalledBootEndsAtTheFirstPollPastItsLimit", board::PowerCommand::Boot, board::kStatusStopped, true,
     {{20, board::kStatusBooting, board::kProgressBootRunning}}, board::WatchEnd::TimedOut, 1940 / kPaceSeconds},
};

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
  const board::PowerOperation& op = board::PowerOperationOf(c.command);
  plat::ManualClock clock;
  board::ApiFailure failure;
  ASSERT_TRUE(board::SendPowerCommand(op, kSlot, nullptr, &failure)) << failure.call << " " << failure.code;
  if (c.stall) {
    ASSERT_TRUE(sim::InjectBoardFault(kUnit, 0, sim::BoardFault::Stall, 1));
  }

  std::mutex mutex;
  std::condition_variable readingDone;
  std::int64_t readings = 0;
  bool ended = false;
  std::vector<Change> changes;
  board::WatchResult result;
  std::thread watcher([&] {
    const board::WatchResult r = board::WatchPowerOperation(op, kSlot, [&](const board::WatchStep& step) {
      const std::lock_guard lock(mutex);
      ++readings;
      EXPECT_EQ(step.elapsedSeconds, readings * kPaceSeconds) << "one reading per pace, none in between";
      if (step.changed) changes.push_back({step.elapsedSeconds, step.state.statusWord, step.state.progressCode});
      readingDone.notify_all();
    });
    const std::lock_guard lock(mutex);
    result = r;
    ended = true;
    readingDone.notify_all();
  });

  // Each turn: the watcher sleeps out its pace, both clocks move one pace, the watcher reads once.
  const auto hasEnded = [&] {
    const std::lock_guard lock(mutex);
    return ended;
  };
  for (std::int64_t turns = 0; turns <= c.polls && !hasEnded();) {
    if (!clock.WaitForWaiters(1, std::chrono::milliseconds(20))) continue;  // reading or ending
    ASSERT_TRUE(sim::AdvanceTime(kUnit, kPaceSeconds * 1000));
    clock.Advance(std::chrono::seconds(kPaceSeconds));
    ++turns;
    std::unique_lock lock(mutex);
    readingDone.wait(lock, [&] { return readings == turns || ended; });
  }
  watcher.join();

  EXPECT_EQ(result.end, c.end);
  EXPECT_EQ(readings, c.polls);
  EXPECT_THAT(changes, ElementsAreArray(c.changes));
}

std::string CaseName(const ::testing::TestParamInfo<WatchCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(Operations, PowerWatch, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
