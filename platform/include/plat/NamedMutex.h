// A mutex known by name to every thread and process of the machine (the user's runtime dir).
//
// Exclusive across threads and processes; recursive for the owning thread (each Lock needs its
// Unlock, and only the owning thread can Unlock). It is a process-shared, robust, recursive
// pthread mutex kept in the file "<runtime dir>/<escaped name>.mutex", which every user maps
// shared, so an uncontended Lock/Unlock pair makes no system call. The first user of a new file
// initialises it under an flock on the file; a file of the wrong size or without the ready mark is
// made over under that flock, never one in use. When the owning thread ends, or its process dies,
// without releasing the mutex, the next taker gets it and is told Abandoned, as with a Win32
// mutex (IsBusy may find such a mutex free; the next taker is still told).
//
// Objects are cheap handles: handles with the same name in one process share one state, and the
// file stays mapped for the rest of the process once used. Names may hold any characters (they
// are escaped for the file name). The runtime dir is read when the handle is made; while it or
// the file cannot be used, Lock returns Failed. Lock without time-out sleeps in the kernel; with a
// time-out it polls (backing off up to 1 ms) so that scaled and manual time are honoured. A child
// made by fork (without exec) owns nothing: what the parent's threads own stays theirs.
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
  Failed,     // the mutex file could not be created or mapped
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
