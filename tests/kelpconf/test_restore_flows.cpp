// The LU recovery functions of the real program in script mode against the simulated array and
// agents: the Cluster Management LU through its three phases and the reboot of every NAS OS, the
// NAS OS LU of one board, the system LU with a board that fails, a phase that runs out of time, a
// reboot whose second group fails, NAS OS LU restores that fail or outrun their limit, and the
// Cluster Management LU's later phases failing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolBench.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::ToolBench;

constexpr const char* kAllUp =
    "wait-transcript \"^ready$\" 600\n"
    "wait-text 1500 \"ACTIVE\" 600\nwait-text 1501 \"ACTIVE\" 600\n"
    "wait-text 1508 \"ACTIVE\" 600\nwait-text 1509 \"ACTIVE\" 600\n";

// Opens "Restore NAS CM LU", agrees to its questions and starts the three phases.
constexpr const char* kStartCmLuRestore =
    "click 1107\n"
    "answer 3829 ok\nanswer 3638 ok\nanswer 3690 ok\n"
    "click 224:1476\n";
// Waits for the dialog's Close, closes it, then the tool.
constexpr const char* kCloseCmLuRestore =
    "wait-transcript \"^enable 1477 1$\" 600\n"
    "click 224:1477\n"
    "wait-transcript \"^enable 1081 1$\" 600\n"
    "close\n";

// Every board INACTIVE: no "ha_" process on any of them.
void AllInactive(ToolBench& bench) {
  for (const char* slot : {"0", "1", "8", "9"})
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", slot, "HaProcess", "0"}), 0);
}

constexpr const char* kAllInactive =
    "wait-transcript \"^ready$\" 600\n"
    "wait-text 1500 \"INACTIVE\" 600\nwait-text 1501 \"INACTIVE\" 600\n"
    "wait-text 1508 \"INACTIVE\" 600\nwait-text 1509 \"INACTIVE\" 600\n";

TEST(RestoreFlows, ClusterManagementLuThroughThreePhasesThenRebootAll) {
  ToolBench bench;
  // Slot 1 asks for its file shares to be set again, slot 9 for both kinds of settings.
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "1", "InitStates", "15"}), 0);
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "9", "InitStates", "17"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
      kStartCmLuRestore +
      "wait-text 224:1472 \"Now restoring\" 600\n"
      "key escape\n"  // ignored while the phases run
      "wait-message 4022 900\n"
      "wait-transcript \"^enable 1475 1$\" 600\n"
      "answer 3830 ok\nanswer 3690 ok\n"
      "click 224:1475\n"
      "wait-message 3831 900\n" +
      kCloseCmLuRestore);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"text 1472 \"Normal\"", "enable 1081 0",
                      "window 224 \"Kelpset Tool \\( Restore NAS Cluster Management LU \\)\"", "message 3829 ok .*", "message 3638 ok .*", "message 3690 ok .*",
                      "enable 1476 0", "text 1472 \"Now stopping the cluster...\"", "show 1472 0", "show 1472 1",
                      "text 1472 \"Now restoring...\"", "text 1472 \"Now removing the cluster...\"",
                      "message 4022 ok .*File share configuration:\\\\n  CTL0-1\\\\n  CTL1-1\\\\n"
                      "Service IP address information:\\\\n  CTL1-1\\\\n.*",
                      "text 1472 \"Normal\"", "enable 1476 1", "message 3830 ok .*", "message 3690 ok .*",
                      "text 1472 \"Now Rebooting all NAS OSs...\"", "message 3831 ok .*", "text 1472 \"Normal\"",
                      "enable 1081 1", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3640 .*")) << Dump(run.lines);
  EXPECT_GT(*FindLine(run.lines, "enable 1081 1", *FindLine(run.lines, "message 3638 ok .*")),
            *FindLine(run.lines, "message 3831 ok .*"))
      << Dump(run.lines);
}

