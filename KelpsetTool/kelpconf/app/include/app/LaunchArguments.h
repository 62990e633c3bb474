// The setup tool's command line: exactly "-h UNIT" or "-h UNIT -s FILE" (either order), each
// option and value a word of its own. The program's own name is not part of words.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace app {

inline constexpr std::size_t kMaxUnitNameSize = 64;
inline constexpr const char* kDefaultSettingsFile = "./kelpconf.ini";

struct LaunchArguments {
  std::string unitName;
  std::filesystem::path settingsFile;  // the absolute path when given, else "./kelpconf.ini"
};

// The refusal of a command line: the message to show and its argument; messageId 0 = accepted.
struct LaunchRefusal {
  std::uint32_t messageId = 0;
  std::string argument;
  // What the message cannot say, for standard error ("" when the message says it all): the
  // settings file named by its full path, and why it cannot be read.
  std::string reason;
};

// Checks the words: a count other than 2 or 4 is message 4002; wrong option words, a settings
// file that cannot be read (SettingsFileProblem), or a unit name longer than 64 bytes are message
// 3501 with the whole command line as argument.
LaunchRefusal ParseLaunchArguments(const std::vector<std::string>& words, LaunchArguments* pArguments);

}  // namespace app
