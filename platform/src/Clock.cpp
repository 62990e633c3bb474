#include "plat/Clock.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "ManualTime.h"

namespace plat {
namespace {

using std::chrono::steady_clock;
using std::chrono::system_clock;
using RealDuration = std::chrono::nanoseconds;

constexpr RealDuration kFirstBackoff = std::chrono::microseconds(50);
constexpr RealDuration kMaxBackoff = std::chrono::milliseconds(1);
constexpr Millis kLongestStep = std::chrono::hours(24);
// A manual-time waiter re-reads the time at least this often (real time): Advance notifies
// without taking the waiter's mutex, so a notification can slip in just before it blocks.
constexpr RealDuration kManualRecheck = std::chrono::milliseconds(2);

struct ClockState {
  std::mutex mutex;
  std::condition_variable waitersChanged;  // registrations and finished notifications
  bool scaleRead = false;
  double scale = 1.0;
  // Real time maps to logical time as logicalBase + (now - realBase) / scale.
  steady_clock::time_point realBase = steady_clock::now();
  TimePoint logicalBase{std::chrono::duration_cast<Millis>(realBase.time_since_epoch())};
  bool manual = false;
  TimePoint manualNow{};
  system_clock::time_point manualWall{};
  std::vector<std::condition_variable*> waiters;  // threads in a timed wait on manual time
};

ClockState& State() {
  static ClockState state;
  return state;
}

double ScaleLocked(ClockState& s) {
  if (!s.scaleRead) {
    const char* text = std::getenv("KELP_TIME_SCALE");
    s.scale = Clock::ParseTimeScale(text ? text : "");
    s.scaleRead = true;
  }
  return s.scale;
}

TimePoint RealNowLocked(ClockState& s) {
  const double scale = ScaleLocked(s);
  const std::chrono::duration<double, std::milli> real = steady_clock::now() - s.realBase;
  return s.logicalBase + Millis(static_cast<Millis::rep>(real.count() / scale));
}

TimePoint NowLocked(ClockState& s) { return s.manual ? s.manualNow : RealNowLocked(s); }

// Makes the real clock continue from `from`, so logical time never runs backwards.
void RebaseLocked(ClockState& s, TimePoint from) {
  s.realBase = steady_clock::now();
  s.logicalBase = from;
}

// Unlike ToReal, not rounded up: deadlines of waits stay as precise as the scale allows.
RealDuration ExactReal(Millis logical, double scale) {
  if (logical <= Millis::zero()) return RealDuration::zero();
  return std::chrono::duration_cast<RealDuration>(
      std::chrono::duration<double, std::milli>(logical) * scale);
}

// One real wait towards a deadline; waits loop, so capping a step keeps huge time-outs in range.
RealDuration StepTowards(TimePoint deadline, TimePoint now, double scale) {
  return ExactReal(std::min(deadline - now, kLongestStep), scale);
}

struct Snapshot {
  bool manual;
  TimePoint now;
  double scale;
};

Snapshot Take() {
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  return {s.manual, NowLocked(s), ScaleLocked(s)};
}

// Registers a manual-time waiter for its lifetime; Advance notifies its cv. Registered before it
// first reads the time, the waiter cannot miss an Advance that comes later.
class ManualWaitScope {
 public:
  explicit ManualWaitScope(std::condition_variable& cv) : m_cv(cv) {
    ClockState& s = State();
    std::lock_guard guard(s.mutex);
    s.waiters.push_back(&m_cv);
    s.waitersChanged.notify_all();
  }

  ~ManualWaitScope() {
    ClockState& s = State();
    std::lock_guard guard(s.mutex);
    // Several waiters may share one cv: drop one registration only.
    s.waiters.erase(std::find(s.waiters.begin(), s.waiters.end(), &m_cv));
    s.waitersChanged.notify_all();
  }

  ManualWaitScope(const ManualWaitScope&) = delete;
  ManualWaitScope& operator=(const ManualWaitScope&) = delete;

