// The dialog that started a board power operation: it shows the board's interim status word
// while the operation watches the board ("BOOT", "SHUTDOWN", "DOWN").
#pragma once

#include <cstdint>

namespace board {

class PowerDialog {
 public:
  virtual ~PowerDialog() = default;
  // Called on the operation's worker thread: the implementation posts to its UI thread.
  // nStatus is the board status reached, nStatusWordId the string resource of its word.
  virtual void ShowPowerStatus(std::int32_t nStatus, int nStatusWordId) = 0;
};

}  // namespace board
