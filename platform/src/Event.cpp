#include "plat/Event.h"

namespace plat {

Event::Event(ResetMode mode, bool initiallySet) : m_mode(mode), m_set(initiallySet) {}

void Event::Set() {
  {
    std::lock_guard lock(m_mutex);
    m_set = true;
  }
  // One auto-reset signal releases one waiter; a waiter that times out meanwhile still takes it
  // (its last check runs under the lock), so no signal is lost.
  if (m_mode == ResetMode::Auto)
    m_changed.notify_one();
  else
    m_changed.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(m_mutex);
  m_set = false;
}

bool Event::Wait() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return TakeLocked(); });
  return true;
}

bool Event::Wait(Millis timeout) {
  std::unique_lock lock(m_mutex);
  if (TakeLocked()) return true;
  if (timeout <= Millis::zero()) return false;
  return Clock::WaitUntil(m_changed, lock, Clock::Now() + timeout, [this] { return TakeLocked(); });
}

bool Event::TakeLocked() {
  if (!m_set) return false;
  if (m_mode == ResetMode::Auto) m_set = false;
  return true;
}

}  // namespace plat
