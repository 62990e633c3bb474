// One setup tool per machine: the named mutex "kelpconf", held from start-up to exit (kelpftpd
// also ends once it can take it). The running tool publishes its main window title and a raise
// socket in the runtime dir, so that a second start for the same unit brings that window to the
// front instead of showing anything; a start for another unit is refused with message 4006.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "plat/Clock.h"
#include "plat/NamedMutex.h"
#include "plat/Socket.h"

namespace app {

inline constexpr const char* kInstanceMutexName = "kelpconf";
inline constexpr plat::Millis kInstanceWait{1000};

class InstanceGuard {
 public:
  enum class Outcome {
    First,          // this process is the tool now
    RaisedOther,    // the tool runs for the same unit and was asked to come to the front
    OtherUnit,      // the tool runs for another unit (or its window was not found)
  };

  InstanceGuard();
  ~InstanceGuard();  // stops publishing and releases the mutex
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  // Takes the mutex (waiting up to kInstanceWait) or looks for the running tool's window titled
  // title.
  Outcome Acquire(const std::string& title);
  // Once the main window is up: publishes its title and calls raise (on a thread of the guard)
  // whenever a second start asks for it.
  void Publish(const std::string& title, std::function<void()> raise);

 private:
  void Serve();

  plat::NamedMutex m_mutex{kInstanceMutexName};
  bool m_bOwned = false;
  plat::UniqueFd m_listen;
  plat::UniqueFd m_stop[2];
  std::function<void()> m_raise;
  std::thread m_thread;
};

}  // namespace app
