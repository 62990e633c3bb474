// The installation paths that a plain run does not take, through the real program in script
// mode against the simulated array, agents and the real kelpftpd: an inherit installation whose
// boards outlast its wait limit, the product loop's stops and failures, a hardware blockade
// during the NAS OS steps, update against new installation, and two LU initialisations at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TestEnv.h"
#include "ToolBench.h"
#include "board/BoardLock.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"
#include "plat/NamedMutex.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using kctest::Outcome;
using kctest::ToolBench;
namespace script = kctest::script;
namespace pg = corvid::pages;

// Boards K 0..3 are slots 0, 1, 8 and 9.
constexpr int kSlotOfK[] = {0, 1, 8, 9};

constexpr const char* kStopLeftovers = "click \"         Cancel\\n(the leftover products)\"\n";
// Closes the progress dialog, then the program installation, once the installation ended.
const std::string kCloseAfterInstall =
    "wait-transcript \"^enable 1434 1$\" 6000\n" + kctest::script::CloseAfterInstall();

// A unit whose boards install and boot in under a minute of logical time.
corvid::sim::UnitSpec QuickUnit(std::uint8_t nasType = 1) {
  corvid::sim::UnitSpec unit = corvid::sim::PresetUnit(kctest::kUnit, corvid::sim::Model::ZQH, 4);
  unit.durations.installMs = 40'000;
  unit.durations.bootMs = 30'000;
  for (corvid::sim::BoardSpec& board : unit.boards) board.nasType = nasType;
  return unit;
}

// The default medium with every product at one version (04-... suits NNC type 1, 05-... type 2).
mkmedia::Media Medium(const std::string& version) {
  mkmedia::Media media = mkmedia::DefaultMedia(20000);
  media.osVersion = version;
  for (mkmedia::Product& product : media.products) product.version = version;
  return media;
}

testing::AssertionResult BoardFault(const ToolBench& bench, int k, const std::string& kind, const std::string& value) {
  if (bench.ArraySim({"fault", kctest::kUnit, "board", std::to_string(k), kind, value}) == 0)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "fault " << kind << " " << value << " not set on board " << k;
}

std::string TraceText(const ToolBench& bench) {
  std::string text;
  for (const auto& entry : std::filesystem::directory_iterator(bench.work("log")))
    text += kelptest::ReadFile(entry.path());
  return text;
}

// Waits (real seconds) until the tool's trace holds text.
bool WaitForTrace(const ToolBench& bench, const std::string& text, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (TraceText(bench).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

corvid::sim::BoardState BoardNow(int k) {
  std::vector<corvid::sim::BoardState> states;
  std::string error;
  EXPECT_TRUE(corvid::sim::GetBoardStates(kctest::kUnit, &states, &error)) << error;
  for (const corvid::sim::BoardState& state : states)
    if (state.k == k) return state;
  ADD_FAILURE() << "no board " << k;
  return {};
}

// The install type of the last NAS OS installation the array accepted, if any.
std::optional<std::uint32_t> LastInstallType() {
  std::vector<std::uint8_t> image;
  if (!corvid::sim::LastSelected(kctest::kUnit, pg::kNasPage, pg::kA1Install, &image) ||
      image.size() < pg::a1::kSize)
    return std::nullopt;
  const std::size_t at = pg::a1::kInstallType;
  return static_cast<std::uint32_t>(image[at]) << 24 | static_cast<std::uint32_t>(image[at + 1]) << 16 |
         static_cast<std::uint32_t>(image[at + 2]) << 8 | image[at + 3];
}

// A table case's name, for the test's.
template <class Case>
std::string CaseName(const testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& pattern) {
  std::size_t n = 0;
  for (auto at = FindLine(lines, pattern); at; at = FindLine(lines, pattern, *at + 1)) ++n;
  return n;
}

// No line matches pattern after the first line that matches after.
void ExpectNoneAfter(const Outcome& run, const std::string& after, const std::string& pattern) {
  const auto from = FindLine(run.lines, after);
  ASSERT_TRUE(from) << after << "\n" << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, pattern, *from + 1)) << pattern << " after " << after << "\n" << Dump(run.lines);
}

