// Time for all logic: monotonic time, sleeps and timed waits, scaled by KELP_TIME_SCALE.
//
// The real clock runs at speed. KELP_TIME_SCALE (a positive number, e.g. 0.001) shrinks every
// sleep, time-out and elapsed-time reading by that factor: with 0.001 a 20-second pacing takes
// 20 ms of real time, while Now() advances 20 logical seconds. Unset, empty, non-numeric or
// non-positive values mean 1. The scale is read once per process (SetTimeScale overrides it).
//
// A manual clock replaces the real one for deterministic tests: time then moves only through
// Advance(), and sleeps/timed waits return once the manual time reaches their deadline.
//
// Every function is thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

namespace plat {

using Millis = std::chrono::milliseconds;
// Logical monotonic time since an arbitrary epoch, in logical milliseconds.
using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Millis>;

class Clock {
 public:
  // Logical monotonic time (scaled). Stays monotonic across SetTimeScale and the end of a
  // manual clock.
  static TimePoint Now();
  // Real wall-clock time, never scaled (timestamps in logs, file dates). Under a manual clock
  // it is the manual clock's wall time.
  static std::chrono::system_clock::time_point WallNow();
  // Sleeps for a logical duration (real duration x scale).
  static void Sleep(Millis logical);
  // The scale in force.
  static double TimeScale();
  // Overrides the scale for this process (tests); <= 0 restores 1.
  static void SetTimeScale(double scale);
  // Converts a logical duration to the real duration to wait (at least 1 ms when logical > 0).
  static std::chrono::nanoseconds ToReal(Millis logical);
  // The KELP_TIME_SCALE rule: the scale a text stands for (1 unless a finite positive number).
  static double ParseTimeScale(std::string_view text);

  // std::condition_variable::wait_until on logical time: waits on cv, whose mutex the caller
  // holds through lock, until pred() holds or the deadline passes, and returns the last pred().
  // Whoever makes pred true notifies cv. pred runs with the lock held.
  static bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                        TimePoint deadline, const std::function<bool()>& pred);
  // For conditions nobody signals (a file lock, a child process, a descriptor): calls attempt
  // until it returns true or the deadline passes, sleeping between tries with a real-time
  // backoff from 50 us up to 1 ms; a try is made at or after the deadline before giving up.
  // Returns whether an attempt succeeded.
  static bool PollUntil(TimePoint deadline, const std::function<bool()>& attempt);
};

// While alive, Clock runs on manual time starting at the given wall time; destroyed, the real
// clock is back (continuing from the manual time). Only one may exist at a time.
class ManualClock {
 public:
  explicit ManualClock(
      std::chrono::system_clock::time_point wallStart = std::chrono::system_clock::time_point{});
  ~ManualClock();
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  // Moves logical and wall time forward and wakes every sleeper and timed waiter whose deadline
  // has come.
  void Advance(Millis by);
  // Blocks for at most realLimit of real time until at least count threads are in a timed wait
  // on manual time (Sleep, WaitUntil, PollUntil and what is built on them), so that a test
  // advances only after its waiters took their deadlines. False when the limit passed first.
  bool WaitForWaiters(std::size_t count, Millis realLimit = std::chrono::seconds(10)) const;
};

}  // namespace plat
