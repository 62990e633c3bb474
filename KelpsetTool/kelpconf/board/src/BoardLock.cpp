#include "board/BoardLock.h"

#include <algorithm>
#include <cstdio>

#include "common/StringIds.h"
#include "common/Strings.h"

namespace board {
namespace {

bool Held(plat::LockResult result) {
  return result == plat::LockResult::Acquired || result == plat::LockResult::Abandoned;
}

}  // namespace

BoardLock::BoardLock(std::uint32_t ulSlot) : m_mutex(NameOf(ulSlot)) {}

std::string BoardLock::NameOf(std::uint32_t ulSlot) {
  // String resource 600 is the name's format, "__kelp_sos_timer_mutex_%d__".
  const std::string strFormat = LoadString(str::kLockName);
  std::string name(strFormat.size() + 16, '\0');
  const int n = std::snprintf(name.data(), name.size(), strFormat.c_str(), static_cast<int>(ulSlot));
  name.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return name;
}

bool BoardLock::Lock() {
  if (!Held(m_mutex.Lock())) return false;
  Pace();
  return true;
}

bool BoardLock::Lock(plat::Millis timeout) {
  if (!Held(m_mutex.Lock(timeout))) return false;
  Pace();
  return true;
}

bool BoardLock::LockAfterPace() {
  Pace();
  return Lock();
}

bool BoardLock::LockWithoutPacing() { return Held(m_mutex.Lock()); }

bool BoardLock::TryLock() { return m_mutex.TryLock(); }

bool BoardLock::IsBusy() const { return m_mutex.IsBusy(); }

void BoardLock::Stamp() {
  m_lastCommandMs.store(plat::Clock::Now().time_since_epoch().count(), std::memory_order_release);
}

void BoardLock::Pace() const {
  const std::int64_t last = m_lastCommandMs.load(std::memory_order_acquire);
  if (last == kNeverStamped) return;
  const plat::Millis elapsed = plat::Clock::Now().time_since_epoch() - plat::Millis(last);
  const plat::Millis wait = std::clamp(kPace - elapsed, plat::Millis(0), kPace);
  if (wait.count() > 0) plat::Clock::Sleep(wait);
}

void BoardLock::UnlockAndStamp() {
  Stamp();
  Unlock();
}

void BoardLock::Unlock() { m_mutex.Unlock(); }

}  // namespace board
