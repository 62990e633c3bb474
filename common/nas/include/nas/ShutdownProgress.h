// Progress codes of a board's power command: the low four bits of the board's byte in the
// array's shutdown status (A8), handed on by dsvp_NasGetShutdownStatusEx. The simulated array
// reports them and the tools read them. Header-only.
#pragma once

#include <cstdint>

namespace nas {

enum ShutdownProgress : std::uint8_t {
  kProgressDone = 0,
  kProgressShutdownRunning = 1,
  kProgressShutdownTimeout = 3,
  kProgressBootRunning = 4,
  kProgressRebootShutdownRunning = 5,
  kProgressRebootShutdownTimeout = 7,
  kProgressBootTimeout = 12,
  kProgressBootTimeoutNoDump = 14,
};

inline constexpr std::uint8_t kProgressCodeMask = 0x0F;

}  // namespace nas