TEST(RestoreFlows, NasOsLuOfOneBoard) {
  ToolBench bench;
  bench.settings["Restore NAS OS LU"]["RestoreTimeout"] = "0";  // the default hour, not an instant time-out
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
      "click 1501\n"
      "click 1106\n"
      "answer 3827 cancel\n"
      "click 223:1485\n"
      "wait-message 3827 300\n"
      "answer 3827 ok\nanswer 3690 ok\n"
      "click 223:1485\n"
      "wait-message 3620 900\n"
      "wait-transcript \"^enable 1486 1$\" 600\n"
      "key escape\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 223 \"Kelpset Tool \\( Restore NAS OS LU \\)\"", "message 3827 cancel .*",
                      "message 3827 ok .*", "message 3690 ok .*", "enable 1485 0", "text 1482 \"Now restoring...\"",
                      "show 1482 0", "show 1482 1",
                      "message 3620 ok .*The NAS OS LU of CTL0-1 has been recovered successfully. \\\\nRestart the "
                      "NAS OS of CTL0-1.*",
                      "text 1482 \"Normal\"", "enable 1485 1", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3556 .*")) << Dump(run.lines);
}

// The backup information comes slowly: the main window holds its function buttons and Close at
// once while a worker asks (well before the 20 s answer; a sanitizer build needs more than one
// logical second to handle the click), and when the answer comes gives them back and opens the
// recovery.
TEST(RestoreFlows, NasOsLuOpensWhenItsSlowReadEnds) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "1", "NasOsLuBackupInfo", "DelayMs=20000", "Count=1"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
      "click 1501\n"
      "click \"Restore NAS OS LU\"\n"
      "wait-transcript \"^enable 1081 0$\" 10\n"
      "wait-transcript \"^window 223 .*\" 300\n"
      "key escape\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  for (const char* pszButton : {"1106", "1081"})
    ExpectInOrder(run, {"ready", std::string("enable ") + pszButton + " 0", std::string("enable ") + pszButton + " 1",
                        "window 223 \"Kelpset Tool \\( Restore NAS OS LU \\)\"", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message .*")) << Dump(run.lines);
}

TEST(RestoreFlows, SystemLuWithOneBoardFailing) {
  ToolBench bench;
  AllInactive(bench);
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "9", "NasSystemLuRestoreStat", "Result=24"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllInactive) +
      "click 1109\n"
      "answer 4024 ok\nanswer 3690 ok\n"
      "click 225:1496\n"
      "wait-message 4026 900\n"
      "wait-transcript \"^enable 1497 1$\" 600\n"
      "click 225:1497\n"
      "wait-transcript \"^enable 1081 1$\" 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"enable 1081 0", "text 1492 \"Normal\"",
                      "window 225 \"Kelpset Tool \\( Restore All NAS System LU \\)\"", "message 4024 ok .*", "message 3690 ok .*",
                      "text 1492 \"Now expanding backup data...\"", "text 1492 \"Now restoring...\"",
                      "message 4026 ok .*1. Expanding the backup data: Completed\\\\n"
                      "2. Restoring the NAS Cluster Management LU: Completed\\\\n"
                      "3. Restoring the NAS OS LUs: Failed\\\\n   CTL1-1   Code = 0x00000018\\\\n\\\\n.*",
                      "text 1492 \"Failed\"", "enable 1496 1", "enable 1081 1", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 4025 .*")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "message 4026 .*CTL0-0.*")) << Dump(run.lines);
}

// A board whose restore never ends within a two-minute limit has failed with the time-out code:
// the time-out box, then the step box that names it, and no success.
TEST(RestoreFlows, SystemLuRestoreRunsOutOfTime) {
  ToolBench bench;
  AllInactive(bench);
  bench.settings["Restore NAS All System LU"]["RestoreTimeout"] = "2";  // four polls; the others need three
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "8", "StatPolls", "100000"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllInactive) +
      "click 1109\n"
      "answer 4024 ok\nanswer 3690 ok\n"
      "click 225:1496\n"
      "wait-message 4026 900\n"
      "wait-transcript \"^enable 1497 1$\" 600\n"
      "click 225:1497\n"
      "wait-transcript \"^enable 1081 1$\" 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"text 1492 \"Now restoring...\"", "message 3515 ok .*",
                      "message 4026 ok .*Failed\\\\n   CTL1-0   Code = 0x00000009\\\\n\\\\n.*", "text 1492 \"Failed\"",
                      "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 4025 .*")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "message 4026 .*CTL(0-0|0-1|1-1).*")) << Dump(run.lines);
}

