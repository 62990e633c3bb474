// Faults of the installations through the real program in script mode: a medium with two NAS OS
// versions of one name, a MAC address that cannot be read when the DHCP table is refreshed, and
// an inherit installation on a board that was not fitted when the tool started (its agent
// connection is made while the status poller runs; this suite runs under ThreadSanitizer).
//
// Where a script must wait for the test to change the array, the test changes a board's status
// afterwards and the script waits for that board's caption: the poller's refresh is the signal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestEnv.h"
#include "ToolBench.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::ToolBench;
using ::testing::HasSubstr;
namespace pages = corvid::pages;

std::string TraceText(const std::filesystem::path& dir) {
  std::string text;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) text += kelptest::ReadFile(entry.path());
  return text;
}

corvid::sim::BoardState Board(int k) {
  std::vector<corvid::sim::BoardState> states;
  EXPECT_TRUE(corvid::sim::GetBoardStates(kctest::kUnit, &states));
  for (const corvid::sim::BoardState& s : states)
    if (s.k == k) return s;
  ADD_FAILURE() << "no board " << k;
  return {};
}

// A unit of four boards of NNC type 2 resting in status, and a medium of 05 products.
corvid::sim::UnitSpec TypeTwoUnit() {
  corvid::sim::UnitSpec unit = corvid::sim::PresetUnit(kctest::kUnit, corvid::sim::Model::ZQH, 4);
  for (corvid::sim::BoardSpec& board : unit.boards) board.nasType = 2;
  return unit;
}

mkmedia::Media TypeTwoMedia() {
  mkmedia::Media media = mkmedia::DefaultMedia(100000);
  for (mkmedia::Product& product : media.products) product.version = "05-01-00-00";
  return media;
}

// Only the second of two NAS OS records of one name is checked: that one is installed, and
// question 4015 is asked since rows were left out.
TEST(InstallFaults, TheCheckedOfTwoNasOsOfOneNameIsInstalled) {
  ToolBench bench(TypeTwoUnit());
  ASSERT_TRUE(bench.SetAllStatus("new"));
  mkmedia::Media media = TypeTwoMedia();
  media.products[0].version = "05-00-01-00";
  mkmedia::Product second = media.products[0];
  second.version = "05-02-00-00";
  second.file = "nasos2.img";
  second.timeout = "45";  // the installer's label tells the two apart
  media.products.insert(media.products.begin() + 1, second);
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Launch(
      kctest::script::OpenProgramInstall(0) +
      "check-row \"^NAS OS.05-02-00$\" 1\n"
      "answer 4015 ok\nanswer 3499 ok\nanswer 3583 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n"
      "wait-text 208:1432 \"Installation process has completed.\" 20000\n" +
      kctest::script::CloseAfterInstall()).Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 4015 ok .*", "message 3499 ok .*", "window 208 .*",
                      "text 1432 \"Now Installing...\\[maximum 45 minutes\\]\"",
                      "text 1432 \"NAS OS installation process has completed.\"", "exit 0"});
  EXPECT_THAT(TraceText(bench.work("log")),
              HasSubstr("Product : NAS OS 05-02-00-00 " + (bench.work("media") / "MP" / "nasos2.img").string()));
}

// Every row checked on a medium with two NAS OS: the second is refused with the agent's code for
// unmet installation conditions, and 4015 is not asked since nothing was left out. A board
// without a NAS OS and no NAS OS checked is refused with the code of a missing prerequisite.
TEST(InstallFaults, SecondNasOsAndMissingNasOsAreRefusedWithTheirCodes) {
  ToolBench bench(TypeTwoUnit());
  ASSERT_TRUE(bench.SetAllStatus("new"));
  mkmedia::Media media = TypeTwoMedia();
  mkmedia::Product second = media.products[0];
  second.version = "05-02-00-00";
  second.file = "nasos2.img";
  media.products.push_back(second);
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Launch(
      kctest::script::OpenProgramInstall(0) +
      "check-row \"^NAS Backup Support.*\" 1\n"
      "click \"Install\"\n"
      "wait-message 4008 600\n"
      "check-row \".*\" 1\n"
      "answer 3499 cancel\n"
      "click \"Install\"\n"
      "wait-message 3499 600\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy 0 0$\" 600\n"
      "close\n").Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 4008 ok \"\\[DMEN04008E\\].*\\(code = 0x10000503\\).*",
                      "message 3597 ok \"\\[DMEN03597W\\].*\\(code = 0x10000501\\).*", "message 3499 cancel .*",
                      "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 4015 .*")) << "the refused NAS OS was no row left out";
  EXPECT_THAT(TraceText(bench.work("log")), HasSubstr("second NAS OS not installed : NAS OS 05-02-00-00"));
}

