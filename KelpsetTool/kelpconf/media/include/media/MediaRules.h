// The rules of the installation medium's texts, shared by the catalogue, the configuration
// dialog and kelpctl: version texts, install time-outs, product file names, the display of
// versions and the order of a catalogue list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/ProductChecks.h"
#include "board/ProductRecord.h"

namespace media {

// The version texts are the product record's rules (board/ProductChecks.h); the medium's
// catalogue reads them under its own name too.
using board::IsValidVersion;
using board::kPatchVersion;

// Install time-outs accepted, in minutes (one day at most).
inline constexpr std::uint32_t kMinTimeoutMinutes = 1;
inline constexpr std::uint32_t kMaxTimeoutMinutes = 1440;

// A Timeout value in minutes: decimal digits only, read with saturation (no overflow however
// long), accepted within kMinTimeoutMinutes..kMaxTimeoutMinutes. Empty otherwise.
std::optional<std::uint32_t> ParseTimeoutMinutes(std::string_view text);

// A File value that stays inside the product folder: not empty, not absolute (no leading '/'
// or '\', no drive letter) and without a ".." component ('/' and '\' both separate).
bool IsSafeProductFileName(std::string_view file);

// The version as the installation dialogs show it: unchanged when detailed, else the text before
// its third '-' ("04-00-00-00" shows "04-00-00"); fewer than three '-': unchanged.
std::string GetVersionString(const std::string& strVersion, bool bDetailed);

// Inserts record before the first one whose description file name is greater (byte-wise), else
// at the end: the list stays ordered by description file name, equal names in arrival order.
void InsertByEnvFileName(std::vector<board::ProductRecord>& list, board::ProductRecord record);

}  // namespace media
