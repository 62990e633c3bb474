// The port kelpftpd listens on, as kelpftpd, kelpconf and kelpctl read it from the settings file.
#pragma once

#include <filesystem>

namespace common {

inline constexpr int kDefaultFileServerPort = 20266;

struct FileServerPort {
  int port = kDefaultFileServerPort;
  bool zeroGiven = false;  // the file names port 0, which kelpftpd reports as a bad setting
};

// Key Port of section [FtpService]. A missing file, section or key gives the default port, and
// so does 0.
FileServerPort ReadFileServerPort(const std::filesystem::path& settingsFile);

}  // namespace common
