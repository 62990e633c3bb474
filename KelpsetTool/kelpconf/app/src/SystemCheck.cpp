#include "app/SystemCheck.h"

#include <sys/utsname.h>

#include <cerrno>
#include <cstdio>

namespace app {

bool IsSupportedRelease(const std::string& release) {
  int nMajor = 0;
  int nMinor = 0;
  if (std::sscanf(release.c_str(), "%d.%d", &nMajor, &nMinor) != 2) return false;
  return nMajor > kMinimumKernelMajor || (nMajor == kMinimumKernelMajor && nMinor >= kMinimumKernelMinor);
}

SystemCheck CheckSystem() {
  SystemCheck check;
  utsname name{};
  if (::uname(&name) != 0) {
    check.error = static_cast<std::uint32_t>(errno);
    return check;
  }
  check.queried = true;
  check.release = name.release;
  check.supported = IsSupportedRelease(check.release);
  return check;
}

}  // namespace app