// The MAC address of slot 9 cannot be read when the program installation of slot 0 refreshes
// the DHCP table: nothing reaches the board, the message carries the code and the trace names
// the board, and the LU registration is undone, so the next try after the fault installs
// without "another task is initialising".
TEST(InstallFaults, UnreadableMacAddressStopsTheInstallationBeforeTheBoard) {
  ToolBench bench;
  ASSERT_TRUE(bench.SetAllStatus("new"));
  mkmedia::Media media = mkmedia::DefaultMedia(100000);
  for (mkmedia::Product& product : media.products) product.version = "04-01-00-00";
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  kctest::ToolRun tool = bench.Launch(
      kctest::script::OpenProgramInstall(0) +
      "check-row \"^NAS OS\" 1\n"
      "answer 4015 ok\nanswer 3499 ok\nanswer 3583 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      // the test makes slot 9's entry unreadable, then stops slot 1 as its signal
      "wait-text 102:1501 \"\\(STOP\\)\" 600\n"
      "click \"OK\"\n"
      "wait-message 3527 600\n"
      "wait-text 102:1501 \"\\(DOWN\\)\" 600\n"
      "answer 4015 ok\nanswer 3499 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n"
      "wait-text 208:1432 \"Installation process has completed.\" 20000\n" +
      kctest::script::CloseAfterInstall());
  ASSERT_TRUE(tool.WaitForLine("^window 207 .*", 60)) << Dump(tool.Lines());
  ASSERT_TRUE(corvid::sim::PokePage(kctest::kUnit, pages::kNasPage, pages::kA3Config,
                                    pages::a3::Entry(3) + pages::a3::kValid, {2}));
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "1", "status", "stopped"}), 0);
  ASSERT_TRUE(tool.WaitForLine("^message 3527 .*", 60)) << Dump(tool.Lines());
  EXPECT_EQ(Board(0).activity, "idle") << "nothing was sent to the board";
  const std::string trace = TraceText(bench.work("log"));
  EXPECT_THAT(trace, HasSubstr("m_pcCHNs[9]->GetMacAddress() : 0x80000001"));
  EXPECT_THAT(trace, HasSubstr("CTL1-1 : the MAC address cannot be read"));
  EXPECT_THAT(trace, HasSubstr("RefreshMacAddress() : 0x80000001"));
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "clear"}), 0);
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "1", "status", "down"}), 0);
  const kctest::Outcome run = tool.Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 207 .*", "message 3527 ok \"\\[DMEN03527E\\].*\\(code = 0x80000001\\).*",
                      "window 206 .*", "window 207 .*", "window 208 .*",
                      "text 1432 \"NAS OS installation process has completed.\"", "busy 0 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message (3490|3491|4019) .*")) << "the LU registration was undone";
  EXPECT_GT(*FindLine(run.lines, "window 208 .*"), *FindLine(run.lines, "message 3527 .*"))
      << "no progress window for the first try";
}

// Slot 9 is not fitted when the tool starts, so it has no agent connection; the inherit
// installation finds it fitted, checks every board on a worker (the window says it is checking)
// and installs it with the others while the status poller reads the boards. Its agent refuses
// two products: the board goes on without asking and its result row names both.
TEST(InstallFaults, InheritInstallsABoardFittedAfterStartUp) {
  ToolBench bench(TypeTwoUnit());
  ASSERT_TRUE(bench.SetAllStatus("stopped"));
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "9", "Install", "Result=24", "Count=2"}), 0);
  ASSERT_TRUE(corvid::sim::PokePage(kctest::kUnit, pages::kPortInfoPage, pages::kPortInfoSubPage,
                                    pages::port::kStatus[3], {pages::port::kStatusNotInstalled}));
  ASSERT_TRUE(bench.UseMedia(TypeTwoMedia()));
  ASSERT_TRUE(bench.StartAgents());
  kctest::ToolRun tool = bench.Launch(
      kctest::script::OpenInheritInstall() +
      // the test fits slot 9, then has slot 0 rest new as its signal
      "wait-text 102:1500 \"\\(NEW\\)\" 600\n"
      "answer 4023 ok\nanswer 4034 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^title 204 .* - Checking...\\\"$\" 600\n"
      "wait-transcript \"^enable 1570 1$\" 30000\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy public 0$\" 600\n"
      "close\n");
  ASSERT_TRUE(tool.WaitForLine("^window 204 .*", 60)) << Dump(tool.Lines());
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "clear"}), 0);
  ASSERT_EQ(bench.ArraySim({"set", kctest::kUnit, "0", "status", "new"}), 0);
  const kctest::Outcome run = tool.Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 4036 ok .*CTL1-0\"", "window 204 .*",
                      "title 204 \"Kelpset Tool \\( Inherit and Install \\) - Checking...\"",
                      "enable 1570 0", "message 4023 ok .*", "message 4034 ok .*",
                      "title 204 .* - Installing...\"", "result 0 0x00000000 \"\"", "result 1 0x00000000 \"\"",
                      "result 8 0x00000000 \"\"", "result 9 0x10000018 .*", "title 204 .* - Failed\"",
                      "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 3593 .*")) << Dump(run.lines);
  EXPECT_THAT(TraceText(bench.work("log")),
              HasSubstr("result CTL1-1 : products NAS Backup Support, NAS Cluster Support, Failed(0x10000018)"));
}

// Boards of NNC type 1 fail the checks: the message comes from the checking worker, then the
// dialog is as before Install (caption, Install and Close usable) and nothing was asked.
TEST(InstallFaults, InheritChecksThatFailGiveTheDialogBack) {
  ToolBench bench;
  ASSERT_TRUE(bench.SetAllStatus("stopped"));
  ASSERT_TRUE(bench.UseMedia(TypeTwoMedia()));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Launch(
      kctest::script::OpenInheritInstall() +
      "click \"Install\"\n"
      "wait-message 4038 600\n"
      "wait-transcript \"^enable 1568 1$\" 600\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy public 0$\" 600\n"
      "close\n").Finish(120);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 204 .*", "title 204 \"Kelpset Tool \\( Inherit and Install \\) - Checking...\"",
                      "enable 1570 0", "message 4038 ok .*", "title 204 \"Kelpset Tool \\( Inherit and Install \\)\"",
                      "enable 1568 1", "enable 1570 1", "busy public 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message (4023|4034) .*"));
}

}  // namespace
