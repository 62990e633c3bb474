// kelpctl as a user runs it: the real program against a simulated unit in a private system root.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "KelpctlRun.h"
#include "TestEnv.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"

namespace {

namespace sim = corvid::sim;

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

using Result = kelptest::KelpctlResult;

Result Kelpctl(const std::string& args) { return kelptest::RunKelpctl("-s /nonexistent/kelpconf.ini " + args); }

int CountLinesStartingWithDigit(const std::string& text) {
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) ++n;
  return n;
}

// Regular files anywhere below folder; 0 when it does not exist.
int CountFiles(const std::filesystem::path& folder) {
  std::error_code error;
  int n = 0;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file()) ++n;
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

TEST_F(KelpctlTest, MediaListsTheCatalogueOfTheRegisteredMedium) {
  const Result none = Kelpctl("-h U media");
  EXPECT_EQ(none.status, 1) << none.output;
  EXPECT_THAT(none.output, HasSubstr("no medium is registered"));

  kelptest::TempDir root;
  mkmedia::Media media = mkmedia::DefaultMedia(64);
  media.products.push_back({mkmedia::ProductKind::Os, "NAS OS Base", "05-00-00-00", "0500", "base.img", 64, "45"});
  media.products.push_back({mkmedia::ProductKind::Opt, "Hotfix", "-", "-", "fix.img", 64, ""});
  media.rawDescriptions.push_back({"broken.sut", *mkmedia::RawDescriptionText("Name=Broken;Version=05;File=x.img")});
  std::string error;
  ASSERT_TRUE(mkmedia::WriteMedia(root.path(), media, error) && mkmedia::RegisterTftpRoot(root.path(), error)) << error;

  const Result listed = Kelpctl("-h U media");
  EXPECT_EQ(listed.status, 0) << listed.output;
  const std::string::size_type base = listed.output.find("os   NAS OS Base");
  const std::string::size_type os = listed.output.find("os   NAS OS   ");
  EXPECT_LT(base, os) << listed.output;  // base.os sorts before nasos.os
  EXPECT_THAT(listed.output, HasSubstr("05-00-00-00 0500              45  base.img"));
  EXPECT_THAT(listed.output, HasSubstr("opt  Hotfix                           -           -                  1  fix.img"));
  EXPECT_THAT(listed.output, ::testing::Not(HasSubstr("Broken")));
  EXPECT_THAT(listed.output, HasSubstr("6 product(s)"));
}

// The services across kelpctl runs on the default sim backend: start writes c:\dhcp.ini from the
// array's boards and records both services running; status and stop, in later runs, see that.
TEST_F(KelpctlTest, ServicesStartStatusStopAcrossRuns) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("NET", sim::Model::ZQH, 4), false));
  const Result before = Kelpctl("-h NET services status");
  EXPECT_EQ(before.status, 0) << before.output;
  EXPECT_THAT(before.output, HasSubstr("backend sim (simulated: no DHCP or TFTP server runs)\n"
                                       "DHCP Server: stopped\nTFTP Server: stopped\n"));

  const std::filesystem::path dhcp = env.systemRoot() / "dhcp.ini";
  kelptest::WriteFile(dhcp, "");
  const Result start = Kelpctl("-h NET services start");
  EXPECT_EQ(start.status, 0) << start.output;
  EXPECT_THAT(start.output, HasSubstr("DHCP Server: running\nTFTP Server: running\n"));
  const std::string written = kelptest::ReadFile(dhcp);
  EXPECT_THAT(written, HasSubstr("Start Address=127.0.0.240\nEnd Address=127.0.0.243\n")) << written;
  EXPECT_THAT(written, HasSubstr("[mac id address]\n02-4B-")) << written;

  const Result again = Kelpctl("-h NET services start");
  EXPECT_EQ(again.status, 0) << again.output;
  const Result stop = Kelpctl("-h NET services stop");
  EXPECT_EQ(stop.status, 0) << stop.output;
  EXPECT_THAT(stop.output, HasSubstr("DHCP Server: stopped\nTFTP Server: stopped\n"));
  EXPECT_THAT(Kelpctl("-h NET services status").output, HasSubstr("DHCP Server: stopped\n"));
}

TEST_F(KelpctlTest, ResetBlocksAndRestoresTheBoardAndReportsTheResult) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::SetBoardStatus("U", 2, 2));  // slot 8 runs its NAS OS
  const Result reset = Kelpctl("-h U reset 8");
  EXPECT_EQ(reset.status, 0) << reset.output;
  // The board reads DOWN only for the second between blockade and restore, which a poll on a
  // loaded machine can miss; the boot after the restore is long enough to be seen every time.
  EXPECT_THAT(reset.output, ContainsRegex("\\+ +[0-9]+s  board (DOWN|WARN)\n"));
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

// A dump taken and brought to the PC twice: the second download is filed beside the first, and
// --to copies each into another folder, made with its parents on the first copy. A --to that
// names a file stops the command before the board uploads anything.
TEST_F(KelpctlTest, DumpThenDownloadFilesItWithoutReplacingAnything) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::SetBoardStatus("U", 2, 2));  // slot 8 runs its NAS OS
  const Result dump = Kelpctl("-h U dump 8");
  ASSERT_EQ(dump.status, 0) << dump.output;
  EXPECT_THAT(dump.output, HasSubstr("dump of slot 8 finished"));
  ASSERT_TRUE(sim::AdvanceTime("U", 200'000));  // the dump has been written

  const std::filesystem::path blocker = env.systemRoot() / "blocker";
  kelptest::WriteFile(blocker, "a file, not a folder");
  const Result blocked = Kelpctl("-h U download-dump 8 --to " + (blocker / "copies").string());
  EXPECT_EQ(blocked.status, 1) << blocked.output;
  EXPECT_THAT(blocked.output, HasSubstr("kelpctl: cannot create the folder " + (blocker / "copies").string() + ": "));
  EXPECT_THAT(blocked.output, Not(HasSubstr("downloading")));
  EXPECT_EQ(CountFiles(env.systemRoot() / "NASDUMP"), 0) << blocked.output;

  const std::filesystem::path to = env.systemRoot() / "copies" / "of" / "dumps";
  std::vector<std::string> names;
  for (int i = 0; i < 2; ++i) {
    const Result download = Kelpctl("-h U download-dump 8 --to " + to.string());
    ASSERT_EQ(download.status, 0) << download.output;
    EXPECT_THAT(download.output, HasSubstr("downloading"));
    const std::size_t at = download.output.find("filed as ");
    ASSERT_NE(at, std::string::npos) << download.output;
    const std::filesystem::path filed(download.output.substr(at + 9, download.output.find('\n', at) - at - 9));
    names.push_back(filed.filename().string());
    EXPECT_GT(std::filesystem::file_size(filed), 0u);
    EXPECT_EQ(kelptest::ReadFile(filed), kelptest::ReadFile(to / filed.filename()));
  }
  EXPECT_NE(names[1], names[0]);
  EXPECT_EQ(names[1].rfind(names[0], 0), 0u) << "the second download is filed beside the first";
  EXPECT_TRUE(std::filesystem::exists(to / names[0]));
  const Result wrongOption = Kelpctl("-h U dump 8 --to " + to.string());
  EXPECT_EQ(wrongOption.status, 2) << wrongOption.output;
}

}  // namespace