// ---------------------------------------------------------------- inherit installation

// Slots 8 and 9 are held by another program (it has their board locks) for longer than the
// installation waits for its boards: once the wait limit passes, the boards still working are
// told to stop, every board thread is joined before the result is shown and Close comes back, the
// held boards fail with code 9, and neither gets its installer started when its lock comes free.
TEST(InstallPaths, InheritBoardsPastTheWaitLimitAreStoppedJoinedAndFailWithCode9) {
  ToolBench bench(QuickUnit(2));
  ASSERT_TRUE(bench.SetAllStatus("stopped"));
  mkmedia::Media media = Medium("05-01-00-00");
  media.products.resize(2);  // the NAS OS and one product, a minute each: the smallest wait limit
  for (mkmedia::Product& product : media.products) product.timeout = "1";
  ASSERT_TRUE(bench.UseMedia(media));
  ASSERT_TRUE(bench.StartAgents());
  plat::NamedMutex lock8(board::BoardLock::NameOf(8));
  plat::NamedMutex lock9(board::BoardLock::NameOf(9));
  ASSERT_EQ(lock8.Lock(), plat::LockResult::Acquired);
  ASSERT_EQ(lock9.Lock(), plat::LockResult::Acquired);
  kctest::ToolRun tool = bench.Launch(
      script::OpenInheritInstall() +
      "answer 4023 ok\nanswer 4034 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^title 204 .* - Failed\\\"$\" 60000\n"
      "wait-transcript \"^enable 1570 1$\" 600\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy public 0$\" 600\n"
      "close\n");
  const bool passed = WaitForTrace(bench, "the wait limit passed", 240);
  const std::vector<std::string> whileHeld = tool.Lines();
  lock8.Unlock();
  lock9.Unlock();
  ASSERT_TRUE(passed) << Dump(whileHeld);
  const auto installing = FindLine(whileHeld, "title 204 .* - Installing...\"");
  ASSERT_TRUE(installing) << Dump(whileHeld);
  EXPECT_FALSE(FindLine(whileHeld, "enable 1570 1", *installing)) << "Close before the threads ended\n"
                                                                  << Dump(whileHeld);
  EXPECT_FALSE(FindLine(whileHeld, "result .*")) << Dump(whileHeld);

  const Outcome run = tool.Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"message 4023 ok .*", "message 4034 ok .*", "title 204 .* - Installing...\"",
                      "result 0 0x00000000 \"\"", "result 1 0x00000000 \"\"", "result 8 0x00000009 .*",
                      "result 9 0x00000009 .*", "title 204 .* - Failed\"", "enable 1570 1", "busy public 0",
                      "exit 0"});
  EXPECT_FALSE(FindLine(run.lines, "message 4033 .*")) << Dump(run.lines);
  for (const int k : {2, 3}) {
    const corvid::sim::BoardState state = BoardNow(k);
    EXPECT_EQ(state.activity, "idle") << "slot " << kSlotOfK[k] << " got its installer after the stop";
    EXPECT_EQ(state.status, pg::kStatusStopped) << "slot " << kSlotOfK[k];
  }
}

// ---------------------------------------------------------------- the product loop

struct StopCase {
  const char* name;
  const char* answer;  // to 3593
  std::vector<std::string> expected;
  std::vector<std::string> absentAfterQuestion;
};

class StopBeforeFirstProduct : public testing::TestWithParam<StopCase> {};