 private:
  std::condition_variable& m_cv;
};

// The manual-time part of WaitUntil: the result, or nullopt when manual time ended meanwhile.
std::optional<bool> WaitManual(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                               TimePoint deadline, const std::function<bool()>& pred) {
  const ManualWaitScope scope(cv);
  for (;;) {
    if (pred()) return true;
    const Snapshot now = Take();
    if (!now.manual) return std::nullopt;
    if (now.now >= deadline) return false;
    cv.wait_for(lock, kManualRecheck);
  }
}

// Caller holds the state's mutex, so no registered cv goes away meanwhile.
void WakeManualWaitersLocked(ClockState& s) {
  for (std::condition_variable* cv : s.waiters) cv->notify_all();
}

}  // namespace

bool ManualTimeRuns() { return Take().manual; }

TimePoint Clock::Now() {
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  return NowLocked(s);
}

system_clock::time_point Clock::WallNow() {
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  return s.manual ? s.manualWall : system_clock::now();
}

void Clock::Sleep(Millis logical) {
  if (logical <= Millis::zero()) return;
  const Snapshot start = Take();
  if (!start.manual) {
    std::this_thread::sleep_for(ToReal(logical));
    return;
  }
  std::mutex mutex;
  std::condition_variable cv;
  std::unique_lock lock(mutex);
  WaitUntil(cv, lock, start.now + logical, [] { return false; });
}

double Clock::TimeScale() {
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  return ScaleLocked(s);
}

void Clock::SetTimeScale(double scale) {
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  if (!s.manual) RebaseLocked(s, RealNowLocked(s));
  s.scale = std::isfinite(scale) && scale > 0 ? scale : 1.0;
  s.scaleRead = true;
}

std::chrono::nanoseconds Clock::ToReal(Millis logical) {
  if (logical <= Millis::zero()) return RealDuration::zero();
  return std::max<RealDuration>(ExactReal(logical, TimeScale()), std::chrono::milliseconds(1));
}

double Clock::ParseTimeScale(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) ||
      value <= 0)
    return 1.0;
  return value;
}

bool Clock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                      TimePoint deadline, const std::function<bool()>& pred) {
  for (;;) {
    if (pred()) return true;
    const Snapshot now = Take();
    if (now.now >= deadline) return false;
    if (now.manual) {
      if (const std::optional<bool> result = WaitManual(cv, lock, deadline, pred)) return *result;
      continue;
    }
    cv.wait_for(lock, StepTowards(deadline, now.now, now.scale));
  }
}

bool Clock::PollUntil(TimePoint deadline, const std::function<bool()>& attempt) {
  std::mutex mutex;
  std::condition_variable cv;
  std::unique_lock lock(mutex);
  std::optional<ManualWaitScope> scope;
  RealDuration backoff = kFirstBackoff;
  for (;;) {
    if (attempt()) return true;
    const Snapshot now = Take();
    if (now.now >= deadline) return false;
    if (now.manual) {
      if (!scope) scope.emplace(cv);
      cv.wait_for(lock, backoff);
    } else {
      scope.reset();
      cv.wait_for(lock, std::min(backoff, StepTowards(deadline, now.now, now.scale)));
    }
    backoff = std::min(backoff * 2, kMaxBackoff);
  }
}

ManualClock::ManualClock(system_clock::time_point wallStart) {
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  assert(!s.manual && "only one ManualClock may exist at a time");
  s.manualNow = RealNowLocked(s);
  s.manualWall = wallStart;
  s.manual = true;
}

ManualClock::~ManualClock() {
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  RebaseLocked(s, s.manualNow);
  s.manual = false;
  WakeManualWaitersLocked(s);
}

void ManualClock::Advance(Millis by) {
  if (by <= Millis::zero()) return;
  ClockState& s = State();
  std::lock_guard guard(s.mutex);
  s.manualNow += by;
  s.manualWall += by;
  WakeManualWaitersLocked(s);
}

bool ManualClock::WaitForWaiters(std::size_t count, Millis realLimit) const {
  ClockState& s = State();
  std::unique_lock guard(s.mutex);
  return s.waitersChanged.wait_for(guard, realLimit, [&] { return s.waiters.size() >= count; });
}

}  // namespace plat
