// The network dialogs of the real program in script mode against the simulated array and its
// agents: a board of a defined cluster gets a new name, address, MTU and NTP server, with the
// cluster stopped first because the board serves; a change with both nodes INACTIVE, which stops
// nothing; and a board's routes are added, refused and deleted. What the board keeps is read back
// from its simulated agent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ToolBench.h"
#include "corvid/Sim.h"
#include "plat/Profile.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::ToolBench;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

// A value the simulated agent of a slot keeps.
std::string AgentValue(int slot, const std::string& section, const std::string& key) {
  const std::filesystem::path file =
      std::filesystem::path(corvid::sim::UnitDir(kctest::kUnit)) / "agents" / ("board" + std::to_string(slot) + ".ini");
  return plat::GetProfileString(section, key, "<none>", file);
}

TEST(NetworkFlows, ClusteredBoardChangesItsSettingsAfterTheClusterStops) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "8", "HaProcess", "0"}), 0);  // the partner: INACTIVE
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1508 \"\\(INACTIVE\\)\" 600\n"
      "wait-text 1500 \"\\(ACTIVE\\)\" 600\n"
      "click 1500\n"
      "click 1009\n"
      "wait-text 231:1520 \"^192\\.168\\.0\\.10$\" 300\n"
      "wait-text 231:1524 \"^1500$\" 300\n"
      // refused before anything is asked: a name that starts with a digit, then an MTU too small
      "set 231:1518 1node\n"
      "click 231:1531\n"
      "wait-message 3588 300\n"
      "set 231:1518 node-a\n"
      "set 231:1524 1499\n"
      "click 231:1531\n"
      "wait-message 3588 300\n"
      // the question refused: nothing changes
      "set 231:1524 9000\n"
      "answer 3584 cancel\n"
      "click 231:1531\n"
      "wait-message 3584 300\n"
      // the whole change: the node's questions, the cluster stop, the setters
      "set 231:1520 192.168.0.20\n"
      "set 231:1522 255.255.0.0\n"
      "set 231:1527 ntp1.example\n"
      "answer 3584 ok\nanswer 3816 ok\nanswer 3742 ok\n"
      "click 231:1531\n"
      // Esc while the cluster stops: the dialog stays
      "wait-text 231:1533 \"Stopping the cluster\" 300\n"
      "key escape\n"
      "wait-message 3537 900\n"
      "wait-transcript \"^enable 1532 1$\" 300\n"
      "click 231:1532\n"
      "wait-transcript \"^busy 0 0$\" 300\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 0 2", "window 231 \"Kelpset Tool \\( Setting \\)\"",
                      "message 3588 ok .*CHA Name.*", "message 3588 ok .*MTU.*", "message 3584 cancel .*",
                      "message 3584 ok .*", "message 3816 ok .*", "message 3742 ok .*", "enable 1532 0",
                      "text 1533 \"Stopping the cluster .*\"", "text 1533 \"The cluster has stopped.\"",
                      "message 3537 ok .*", "enable 1532 1", "busy 0 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3822 .*")) << Dump(run.lines);
  // Esc during the cluster stop neither closed the dialog nor released the board.
  const auto setup = FindLine(run.lines, "message 3742 ok .*");
  ASSERT_TRUE(setup);
  EXPECT_GT(*FindLine(run.lines, "busy 0 0", *setup), *FindLine(run.lines, "message 3537 ok .*", *setup));
  EXPECT_EQ(AgentValue(0, "Board", "Name"), "node-a");
  EXPECT_EQ(AgentValue(0, "Interface mng1", "IP"), "192.168.0.20");
  EXPECT_EQ(AgentValue(0, "Interface mng1", "Mask"), "255.255.0.0");
  EXPECT_EQ(AgentValue(0, "Interface mng1", "MTU"), "9000");
  EXPECT_EQ(AgentValue(0, "NTP", "Count"), "1");
  EXPECT_EQ(AgentValue(0, "NTP", "Server1"), "ntp1.example");
  EXPECT_EQ(AgentValue(0, "Interface mng0", "MTU"), "1500");  // the agent's own interface untouched
}

