// The board power commands sent through dsvp_NasShutdown, and what the array's progress code
// means while the setup tool watches one of them. The command values, the overall time-outs and
// the progress rows live only here: CusrCHN's operations and kelpctl read them.
#pragma once

#include <cstdint>
#include <span>

#include "board/ArrayCall.h"
#include "nas/ShutdownProgress.h"

namespace board {

// The watched commands. MultiBoot and MultiReboot are the two modes of StartBootReboot (the
// reboot of several boards): no dialog, no messages, their own error words.
enum class PowerCommand { Shutdown, Reboot, Boot, MultiBoot, MultiReboot };

// What a progress code does to the watch.
enum class ProgressEnd { Running, Finished, Failed };

struct ProgressRow {
  int code;              // the progress code; kOtherCode for the row of every other code
  const char* trace;     // trace text; "%s" stands for the mode word of StartBootReboot
  ProgressEnd end;
  std::int32_t status;   // Running: the board's interim status, 0 none
  int wordId;            // Running: the status word shown in the dialog, 0 none
  std::uint32_t messageId;  // Failed: the message shown with the progress byte, 0 none
  std::uint32_t error;   // Failed: the error word given to the caller, 0 untouched
};
inline constexpr int kOtherCode = -1;

struct PowerCommandRow {
  PowerCommand command;
  const char* name;        // "Shutdown": traces "Kelpset Tool Shutdown Timeout" and kelpctl's text
  const char* operation;   // "StartShutdown": traces "StartShutdown() cannot start."
  std::uint32_t dwOption;  // dsvp_NasShutdown's command value
  std::int64_t timeoutSeconds;
  std::int64_t inactiveTimeoutSeconds;  // when the NAS OS runs inactive at the start
  std::span<const ProgressRow> rows;    // the last row is the kOtherCode row
};

const PowerCommandRow& PowerCommandOf(PowerCommand command);
// The row of a progress code (the kOtherCode row when it has none).
const ProgressRow& ProgressRowOf(const PowerCommandRow& command, std::uint8_t code);

// Error words of StartBootReboot and of the watch (besides the array's own codes and
// agent::kResultTimeout).
inline constexpr std::uint32_t kPowerErrorInternal = 0x15;
inline constexpr std::uint32_t kPowerErrorMpBlockade = 0x16;
inline constexpr std::uint32_t kPowerErrorResetOrDump = 0x17;

// Reads the board's byte of the shutdown status (the array indexed by slot); its low four bits
// are the progress code. Traces the call; no retry.
bool ReadShutdownByte(int slot, std::uint8_t* pbyProgress, std::uint32_t* pulError);

}  // namespace board
