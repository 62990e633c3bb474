// What the status poller needs from the window that runs it. The main dialog implements it;
// kelpctl and tests give stand-ins. Every call may come from the poller's thread: the
// implementation brings UI effects to the UI thread itself.
#pragma once

#include <cstdint>
#include <functional>

#include "plat/Clock.h"

namespace board {

class MainDialogLink {
 public:
  virtual ~MainDialogLink() = default;

  // A board's agent is newer than the tool: sets the newer-agent flag and disables every
  // function button. True only for the call that set the flag.
  virtual bool MarkNewerAgent() = 0;
  // The status poller ended: posts the end message to the main window. False when it could
  // not be posted.
  virtual bool PostAgentFinished() = 0;
  // Called on the UI thread: waits until done() holds or the logical time-out passes, keeping
  // the window responsive meanwhile. Returns done(). The default only waits.
  virtual bool WaitPumping(const std::function<bool()>& done, plat::Millis timeout) {
    return plat::Clock::PollUntil(plat::Clock::Now() + timeout, done);
  }
};

}  // namespace board