// Stop pressed while the NAS OS installs: the NAS OS is completed, then 3593 is asked before the
// first product; Yes installs no product, No goes on with every product and asks nothing more.
TEST_P(StopBeforeFirstProduct, IsAskedOnceTheNasOsRuns) {
  const StopCase& c = GetParam();
  ToolBench bench(QuickUnit());
  ASSERT_TRUE(bench.SetAllStatus("new"));
  ASSERT_TRUE(BoardFault(bench, 0, "stall", "1"));  // the installer waits for the Stop
  ASSERT_TRUE(bench.UseMedia(Medium("04-01-00-00")));
  ASSERT_TRUE(bench.StartAgents());
  kctest::ToolRun tool = bench.Launch(
      script::OpenProgramInstall(0) +
      "check-row \"^NAS OS\\t\" 1\ncheck-row \"^NAS Backup Support\" 1\ncheck-row \"^NAS Cluster Support\" 1\n"
      "answer 4015 ok\nanswer 3499 ok\nanswer 3583 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n"
      "wait-transcript \"^enable 1433 1$\" 600\n"
      // Stop is enabled just before the NAS OS label is posted: press it once the label shows.
      "wait-transcript \"^text 1432 .Now Installing.*maximum 60 minutes\" 600\n" +
      kStopLeftovers + "answer 3593 " + c.answer + "\n" + kCloseAfterInstall);
  const bool stopped = tool.WaitForLine("enable 1433 0", 120);
  EXPECT_TRUE(BoardFault(bench, 0, "stall", "0"));
  const Outcome run = tool.Finish(300);
  ASSERT_TRUE(stopped) << Dump(run.lines);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, c.expected);
  // The box and the label the worker posts just before it may reach the transcript either way round.
  EXPECT_TRUE(FindLine(run.lines, "text 1432 \"NAS OS installation process has completed.\"")) << Dump(run.lines);
  for (const std::string& pattern : c.absentAfterQuestion) ExpectNoneAfter(run, "message 3593 .*", pattern);
}

INSTANTIATE_TEST_SUITE_P(
    InstallPaths, StopBeforeFirstProduct,
    testing::Values(StopCase{"YesEndsBeforeAnyProduct",
                             "yes",
                             {"text 1432 \"Now Installing...\\[maximum 60 minutes\\]\"", "enable 1433 0",
                              "text 1432 \"Now Rebooting...\\[maximum 32 minutes\\]\"", "message 3593 yes .*",
                              "text 1432 \"Installation process has completed.\"", "enable 1434 1", "exit 0"},
                             {"text 1432 \"Now Installing...\""}},
                    StopCase{"NoInstallsEveryProduct",
                             "no",
                             {"text 1432 \"Now Rebooting...\\[maximum 32 minutes\\]\"", "message 3593 no .*",
                              "text 1432 \"Now Installing...\"", "text 1432 \"Installation process has completed.\"",
                              "enable 1434 1", "exit 0"},
                             {"message 3593 .*"}}),
    CaseName<StopCase>);

struct ProductCase {
  const char* name;
  bool patch;    // the SUT product is a patch (version "-")
  bool restart;  // that patch asks for the NAS OS to be restarted
  bool refuse;   // the agent refuses every product ("busy")
  const char* answers;
  std::vector<std::string> expected;
  std::vector<std::pair<std::string, std::size_t>> counts;  // how many lines match a pattern
};

class ProductLoop : public testing::TestWithParam<ProductCase> {};