// The first board of group 2 refuses its reboot: group 1 is never rebooted and is listed as not
// restarted.
TEST(RestoreFlows, RebootAllStopsAfterAFailureInGroupTwo) {
  ToolBench bench;
  ASSERT_TRUE(bench.StartAgents());
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "call", "ModeSelect", "62", "0xA7", "1", "0x01000012"}), 0);
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
      "click 1107\n"
      "answer 3830 ok\nanswer 3690 ok\n"
      "click 224:1475\n"
      "wait-message 3832 900\n" +
      kCloseCmLuRestore);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 3830 ok .*", "text 1472 \"Now Rebooting all NAS OSs...\"",
                      "message 3832 ok .*NAS OSs that failed to restart:\\\\n   CTL1-0  Code = 0x[0-9a-f]{8}\\\\n\\\\n"
                      "NAS OSs that were not restarted:\\\\n   CTL0-0\\\\n   CTL0-1\\\\n\\\\n.*",
                      "text 1472 \"Normal\"", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3831 .*")) << Dump(run.lines);
  // Group 1 kept running all along.
  const std::size_t rebootAsked = *FindLine(run.lines, "message 3830 ok .*");
  EXPECT_FALSE(FindLine(run.lines, "text 150[01] .*\\((STOP|BOOT|REBOOT|SHUTDOWN|DOWN).*", rebootAsked))
      << Dump(run.lines);
}

// The cluster stop never ends within its one-minute limit: step 1 failed with the time-out, the
// others never ran; the dialog shows the failed status and keeps only the reboot and Close.
TEST(RestoreFlows, ClusterStopRunsOutOfTime) {
  ToolBench bench;
  bench.settings["Restore NAS CM LU"]["StopTimeout"] = "1";
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "0", "StatPolls", "100000"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
      kStartCmLuRestore +
      "wait-message 3640 900\n" +
      kCloseCmLuRestore);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"text 1472 \"Now stopping the cluster...\"",
                      "message 3640 ok .*1. Stopping the clusters: Failed\\(timeout\\)\\\\n"
                      "2. Restoring the NAS Cluster Management LU: -\\\\n3. Removing the cluster definitions: -\\\\n.*",
                      "text 1472 \"Unknown\"", "text 1474 \"----/--/-- --:--\"", "enable 1475 1", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "text 1472 \"Now restoring...\"")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "enable 1476 1", *FindLine(run.lines, "message 3640 .*"))) << Dump(run.lines);
}

// A running board whose agent is one below 02-00 blocks the recovery before anything starts.
TEST(RestoreFlows, OldAgentBlocksClusterManagementLu) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "9", "AgentVersion", "0x01FFFFFF"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
      kStartCmLuRestore +
      "wait-message 3639 600\n"
      "click 224:1477\n"
      "wait-transcript \"^enable 1081 1$\" 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 3690 ok .*", "message 3639 ok .*CTL1-1 cannot recover.*", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "text 1472 \"Now stopping the cluster...\"")) << Dump(run.lines);
}

}  // namespace

