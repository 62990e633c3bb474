// kelpconf and its settings file as the README's Install steps use it: a -s file it cannot read
// ends the start with 3501 while standard error names the file and the reason (the trace cannot
// be open yet: its folder comes from that file); the shipped example starts the tool.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "ToolBench.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;

namespace {

using kctest::Dump;
using kctest::ToolBench;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

constexpr const char* kCloseWhenReady = "wait-transcript \"^ready$\" 300\nclose\n";

std::vector<std::string> Lines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SettingsFile, OneThatCannotBeReadIsNamedOnStandardError) {
  ToolBench bench;
  fs::create_directory(bench.work("folder.ini"));
  const struct {
    fs::path file;
    const char* pszReason;
  } cases[] = {{bench.work("none.ini"), "No such file or directory"},
               {bench.work("folder.ini"), "Is a directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.string());
    const kctest::Outcome run = bench.Run(kCloseWhenReady, {"-h", kctest::kUnit, "-s", c.file.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.lines, ElementsAre(MatchesRegex("message 3501 ok .*" + c.file.filename().string() + ".*"),
                                       "exit 1"))
        << Dump(run.lines);
    EXPECT_THAT(Lines(run.errors),
                Contains("kelpconf: cannot read the settings file " + c.file.string() + ": " + c.pszReason))
        << run.errors;
  }
}

// The example as the package ships it, with only what a shared test machine needs changed in
// place: the bench's free ports, and traces in the bench's folder.
TEST(SettingsFile, TheShippedExampleStartsTheTool) {
  ToolBench bench;
  ASSERT_TRUE(bench.StartAgents());
  const fs::path settings = bench.work("example.ini");
  fs::copy_file(SETTINGS_EXAMPLE_PATH, settings);
  const std::string log = bench.work("log").string();
  for (const auto& [section, key, value] :
       {std::tuple<const char*, const char*, std::string>{"MainService", "Port", bench.settings["MainService"]["Port"]},
        {"MainService", "TraceDir", log},
        {"FtpService", "Port", bench.settings["FtpService"]["Port"]},
        {"FtpService", "TraceDir", log}})
    ASSERT_TRUE(plat::WritePrivateProfileString(section, key, value.c_str(), settings)) << key;

  const kctest::Outcome run = bench.Run(kctest::script::Ready() + "wait-text 1508 \"ACTIVE\" 600\nclose\n",
                                       {"-s", settings.string(), "-h", kctest::kUnit});
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  kctest::ExpectInOrder(run, {"ready", "exit 0"});
  EXPECT_THAT(run.lines, Not(Contains(MatchesRegex("message .*")))) << Dump(run.lines);

  const std::vector<std::string> trace = Lines(kelptest::ReadFile(bench.work("log") / "kelpconf.log"));
  EXPECT_THAT(trace, Contains(HasSubstr(" info_ Settings File  = " + settings.string())));
  EXPECT_THAT(trace, Not(Contains(HasSubstr("cannot read the settings file"))));
  EXPECT_THAT(Lines(kelptest::ReadFile(bench.work("log") / "log" / "kelpftpd.log")),
              Contains(HasSubstr(" info_ CusrTrace Start ver.")));
}

}  // namespace
