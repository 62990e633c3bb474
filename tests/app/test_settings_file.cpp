// The settings file as a new engineer meets it: a file that cannot be read is named with the
// system's reason; the commented example (packaging/kelpconf.ini) holds exactly the keys the
// README's tables list, and its values are the defaults the tool reads from no file at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "app/LaunchArguments.h"
#include "board/SettingsLimits.h"
#include "common/MessageIds.h"
#include "common/TraceSettings.h"
#include "plat/Profile.h"
#include "session/MainSettings.h"

namespace fs = std::filesystem;

namespace {

using ::testing::IsEmpty;

using KeysBySection = std::map<std::string, std::set<std::string>>;

std::vector<std::string> FileLines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct ProblemCase {
  const char* pszName;
  std::function<fs::path(const fs::path& dir)> make;  // the file to name, made in dir
  const char* pszProblem;                               // "" when it can be read
};

const ProblemCase kProblems[] = {
    {"Readable",
     [](const fs::path& dir) {
       kelptest::WriteFile(dir / "k.ini", "[MainService]\n");
       return dir / "k.ini";
     },
     ""},
    {"Missing", [](const fs::path& dir) { return dir / "none.ini"; }, "No such file or directory"},
    {"MissingFolder", [](const fs::path& dir) { return dir / "none" / "k.ini"; }, "No such file or directory"},
    {"Folder",
     [](const fs::path& dir) {
       fs::create_directory(dir / "k.ini");
       return dir / "k.ini";
     },
     "Is a directory"},
    {"Fifo",
     [](const fs::path& dir) {
       EXPECT_EQ(::mkfifo((dir / "k.ini").c_str(), 0600), 0);
       return dir / "k.ini";
     },
     "not a regular file"},
    {"Unreadable",
     [](const fs::path& dir) {
       kelptest::WriteFile(dir / "k.ini", "[MainService]\n");
       fs::permissions(dir / "k.ini", fs::perms::owner_write);
       return dir / "k.ini";
     },
     "Permission denied"},
};

class SettingsFileProblem : public ::testing::TestWithParam<ProblemCase> {};

// The reason reaches the engineer twice: a -s file is refused with it (3501), and a file read
// anyway (the default ./kelpconf.ini) carries it in the settings for the trace.
TEST_P(SettingsFileProblem, NamesTheFileAndTheReason) {
  const ProblemCase& c = GetParam();
  if (c.pszName == std::string("Unreadable") && ::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  kelptest::TempDir dir;
  const fs::path file = c.make(dir.path());

  EXPECT_EQ(session::SettingsFileProblem(file), c.pszProblem);
  // A FIFO is named but never read: reading it would wait for a writer.
  if (!fs::is_fifo(file)) {
    EXPECT_EQ(session::ReadMainSettings(file).fileProblem, c.pszProblem);
  }

  const std::vector<std::string> words{"-h", "U1", "-s", file.string()};
  app::LaunchArguments arguments;
  const app::LaunchRefusal refusal = app::ParseLaunchArguments(words, &arguments);
  if (*c.pszProblem == '\0') {
    EXPECT_EQ(refusal.messageId, 0u);
    EXPECT_EQ(arguments.settingsFile, file);
  } else {
    EXPECT_EQ(refusal.messageId, msg::kBadStartupParameter);
    EXPECT_EQ(refusal.argument, "-h U1 -s " + file.string());
    EXPECT_EQ(refusal.reason, "cannot read the settings file " + file.string() + ": " + c.pszProblem);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFileProblem, ::testing::ValuesIn(kProblems),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

// A relative -s file is named by its full path: the engineer sees which folder was searched.
TEST(SettingsFileProblem, RelativeFileIsNamedByItsFullPath) {
  const std::vector<std::string> words{"-s", "kelpconf-none.ini", "-h", "U1"};
  app::LaunchArguments arguments;
  const app::LaunchRefusal refusal = app::ParseLaunchArguments(words, &arguments);
  EXPECT_EQ(refusal.reason, "cannot read the settings file " + (fs::current_path() / "kelpconf-none.ini").string() +
                                ": No such file or directory");
}

// The keys of README's "Settings" table (the section cell, then the keys' names outside the
// parentheses) and of its "[Services]" table (the first column's plain names).
KeysBySection ReadmeKeys() {
  const std::vector<std::string> lines = FileLines(README_PATH);
  const std::regex settingsRow(R"(^\| `\[([^\]]+)\]` \| (.*) \|$)");
  const std::regex servicesRow(R"(^\| `([A-Za-z_][A-Za-z0-9_]*)` \|.*)");
  const std::regex name("`([A-Za-z_][A-Za-z0-9_]*)`");
  const std::regex parenthesised(R"(\([^)]*\))");
  KeysBySection keys;
  enum class Table { None, Settings, Services } table = Table::None;
  for (const std::string& line : lines) {
    if (line.rfind("Settings (`kelpconf.ini`", 0) == 0) table = Table::Settings;
    if (line.rfind("The backend is chosen by section `[Services]`", 0) == 0) table = Table::Services;
    if (line.rfind("#", 0) == 0) table = Table::None;
    std::smatch m;
    if (table == Table::Settings && std::regex_match(line, m, settingsRow)) {
      const std::string cell = std::regex_replace(m[2].str(), parenthesised, "");
      for (std::sregex_iterator it(cell.begin(), cell.end(), name), end; it != end; ++it)
        keys[m[1].str()].insert((*it)[1].str());
    } else if (table == Table::Services && std::regex_match(line, m, servicesRow)) {
      keys["Services"].insert(m[1].str());
    }
  }
  return keys;
}

// The example's keys by section: the set ones and the commented-out ones (";Key=").
KeysBySection ExampleKeys() {
  const std::regex section(R"(^\[(.+)\]$)");
  const std::regex key("^;?([A-Za-z_][A-Za-z0-9_]*)=.*");
  KeysBySection keys;
  std::string current;
  for (const std::string& line : FileLines(SETTINGS_EXAMPLE_PATH)) {
    std::smatch m;
    if (std::regex_match(line, m, section)) {
      current = m[1].str();
      keys[current];
    } else if (std::regex_match(line, m, key)) {
      EXPECT_FALSE(current.empty()) << line;
      keys[current].insert(m[1].str());
    }
  }
  return keys;
}

TEST(SettingsExample, HoldsExactlyTheKeysOfTheReadme) {
  const KeysBySection readme = ReadmeKeys();
  ASSERT_TRUE(readme.contains("MainService") && readme.contains("Services")) << "README's tables were not found";
  EXPECT_EQ(ExampleKeys(), readme);
}

// A copy of the example changes nothing until the engineer edits it: every value it sets is the
// default the tool takes from no file at all.
TEST(SettingsExample, SetsOnlyTheDefaults) {
  kelptest::IsolatedEnv env;
  const fs::path example = SETTINGS_EXAMPLE_PATH;
  const fs::path none = env.systemRoot() / "none.ini";

  const session::MainSettings fromExample = session::ReadMainSettings(example);
  const session::MainSettings defaults = session::ReadMainSettings(none);
  EXPECT_THAT(fromExample.fileProblem, IsEmpty());
  EXPECT_EQ(fromExample.ftpdPath, defaults.ftpdPath);
  EXPECT_EQ(fromExample.agentPort, defaults.agentPort);
  EXPECT_EQ(fromExample.ftpPort, defaults.ftpPort);
  EXPECT_EQ(fromExample.detailedVersions, defaults.detailedVersions);
  EXPECT_EQ(fromExample.refreshSeconds, defaults.refreshSeconds);
  EXPECT_EQ(fromExample.target, defaults.target);
  EXPECT_EQ(fromExample.targetOutOfRange, defaults.targetOutOfRange);
  EXPECT_EQ(fromExample.dhcpStartAddress, defaults.dhcpStartAddress);
  EXPECT_EQ(fromExample.installFiles, defaults.installFiles);

  for (const TraceProgram program : {TraceProgram::Kelpconf, TraceProgram::Kelpftpd}) {
    const TraceSettings traceFromExample = ReadTraceSettings(example, program);
    const TraceSettings traceDefaults = ReadTraceSettings(none, program);
    EXPECT_EQ(traceFromExample.strDirectory, traceDefaults.strDirectory);
    EXPECT_EQ(traceFromExample.nSizeMB, traceDefaults.nSizeMB);
    EXPECT_EQ(traceFromExample.ulMask, traceDefaults.ulMask);
  }
  for (const board::LimitKey& key : board::kSettingsLimits)
    EXPECT_EQ(board::ReadLimit(example, key), std::chrono::minutes(key.nDefaultMinutes)) << key.pszKey;
}

// The [Services] keys the example sets hold the defaults README's table gives.
TEST(SettingsExample, ServicesHoldTheReadmeDefaults) {
  const std::regex row(R"(^\| `([A-Za-z_][A-Za-z0-9_]*)` \| [^|]+ \| `?([^`|]*?)`? \|.*)");
  bool bInTable = false;
  int nChecked = 0;
  for (const std::string& line : FileLines(README_PATH)) {
    if (line.rfind("The backend is chosen by section `[Services]`", 0) == 0) bInTable = true;
    if (line.rfind("#", 0) == 0) bInTable = false;
    std::smatch m;
    if (!bInTable || !std::regex_match(line, m, row)) continue;
    const std::string value = plat::GetProfileString("Services", m[1].str(), "", SETTINGS_EXAMPLE_PATH);
    if (value.empty()) continue;  // commented out: required, or no default worth setting
    EXPECT_EQ(value, m[2].str()) << m[1].str();
    ++nChecked;
  }
  EXPECT_GT(nChecked, 0) << "README's [Services] table was not found";
}

}  // namespace