namespace {

// A NAS OS LU restore that does not end well: the board reports the LU cannot be recovered, the
// board's agent fails the poll, or the restore outruns a one-minute limit (3556 with the time-out
// code 9). Each shows its message once, then the failed status ("Unknown", no date), no success,
// and Restore again.
struct OsLuEndCase {
  const char* pszName;
  std::vector<std::string> agentArgs;  // kelp-arraysim agent ... for slot 1
  const char* pszLimit;                // [Restore NAS OS LU] RestoreTimeout, or null
  const char* pszMessage;              // the message line
};

const OsLuEndCase kOsLuEnds[] = {
    {"Unrecoverable", {"behave", "1", "NasOsLuRestoreStat", "Result=8"}, nullptr, "message 3828 ok .*"},
    {"PollFails", {"behave", "1", "NasOsLuRestoreStat", "Result=99"}, nullptr,
     "message 3556 ok .*\\(code = 0x01000063\\).*"},
    {"TimesOut", {"board", "1", "StatPolls", "100000"}, "1", "message 3556 ok .*\\(code = 0x00000009\\).*"},
};

class OsLuEnd : public ::testing::TestWithParam<OsLuEndCase> {};

TEST_P(OsLuEnd, ShowsItsMessageAndTheFailedStatus) {
  const OsLuEndCase& c = GetParam();
  ToolBench bench;
  if (c.pszLimit != nullptr) bench.settings["Restore NAS OS LU"]["RestoreTimeout"] = c.pszLimit;
  std::vector<std::string> args{"agent", kctest::kUnit};
  args.insert(args.end(), c.agentArgs.begin(), c.agentArgs.end());
  ASSERT_EQ(bench.ArraySim(args), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
                                        "click 1501\n"
                                        "click 1106\n"
                                        "answer 3827 ok\nanswer 3690 ok\n"
                                        "click 223:1485\n"
                                        "wait-transcript \"^text 1482 \\\"Unknown\\\"$\" 900\n"
                                        "wait-transcript \"^enable 1485 1$\" 600\n"
                                        "click 223:1486\n"
                                        "wait-idle 600\n"
                                        "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 3690 ok .*", "enable 1485 0", "text 1482 \"Now restoring...\"", c.pszMessage,
                      "text 1482 \"Unknown\"", "text 1484 \"----/--/-- --:--\"", "enable 1485 1", "exit 0"});
  const std::size_t shown = *FindLine(run.lines, c.pszMessage);
  EXPECT_FALSE(FindLine(run.lines, "message .*", shown + 1)) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "message 3620 .*")) << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(RestoreFlows, OsLuEnd, ::testing::ValuesIn(kOsLuEnds),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

// The second and third phases of the Cluster Management LU recovery failing: the step box names
// the board and its code in the failing step, the steps before it completed and the ones after
// it not run; the dialog shows the failed status and keeps only the reboot and Close.
struct CmLuPhaseCase {
  const char* pszName;
  const char* pszSlot;
  const char* pszExchange;
  const char* pszSteps;  // the three step texts of 3640, as the transcript quotes them
  bool bRemovalStarted;  // the third phase began
};

const CmLuPhaseCase kCmLuPhases[] = {
    {"RestoreRequestRefused", "0", "NasSharedLuRestore",
     "1. Stopping the clusters: Completed\\\\n2. Restoring the NAS Cluster Management LU: "
     "Faild\\(CTL0-0:0x00000063\\)\\\\n3. Removing the cluster definitions: -\\\\n",
     false},
    {"RestorePollFails", "0", "NasSharedLuRestoreStat",
     "1. Stopping the clusters: Completed\\\\n2. Restoring the NAS Cluster Management LU: "
     "Faild\\(CTL0-0:0x00000063\\)\\\\n3. Removing the cluster definitions: -\\\\n",
     false},
    {"InitRequestRefused", "8", "InitializeCluster",
     "1. Stopping the clusters: Completed\\\\n2. Restoring the NAS Cluster Management LU: Completed\\\\n"
     "3. Removing the cluster definitions: Failed\\(CTL1-0:0x00000063\\)\\\\n",
     true},
    {"InitPollFails", "9", "InitializeClusterStat",
     "1. Stopping the clusters: Completed\\\\n2. Restoring the NAS Cluster Management LU: Completed\\\\n"
     "3. Removing the cluster definitions: Failed\\(CTL1-1:0x00000063\\)\\\\n",
     true},
};

class CmLuPhase : public ::testing::TestWithParam<CmLuPhaseCase> {};

TEST_P(CmLuPhase, FailureIsReportedInItsStep) {
  const CmLuPhaseCase& c = GetParam();
  ToolBench bench;
  bench.settings["MainService"]["Target"] = "0";  // the board of the restore phase
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", c.pszSlot, c.pszExchange, "Result=99"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(std::string(kAllUp) +
                                        kStartCmLuRestore +
                                        "wait-message 3640 900\n" +
                                        kCloseCmLuRestore);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  // The agent client names the board's code first; the step box follows.
  ExpectInOrder(run, {"text 1472 \"Now stopping the cluster...\"", "text 1472 \"Now restoring...\"",
                      "message 3556 ok .*\\(code = 0x01000063\\).*",
                      std::string("message 3640 ok .*") + c.pszSteps + ".*", "text 1472 \"Unknown\"",
                      "text 1474 \"----/--/-- --:--\"", "enable 1475 1", "exit 0"});
  EXPECT_EQ(FindLine(run.lines, "text 1472 \"Now removing the cluster...\"").has_value(), c.bRemovalStarted)
      << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "message (3622|4022) .*")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "enable 1476 1", *FindLine(run.lines, "message 3640 .*"))) << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(RestoreFlows, CmLuPhase, ::testing::ValuesIn(kCmLuPhases),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

}  // namespace
