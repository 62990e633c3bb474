// NAS dumps through the real program in script mode against the simulated array: a dump taken
// and stopped, a failed transfer and then a dump downloaded into C:\NASDUMP beside an older file
// of the same name, a download that outruns its wait, which holds off a new dump until a later
// poll sees it end, a download refused for lack of space, a transfer failing without a cause,
// the dump dialog's buttons for a board in panic or with a skipped dump, and a stop refused
// because the board has left the dump.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "ToolBench.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "plat/DiskSpace.h"
#include "plat/Paths.h"
#include "velapi.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::ToolBench;
namespace sim = corvid::sim;

// The last transcript line that sets a control's text.
std::string LastText(const kctest::Outcome& run, int controlId) {
  const std::string prefix = "text " + std::to_string(controlId) + " ";
  for (auto it = run.lines.rbegin(); it != run.lines.rend(); ++it)
    if (it->rfind(prefix, 0) == 0) return *it;
  return {};
}

sim::UnitSpec Scenario(std::int64_t dumpMs, std::int64_t downloadMs) {
  sim::UnitSpec scenario = sim::PresetUnit(kctest::kUnit, sim::Model::ZQH, 4);
  scenario.durations.dumpMs = dumpMs;
  scenario.durations.downloadMs = downloadMs;
  return scenario;
}

// Board 1 (slot 1) takes a dump before the tool starts and runs again afterwards; returns the
// name its download will carry.
std::string DumpOfSlotOne(std::int64_t dumpMs) {
  std::uint32_t ulError = 0;
  static const bool bNamed = dsvp_SetArrayUnitName(kctest::kUnit, &ulError) != 0;  // once per process
  EXPECT_TRUE(bNamed) << ulError;
  EXPECT_TRUE(dsvp_NasGetHibDump(0, 1, &ulError)) << ulError;
  EXPECT_TRUE(sim::AdvanceTime(kctest::kUnit, dumpMs));
  EXPECT_TRUE(sim::SetBoardStatus(kctest::kUnit, 1, corvid::pages::kStatusOsUp));
  std::uint32_t ulStatus = 0, ulSize = 0;
  std::array<char, VEL_DUMP_DATE_SIZE> date{};
  EXPECT_TRUE(dsvp_GetDumpInformation(0, 1, &ulStatus, date.data(), &ulSize, &ulError)) << ulError;
  EXPECT_EQ(ulStatus, 0x0000FFFEu);
  sim::UnitSpec unit;
  EXPECT_TRUE(sim::LoadUnitSpec(kctest::kUnit, &unit));
  return unit.serial + "_1_" + date.data();
}

TEST(DumpFlows, ADumpTakenThenStopped) {
  ToolBench bench(Scenario(3'600'000, 60'000));  // the dump runs until stopped
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1500 \"ACTIVE\" 600\n"
      "click 1500\n"
      "answer 4020 cancel\n"
      "click \"NAS Dump\"\n"
      "click 210:1443\n"
      "wait-message 4020 300\n"
      "answer 4020 ok\nanswer 3569 ok\nanswer 3598 ok\nanswer 3690 ok\n"
      "click 210:1443\n"
      "wait-transcript \"^enable 1444 1$\" 900\n"
      "answer 3570 ok\n"
      "click 210:1444\n"
      "wait-message 3518 900\n"
      "wait-transcript \"^busy 0 4$\" 300\n"
      "click 210:1445\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 0 4", "enable 1081 0", "window 210 \"Kelpset Tool \\( NAS Dump \\)\"", "message 4020 cancel .*",
                      "message 4020 ok .*", "message 3569 ok .*90 minutes.*", "message 3598 ok .*",
                      "message 3690 ok .*", "busy 0 3", "text 1500 .*\\(DUMP\\).*", "busy 0 4", "enable 1444 1", "message 3570 ok .*", "busy 0 3", "message 3518 ok .*", "busy 0 4",
                      "busy 0 0", "enable 1081 1", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3569 .*", *FindLine(run.lines, "message 4020 cancel .*"))
                   .value_or(SIZE_MAX) < *FindLine(run.lines, "message 4020 ok .*"))
      << "a refused 4020 asks nothing more";
}

// The first transfer fails with a cause code; the second files the dump beside an older file.
TEST(DumpFlows, ADumpDownloadedBesideAnOlderFile) {
  ToolBench bench(Scenario(120'000, 60'000));
  const std::string name = DumpOfSlotOne(120'000);
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "9", "AgentVersion", "0x01020000"}), 0);
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "board", "1", "downloadresult", "0xFFFE1100"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const std::filesystem::path folder = plat::MapPath(plat::kDumpFolder);
  std::filesystem::create_directories(folder);
  kelptest::WriteFile(folder / name, "an older dump");
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1509 \"ACTIVE\" 600\n"
      "click 1509\n"  // an old NAS OS
      "click \"Download Dump\"\n"
      "wait-message 3618 300\n"
      "click 1508\n"  // no dump
      "click \"Download Dump\"\n"
      "wait-message 3643 300\n"
      "wait-text 1501 \"ACTIVE\" 600\n"
      "click 1501\n"
      "answer 3646 ok\nanswer 3646 ok\n"
      "click \"Download Dump\"\n"
      "click 211:1457\n"
      "wait-message 3647 900\n"
      "wait-transcript \"^enable 1457 1$\" 300\n"
      "click 211:1457\n"
      "wait-message 3649 900\n"
      "wait-transcript \"^enable 1458 1$\" 300\n"
      "click 211:1458\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 3618 ok .*CTL1-1.*", "message 3643 ok .*CTL1-0.*30 minutes.*",
                      "text 1452 \"Normal\"", "text 1456 \"1 MB\"",
                      "window 211 \"Kelpset Tool \\( Download Dump \\)\"", "message 3646 ok .*", "enable 1458 0",
                      "text 1452 \"Now downloading...\"", "message 3647 ok .*CTL0-1.*0xfffe1100.*", "enable 1457 1",
                      "message 3646 ok .*", "message 3649 ok .*File name: " + name + "_1\" default", "enable 1458 1", "exit 0"});
  EXPECT_EQ(LastText(run, 1452), "text 1452 \"Normal\"");
  EXPECT_EQ(kelptest::ReadFile(folder / name), "an older dump");
  const std::string filed = kelptest::ReadFile(folder / (name + "_1"));
  EXPECT_EQ(filed.size(), 64u * 1024u);
  EXPECT_THAT(filed, ::testing::StartsWith("Kelpset simulated NAS dump\nunit=KC1\nboard=1\n"));
  EXPECT_TRUE(std::filesystem::is_empty(folder / ".receive"));
}

