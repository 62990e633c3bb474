// Script mode of the real program: answers to message boxes, keys, close, and the script
// errors that end the tool with 3.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ToolBench.h"

namespace {

using kctest::Dump;
using kctest::FindLine;
using kctest::ToolBench;

constexpr const char* k3801 = "message 3801 ok \"\\[DMEN03801E\\].*\"";
constexpr const char* k3530 = "message 3530 ok \"\\[DMEN03530I\\].*\"";

struct ScriptCase {
  const char* pszName;
  bool bNewerAgent;                 // start-up ends with 3801 and 3530
  const char* pszScript;
  int nExit;
  std::vector<std::string> lines;   // patterns, in this order
  std::vector<std::string> absent;  // patterns no line may match
};

const ScriptCase kCases[] = {
    {"CloseEndsWithZero",
     false,
     "wait-transcript \"^ready$\" 600\nclose\n",
     0,
     {"window 102 \"Kelpset Tool \\( KC1 \\)\"", "ready", "enable 1081 0", "exit 0"},
     {"message .*", "script-error .*"}},
    {"ShiftCtrlEShowsInheritAndInstall",
     false,
     "wait-transcript \"^ready$\" 600\nkey shift+ctrl+e\nclose\n",
     0,
     {"ready", "show 1096 1", "exit 0"},
     {}},
    {"UnknownTargetIsAScriptError",
     false,
     "# comments and blank lines count as lines\n\nwait-transcript \"^ready$\" 600\nclick 4242\nclose\n",
     3,
     {"ready", "script-error 4 .*", "exit 3"},
     {}},
    {"WaitRunningOutIsAScriptError",
     false,
     "wait-text 1500 \"NEVER\" 2\nclose\n",
     3,
     {"script-error 1 .*", "exit 3"},
     {}},
    {"UnansweredBoxesTakeTheirDefault", true, "", 1, {std::string(k3801) + " default", std::string(k3530) + " default", "exit 1"}, {}},
    {"QueuedAnswerIsTakenByItsBox",
     true,
     "answer 3801 ok\n",
     1,
     {k3801, std::string(k3530) + " default", "exit 1"},
     {}},
    {"StarAnswersEveryBox", true, "answer * ok\n", 1, {k3801, k3530, "exit 1"}, {".* default"}},
};

class ScriptMode : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptMode, Transcript) {
  const ScriptCase& c = GetParam();
  ToolBench bench;
  if (c.bNewerAgent) {
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "0", "AgentVersion", "0x06000000"}), 0);
  }
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(c.pszScript);
  EXPECT_EQ(run.exitCode, c.nExit) << Dump(run.lines) << run.errors;
  std::size_t from = 0;
  for (const std::string& pattern : c.lines) {
    const auto at = FindLine(run.lines, pattern, from);
    ASSERT_TRUE(at) << pattern << "\n" << Dump(run.lines);
    from = *at + 1;
  }
  EXPECT_EQ(from, run.lines.size()) << "the exit line is the last";
  for (const std::string& pattern : c.absent) EXPECT_FALSE(FindLine(run.lines, pattern)) << pattern << "\n" << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(Kelpconf, ScriptMode, ::testing::ValuesIn(kCases),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

}  // namespace
