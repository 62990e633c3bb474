#include "board/SettingsLimits.h"

#include <cstdint>

#include "plat/Profile.h"

namespace board {

std::chrono::seconds ReadLimit(const std::filesystem::path& settingsFile, const LimitKey& key) {
  const auto nMinutes = static_cast<int>(
      plat::GetPrivateProfileInt(key.pszSection, key.pszKey, key.nDefaultMinutes, settingsFile));
  const std::int64_t llMinutes = nMinutes > 0 ? nMinutes : key.nDefaultMinutes;
  return std::chrono::minutes(llMinutes);
}

}  // namespace board
