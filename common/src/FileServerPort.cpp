#include "common/FileServerPort.h"

#include "plat/Profile.h"

namespace common {

FileServerPort ReadFileServerPort(const std::filesystem::path& settingsFile) {
  const int nPort =
      static_cast<int>(plat::GetPrivateProfileInt("FtpService", "Port", kDefaultFileServerPort, settingsFile));
  if (nPort == 0) return {kDefaultFileServerPort, true};
  return {nPort, false};
}

}  // namespace common
