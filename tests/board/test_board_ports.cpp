// Which port a board's agent and the file server are reached on, for each shape of settings file.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "TestEnv.h"
#include "board/BoardPorts.h"
#include "common/FileServerPort.h"

namespace {

struct PortCase {
  const char* name;
  const char* settings;  // the file's content; null: no file at all
  const char* location;
  std::uint32_t agentPort;
  int fileServerPort;
};

const PortCase kCases[] = {
    {"NoFileGivesTheDefaults", nullptr, "CL1-A", 20265, 20266},
    {"MainServiceServesEveryBoard", "[MainService]\nPort=3000\n", "CL1-A", 3000, 20266},
    {"TheLocationSectionWins", "[MainService]\nPort=3000\n[CL1-A]\nPort=4000\n", "CL1-A", 4000, 20266},
    {"AnotherBoardsSectionIsNotRead", "[MainService]\nPort=3000\n[CL2-A]\nPort=4000\n", "CL1-A", 3000, 20266},
    {"TheLocationSectionAloneOverridesTheDefault", "[CL1-A]\nPort=4000\n", "CL1-A", 4000, 20266},
    {"SectionNamesMatchInAnyCase", "[cl1-a]\nPort=4100\n", "CL1-A", 4100, 20266},
    {"TheFileServerPortIsRead", "[FtpService]\nPort=5000\n", "CL1-A", 20265, 5000},
    {"AFileServerPortOfZeroMeansTheDefault", "[FtpService]\nPort=0\n", "CL1-A", 20265, 20266},
};

class BoardPorts : public ::testing::TestWithParam<PortCase> {};

TEST_P(BoardPorts, ResolveFromTheSettingsFile) {
  const PortCase& c = GetParam();
  kelptest::TempDir dir;
  const auto file = dir / "kelpconf.ini";
  if (c.settings) kelptest::WriteFile(file, c.settings);
  EXPECT_EQ(board::ResolveAgentPort(c.location, file), c.agentPort);
  EXPECT_EQ(common::ReadFileServerPort(file).port, c.fileServerPort);
}

std::string CaseName(const ::testing::TestParamInfo<PortCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(Settings, BoardPorts, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
