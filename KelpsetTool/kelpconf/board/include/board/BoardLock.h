// The lock of one board slot and the pacing of the array commands sent to that board.
//
// The lock is the named mutex "__kelp_sos_timer_mutex_<slot>__", so it holds across the threads
// of the tool and across processes. An operation holds it while it drives the board; the status
// poller leaves a board's status alone while someone else holds it. Pacing keeps any two array
// commands to one board at least kPace apart: Pace sleeps until kPace has passed since the last
// Stamp. Times are logical and monotonic (plat::Clock), so KELP_TIME_SCALE shrinks the waits.
// Every member is thread-safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "plat/Clock.h"
#include "plat/NamedMutex.h"

namespace board {

class BoardLock {
 public:
  static constexpr plat::Millis kPace{20'000};

  explicit BoardLock(std::uint32_t ulSlot);
  BoardLock(const BoardLock&) = delete;
  BoardLock& operator=(const BoardLock&) = delete;

  // The mutex name of a slot.
  static std::string NameOf(std::uint32_t ulSlot);

  // Waits for the mutex without limit, then paces. True when held.
  bool Lock();
  // Waits at most the logical time-out, then paces. True when held.
  bool Lock(plat::Millis timeout);
  // Paces without the mutex, so that the status poller still reads the board meanwhile; then
  // waits for the mutex without limit and paces again, which only sleeps when another command
  // went to the board in between. True when held.
  bool LockAfterPace();
  // Waits without limit; no pacing.
  bool LockWithoutPacing();
  // Takes the mutex only if it is free at once.
  bool TryLock();
  // True while another thread or process holds the mutex.
  bool IsBusy() const;
  // Records now as the time of the last array command.
  void Stamp();
  // Sleeps until kPace has passed since the last Stamp (not at all before the first one).
  void Pace() const;
  void UnlockAndStamp();
  void Unlock();
  const std::string& Name() const { return m_mutex.Name(); }

 private:
  static constexpr std::int64_t kNeverStamped = INT64_MIN;

  plat::NamedMutex m_mutex;
  std::atomic<std::int64_t> m_lastCommandMs{kNeverStamped};  // logical ms since the clock's epoch
};

}  // namespace board