TEST(DumpFlows, ADownloadThatOutrunsItsWaitHoldsOffANewDump) {
  ToolBench bench(Scenario(120'000, 400'000));
  const std::string name = DumpOfSlotOne(120'000);
  bench.settings["Dump"] = {{"Timeout", "1"}};
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1501 \"ACTIVE\" 600\n"
      "click 1501\n"
      "answer 3646 ok\n"
      "click \"Download Dump\"\n"
      "click 211:1457\n"
      "wait-message 3648 900\n"
      "wait-transcript \"^enable 1458 1$\" 300\n"
      "click 211:1458\n"
      "click \"NAS Dump\"\n"
      "click 210:1443\n"
      "wait-message 3558 600\n"
      "click 210:1445\n"
      "sleep 400\n"
      "click \"Download Dump\"\n"
      "wait-message 3649 900\n"
      "wait-text 211:1452 \"Normal\" 300\n"
      "click 211:1458\n"
      "answer 4020 cancel\n"
      "click \"NAS Dump\"\n"
      "click 210:1443\n"
      "wait-message 4020 600\n"
      "click 210:1445\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 3646 ok .*", "text 1452 \"Now downloading...\"", "message 3648 ok .*0x00000009.*",
                      "message 3558 ok .*0x0000fffc.*", "message 3649 ok .*File name: " + name + ".*",
                      "text 1452 \"Normal\"", "window 211 .*", "message 4020 cancel .*", "exit 0"});
  EXPECT_EQ(kelptest::ReadFile(plat::MapPath(plat::kDumpFolder) / name).size(), 64u * 1024u);
}

// A dump one megabyte larger than drive C: has room for (less the 50 MiB spare): 3645 names the
// drive and nothing is asked or sent.
TEST(DumpFlows, ADownloadRefusedForLackOfSpace) {
  ToolBench bench(Scenario(120'000, 60'000));
  const std::optional<plat::DiskSpace> space = plat::QueryDiskSpace(plat::SystemRoot());
  ASSERT_TRUE(space);
  const std::uint64_t freeMb = space->availableBytes / (1024 * 1024);
  if (freeMb > 0x00100000) GTEST_SKIP() << "more than a terabyte free";
  sim::UnitSpec unit;
  ASSERT_TRUE(sim::LoadUnitSpec(kctest::kUnit, &unit));
  unit.dumpSizeMb = static_cast<std::uint32_t>(freeMb);
  ASSERT_TRUE(sim::CreateUnit(unit, true));
  DumpOfSlotOne(120'000);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      "wait-transcript \"^ready$\" 600\n"
      "wait-text 1501 \"ACTIVE\" 600\n"
      "click 1501\n"
      "click \"Download Dump\"\n"
      "click 211:1457\n"
      "wait-message 3645 300\n"
      "click 211:1458\n"
      "wait-idle 600\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"text 1456 \"" + std::to_string(freeMb) + " MB\"", "message 3645 ok .*drive C: .*", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3646 .*")) << Dump(run.lines);
  EXPECT_FALSE(std::filesystem::exists(plat::MapPath(plat::kDumpFolder))) << "nothing was prepared";
}

}  // namespace

