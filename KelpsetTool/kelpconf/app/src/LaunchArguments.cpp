#include "app/LaunchArguments.h"

#include <system_error>

#include "common/MessageIds.h"
#include "session/MainSettings.h"

namespace app {
namespace {

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

}  // namespace

LaunchRefusal ParseLaunchArguments(const std::vector<std::string>& words, LaunchArguments* pArguments) {
  if (words.size() != 2 && words.size() != 4) return {msg::kNotStartedByArrayProgram, {}, {}};
  const LaunchRefusal refused{msg::kBadStartupParameter, Joined(words), {}};
  std::string unit;
  std::filesystem::path settings = kDefaultSettingsFile;
  if (words.size() == 2) {
    if (words[0] != "-h") return refused;
    unit = words[1];
  } else if (words[0] == "-h" && words[2] == "-s") {
    unit = words[1];
    settings = words[3];
  } else if (words[0] == "-s" && words[2] == "-h") {
    unit = words[3];
    settings = words[1];
  } else {
    return refused;
  }
  if (unit.size() > kMaxUnitNameSize) return refused;
  if (words.size() == 4) {
    std::error_code ec;
    if (std::filesystem::path full = std::filesystem::absolute(settings, ec); !ec) settings = std::move(full);
    if (const std::string problem = session::SettingsFileProblem(settings); !problem.empty())
      return {refused.messageId, refused.argument, "cannot read the settings file " + settings.string() + ": " + problem};
  }
  pArguments->unitName = unit;
  pArguments->settingsFile = settings;
  return {};
}

}  // namespace app