// A defined cluster whose two nodes are both INACTIVE serves nothing: the node's question is
// asked, but neither the services question nor a cluster stop comes before the change.
TEST(NetworkFlows, BothNodesInactiveChangeWithoutAClusterStop) {
  ToolBench bench;
  for (const char* pszSlot : {"0", "8"})
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", pszSlot, "HaProcess", "0"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1508 \"\\(INACTIVE\\)\" 600\n"
      "wait-text 1500 \"\\(INACTIVE\\)\" 600\n"
      "click 1500\n"
      "click 1009\n"
      "wait-text 231:1524 \"^1500$\" 300\n"
      "set 231:1518 node-a\n"
      "set 231:1524 9000\n"
      "answer 3584 ok\nanswer 3816 ok\n"
      "click 231:1531\n"
      "wait-message 3537 900\n"
      "wait-transcript \"^enable 1532 1$\" 300\n"
      "click 231:1532\n"
      "wait-transcript \"^busy 0 0$\" 300\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 0 2", "message 3584 ok .*", "message 3816 ok .*", "message 3537 ok .*", "busy 0 0",
                      "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message (3742|3822) .*")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "text 1533 \"Stopping the cluster.*")) << Dump(run.lines);
  EXPECT_EQ(AgentValue(0, "Interface mng1", "MTU"), "9000");
}

// A board whose agent does not answer its name in time: the time-out box ends the read (the
// exchanges after it are not tried), and the tool's trace names the step that failed and why.
TEST(NetworkFlows, AReadThatTimesOutIsTracedWithItsStepAndCause) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "0", "CHNName", "DelayMs=90000", "Count=1"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1500 \"\\(ACTIVE\\)\" 600\n"
      "click 1500\n"
      "click \"Routing\"\n"
      "wait-message 3515 300\n"
      "wait-transcript \"^title 231 \\\"Kelpset Tool \\\\( Setting \\\\)\\\"$\" 300\n"
      "wait-transcript \"^enable 1530 1$\" 300\n"
      "click 231:1532\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 231 \"Kelpset Tool \\( Setting \\)\"", "title 231 \"Kelpset Tool \\( Setting \\) - Reading\\.\\.\\.\"",
                      "message 3515 ok .*", "title 231 \"Kelpset Tool \\( Setting \\)\"", "enable 1530 1", "exit 0"});
  // Nothing was read: the fields stay empty and locked, Setup stays off.
  EXPECT_FALSE(FindLine(run.lines, "text 1520 \".+\"")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "enable (1520|1531) 1")) << Dump(run.lines);
  EXPECT_THAT(bench.TraceLines(),
              Contains(EndsWith(" error ReplyCHNName(), code = 0x00000009: no reply within 60 s")));
  EXPECT_THAT(bench.TraceLines(), Not(Contains(HasSubstr("RequestNetworkInfo"))));
}

// A board whose agent takes every request of the settings and never answers: the dialog is up
// at once and says it reads, Close ends it at once, and the read that goes on behind it ends
// quietly: its time-out box is not shown; the tool then closes normally.
TEST(NetworkFlows, AStalledAgentNeitherHoldsTheWindowNorTheClose) {
  ToolBench bench;
  for (const char* pszExchange : {"CHNName", "NetworkInfo", "MTUInfo", "NTPInfo", "ClusterDefinedStatus"})
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "0", pszExchange, "Stall=1"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1500 \"\\(ACTIVE\\)\" 600\n"
      "click 1500\n"
      "click \"Routing\"\n"
      "wait-transcript \"^window 231 .*\" 1\n"
      "wait-transcript \"^title 231 .* - Reading\\.\\.\\.\\\"$\" 1\n"
      "click 231:1532\n"
      "wait-transcript \"^busy 0 0$\" 1\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 0 2", "window 231 \"Kelpset Tool \\( Setting \\)\"",
                      "title 231 \"Kelpset Tool \\( Setting \\) - Reading\\.\\.\\.\"", "title 231 \"Kelpset Tool \\( Setting \\)\"",
                      "busy 0 0",
                      "exit 0"});
  std::size_t nBoxes = 0;
  for (const std::string& line : run.lines) nBoxes += line.rfind("message 3515 ", 0) == 0 ? 1 : 0;
  EXPECT_EQ(nBoxes, 0u) << Dump(run.lines);
  // The abandoned read wrote nothing into the closed dialog.
  EXPECT_FALSE(FindLine(run.lines, "text 1520 \".+\"")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "enable 1530 1")) << Dump(run.lines);
}

