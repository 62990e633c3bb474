// The time limits of the settings file, one table over every key the tool reads: a missing key,
// 0 and a negative value mean the key's default; any positive value is taken whole; keys of the
// same name in other sections are not read.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>

#include "TestEnv.h"
#include "board/SettingsLimits.h"

namespace {

using board::kSettingsLimits;
using board::LimitKey;
using board::ReadLimit;
using std::chrono::minutes;

struct ValueCase {
  const char* pszName;
  const char* pszValue;  // null: the key is not in the file
  std::int64_t llMinutes;  // -1: the key's default
};
constexpr ValueCase kValues[] = {
    {"missing", nullptr, -1},     {"zero", "0", -1},          {"negative", "-5", -1},
    {"not a number", "soon", -1}, {"one", "1", 1},            {"ninety", "90", 90},
    {"largest", "2147483647", 2147483647},
};

TEST(SettingsLimits, EveryKeyFollowsOneRule) {
  kelptest::TempDir dir;
  const std::filesystem::path file = dir.path() / "kelpconf.ini";
  for (const LimitKey& key : kSettingsLimits) {
    for (const ValueCase& value : kValues) {
      // Every other limit key holds a value of its own, so a read of the wrong section shows.
      std::map<std::string, std::string> sections;
      for (const LimitKey& other : kSettingsLimits) {
        const bool bSelf = &other == &key;
        if (bSelf && value.pszValue == nullptr) continue;
        sections[other.pszSection] += std::string(other.pszKey) + "=" + (bSelf ? value.pszValue : "4444") + "\n";
      }
      std::string text;
      for (const auto& [section, keys] : sections) text += "[" + section + "]\n" + keys;
      kelptest::WriteFile(file, text);
      const minutes expected(value.llMinutes < 0 ? key.nDefaultMinutes : value.llMinutes);
      EXPECT_EQ(ReadLimit(file, key), expected) << "[" << key.pszSection << "] " << key.pszKey << ": " << value.pszName;
    }
    EXPECT_EQ(ReadLimit(dir.path() / "missing.ini", key), minutes(key.nDefaultMinutes)) << key.pszKey;
  }
}

}  // namespace
