// The scenario file of the simulated agents and the kelp-arraysim command that writes it.
#include <gtest/gtest.h>

#include "AgentSimHarness.h"
#include "agentsim/AgentScenario.h"
#include "corvid/Sim.h"

using namespace agentsim;
using agentsimtest::ArraySim;

namespace {

class AgentScenarioFile : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(corvid::sim::CreateUnit(corvid::sim::PresetUnit("u1", corvid::sim::Model::ZQH, 4), true, &error));
  }
  kelptest::IsolatedEnv env;
  std::filesystem::path file = ScenarioFile("u1");
};

TEST_F(AgentScenarioFile, MissingFileGivesTheDefaults) {
  EXPECT_FALSE(ReadUnitOptions(file).port);
  EXPECT_FALSE(ReadUnitOptions(file).ignoreArrayStatus);
  const BoardOptions board = ReadBoardOptions(file, 8);
  EXPECT_TRUE(board.haProcess);
  EXPECT_EQ(board.statPolls, 2u);
  EXPECT_TRUE(board.initStates.empty());
  EXPECT_FALSE(ReadBehaviour(file, 8, agent::Exchange::Version));
}

TEST_F(AgentScenarioFile, BehaviourRoundTripsAndCountRunsOut) {
  Behaviour b;
  b.result = 0xD4;
  b.chunkSize = 3;
  b.chunkGapMs = 70;
  b.magic = "KELPAGENT  ";
  b.protoVer = 0x00020002;
  b.count = 2;
  std::string error;
  ASSERT_TRUE(WriteBehaviour(file, 9, agent::Exchange::RoutingAdd, b, &error)) << error;
  EXPECT_EQ(ReadBehaviour(file, 9, agent::Exchange::RoutingAdd), b);
  EXPECT_FALSE(ReadBehaviour(file, 8, agent::Exchange::RoutingAdd));
  EXPECT_TRUE(TakeBehaviour(file, 9, agent::Exchange::RoutingAdd));
  EXPECT_EQ(ReadBehaviour(file, 9, agent::Exchange::RoutingAdd)->count, 1u);
  EXPECT_TRUE(TakeBehaviour(file, 9, agent::Exchange::RoutingAdd));
  EXPECT_FALSE(TakeBehaviour(file, 9, agent::Exchange::RoutingAdd));
  // Without a count it applies every time.
  ASSERT_TRUE(WriteBehaviour(file, 9, agent::Exchange::Version, Behaviour{}, &error)) << error;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(TakeBehaviour(file, 9, agent::Exchange::Version));
}

TEST_F(AgentScenarioFile, ArraySimAgentCommandWritesWhatTheAgentsRead) {
  ASSERT_EQ(ArraySim({"agent", "u1", "port", "23000"}), 0);
  ASSERT_EQ(ArraySim({"agent", "u1", "port", "8", "23001"}), 0);
  ASSERT_EQ(ArraySim({"agent", "u1", "option", "IgnoreArrayStatus", "1"}), 0);
  ASSERT_EQ(ArraySim({"agent", "u1", "board", "8", "InitStates", "15,0x10"}), 0);
  ASSERT_EQ(ArraySim({"agent", "u1", "behave", "8", "ntpsetting", "Result=0x600", "DelayMs=50", "Count=1"}), 0);
  EXPECT_EQ(ReadUnitOptions(file).port, 23000);
  EXPECT_TRUE(ReadUnitOptions(file).ignoreArrayStatus);
  EXPECT_EQ(ReadBoardOptions(file, 8).port, 23001);
  EXPECT_EQ(ReadBoardOptions(file, 8).initStates, (std::vector<std::uint32_t>{15, 16}));
  const auto b = ReadBehaviour(file, 8, agent::Exchange::NTPSetting);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->result, 0x600u);
  EXPECT_EQ(b->delayMs, 50u);
  EXPECT_EQ(b->count, 1u);
  ASSERT_EQ(ArraySim({"agent", "u1", "clear", "8"}), 0);
  EXPECT_FALSE(ReadBehaviour(file, 8, agent::Exchange::NTPSetting));
  EXPECT_EQ(ReadBoardOptions(file, 8).port, 23001);
  ASSERT_EQ(ArraySim({"agent", "u1", "port", "8", "-"}), 0);
  EXPECT_FALSE(ReadBoardOptions(file, 8).port);
}

TEST_F(AgentScenarioFile, ArraySimAgentCommandRefusesBadSettings) {
  const std::vector<std::vector<std::string>> cases{
      {"agent", "u1", "port", "70000"},
      {"agent", "u1", "port", "16", "23000"},
      {"agent", "u1", "option", "Colour", "1"},
      {"agent", "u1", "board", "8", "HaProcess", "2"},
      {"agent", "u1", "board", "8", "InitStates", "15,,x"},
      {"agent", "u1", "behave", "8", "Teleport", "Result=1"},
      {"agent", "u1", "behave", "8", "Version", "Result"},
      {"agent", "u1", "behave", "8", "Version", "Stall=yes"},
      {"agent", "u1", "behave", "8", "Version", "Magic=SEVENTEEN_LETTERS"},
      {"agent", "u1", "behave", "8", "Version", "Warp=1"},
      {"agent", "u1", "frobnicate"},
  };
  for (const auto& args : cases) EXPECT_EQ(ArraySim(args), 2) << args[2] << " " << args.back();
  EXPECT_EQ(ArraySim({"agent", "nounit", "port", "23000"}), 1);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(AgentScenarioWords, ParsesDecimalAndHex) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> word;
  } cases[] = {{"0", 0},           {"101", 101},           {"0xD4", 0xD4}, {"0XFFFFFFFF", 0xFFFFFFFF},
               {"4294967296", {}}, {"", {}},               {"0x", {}},     {"-1", {}},
               {"12abc", {}},      {"0x1FFFFFFFF", {}}};
  for (const auto& c : cases) EXPECT_EQ(ParseWord(c.text), c.word) << c.text;
}

}  // namespace
