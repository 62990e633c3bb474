// Starts kelpftpd as the setup tool's child and waits for its handshake on the sync pipe:
// listen on the pipe first, start "kelpftpd SETTINGS O1 O2 O3 O4" (argv, no quoting), accept its
// connection and read one message of at most 63 bytes, which must begin with "KELPFTPD OK".
// Each wait is bounded (logical time) and ends early when the child exits.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "plat/Clock.h"
#include "plat/Process.h"

namespace session {

inline constexpr plat::Millis kFtpdHandshakeLimit{60'000};
inline constexpr std::string_view kFtpdReady = "KELPFTPD OK";

struct FtpdStart {
  bool ok = false;
  // The failing step as traced: "CreateNamedPipe", "CreateProcess", "ConnectNamedPipe",
  // "ReadFile" or "memcmp"; empty on success.
  std::string failedStep;
  std::string detail;  // why, for the trace
};

// child is started (and left running on failure, for its owner to end).
FtpdStart StartFtpd(const std::string& ftpdPath, const std::filesystem::path& settingsFile,
                    const std::array<std::uint8_t, 4>& svpAddress, plat::Process* pChild,
                    plat::Millis limit = kFtpdHandshakeLimit);

}  // namespace session