// Three products on a running board, no NAS OS: what a failed product, a failed patch and a patch
// that wants a restart do to the loop. Every refused product shows its box (3558), so the boxes
// count the products tried.
TEST_P(ProductLoop, FailuresAndPatches) {
  const ProductCase& c = GetParam();
  ToolBench bench(QuickUnit());
  mkmedia::Media media = Medium("04-01-00-00");
  if (c.patch) {
    media.products[1].name = "NAS Backup Fix";
    media.products[1].version = "-";
    media.products[1].reboot = c.restart;
  }
  ASSERT_TRUE(bench.UseMedia(media));
  if (c.refuse) {
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "behave", "0", "Install", "Result=0x18"}), 0);
  }
  ASSERT_TRUE(bench.StartAgents());
  const Outcome run = bench.Launch(
      script::OpenProgramInstall(0, "ACTIVE") +
      "check-row \"^NAS Backup\" 1\ncheck-row \"^NAS Cluster Support\" 1\ncheck-row \"^NAS File Audit\" 1\n"
      "answer 4015 ok\n" + c.answers +
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n" + kCloseAfterInstall).Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, c.expected);
  for (const auto& [pattern, count] : c.counts)
    EXPECT_EQ(Count(run.lines, pattern), count) << pattern << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(
    InstallPaths, ProductLoop,
    testing::Values(
        ProductCase{"FailedProductThenYesEndsTheLoop", false, false, true, "answer 3593 yes\n",
                    {"window 208 .*", "message 3558 .*", "message 3593 yes .*",
                     "text 1432 \"Installation process has completed.\"", "exit 0"},
                    {{"message 3558 .*", 1}, {"message 3593 .*", 1}}},
        ProductCase{"FailedProductsThenNoGoesOnWithoutAskingAfterTheLast", false, false, true,
                    "answer 3593 no\nanswer 3593 no\n",
                    {"message 3558 .*", "message 3593 no .*", "message 3558 .*", "message 3593 no .*",
                     "message 3558 .*", "text 1432 \"Installation process has completed.\"", "exit 0"},
                    {{"message 3558 .*", 3}, {"message 3593 .*", 2}}},
        ProductCase{"FailedPatchEndsTheLoopWithoutAsking", true, false, true, "",
                    {"message 3558 .*", "text 1432 \"Installation process has completed.\"", "exit 0"},
                    {{"message 3558 .*", 1}, {"message 3593 .*", 0}}},
        ProductCase{"PatchThatNeedsARestartSaysSo", true, true, false, "",
                    {"window 208 .*", "message 4010 .*", "text 1432 \"Installation process has completed.\"",
                     "exit 0"},
                    {{"message 4010 .*", 1}, {"message 3593 .*", 0}, {"message 3558 .*", 0}}}),
    CaseName<ProductCase>);

// ---------------------------------------------------------------- hardware blockade

struct BlockadeCase {
  const char* name;
  std::int64_t installMs;
  std::int64_t bootMs;
  const char* stepLabel;   // the label of the step the blockade hits
  const char* failLabel;
  const char* traceLine;
};

class MpBlockade : public testing::TestWithParam<BlockadeCase> {};

// The board's processor is blocked during a NAS OS step: the step ends at the next round with
// 3850 and its failure label, not at the step's limit (no 3516), and nothing after it runs.
TEST_P(MpBlockade, EndsTheNasOsStepAtOnce) {
  const BlockadeCase& c = GetParam();
  corvid::sim::UnitSpec unit = QuickUnit();
  unit.durations.installMs = c.installMs;
  unit.durations.bootMs = c.bootMs;
  ToolBench bench(unit);
  ASSERT_TRUE(bench.SetAllStatus("new"));
  ASSERT_TRUE(bench.UseMedia(Medium("04-01-00-00")));
  ASSERT_TRUE(bench.StartAgents());
  kctest::ToolRun tool = bench.Launch(
      script::OpenProgramInstall(0) +
      "check-row \"^NAS OS\\t\" 1\ncheck-row \"^NAS Backup Support\" 1\n"
      "answer 4015 ok\nanswer 3499 ok\nanswer 3583 ok\n"
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n" + kCloseAfterInstall);
  const std::string step = std::string("text 1432 \"") + c.stepLabel + "\"";
  const bool reached = tool.WaitForLine(step, 120);
  if (reached) {
    EXPECT_TRUE(BoardFault(bench, 0, "stall", "1"));
    EXPECT_TRUE(BoardFault(bench, 0, "mpstatus", "0x1001"));
  }
  const Outcome run = tool.Finish(300);
  ASSERT_TRUE(reached) << Dump(run.lines);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 208 .*", step, "message 3850 .*", std::string("text 1432 \"") + c.failLabel + "\"",
                      "enable 1434 1", "exit 0"});
  for (const char* absent : {"message 3516 .*", "text 1432 \"Now Installing...\"",
                             "text 1432 \"Installation process has completed.\""})
    EXPECT_FALSE(FindLine(run.lines, absent)) << absent << Dump(run.lines);
  EXPECT_THAT(TraceText(bench), testing::HasSubstr(c.traceLine));
}

