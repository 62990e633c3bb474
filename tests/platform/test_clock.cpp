#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "plat/Clock.h"

namespace {

using plat::Clock;
using plat::ManualClock;
using plat::Millis;
using namespace std::chrono_literals;

// Every test leaves the process on the real clock at scale 1.
class ClockTest : public ::testing::Test {
 protected:
  void TearDown() override { Clock::SetTimeScale(1.0); }
};

TEST(ClockScale, ParsesOnlyFinitePositiveNumbers) {
  const struct {
    const char* text;
    double scale;
  } cases[] = {
      {"", 1.0},   {"0.001", 0.001}, {" 0.5 ", 0.5}, {"2", 2.0},   {"1e-3", 0.001}, {"abc", 1.0},
      {"-1", 1.0}, {"0", 1.0},       {"0.1x", 1.0},  {"inf", 1.0}, {"nan", 1.0},    {"0,001", 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(Clock::ParseTimeScale(c.text), c.scale);
  }
}

TEST_F(ClockTest, ToRealScalesAndRoundsUpToOneMillisecond) {
  Clock::SetTimeScale(0.001);
  EXPECT_EQ(Clock::ToReal(Millis(20000)), 20ms);
  EXPECT_EQ(Clock::ToReal(Millis(10)), 1ms);
  EXPECT_EQ(Clock::ToReal(Millis(0)), 0ms);
  Clock::SetTimeScale(-1);
  EXPECT_EQ(Clock::TimeScale(), 1.0);
  EXPECT_EQ(Clock::ToReal(Millis(250)), 250ms);
}

TEST_F(ClockTest, ScaledSleepIsShortInRealTimeAndFullInLogicalTime) {
  Clock::SetTimeScale(0.001);
  const auto realStart = std::chrono::steady_clock::now();
  const plat::TimePoint start = Clock::Now();
  Clock::Sleep(Millis(20000));
  EXPECT_GE(Clock::Now() - start, Millis(20000));
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 2s);
}

TEST_F(ClockTest, ChangingTheScaleKeepsTimeMonotonic) {
  Clock::SetTimeScale(0.001);
  std::this_thread::sleep_for(5ms);
  const plat::TimePoint fast = Clock::Now();
  Clock::SetTimeScale(1.0);
  EXPECT_GE(Clock::Now(), fast);
}

TEST_F(ClockTest, ManualTimeMovesOnlyThroughAdvanceAndWakesSleepersAtTheirDeadline) {
  const auto wallStart =
      std::chrono::system_clock::time_point{} + std::chrono::hours(24 * 365 * 30);
  ManualClock manual(wallStart);
  const plat::TimePoint start = Clock::Now();
  std::atomic<bool> woke{false};
  std::thread sleeper([&] {
    Clock::Sleep(Millis(20000));
    woke = true;
  });
  EXPECT_TRUE(manual.WaitForWaiters(1));
  manual.Advance(Millis(19999));
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(woke);
  EXPECT_EQ(Clock::Now() - start, Millis(19999));
  manual.Advance(Millis(1));
  sleeper.join();
  EXPECT_TRUE(woke);
  EXPECT_EQ(Clock::WallNow() - wallStart, 20s);
}

TEST_F(ClockTest, WaitersContinueOnRealTimeWhenTheManualClockEnds) {
  Clock::SetTimeScale(0.001);
  std::optional<ManualClock> manual(std::in_place);
  std::thread sleeper([] { Clock::Sleep(Millis(5000)); });
  EXPECT_TRUE(manual->WaitForWaiters(1));
  manual.reset();
  sleeper.join();
}

}  // namespace
