// Board power commands through the array (shutdown, reboot, boot) and the watch that follows a
// board until the command ends: the array is read every 20 seconds (plat::Clock), each change of
// the board's status word or progress code goes to the caller, and the operation's time limit
// ends a watch that runs too long.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "board/ArrayCall.h"

namespace board {

enum class PowerCommand { Shutdown, Reboot, Boot };

struct PowerOperation {
  PowerCommand command;
  const char* name;                   // "shutdown", "reboot", "boot"
  std::uint32_t dwOption;             // dsvp_NasShutdown's command value
  std::int64_t limitSeconds;          // the watch gives up after this long
  std::vector<std::uint8_t> running;  // progress codes that mean "still going"
};

const PowerOperation& PowerOperationOf(PowerCommand command);

struct PowerState {
  std::uint16_t statusWord = 0;   // the array's status word of the board
  std::uint8_t progressCode = 0;  // low four bits of the board's shutdown-status byte
};

// Reads the board's status word and progress code; false with *pFailure when a call fails.
bool ReadPowerState(int slot, PowerState* pState, ApiFailure* pFailure);

// Sends the command to the board. A boot carries pszBootOpt (null: no text at all); the other
// commands carry an empty text.
bool SendPowerCommand(const PowerOperation& op, int slot, const char* pszBootOpt, ApiFailure* pFailure);

enum class WatchEnd {
  Finished,    // progress code 0
  Failed,      // a progress code that is neither running nor done
  TimedOut,    // more than limitSeconds passed and the board still runs
  ReadFailed,  // reading the array failed
};

struct WatchResult {
  WatchEnd end = WatchEnd::Finished;
  std::uint8_t progressCode = 0;  // the last code read
  ApiFailure failure;             // ReadFailed only
};

struct WatchStep {
  std::int64_t elapsedSeconds = 0;  // since the watch began, whole seconds
  PowerState state;
  bool changed = false;  // the first reading, or one that differs from the reading before
};

// Follows the board after its command was accepted: sleeps kCommandPace, reads the board and
// calls onReading (on the watching thread) with the reading, until the board leaves the running
// codes or more than the operation's limit has passed.
WatchResult WatchPowerOperation(const PowerOperation& op, int slot,
                                const std::function<void(const WatchStep&)>& onReading);

}  // namespace board
