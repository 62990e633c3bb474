// Program installation through the real program in script mode: a fresh unit gets the NAS OS
// through the simulated array's installer and two products through the simulated agent, which
// fetches them from kelpftpd and checks every byte; the same versions are then refused. An
// inherit installation of four boards with one board refusing a product, then its retry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "TestEnv.h"
#include "ToolBench.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::ToolBench;

std::string TraceText(const std::filesystem::path& dir) {
  std::string text;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) text += kelptest::ReadFile(entry.path());
  return text;
}

TEST(ProgramInstall, FreshUnitGetsNasOsAndTwoProductsThenSameVersionsAreRefused) {
  ToolBench bench;
  ASSERT_TRUE(bench.SetAllStatus("new"));
  mkmedia::Media media = mkmedia::DefaultMedia(200000);
  for (mkmedia::Product& product : media.products) product.version = "04-01-00-00";  // NNC type 1 of the ZQH
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Launch(
      kctest::script::OpenProgramInstall(0) +
      "check-row \"^NAS OS\" 1\n"
      "check-row \"^NAS Backup Support\" 1\n"
      "check-row \"^NAS Cluster Support\" 1\n"
      "answer 4015 ok\nanswer 3499 ok\nanswer 3583 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n"
      "wait-text 208:1432 \"Installation process has completed.\" 20000\n"
      "wait-transcript \"^enable 1434 1$\" 600\n"
      "click \"Close\"\n"
      // the same versions again: nothing needs installing
      "check-row \"^NAS Cluster Support\" 1\n"
      "answer 4015 ok\n"
      "click \"Install\"\n"
      "wait-message 4012 600\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy 0 0$\" 600\n"
      "close\n").Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"busy 0 1", "window 206 \"Kelpset Tool \\( Program Install \\)\"", "message 4015 ok .*",
                      "message 3499 ok .*", "message 3583 ok .*", "window 207 .*", "window 208 .*",
                      "text 1432 \"Now Installing...\\[maximum 60 minutes\\]\"",
                      "text 1432 \"Now Rebooting...\\[maximum 32 minutes\\]\"",
                      "text 1432 \"NAS OS installation process has completed.\"", "text 1432 \"Now Installing...\"",
                      "text 1432 \"Installation process has completed.\"", "message 4012 ok .*", "busy 0 0",
                      "exit 0"});
  const std::string trace = TraceText(bench.work("log"));
  EXPECT_EQ(trace.find("InstallCommonPP() code"), std::string::npos);
  EXPECT_NE(trace.find("CHN[0] = dsvp_NasChangeInstallInf"), std::string::npos);
}

// A NAS OS installer that stops making progress: the label names the medium's limit, the time-out
// ends the installation with code 9, and nothing else is tried.
TEST(ProgramInstall, StalledInstallerEndsWithCode9AtTheMediumsLimit) {
  ToolBench bench;
  ASSERT_TRUE(bench.SetAllStatus("new"));
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "board", "0", "stall", "1"}), 0);
  mkmedia::Media media = mkmedia::DefaultMedia(100000);
  for (mkmedia::Product& product : media.products) product.version = "04-01-00-00";
  media.products[0].timeout = "3";
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Launch(
      kctest::script::OpenProgramInstall(0) +
      "check-row \"^NAS OS\" 1\ncheck-row \"^NAS Backup Support\" 1\n"
      "answer 4015 ok\nanswer 3499 ok\nanswer 3583 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n"
      "wait-transcript \"^enable 1434 1$\" 3000\n" +
      kctest::script::CloseAfterInstall()).Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 208 .*", "text 1432 \"Now Installing...\\[maximum 3 minutes\\]\"",
                      "message 3516 ok .*0x00000009.*", "text 1432 \"The NAS OS could not be updated.\"",
                      "enable 1434 1", "busy 0 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "text 1432 \"Now Installing...\"")) << "no product after a failed NAS OS";
  EXPECT_FALSE(FindLine(run.lines, "text 1432 \"Installation process has completed.\""));
}