INSTANTIATE_TEST_SUITE_P(
    InstallPaths, MpBlockade,
    testing::Values(BlockadeCase{"WhileTheInstallerRuns", 600'000, 30'000,
                                 "Now Installing...\\[maximum 60 minutes\\]", "The NAS OS could not be updated.",
                                 "CTL0-0 Install Thread finish : MP Blockade"},
                    BlockadeCase{"WhileWaitingForTheBoot", 40'000, 600'000,
                                 "Now Rebooting...\\[maximum 32 minutes\\]", "Failed to reboot the NAS OS.",
                                 "CTL0-0 Install Thread finish (Reboot) : MP Blockade"}),
    CaseName<BlockadeCase>);

// ---------------------------------------------------------------- update or new installation

struct UpdateCase {
  const char* name;
  const char* partner;  // the status of slot 8, the partner of slot 0
  const char* answers;
  bool confirms;        // the confirmation dialog comes and the installation runs
  std::optional<std::uint32_t> installType;  // what the array was told
  std::vector<std::string> expected;
  std::vector<std::string> absent;
};

class UpdateOrNew : public testing::TestWithParam<UpdateCase> {};

// The NAS OS over an installed, stopped NAS OS of slot 0, forcibly: question 3498 decides.
TEST_P(UpdateOrNew, Question3498) {
  const UpdateCase& c = GetParam();
  ToolBench bench(QuickUnit());
  ASSERT_TRUE(bench.SetStatus(0, "stopped"));
  ASSERT_TRUE(bench.SetStatus(2, c.partner));
  ASSERT_TRUE(bench.UseMedia(Medium("04-01-00-00")));
  ASSERT_TRUE(bench.StartAgents());
  const std::string tail = c.confirms ? "wait-transcript \"^window 207 .*\" 600\nclick \"OK\"\n" +
                                            std::string(kCloseAfterInstall)
                                      : "wait-message 3498 600\nclick \"Close\"\nwait-transcript \"^busy 0 0$\" 600\n"
                                        "close\n";
  const Outcome run = bench.Launch(script::OpenProgramInstall(0, "STOP") +
                                   "check-row \"^NAS OS\\t\" 1\ncheck \"Forcibly install\" 1\n"
                                   "answer 4015 ok\n" +
                                   c.answers + "click \"Install\"\n" + tail)
                          .Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, c.expected);
  for (const std::string& pattern : c.absent) EXPECT_FALSE(FindLine(run.lines, pattern)) << pattern << Dump(run.lines);
  EXPECT_EQ(LastInstallType(), c.installType);
}

INSTANTIATE_TEST_SUITE_P(
    InstallPaths, UpdateOrNew,
    testing::Values(
        UpdateCase{"YesUpdatesWithoutFurtherQuestions", "up", "answer 3498 yes\n", true, 1,
                   {"message 3498 yes .*", "window 207 .*", "text 1432 \"NAS OS installation process has completed.\"",
                    "text 1432 \"Installation process has completed.\"", "exit 0"},
                   {"message 3499 .*", "message 3612 .*", "message 3690 .*"}},
        UpdateCase{"NoInstallsAnewAfterStoppingTheRunningPartner", "up",
                   "answer 3498 no\nanswer 3499 ok\nanswer 3612 ok\nanswer 3690 ok\n", true, 0,
                   {"message 3498 no .*", "message 3499 ok .*", "message 3612 ok .*", "message 3690 ok .*",
                    "window 207 .*", "text 1432 \"Installation process has completed.\"", "exit 0"},
                   {"message 3583 .*"}},
        UpdateCase{"NoWithTheWholeClusterStoppedOnlyWarns", "stopped",
                   "answer 3498 no\nanswer 3499 ok\nanswer 3690 ok\n", true, 0,
                   {"message 3498 no .*", "message 3499 ok .*", "message 3690 ok .*", "window 207 .*",
                    "text 1432 \"Installation process has completed.\"", "exit 0"},
                   {"message 3612 .*"}},
        UpdateCase{"NoThenCancelAtTheClusterQuestionInstallsNothing", "up",
                   "answer 3498 no\nanswer 3499 ok\nanswer 3612 cancel\n", false, std::nullopt,
                   {"message 3498 no .*", "message 3499 ok .*", "message 3612 cancel .*", "exit 0"},
                   {"message 3690 .*", "window 207 .*"}},
        UpdateCase{"CancelInstallsNothing", "up", "answer 3498 cancel\n", false, std::nullopt,
                   {"message 3498 cancel .*", "exit 0"},
                   {"message 3499 .*", "message 3690 .*", "window 207 .*"}}),
    CaseName<UpdateCase>);

