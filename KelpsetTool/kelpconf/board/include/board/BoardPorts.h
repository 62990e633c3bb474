// The TCP ports the board layer uses, read from the settings file. A missing file, section or
// key falls through to the next source; names match case-insensitively.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/FileServerPort.h"

namespace board {

// The port of a board's agent: key Port of the section named after the board's location name,
// else Port of [MainService], else the agent's default port.
std::uint32_t ResolveAgentPort(const std::string& location, const std::filesystem::path& settingsFile);

// The port of kelpftpd, from which the boards fetch files (common::ReadFileServerPort).
inline int ResolveFileServerPort(const std::filesystem::path& settingsFile) {
  return common::ReadFileServerPort(settingsFile).port;
}

}  // namespace board
