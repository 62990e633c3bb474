// An in-process event object, the stand-in for a Win32 event (CreateEvent, SetEvent, ResetEvent,
// WaitForSingleObject).
//
// Manual reset: once set it stays set, releasing every waiter, until Reset. Auto reset: Set
// releases exactly one waiter and the event is reset again; with nobody waiting it stays set
// until the next Wait takes it. Timed waits use logical time (KELP_TIME_SCALE, ManualClock).
// Every member is thread-safe; the object must outlive the waits on it.
#pragma once

#include <condition_variable>
#include <mutex>

#include "plat/Clock.h"

namespace plat {

class Event {
 public:
  enum class ResetMode { Manual, Auto };

  explicit Event(ResetMode mode, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits until signalled; always true.
  bool Wait();
  // Waits at most the logical time-out (0 = just test it): true when signalled, false on time-out.
  // An auto-reset event is taken (reset) by the wait that returns true.
  bool Wait(Millis timeout);

 private:
  bool TakeLocked();

  const ResetMode m_mode;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_set;
};

}  // namespace plat
