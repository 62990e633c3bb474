#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "plat/Event.h"

namespace {

using plat::Clock;
using plat::Event;
using plat::ManualClock;
using plat::Millis;
using namespace std::chrono_literals;

constexpr int kWaiters = 3;

// Real-time polling bound for conditions other threads make true.
bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 2000 && !condition(); ++i) std::this_thread::sleep_for(1ms);
  return condition();
}

// kWaiters threads blocked in Wait, counting how many got through.
struct Waiters {
  explicit Waiters(Event& event) {
    for (int i = 0; i < kWaiters; ++i)
      threads.emplace_back([&] { released += event.Wait() ? 1 : 0; });
  }
  ~Waiters() {
    for (std::thread& t : threads) t.join();
  }
  std::atomic<int> released{0};
  std::vector<std::thread> threads;
};

TEST(Event, InitialStateAndResetModeDecideWhatWaitsSee) {
  const struct {
    Event::ResetMode mode;
    bool initiallySet;
    bool first, second;
  } cases[] = {
      {Event::ResetMode::Manual, true, true, true},
      {Event::ResetMode::Manual, false, false, false},
      {Event::ResetMode::Auto, true, true, false},
      {Event::ResetMode::Auto, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "auto=" << (c.mode == Event::ResetMode::Auto) << " set=" << c.initiallySet);
    Event event(c.mode, c.initiallySet);
    EXPECT_EQ(event.Wait(Millis(0)), c.first);
    EXPECT_EQ(event.Wait(Millis(0)), c.second);
  }
}

TEST(Event, ManualResetReleasesEveryWaiterAndStaysSet) {
  Event event(Event::ResetMode::Manual);
  {
    Waiters waiters(event);
    event.Set();
    EXPECT_TRUE(Eventually([&] { return waiters.released == kWaiters; }));
  }
  EXPECT_TRUE(event.Wait(Millis(0)));
  event.Reset();
  EXPECT_FALSE(event.Wait(Millis(0)));
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
  Event event(Event::ResetMode::Auto);
  Waiters waiters(event);
  for (int expected = 1; expected <= kWaiters; ++expected) {
    event.Set();
    EXPECT_TRUE(Eventually([&] { return waiters.released == expected; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(waiters.released, expected);
  }
  EXPECT_FALSE(event.Wait(Millis(0)));
}

TEST(Event, TimedWaitEndsAtTheManualDeadlineUnlessSetBefore) {
  ManualClock manual;
  Event event(Event::ResetMode::Auto);
  std::atomic<int> outcome{-1};
  std::thread waiter([&] { outcome = event.Wait(Millis(5000)) ? 1 : 0; });
  EXPECT_TRUE(manual.WaitForWaiters(1));
  manual.Advance(Millis(4999));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(outcome, -1);
  manual.Advance(Millis(1));
  waiter.join();
  EXPECT_EQ(outcome, 0);

  std::thread signalled([&] { outcome = event.Wait(Millis(5000)) ? 1 : 0; });
  EXPECT_TRUE(manual.WaitForWaiters(1));
  event.Set();
  signalled.join();
  EXPECT_EQ(outcome, 1);
}

TEST(Event, TimedWaitUnderTheTimeScaleTakesLittleRealTime) {
  Clock::SetTimeScale(0.001);
  Event event(Event::ResetMode::Manual);
  const auto realStart = std::chrono::steady_clock::now();
  const plat::TimePoint start = Clock::Now();
  EXPECT_FALSE(event.Wait(Millis(30000)));
  EXPECT_GE(Clock::Now() - start, Millis(30000));
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 2s);
  Clock::SetTimeScale(1.0);
}

}  // namespace
