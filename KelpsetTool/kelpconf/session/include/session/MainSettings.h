// The [MainService] and [FtpService] values the setup tool reads at start-up (the trace keys are
// read by ReadTraceSettings). A missing file or key means the default; packaging/kelpconf.ini is
// the commented example of every key.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace session {

inline constexpr std::size_t kMaxFtpdPathSize = 259;
inline constexpr int kDefaultRefreshSeconds = 20;
inline constexpr int kMaxRefreshSeconds = 3600;

struct MainSettings {
  std::string ftpdPath;        // kelpftpd_path; default: "kelpftpd" beside the program
  bool ftpdPathTooLong = false;  // longer than 259 characters: the tool refuses to start it
  int agentPort = 0;           // Port; default 20265
  int ftpPort = 0;             // [FtpService] Port; 0 or missing means 20266
  bool detailedVersions = false;  // ProgramVersion is exactly "Detail"
  // RefreshTime in seconds: below 0 gives 20, above 3600 gives 3600, 0 checks continuously.
  int refreshSeconds = kDefaultRefreshSeconds;
  // Target: the slot for the array-wide LU recovery, -1 to let the tool choose; values outside
  // 0..15 are taken as -1 (targetOutOfRange tells the caller to trace it).
  int target = -1;
  bool targetOutOfRange = false;
  int dhcpStartAddress = 240;  // DHCP_StartAddress
  std::string installFiles;    // [FtpService] Install_files
  // Why the file cannot be read, "" when it can: every key then has its default, which the
  // engineer must be told, since nothing else shows it.
  std::string fileProblem;
};

// Why settingsFile cannot be read as a settings file (the system's words for the error), "" when
// it can: a missing or unreadable file reads as empty, so a reader cannot tell it apart.
std::string SettingsFileProblem(const std::filesystem::path& settingsFile);

MainSettings ReadMainSettings(const std::filesystem::path& settingsFile);

}  // namespace session