namespace {

// The NAS dump dialog's buttons for a board in panic (a new dump may be taken) and for a dump
// that was skipped (only the stop is offered), as the main window opens it. The template's
// buttons start enabled: only the one the state turns off changes.
struct DumpStateCase {
  const char* pszName;
  const char* pszStatusWord;  // kelp-arraysim's word
  const char* pszCaption;
  int nOff;  // the button the state disables
  int nOn;   // the button it keeps
};

const DumpStateCase kDumpStates[] = {
    {"Panic", "panic", "PANIC", 1444, 1443},
    {"DumpSkipped", "dumpskipped", "DUMPSKIP", 1443, 1444},
};

class DumpState : public ::testing::TestWithParam<DumpStateCase> {};

TEST_P(DumpState, OffersItsButtons) {
  const DumpStateCase& c = GetParam();
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "1", "status", c.pszStatusWord}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(kctest::script::SelectBoard(1, std::string("\\(") + c.pszCaption + "\\)") +
                                        "click \"NAS Dump\"\n"
                                        "wait-transcript \"^window 210 .*\" 300\n"
                                        "click 210:1445\n"
                                        "wait-idle 600\n"
                                        "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 1 4", "text 1442 \"" + std::string(c.pszCaption) + "\"",
                      "enable " + std::to_string(c.nOff) + " 0", "window 210 \"Kelpset Tool \\( NAS Dump \\)\"",
                      "busy 1 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "enable (" + std::to_string(c.nOn) + "|1445) 0")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "message .*")) << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(DumpFlows, DumpState, ::testing::ValuesIn(kDumpStates),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

// A skipped dump whose board comes up while the dialog still offers Stop: the poller has taken
// the new status but not yet repainted the dialog (the board's first agent version read is slow),
// so the click reaches the state check, which refuses with 3691 and leaves only Close.
TEST(DumpFlows, AStopRefusedOnceTheBoardHasLeftTheDump) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "1", "status", "dumpskipped"}), 0);
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "1", "Version", "DelayMs=55000", "Count=1"}), 0);
  ASSERT_TRUE(bench.StartAgents(true));  // the agent answers as soon as the board is up
  kctest::ToolRun tool = bench.Launch(kctest::script::SelectBoard(1, "\\(DUMPSKIP\\)") +
                                      "click \"NAS Dump\"\n"
                                      "wait-transcript \"^enable 1443 0$\" 300\n"
                                      // inside the 55 s of the slow version read, after the poller took the status
                                      "sleep 45\n"
                                      "answer 3570 cancel\n"
                                      "click 210:1444\n"
                                      "wait-message 3691 300\n"
                                      "wait-transcript \"^enable 1443 1$\" 300\n"
                                      "click 210:1445\n"
                                      "wait-idle 600\n"
                                      "close\n");
  ASSERT_TRUE(tool.WaitForLine("^enable 1443 0$", 120)) << Dump(tool.Lines());
  ASSERT_TRUE(sim::SetBoardStatus(kctest::kUnit, 1, corvid::pages::kStatusOsUp));
  const kctest::Outcome run = tool.Finish(120);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"text 1442 \"DUMPSKIP\"", "enable 1443 0", "window 210 .*",
                      "message 3691 ok \".*This is not a state in which this operation can be executed\\. Close "
                      "the window, and then check the NNC status\\.\"( default)?",
                      "enable 1444 0", "text 1442 \"(IN)?ACTIVE\"", "enable 1443 1", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3570 .*")) << "nothing was asked or stopped\n" << Dump(run.lines);
}

// A transfer that fails without a cause code: 4018 names the FTP service, the account and the
// room on the drive; the status word comes back to Normal and nothing is filed.
TEST(DumpFlows, ATransferFailureWithoutACause) {
  ToolBench bench(Scenario(120'000, 60'000));
  DumpOfSlotOne(120'000);
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "board", "1", "downloadresult", "0xFFFE0001"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(kctest::script::SelectBoard(1, "ACTIVE") +
                                        "answer 3646 ok\n"
                                        "click \"Download Dump\"\n"
                                        "click 211:1457\n"
                                        "wait-message 4018 900\n"
                                        "wait-transcript \"^enable 1458 1$\" 300\n"
                                        "click 211:1458\n"
                                        "wait-idle 600\n"
                                        "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 3646 ok .*", "text 1452 \"Now downloading...\"", "message 4018 ok .*",
                      "text 1452 \"Normal\"", "enable 1457 1", "enable 1458 1", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message (3647|3649|3516) .*")) << Dump(run.lines);
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(plat::MapPath(plat::kDumpFolder), error))
    EXPECT_TRUE(entry.is_directory()) << "nothing filed: " << entry.path();
}

}  // namespace
