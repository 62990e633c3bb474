// Whether the machine can run the setup tool: a Linux kernel of at least kMinimumKernel.
#pragma once

#include <cstdint>
#include <string>

namespace app {

inline constexpr int kMinimumKernelMajor = 3;
inline constexpr int kMinimumKernelMinor = 10;

struct SystemCheck {
  bool queried = false;       // uname succeeded
  std::uint32_t error = 0;    // errno of a failed query
  bool supported = false;
  std::string release;        // the kernel release text
};

SystemCheck CheckSystem();
// The rule on a release text ("6.1.0-18-amd64"): major.minor at least the minimum.
bool IsSupportedRelease(const std::string& release);

}  // namespace app
