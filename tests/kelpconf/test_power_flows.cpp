// The power flows of the real program in script mode: the NNC reset from the main window, and
// the boot management dialog opened by a double-click on a board button: the questions, the busy
// marks and the buttons around them, a board taken through a whole power cycle against the
// simulated array, read from the captions the engineer sees, and the shorter limits of an
// inactive node.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ToolBench.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::ToolBench;

TEST(PowerFlows, NncResetCancelledThenConfirmed) {
  ToolBench bench;
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 300\n"
      "click 1500\n"
      "answer 3571 ok\nanswer 3598 ok\nanswer 3690 cancel\n"
      "click \"NNC Reset\"\n"
      "wait-transcript \"^busy 0 0$\" 300\n"
      "answer 3571 ok\nanswer 3598 ok\nanswer 3690 ok\n"
      "click \"NNC Reset\"\n"
      "wait-transcript \"^busy 0 3$\" 300\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 0 3", "message 3571 ok .*", "message 3598 ok .*", "message 3690 cancel .*", "busy 0 0",
                      "enable 1081 1", "busy 0 3", "message 3690 ok .*", "busy 0 0", "enable 1081 1", "exit 0"});
}

TEST(PowerFlows, BootManagementDialogQuestions) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "3", "status", "stopped"}), 0);  // slot 9
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "1", "AgentVersion", "0x01020000"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const std::string tooLong(85, 'x');
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 300\n"
      // a stopped board: a boot option too long is refused before the question
      "wait-text 1509 \"\\(STOP\\)\" 300\n"
      "double-click 1509\n"
      "set 209:1304 " + tooLong + "\n"
      "click 209:1305\n"
      "wait-message 3588 300\n"
      "click 209:1309\n"
      "wait-transcript \"^busy 9 0$\" 300\n"
      // an old agent: 3599 instead of the cluster check
      "wait-text 1501 \"ACTIVE\" 300\n"
      "double-click 1501\n"
      "answer 3568 ok\nanswer 3599 cancel\n"
      "click 209:1306\n"
      "wait-message 3599 300\n"
      "click 209:1309\n"
      "wait-transcript \"^busy 1 0$\" 300\n"
      // a node its cluster counts on: three questions, then the worker
      "double-click 1500\n"
      "answer 3567 ok\nanswer 3610 ok\nanswer 3611 ok\nanswer 3742 ok\n"
      "click 209:1307\n"
      "wait-message 3742 300\n"
      "click 209:1309\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 9 6", "text 1300 \"CTL1-1\"", "window 209 \"Kelpset Tool \\( Boot Management \\)\"",
                      "message 3588 ok .*", "busy 9 0", "busy 1 6", "message 3568 ok .*", "message 3599 cancel .*",
                      "busy 1 0", "busy 0 6", "message 3567 ok .*", "message 3610 ok .*", "message 3611 ok .*",
                      "message 3742 ok .*", "busy 0 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3566 .*")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "message 36(09|10) .*", *FindLine(run.lines, "busy 1 6"))
                   .value_or(SIZE_MAX) < *FindLine(run.lines, "busy 1 0"));
}

