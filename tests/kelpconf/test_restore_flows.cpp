// The LU recovery functions of the real program in script mode against the simulated array and
// agents: the Cluster Management LU through its three phases and the reboot of every NAS OS, the
// NAS OS LU of one board, the system LU with a board that fails, a phase that runs out of time and
// a reboot whose second group fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ToolBench.h"

namespace {

using kctest::Dump;
using kctest::FindLine;
using kctest::ToolBench;

void ExpectInOrder(const kctest::Outcome& run, const std::vector<std::string>& patterns) {
  std::size_t from = 0;
  for (const std::string& pattern : patterns) {
    const auto at = FindLine(run.lines, pattern, from);
    ASSERT_TRUE(at) << pattern << "\n" << Dump(run.lines);
    from = *at + 1;
  }
}

constexpr const char* kAllUp =
    "wait-transcript \"^ready$\" 600\n"
    "wait-text 1500 \"ACTIVE\" 600\nwait-text 1501 \"ACTIVE\" 600\n"
    "wait-text 1508 \"ACTIVE\" 600\nwait-text 1509 \"ACTIVE\" 600\n";

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
      "click 1107\n"
      "answer 3829 ok\nanswer 3638 ok\nanswer 3690 ok\n"
      "click 224:1476\n"
      "wait-message 4022 900\n"
      "wait-transcript \"^enable 1475 1$\" 600\n"
      "answer 3830 ok\nanswer 3690 ok\n"
      "click 224:1475\n"
      "wait-message 3831 900\n"
      "wait-transcript \"^enable 1477 1$\" 600\n"
      "click 224:1477\n"
      "wait-transcript \"^enable 1081 1$\" 600\n"
      "close\n");
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
}

}  // namespace
