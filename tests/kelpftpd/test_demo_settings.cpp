// The settings file of make demo (scripts/demo-settings): kelpftpd started with it traces into
// the demo's one log folder, beside kelpconf's trace, not into a "log" folder below it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "FtpdHarness.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

std::vector<std::string> Lines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(DemoSettings, KelpftpdTracesIntoTheLogFolderOfKelpconf) {
  ftptest::FtpdHarness server;
  const fs::path root = server.env().systemRoot();
  const fs::path settings = root / "kelpconf.ini";
  const std::string command = std::string(DEMO_SETTINGS_PATH) + " '" + root.string() + "' 20265 " +
                              std::to_string(server.port()) + " >'" + settings.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  const fs::path logDir = plat::GetProfileString("MainService", "TraceDir", "", settings);
  EXPECT_EQ(logDir, root / "log");
  fs::create_directories(logDir);  // as the demo does
  EXPECT_EQ(server.StartWith({settings.string(), "127", "0", "0", "1"}), "KELPFTPD OK");
  EXPECT_EQ(server.Stop(), 0);
  EXPECT_THAT(Lines(kelptest::ReadFile(logDir / "kelpftpd.log")), Contains(HasSubstr(" info_ CusrTrace Start ver.")));
  EXPECT_FALSE(fs::exists(logDir / "log"));
}

}  // namespace