// A running board whose NAS OS is newer than the medium's: without "Forcibly install" nothing is
// asked about update or new installation; 4012 says nothing needs installing.
TEST(InstallPaths, OlderNasOsOnARunningBoardIsRefused) {
  ToolBench bench(QuickUnit());
  ASSERT_TRUE(bench.UseMedia(Medium("04-01-00-00")));  // the boards run 05-00-01-00
  ASSERT_TRUE(bench.StartAgents());
  const Outcome run = bench.Launch(script::OpenProgramInstall(0, "ACTIVE") +
                                   "check-row \"^NAS OS\\t04\" 1\n"
                                   "answer 4015 ok\n"
                                   "click \"Install\"\n"
                                   "wait-message 4012 600\n"
                                   "click \"Close\"\nwait-transcript \"^busy 0 0$\" 600\nclose\n")
                          .Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 206 .*", "message 4012 ok .*", "busy 0 0", "exit 0"});
  for (const char* absent : {"message 3498 .*", "message 3499 .*", "window 207 .*"})
    EXPECT_FALSE(FindLine(run.lines, absent)) << absent << Dump(run.lines);
  EXPECT_EQ(LastInstallType(), std::nullopt);
}

// ---------------------------------------------------------------- LU initialisation

struct LuCase {
  const char* name;
  const char* firstBox;   // the LU box of slot 0's installation ("" none)
  const char* firstAnswers;
  const char* secondBox;  // the LU box of slot 1's attempt meanwhile
  const char* refusal;    // the message that refuses slot 1
};

class TwoLuInitialisations : public testing::TestWithParam<LuCase> {};

// Slot 0 installs its NAS OS (held at the installer's first step) while slot 1 asks for its own:
// an LU initialisation that another installation registered, or one asked while another board
// installs without, refuses slot 1 before any question; slot 0 then completes.
TEST_P(TwoLuInitialisations, AreRefused) {
  const LuCase& c = GetParam();
  ToolBench bench(QuickUnit());
  ASSERT_TRUE(bench.SetStatus(0, "stopped"));
  ASSERT_TRUE(bench.SetStatus(1, "stopped"));
  ASSERT_TRUE(BoardFault(bench, 0, "stall", "1"));
  ASSERT_TRUE(bench.UseMedia(Medium("04-01-00-00")));
  ASSERT_TRUE(bench.StartAgents());
  const auto box = [](const char* caption) {
    return *caption == '\0' ? std::string() : "check \"" + std::string(caption) + "\" 1\n";
  };
  kctest::ToolRun tool = bench.Launch(
      script::OpenProgramInstall(0, "STOP") +
      "check-row \"^NAS OS\\t\" 1\ncheck \"Forcibly install\" 1\n" + box(c.firstBox) +
      "answer 4015 ok\n" + c.firstAnswers +
      "click \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\n"
      "click \"OK\"\n"
      "wait-transcript \"^text 1432 \\\"Now Installing\" 600\n"
      // slot 1 meanwhile, from the main window
      "click 102:1501\nclick 102:1008\n"
      "wait-transcript \"^text 1400 \\\"CTL0-1\\\"$\" 600\n"
      "check-row \"^NAS OS\\t\" 1\ncheck \"Forcibly install\" 1\n" + box(c.secondBox) +
      "answer 4015 ok\n"
      "click \"Install\"\n"
      "wait-message " + c.refusal + " 600\n"
      "click \"Close\"\n"
      "wait-transcript \"^busy 1 0$\" 600\n"
      // slot 0's installer goes on
      "wait-transcript \"^enable 1434 1$\" 6000\n"
      "click 208:1434\nclick \"Close\"\n"
      "wait-transcript \"^busy 0 0$\" 600\n"
      "close\n");
  const std::string refusal = std::string("message ") + c.refusal + " .*";
  const bool refused = tool.WaitForLine(refusal, 120);
  EXPECT_TRUE(BoardFault(bench, 0, "stall", "0"));
  const Outcome run = tool.Finish(300);
  ASSERT_TRUE(refused) << Dump(run.lines);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 207 .*", "text 1432 \"Now Installing...\\[maximum 60 minutes\\]\"",
                      "text 1400 \"CTL0-1\"", refusal, "busy 1 0",
                      "text 1432 \"NAS OS installation process has completed.\"", "busy 0 0", "exit 0"});
  // slot 1 got no question and no confirmation
  for (const char* absent : {"message 34(9[3-9]) .*", "message 3612 .*", "message 3690 .*", "window 207 .*"})
    ExpectNoneAfter(run, "text 1400 \"CTL0-1\"", absent);
  EXPECT_EQ(BoardNow(1).activity, "idle");
}

