// The agent port the board layer uses, read from the settings file (kelpftpd's port is
// common/FileServerPort.h's). A missing file, section or key falls through to the next source;
// names match case-insensitively.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace board {

// The port of a board's agent: key Port of the section named after the board's location name,
// else Port of [MainService], else the agent's default port.
std::uint32_t ResolveAgentPort(const std::string& location, const std::filesystem::path& settingsFile);

}  // namespace board
