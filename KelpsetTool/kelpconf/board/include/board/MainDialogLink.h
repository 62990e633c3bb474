// What the board layer needs from the main window. The main dialog implements it; tests give a
// recording stand-in. Every call may come from any thread (the status poller, operation
// workers): the implementation brings UI effects to the UI thread itself.
#pragma once

#include <cstdint>
#include <functional>

#include "plat/Clock.h"

namespace board {

class MainDialogLink {
 public:
  virtual ~MainDialogLink() = default;

  // Lays out the main window for the array model word; false for a word it does not know.
  virtual bool OnInitDialogW(std::uint32_t ulModel) = 0;
  // The board's status changed: refresh its caption, re-apply the button rules for the selected
  // board and repaint.
  virtual void RefreshBoard(std::uint32_t ulSlot) = 0;
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