// Shut down, boot, reboot and reset one board as an engineer would, through the main window and
// the board's boot dialog; the board caption follows every step.
TEST(PowerFlows, ABoardThroughAWholePowerCycle) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "0", "ClusterStatus", "0"}), 0);  // may be stopped
  ASSERT_TRUE(bench.StartAgents());
  // The dialog keeps its busy mark while open, so the end of each operation is read from its
  // buttons coming back.
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1500 \"ACTIVE\" 600\n"
      "double-click 1500\n"
      "answer 3567 ok\n"
      "click 209:1307\n"
      "wait-text 102:1500 \"\\(STOP\\)\" 600\n"
      "wait-transcript \"^enable 1305 1$\" 600\n"
      "answer 3566 ok\n"
      "click 209:1305\n"
      "wait-transcript \"^enable 1306 1$\" 900\n"
      "wait-text 102:1500 \"\\(ACTIVE\\)\" 600\n"  // the node state comes from the agent, which is up then
      "answer 3568 ok\n"
      "click 209:1306\n"
      "wait-transcript \"^enable 1306 0$\" 600\n"
      "wait-transcript \"^enable 1306 1$\" 900\n"
      "click 209:1309\n"
      "wait-transcript \"^busy 0 0$\" 600\n"
      "answer 3571 ok\nanswer 3598 ok\nanswer 3690 ok\n"
      "click \"NNC Reset\"\n"
      "wait-message 3518 900\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 0 6", "message 3567 ok .*", "text 1302 \"SHUTDOWN\"", "text 1500 .*\\(STOP\\).*",
                      "message 3566 ok .*", "text 1302 \"BOOT\"", "text 1500 .*ACTIVE.*", "message 3568 ok .*",
                      "text 1302 \"SHUTDOWN\"", "text 1302 \"BOOT\"", "busy 0 0", "busy 0 3",
                      "message 3518 ok .*", "busy 0 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 354[012] .*")) << Dump(run.lines);
}

}  // namespace

namespace {

// A shutdown or reboot of a node whose NAS OS runs inactive gives up after its shorter limit
// (12 and 42 minutes instead of 62 and 92): the board stalls, the timeout box comes once the
// limit has passed and well before the active node's limit, and the dialog's failure follows.
struct InactiveLimitCase {
  const char* pszName;
  std::uint32_t ulQuestion;  // the confirmation of the operation
  int nButton;               // its button in the boot dialog
  const char* pszProgress;   // the progress code the stalled board keeps reporting
  std::uint32_t ulFailure;   // the dialog's failure message
  int nLimitMinutes;
  int nActiveLimitMinutes;
};

const InactiveLimitCase kInactiveLimits[] = {
    {"Shutdown", 3567, 1307, "0x01", 3542, 12, 62},
    {"Reboot", 3568, 1306, "0x05", 3541, 42, 92},
};

class InactiveNode : public ::testing::TestWithParam<InactiveLimitCase> {};

TEST_P(InactiveNode, GivesUpAfterItsShorterLimit) {
  const InactiveLimitCase& c = GetParam();
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "0", "HaProcess", "0"}), 0);       // inactive
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "0", "ClusterStatus", "0"}), 0);   // may be stopped
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "board", "0", "stall", "1"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const std::string question = std::to_string(c.ulQuestion);
  kctest::ToolRun tool = bench.Launch(kctest::script::Ready() +
                                      "wait-text 1500 \"\\(INACTIVE\\)\" 600\n"
                                      "double-click 1500\n"
                                      "answer " + question + " ok\n"
                                      "click 209:" + std::to_string(c.nButton) + "\n"
                                      "wait-message 3807 " + std::to_string(c.nActiveLimitMinutes * 60) + "\n"
                                      "wait-message " + std::to_string(c.ulFailure) + " 600\n"
                                      "click 209:1309\n"
                                      "close\n");
  ASSERT_TRUE(tool.WaitForLine("^message " + question + " ok .*", 120)) << Dump(tool.Lines());
  const auto asked = std::chrono::steady_clock::now();
  ASSERT_TRUE(tool.WaitForLine("^message 3807 .*", 120)) << Dump(tool.Lines());
  const double minutes =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count() / kctest::kTimeScale / 60;
  const kctest::Outcome run = tool.Finish(120);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  EXPECT_GE(minutes, c.nLimitMinutes);
  EXPECT_LT(minutes, c.nLimitMinutes + 10) << "the active node's limit is " << c.nActiveLimitMinutes;
  ExpectInOrder(run, {"busy 0 6", "message " + question + " ok .*", "text 1302 \"SHUTDOWN\"",
                      "message 3807 ok .*" + std::string(c.pszProgress) + ".*",
                      "message " + std::to_string(c.ulFailure) + " ok .*", "busy 0 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3596 .*")) << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(PowerFlows, InactiveNode, ::testing::ValuesIn(kInactiveLimits),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

}  // namespace
