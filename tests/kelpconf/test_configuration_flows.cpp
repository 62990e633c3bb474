// "Configuration" through the real program in script mode: a copy of the installation medium in
// another folder is chosen, C:\tftp.ini is pointed at its network-boot tree, and both network-boot
// services (sim backend) are restarted so that they read it; a Cancel changes nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ToolBench.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::ToolBench;

std::string TftpFilePath() {
  return plat::GetProfileString("Parameters", "File Path", "", plat::MapPath("C:\\tftp.ini"));
}

// Trace lines of kelpconf that say a service was found running and restarted.
int RestartsTraced(ToolBench& bench, const std::string& service) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(bench.work("log"))) {
    if (entry.path().filename().string().rfind("kelpconf", 0) != 0) continue;
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);)
      n += line.find(service + " is already running") != std::string::npos;
  }
  return n;
}

struct ConfigurationCase {
  const char* pszName;
  const char* pszButton;
  bool bChanged;
};

const ConfigurationCase kConfigurations[] = {{"Ok", "OK", true}, {"Cancel", "Cancel", false}};

class Configuration : public ::testing::TestWithParam<ConfigurationCase> {};

TEST_P(Configuration, PointsTheTftpServiceAtTheChosenMedium) {
  const ConfigurationCase& c = GetParam();
  ToolBench bench;
  const mkmedia::Media media = mkmedia::DefaultMedia(10000);
  std::string error;
  ASSERT_TRUE(mkmedia::WriteMedia(plat::SystemRoot(), media, error)) << error;  // found on drive C:
  const std::filesystem::path copy = bench.work("copy");
  ASSERT_TRUE(mkmedia::WriteMedia(copy, media, error)) << error;
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(kctest::script::Ready() +
                                        "click \"Configuration\"\n"
                                        "wait-transcript \"^window 240 .*\" 300\n"
                                        "set 240:1242 " + copy.string() + "\n"
                                        "click \"" + c.pszButton + "\"\n"
                                        "wait-idle 600\n"
                                        "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"ready", "window 240 \"Kelpset Tool \\( Configuration \\)\"",
                      "text 1242 \"" + copy.string() + "\"", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message .*")) << Dump(run.lines);
  const std::filesystem::path expected = (c.bChanged ? copy : plat::SystemRoot()) / "netboot";
  EXPECT_EQ(std::filesystem::path(TftpFilePath()).lexically_normal(), expected.lexically_normal());
  const int restarts = c.bChanged ? 1 : 0;
  EXPECT_EQ(RestartsTraced(bench, "DHCP Server"), restarts);
  EXPECT_EQ(RestartsTraced(bench, "TFTP Server"), restarts);
}

INSTANTIATE_TEST_SUITE_P(ConfigurationFlows, Configuration, ::testing::ValuesIn(kConfigurations),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

}  // namespace
