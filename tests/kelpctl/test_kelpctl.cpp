// kelpctl as a user runs it: the real program against a simulated unit in a private system root.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>

#include "KelpctlRun.h"
#include "TestEnv.h"
#include "corvid/Sim.h"

namespace {

namespace sim = corvid::sim;

using ::testing::HasSubstr;

using Result = kelptest::KelpctlResult;

Result Kelpctl(const std::string& args) { return kelptest::RunKelpctl("-s /nonexistent/kelpconf.ini " + args); }

int CountLinesStartingWithDigit(const std::string& text) {
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) ++n;
  return n;
}

class KelpctlTest : public ::testing::Test {
 protected:
  kelptest::IsolatedEnv env;
  kelptest::ScopedEnv scale{"KELP_TIME_SCALE", "0.001"};
};

TEST_F(KelpctlTest, BoardsListsEverySlotOfTheModel) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("FOUR", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("TWO", sim::Model::ZQS, 2), false));

  const Result four = Kelpctl("-h FOUR boards");
  EXPECT_EQ(four.status, 0) << four.output;
  EXPECT_EQ(CountLinesStartingWithDigit(four.output), 4) << four.output;
  EXPECT_THAT(four.output, HasSubstr("model ZQH"));
  EXPECT_THAT(four.output, HasSubstr("127.0.0.19"));

  const Result two = Kelpctl("-h TWO boards");
  EXPECT_EQ(two.status, 0) << two.output;
  EXPECT_EQ(CountLinesStartingWithDigit(two.output), 2) << two.output;
}

TEST_F(KelpctlTest, FailuresShowTheCodeAndTheCatalogueMessage) {
  const Result unknown = Kelpctl("-h NOSUCH boards");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_THAT(unknown.output, HasSubstr("dsvp_SetArrayUnitName failed: 0x8"));
  EXPECT_THAT(unknown.output, HasSubstr("[DMEN0"));

  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::InjectCallFault("U", "ModeSense", 62, 0xA3, 1, 0x01000005));
  const Result failing = Kelpctl("-h U boards");
  EXPECT_EQ(failing.status, 1);
  EXPECT_THAT(failing.output, HasSubstr("failed: 0x83000005"));

  EXPECT_EQ(Kelpctl("-h U progress 3").status, 2);
}

TEST_F(KelpctlTest, BootWatchFollowsTheBoardUntilItRuns) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  const Result boot = Kelpctl("-h U boot 8 --option demo --watch");
  EXPECT_EQ(boot.status, 0) << boot.output;
  EXPECT_THAT(boot.output, HasSubstr("status BOOT"));
  EXPECT_THAT(boot.output, HasSubstr("boot of slot 8 finished"));

  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates("U", &states));
  const auto board = std::find_if(states.begin(), states.end(), [](const sim::BoardState& s) { return s.k == 2; });
  ASSERT_NE(board, states.end());  // slot 8 is board k = 2
  EXPECT_EQ(board->status, 2);
  EXPECT_EQ(board->bootOption, "demo");

  const Result progress = Kelpctl("-h U progress 8");
  EXPECT_EQ(progress.status, 0) << progress.output;
  EXPECT_THAT(progress.output, HasSubstr("OS UP"));
}

TEST_F(KelpctlTest, ResetBlocksAndRestoresTheBoardAndReportsTheResult) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::SetBoardStatus("U", 2, 2));  // slot 8 runs its NAS OS
  const Result reset = Kelpctl("-h U reset 8");
  EXPECT_EQ(reset.status, 0) << reset.output;
  EXPECT_THAT(reset.output, HasSubstr("board DOWN"));
  EXPECT_THAT(reset.output, HasSubstr("reset of slot 8 finished"));
  std::vector<std::uint8_t> image;
  ASSERT_TRUE(sim::LastSelected("U", 62, 0xA7, &image));
  EXPECT_EQ(image[12], 0x20) << "the restore was the last command";

  ASSERT_TRUE(sim::InjectCallFault("U", "ModeSelect", 62, 0xA7, 1, 0x01000005));
  const Result refused = Kelpctl("-h U reset 8");
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_THAT(refused.output, HasSubstr("kelpctl: reset of slot 8 failed: 0x83000005"));
  EXPECT_THAT(refused.output, HasSubstr("[DMEN0"));
}

}  // namespace
