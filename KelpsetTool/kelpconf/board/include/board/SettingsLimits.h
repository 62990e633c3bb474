// The time limits of the settings file: every "Timeout" key of a section, in minutes. One rule
// for all of them: a missing key, 0 or a negative value means the key's default, so that no
// limit can be one that has passed before its first poll.
#pragma once

#include <chrono>
#include <filesystem>

namespace board {

struct LimitKey {
  const char* pszSection;
  const char* pszKey;
  int nDefaultMinutes;
};

inline constexpr LimitKey kDumpDownloadLimit{"Dump", "Timeout", 30};
inline constexpr LimitKey kCmLuStopLimit{"Restore NAS CM LU", "StopTimeout", 60};
inline constexpr LimitKey kCmLuRestoreLimit{"Restore NAS CM LU", "RestoreTimeout", 60};
inline constexpr LimitKey kCmLuInitLimit{"Restore NAS CM LU", "InitTimeout", 30};
inline constexpr LimitKey kOsLuRestoreLimit{"Restore NAS OS LU", "RestoreTimeout", 60};
inline constexpr LimitKey kSystemLuExtractLimit{"Restore NAS All System LU", "ExpendingTimeout", 30};
inline constexpr LimitKey kSystemLuRestoreLimit{"Restore NAS All System LU", "RestoreTimeout", 30};

// Every limit key the tool reads.
inline constexpr LimitKey kSettingsLimits[] = {kDumpDownloadLimit, kCmLuStopLimit,        kCmLuRestoreLimit,
                                               kCmLuInitLimit,     kOsLuRestoreLimit,     kSystemLuExtractLimit,
                                               kSystemLuRestoreLimit};
// The limit of key in settingsFile (a missing file: every default). Any positive value the file
// can hold is taken whole; the arithmetic is 64-bit.
std::chrono::seconds ReadLimit(const std::filesystem::path& settingsFile, const LimitKey& key);

}  // namespace board
