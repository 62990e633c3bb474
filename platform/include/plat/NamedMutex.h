// A mutex known by name to every thread and process of the machine (the user's runtime dir).
//
// Exclusive across threads and processes; recursive for the owning thread (each Lock needs its
// Unlock, and only the owning thread can Unlock). Backed by a lock file
// "<runtime dir>/<escaped name>.lock" held with flock, plus in-process bookkeeping so threads of
// one process exclude each other too. While held, the file records the owner's pid. When the
// owning process dies the kernel drops its flock: the next taker finds the pid still recorded,
// gets the mutex and is told Abandoned, as with a Win32 mutex whose owner ended without
// releasing it. A thread that ends while owning it (without its process ending) leaves it owned.
//
// Objects are cheap handles: two NamedMutex objects with the same name in one process share
// one state, which keeps the lock file open while any handle exists or the mutex is held, so an
// uncontended Lock/Unlock pair costs two flock calls. Names may hold any characters (they are
// escaped for the file name). The runtime dir is read when the handle is made; if it cannot be
// used, every Lock returns Failed. A child made by fork (without exec) starts with no ownership.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plat/Clock.h"

namespace plat {

enum class LockResult {
  Acquired,   // the caller owns the mutex now
  Abandoned,  // owned now; the previous owner died holding it
  Timeout,    // not acquired within the time-out
  Failed,     // the lock file could not be created or locked
};

const char* ToText(LockResult result);

class NamedMutex {
 public:
  explicit NamedMutex(std::string name);
  ~NamedMutex();  // releases nothing: a lock still held stays held by its thread
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  const std::string& Name() const;

  // Waits without time-out.
  LockResult Lock();
  // Waits at most the given logical time (scaled by KELP_TIME_SCALE); 0 = try once.
  LockResult Lock(Millis timeout);
  // One attempt, no wait: true when now owned (Acquired or Abandoned).
  bool TryLock();
  // Releases one level of ownership held by the calling thread; false if it does not own it.
  bool Unlock();
  // True while another thread or process owns the mutex (the calling thread's own lock is not
  // "busy" for it).
  bool IsBusy() const;
  // True when the calling thread owns it.
  bool IsOwnedByCaller() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> m_shared;
};

// Scoped ownership: locks in the constructor (without time-out), unlocks in the destructor if
// the lock was obtained.
class NamedMutexLock {
 public:
  explicit NamedMutexLock(NamedMutex& mutex) : m_mutex(mutex), m_result(mutex.Lock()) {}
  ~NamedMutexLock() {
    if (owns()) m_mutex.Unlock();
  }
  NamedMutexLock(const NamedMutexLock&) = delete;
  NamedMutexLock& operator=(const NamedMutexLock&) = delete;

  bool owns() const {
    return m_result == LockResult::Acquired || m_result == LockResult::Abandoned;
  }
  LockResult result() const { return m_result; }

 private:
  NamedMutex& m_mutex;
  LockResult m_result;
};

}  // namespace plat