TEST(NetworkFlows, RoutesAddedRefusedAndDeleted) {
  ToolBench bench;
  for (const char* slot : {"1", "9"})  // neither node serves: the plain deletion question
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", slot, "HaProcess", "0"}), 0);
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "1", "RoutingDelete", "Result=0xCF", "Count=1"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1501 \"\\(INACTIVE\\)\" 600\n"
      "wait-text 1509 \"\\(INACTIVE\\)\" 600\n"
      "click 1501\n"
      "click 1009\n"
      "wait-text 231:1520 \"^192\\.168\\.1\\.10$\" 300\n"
      "click 231:1530\n"
      "click 232:1537\n"
      // a network route through a gateway, its MSS between blanks
      "set 233:1548 10.1.0.0\n"
      "set 233:1550 255.255.0.0\n"
      "check 233:1551 1\n"
      "set 233:1552 192.168.1.1\n"
      "set 233:1554 \" 64 \"\n"
      "click 233:1556\n"
      "wait-message 3537 300\n"
      // the default route without MSS, then the same again
      "click 233:1543\n"
      "set 233:1552 192.168.1.254\n"
      "set 233:1554 \"\"\n"
      "click 233:1556\n"
      "wait-message 3537 300\n"
      "click 233:1556\n"
      "wait-message 3819 300\n"
      // an MSS too small is refused before anything is sent
      "set 233:1554 63\n"
      "click 233:1556\n"
      "wait-message 3588 300\n"
      "click 233:1557\n"
      // both routes checked; the board does not find the first: 3814, and the other goes
      "check-row \"mng1\"\n"
      "answer 3817 ok\nanswer 3814 ok\n"
      "click 232:1538\n"
      "wait-message 3814 600\n"
      "wait-transcript \"^enable 1539 1$\" 300\n"
      // the list was read again: only the network route is left, unchecked
      "select-row \"10\\.1\\.0\\.0\"\n"
      "answer 3817 ok\n"
      "click 232:1538\n"
      "wait-message 3518 600\n"
      "wait-transcript \"^enable 1539 1$\" 300\n"
      "click 232:1539\n"
      "click 231:1532\n"
      "wait-transcript \"^busy 1 0$\" 300\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 1 2", "window 232 \"Kelpset Tool \\( Routing \\) - Reading\\.\\.\\.\"",
                      "title 232 \"Kelpset Tool \\( Routing \\)\"",
                      "window 233 \"Kelpset Tool \\( Add Routing \\)\"", "message 3537 ok .*", "message 3537 ok .*",
                      "message 3819 ok .*", "message 3588 ok .*MSS.*", "message 3817 ok .*", "enable 1539 0",
                      "message 3814 ok .*Target: 10\\.1\\.0\\.0.*Netmask: 255\\.255\\.0\\.0.*Gateway: 192\\.168\\.1\\.1.*",
                      "enable 1539 1", "message 3817 ok .*", "message 3518 ok .*", "enable 1539 1", "busy 1 0",
                      "exit 0"});
  // The deletion with a failure ends without 3518; the second deleted the one row it listed.
  const auto failed = FindLine(run.lines, "message 3814 .*");
  ASSERT_TRUE(failed);
  EXPECT_GT(FindLine(run.lines, "message 3518 .*").value_or(0), *failed);
  EXPECT_FALSE(FindLine(run.lines, "message 38(18|15) .*")) << Dump(run.lines);
  EXPECT_EQ(AgentValue(1, "Routes", "Count"), "0");
}

}  // namespace