INSTANTIATE_TEST_SUITE_P(
    InstallPaths, TwoLuInitialisations,
    testing::Values(
        LuCase{"ErrorInformationLuOfAnother", "Error Information LU",
               "answer 3499 ok\nanswer 3612 ok\nanswer 3690 ok\nanswer 3494 ok\nanswer 3690 ok\n", "", "3490"},
        LuCase{"ClusterManagementLuOfAnother", "NAS Cluster Management LU",
               "answer 3499 ok\nanswer 3612 ok\nanswer 3690 ok\nanswer 3493 ok\nanswer 3690 ok\n", "", "3491"},
        LuCase{"LuWhileAnotherInstallsWithout", "", "answer 3498 yes\n", "Error Information LU", "4019"}),
    CaseName<LuCase>);

// Every Cancel after the LU initialisation was registered takes the registration back: each next
// attempt on the same board goes through the same questions instead of being refused with 3490.
TEST(InstallPaths, EveryCancelRemovesTheLuRegistration) {
  ToolBench bench(QuickUnit());
  ASSERT_TRUE(bench.SetStatus(0, "stopped"));
  ASSERT_TRUE(bench.UseMedia(Medium("04-01-00-00")));
  ASSERT_TRUE(bench.StartAgents());
  constexpr const char* kUpToTheLu = "answer 3499 ok\nanswer 3612 ok\nanswer 3690 ok\n";
  const Outcome run = bench.Launch(
      script::OpenProgramInstall(0, "STOP") +
      "check-row \"^NAS OS\\t\" 1\ncheck \"Forcibly install\" 1\ncheck \"Error Information LU\" 1\n"
      "answer 4015 ok\nanswer 4015 ok\nanswer 4015 ok\nanswer 4015 ok\n" +
      // at the LU question
      kUpToTheLu + "answer 3494 cancel\nclick \"Install\"\nwait-message 3494 600\n" +
      // at the second warning
      kUpToTheLu + "answer 3494 ok\nanswer 3690 cancel\nclick \"Install\"\nwait-message 3494 600\n" +
      // in the confirmation
      kUpToTheLu + "answer 3494 ok\nanswer 3690 ok\nclick \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\nclick \"Cancel\"\n" +
      // nothing left registered
      kUpToTheLu + "answer 3494 ok\nanswer 3690 ok\nclick \"Install\"\n"
      "wait-transcript \"^window 207 .*\" 600\nclick \"Cancel\"\n"
      "click \"Close\"\nwait-transcript \"^busy 0 0$\" 600\nclose\n").Finish(300);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  std::vector<std::string> expected;
  for (const char* last : {"message 3494 cancel .*", "message 3690 cancel .*", "window 207 .*", "window 207 .*"}) {
    for (const char* question : {"message 3499 ok .*", "message 3612 ok .*", "message 3690 ok .*"})
      expected.emplace_back(question);
    if (std::string(last) != "message 3494 cancel .*") expected.emplace_back("message 3494 ok .*");
    expected.emplace_back(last);
  }
  expected.emplace_back("exit 0");
  ExpectInOrder(run, expected);
  for (const char* absent : {"message 3490 .*", "message 3491 .*", "window 208 .*"})
    EXPECT_FALSE(FindLine(run.lines, absent)) << absent << Dump(run.lines);
}

}  // namespace
