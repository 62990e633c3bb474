// Board status as the running tool shows it: the caption each board's array status and node
// state give, the sticky fatal state of a blocked processor, and status reads that time out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ToolBench.h"
#include "corvid/NasPages.h"

namespace {

using kctest::Dump;
using kctest::FindLine;
using kctest::ToolBench;

constexpr std::uint32_t kArrayTimeout = 0x1002;  // VELAPI reports a time-out of the array path
constexpr std::uint32_t kArrayFailure = 0x5;

std::string Caption(int slot, const std::string& word) {
  return "text " + std::to_string(1500 + slot) + " \"" + std::string(20, ' ') + "CTL" + std::to_string(slot / 8) +
         "-" + std::to_string(slot % 8) + "\\(" + word + "\\)\"";
}

// One board per row, all in one run of the tool.
struct NodeCase {
  int slot;
  std::vector<std::string> arraySim;  // kelp-arraysim arguments after the unit name
  const char* pszWord;
};

const NodeCase kNodes[] = {
    {0, {}, "ACTIVE"},                                          // the node runs an ha_ process
    {1, {"agent", "board", "1", "HaProcess", "0"}, "INACTIVE"},  // no ha_ process
    {8, {"agent", "behave", "8", "CommandIF", "Result=5"}, "WARN"},  // the command exchange fails
    {9, {"set", "3", "status", "stopped"}, "STOP"},                 // not running: no node query
};

TEST(BoardStates, CaptionOfEachBoardsArrayAndNodeState) {
  ToolBench bench;
  std::string script = "wait-transcript \"^ready$\" 600\n";
  for (const NodeCase& c : kNodes) {
    std::vector<std::string> args = c.arraySim;
    if (!args.empty()) {
      args.insert(args.begin() + 1, kctest::kUnit);
      ASSERT_EQ(bench.ArraySim(args), 0) << args[0];
    }
    script += "wait-text " + std::to_string(1500 + c.slot) + " \"\\(" + c.pszWord + "\\)\" 600\n";
  }
  script += "close\n";
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(script);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  for (const NodeCase& c : kNodes) EXPECT_TRUE(FindLine(run.lines, Caption(c.slot, c.pszWord))) << c.slot;
}

// A blocked processor makes the board FATAL for good: its button is disabled, and the state
// outlives the blockade.
TEST(BoardStates, ProcessorBlockadeIsStickyFatal) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "board", "0", "mpstatus", "0x1001"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  kctest::ToolRun run = bench.Launch(
      "wait-text 1500 \"\\(FATAL\\)\" 600\nwait-text 1508 \"\\(DOWN\\)\" 600\nsleep 5\nclose\n");
  ASSERT_TRUE(run.WaitForLine(Caption(0, "FATAL"))) << Dump(run.Lines());
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "clear"}), 0);
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "2", "status", "down"}), 0);
  const kctest::Outcome end = run.Finish();
  ASSERT_EQ(end.exitCode, 0) << Dump(end.lines) << end.errors;

  const std::size_t fatal = *FindLine(end.lines, Caption(0, "FATAL"));
  EXPECT_TRUE(FindLine(end.lines, "enable 1500 0", fatal)) << Dump(end.lines);
  EXPECT_FALSE(FindLine(end.lines, "enable 1500 1", fatal)) << Dump(end.lines);
  EXPECT_FALSE(FindLine(end.lines, "text 1500 .*", fatal + 1)) << Dump(end.lines);
}

// Status reads that fail while a board changes: a time-out keeps every caption, another
// failure makes the fitted boards UNKNOWN.
struct PollingCase {
  const char* pszName;
  std::uint32_t ulCode;
  const char* pszScriptEnd;  // after the faults are in
  bool bCaptionsKept;
};

const PollingCase kPolling[] = {
    {"TimeOutKeepsCaptions", kArrayTimeout, "sleep 30\nclose\n", true},
    {"FailureGivesUnknown", kArrayFailure, "wait-text 1501 \"\\(UNKNOWN\\)\" 600\nclose\n", false},
};

class Polling : public ::testing::TestWithParam<PollingCase> {};

TEST_P(Polling, StatusReadFailure) {
  const PollingCase& c = GetParam();
  ToolBench bench;
  ASSERT_TRUE(bench.StartAgents(true));
  kctest::ToolRun run = bench.Launch(std::string("wait-text 1501 \"\\(ACTIVE\\)\" 600\n") + c.pszScriptEnd);
  for (const int slot : {0, 1, 8, 9}) ASSERT_TRUE(run.WaitForLine(Caption(slot, "ACTIVE"))) << Dump(run.Lines());
  std::string error;
  ASSERT_TRUE(corvid::sim::InjectCallFault(kctest::kUnit, "ModeSense", corvid::pages::kNasPage,
                                           corvid::pages::kA3Config, 1'000'000, c.ulCode, &error))
      << error;
  const std::size_t injected = run.Lines().size();
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "1", "status", "down"}), 0);
  const kctest::Outcome end = run.Finish();
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "clear"}), 0);
  EXPECT_EQ(end.exitCode, 0) << Dump(end.lines) << end.errors;
  EXPECT_EQ(FindLine(end.lines, "text 15[0-9][0-9] .*", injected).has_value(), !c.bCaptionsKept) << Dump(end.lines);
  EXPECT_FALSE(FindLine(end.lines, Caption(1, "DOWN"), injected)) << Dump(end.lines);
}

INSTANTIATE_TEST_SUITE_P(BoardStates, Polling, ::testing::ValuesIn(kPolling),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

}  // namespace

namespace {

// Two boards whose NAS OS comes up with an agent newer than the tool, while the tool runs: the
// poller reads their versions, locks the functions and tells the user once.
TEST(BoardStates, NewerAgentsSeenByThePollerAreToldOnce) {
  ToolBench bench;
  for (const char* pszK : {"0", "1", "2", "3"})
    ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, pszK, "status", "stopped"}), 0);
  for (const char* pszSlot : {"0", "1"})
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", pszSlot, "AgentVersion", "0x05000001"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  kctest::ToolRun run = bench.Launch("wait-transcript \"^ready$\" 600\nwait-message 3802 600\nsleep 5\nclose\n");
  ASSERT_TRUE(run.WaitForLine("ready")) << Dump(run.Lines());
  for (const char* pszK : {"0", "1"}) ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, pszK, "status", "up"}), 0);
  const kctest::Outcome end = run.Finish(60);
  ASSERT_EQ(end.exitCode, 0) << Dump(end.lines) << end.errors;
  const auto first = FindLine(end.lines, "message 3802 .*");
  ASSERT_TRUE(first) << Dump(end.lines);
  EXPECT_FALSE(FindLine(end.lines, "message 3802 .*", *first + 1)) << Dump(end.lines);
  // The lock is posted to the UI thread while the box is asked on the poller's: either comes first.
  EXPECT_TRUE(FindLine(end.lines, "enable 1500 0", *FindLine(end.lines, "ready"))) << "board buttons are locked";
}

}  // namespace