// A running board whose agent takes the cluster status query of an update and never answers:
// Install asks and exchanges on a worker, so Install goes off at once, Close ends the dialog at
// once while the query hangs. The query behind it ends quietly: its time-out and the failed
// query's question are not shown, the question takes its default (Cancel) and stops, no
// confirmation follows, nothing reaches the board and the tool closes normally.
TEST(ProgramInstall, AStalledClusterQueryNeitherHoldsTheDialogNorTheClose) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "0", "ClusterStatus", "Stall=1"}), 0);
  mkmedia::Media media = mkmedia::DefaultMedia(1000);
  for (mkmedia::Product& product : media.products) product.version = "04-01-00-00";  // NNC type 1 of the ZQH
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(
      kctest::script::OpenProgramInstall(0, "ACTIVE") +
      "wait-transcript \"^enable 1413 1$\" 600\n"
      "check-row \"^NAS OS\\t\" 1\ncheck \"Forcibly install\" 1\n"
      "answer 4015 ok\nanswer 3498 yes\n"
      "click \"Install\"\n"
      "wait-transcript \"^enable 1413 0$\" 1\n"
      "wait-transcript \"^message 3498 yes \" 600\n"
      "sleep 1\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy 0 0$\" 1\n"
      "close\n");
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 206 .*", "enable 1413 1", "enable 1413 0", "message 3498 yes .*", "busy 0 0", "exit 0"});
  std::vector<std::string> boxes;
  for (const std::string& line : run.lines)
    if (line.rfind("message ", 0) == 0) boxes.push_back(line.substr(0, line.find(' ', 13)));
  EXPECT_THAT(boxes, testing::ElementsAre("message 4015 ok", "message 3498 yes"))
      << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "window 207 .*")) << "no confirmation after the dialog closed";
  EXPECT_THAT(TraceText(bench.work("log")), testing::Not(testing::HasSubstr("dsvp_NasChangeInstallInf")));
}

TEST(InheritInstall, FourBoardsThenARetryOfTheBoardThatRefusedAProduct) {
  corvid::sim::UnitSpec unit = corvid::sim::PresetUnit(kctest::kUnit, corvid::sim::Model::ZQH, 4);
  for (corvid::sim::BoardSpec& board : unit.boards) board.nasType = 2;  // boards of NNC type 2
  ToolBench bench(unit);
  ASSERT_TRUE(bench.SetAllStatus("stopped"));
  // Slot 9's agent refuses its first product once ("busy"); no other box is shown on the way.
  ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "9", "Install", "Result=24", "Count=1"}), 0);
  mkmedia::Media media = mkmedia::DefaultMedia(100000);
  for (mkmedia::Product& product : media.products) product.version = "05-01-00-00";
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Launch(
      kctest::script::OpenInheritInstall() +
      "answer 4023 ok\nanswer 4034 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^enable 1570 1$\" 30000\n"
      "click \"Retry failed boards\"\n"
      "wait-transcript \"^enable 1570 1$\" 30000\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy public 0$\" 600\n"
      "close\n").Finish(600);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  EXPECT_FALSE(FindLine(run.lines, "message 3514 .*")) << Dump(run.lines);
  ExpectInOrder(run, {"busy public 7", "window 204 .*", "message 4023 ok .*", "message 4034 ok .*",
                      "title 204 \"Kelpset Tool \\( Inherit and Install \\) - Installing...\"",
                      "result 0 0x00000000 \"\"", "result 1 0x00000000 \"\"", "result 8 0x00000000 \"\"",
                      "result 9 0x10000018 \"The NAS OS is processing another request.*\"", "title 204 .* - Failed\"", "enable 1569 1",
                      // the retry: only slot 9, only its failed product
                      "title 204 .* - Installing...\"", "result 9 0x00000000 \"\"",
                      "title 204 .* - Finished\"", "message 4033 .*", "busy public 0", "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "result (0|1|8) .*", *FindLine(run.lines, "result 9 0x10000018 .*")));
}

}  // namespace
