// How a headless script ends the real program: a script error with any dialog open, idle or
// with its operation running, closes the dialogs innermost first, then the main window, and ends
// with 3; so does a script that ends with the tool open. An operation that outlives the end's
// limit gets the last resort, still with 3.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "ToolBench.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"
#include "velapi.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::ToolBench;
namespace script = kctest::script;
namespace sim = corvid::sim;

constexpr const char* kNeverComes = "wait-transcript \"^never$\" 2\n";
// The end's limit is 900 logical seconds, 9 s at the bench's scale; a start-up and a slow
// machine come on top.
constexpr int kEndSeconds = 60;

void StopAllBoards(ToolBench& bench) {
  ASSERT_TRUE(bench.SetAllStatus("stopped"));
}

void AllInactive(ToolBench& bench) {
  for (const char* slot : {"0", "1", "8", "9"})
    ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", slot, "HaProcess", "0"}), 0);
}

// Products of NNC type 1 for the preset boards; the medium allows the NAS OS nasOsMinutes.
void ProductsOnMedia(ToolBench& bench, const char* pszNasOsMinutes = "30") {
  mkmedia::Media media = mkmedia::DefaultMedia(100000);
  for (mkmedia::Product& product : media.products) product.version = "04-01-00-00";
  media.products[0].timeout = pszNasOsMinutes;
  ASSERT_TRUE(bench.UseMedia(media));
}

// Fresh boards and a NAS OS installer that stops making progress.
void StalledInstaller(ToolBench& bench, const char* pszNasOsMinutes) {
  ASSERT_TRUE(bench.SetAllStatus("new"));
  ASSERT_EQ(bench.ArraySim({"fault", kctest::kUnit, "board", "0", "stall", "1"}), 0);
  ProductsOnMedia(bench, pszNasOsMinutes);
}

// Slot 1 holds a dump taken before the tool starts and runs again.
void DumpOnSlotOne(ToolBench&) {
  std::uint32_t ulError = 0;
  static const bool bNamed = dsvp_SetArrayUnitName(kctest::kUnit, &ulError) != 0;  // once per process
  ASSERT_TRUE(bNamed) << ulError;
  ASSERT_TRUE(dsvp_NasGetHibDump(0, 1, &ulError)) << ulError;
  ASSERT_TRUE(sim::AdvanceTime(kctest::kUnit, 120'000));
  ASSERT_TRUE(sim::SetBoardStatus(kctest::kUnit, 1, corvid::pages::kStatusOsUp));
}

// The tool is up and every board's caption shows word.
std::string AllBoardsShow(const std::string& word) {
  std::string text = script::Ready();
  for (const char* slot : {"1500", "1501", "1508", "1509"})
    text += "wait-text " + std::string(slot) + " \"\\(" + word + "\\)\" 600\n";
  return text;
}

std::string OpenNetworkSetting() {
  return script::SelectBoard(0, "\\(ACTIVE\\)") + "click \"Routing\"\nwait-transcript \"^window 231 .*\" 600\n";
}

std::string OpenRouting() { return OpenNetworkSetting() + "click 231:1530\nwait-transcript \"^window 232 .*\" 600\n"; }

std::string OpenConfirmInstall() {
  return script::OpenProgramInstall(0, "\\(ACTIVE\\)") +
         "check-row \"^NAS Backup Support\" 1\nanswer * ok\nclick 206:1413\nwait-transcript \"^window 207 .*\" 600\n";
}

std::string StartStalledInstall() {
  return script::OpenProgramInstall(0) + "check-row \"^NAS OS\" 1\nanswer * ok\nclick 206:1413\n"
                                         "wait-transcript \"^window 207 .*\" 600\nclick 207:1\n"
                                         "wait-transcript \"^window 208 .*\" 600\n";
}

// Boards of NNC type 2, stopped, and their products on the medium: an inherit installation.
sim::UnitSpec InheritUnit() {
  sim::UnitSpec unit = sim::PresetUnit(kctest::kUnit, sim::Model::ZQH, 4);
  for (sim::BoardSpec& board : unit.boards) board.nasType = 2;
  return unit;
}

void InheritMedia(ToolBench& bench) {
  StopAllBoards(bench);
  mkmedia::Media media = mkmedia::DefaultMedia(100000);
  for (mkmedia::Product& product : media.products) product.version = "05-01-00-00";
  ASSERT_TRUE(bench.UseMedia(media));
}

// Board shutdowns that take five logical minutes.
sim::UnitSpec SlowShutdown() {
  sim::UnitSpec unit = sim::PresetUnit(kctest::kUnit, sim::Model::ZQH, 4);
  unit.durations.shutdownMs = 300'000;
  return unit;
}

struct EndCase {
  const char* pszName;
  std::function<void(ToolBench&)> setup;  // before the agents start
  std::string script;                      // ends with the dialog open
  std::vector<std::string> lines;          // patterns expected after the script-error line, in order
  sim::UnitSpec (*unit)() = nullptr;       // else the bench's preset
};

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.pszName; }

// Every dialog the main window and its children open, with the script failing while it is open
// (the About box of the system menu has no script line; the install progress 208 opens with its
// operation, below).
const EndCase kOpenDialogs[] = {
    {"InheritAndInstall204", StopAllBoards, script::OpenInheritInstall(), {"busy public 0", "enable 1081 0"}},
    {"ProgramInstall206", nullptr, script::OpenProgramInstall(0, "\\(ACTIVE\\)"), {"busy 0 0", "enable 1081 0"}},
    {"ConfirmInstall207", [](ToolBench& bench) { ProductsOnMedia(bench); }, OpenConfirmInstall(),
     {"busy 0 0", "enable 1081 0"}},
    {"BootManagement209", nullptr,
     script::Ready() + "wait-text 1500 \"\\(ACTIVE\\)\" 600\ndouble-click 1500\n"
                       "wait-transcript \"^window 209 .*\" 600\n",
     {"busy 0 0", "enable 1081 0"}},
    {"NasDump210", nullptr,
     script::SelectBoard(0, "\\(ACTIVE\\)") + "click \"NAS Dump\"\nwait-transcript \"^window 210 .*\" 600\n",
     {"busy 0 0", "enable 1081 0"}},
    {"DownloadDump211", DumpOnSlotOne,
     script::SelectBoard(1, "\\(ACTIVE\\)") + "click \"Download Dump\"\nwait-transcript \"^window 211 .*\" 600\n",
     {"enable 1081 0"}},
    {"RestoreNasOsLu223", nullptr,
     AllBoardsShow("ACTIVE") + "click 1501\nclick \"Restore NAS OS LU\"\nwait-transcript \"^window 223 .*\" 600\n",
     {"enable 1081 0"}},
    {"RestoreNasCmLu224", nullptr,
     AllBoardsShow("ACTIVE") + "click \"Restore NAS CM LU\"\nwait-transcript \"^window 224 .*\" 600\n",
     {"enable 1081 1", "enable 1081 0"}},
    {"RestoreAllNasSystemLu225", AllInactive,
     AllBoardsShow("INACTIVE") + "click \"Restore All NAS System LU\"\nwait-transcript \"^window 225 .*\" 600\n",
     {"enable 1081 1", "enable 1081 0"}},
    {"NetworkSetting231", nullptr, OpenNetworkSetting(), {"busy 0 0", "enable 1081 0"}},
    {"Routing232", nullptr, OpenRouting(), {"busy 0 0", "enable 1081 0"}},
    {"RoutingAdd233", nullptr, OpenRouting() + "click 232:1537\nwait-transcript \"^window 233 .*\" 600\n",
     {"busy 0 0", "enable 1081 0"}},
    {"Configuration240", nullptr, script::Ready() + "click \"Configuration\"\nwait-transcript \"^window 240 .*\" 600\n",
     {"enable 1081 0"}},
    // Operations running when the script fails: the end waits for them within their limits.
    {"BootManagementShutdownRunning209",
     [](ToolBench& bench) {
       ASSERT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "0", "ClusterStatus", "0"}), 0);  // may stop
     },
     script::Ready() + "wait-text 1500 \"\\(ACTIVE\\)\" 600\ndouble-click 1500\nanswer 3567 ok\nclick 209:1307\n"
                       "wait-text 209:1302 \"SHUTDOWN\" 600\n",
     {"text 1500 .*\\(STOP\\).*", "busy 0 0", "enable 1081 0"}, SlowShutdown},
    {"InheritAndInstallFinished204", InheritMedia,
     script::OpenInheritInstall() + "answer 4023 ok\nanswer 4034 ok\nclick \"Install\"\n"
                                    "wait-transcript \"^title 204 .* - Finished\\\"$\" 30000\n",
     {"busy public 0", "enable 1081 0"}, InheritUnit},
    {"InstallRunning208", [](ToolBench& bench) { StalledInstaller(bench, "3"); }, StartStalledInstall(),
     {"message 3516 ok .*0x00000009.*", "busy 0 0", "enable 1081 0"}},
};

class ScriptErrorEnds : public ::testing::TestWithParam<EndCase> {};

TEST_P(ScriptErrorEnds, EveryDialogClosedThenTheToolWithThree) {
  const EndCase& c = GetParam();
  ToolBench bench = c.unit ? ToolBench(c.unit()) : ToolBench();
  if (c.setup) c.setup(bench);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(bench.StartAgents());
  const auto started = std::chrono::steady_clock::now();
  const kctest::Outcome run = bench.Launch(c.script + kNeverComes).Finish(kEndSeconds);
  EXPECT_EQ(run.exitCode, 3) << Dump(run.lines) << run.errors;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(kEndSeconds));
  std::vector<std::string> expected{"script-error [0-9]+ timed out after 2 s: no transcript line matches \\^never\\$"};
  expected.insert(expected.end(), c.lines.begin(), c.lines.end());
  expected.push_back("exit 3");
  ExpectInOrder(run, expected);
  EXPECT_EQ(run.lines.back(), "exit 3");
  EXPECT_THAT(run.errors, ::testing::Not(::testing::HasSubstr("ending the process"))) << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(Kelpconf, ScriptErrorEnds, ::testing::ValuesIn(kOpenDialogs),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

// A headless script whose last line leaves the tool open is an error of that line; a `close`
// clicked while a modal dialog runs still ends the tool, once that dialog is closed.
TEST(ScriptEnd, LastLineWithTheToolOpenEndsItWithThree) {
  const struct {
    const char* pszName;
    std::function<void(ToolBench&)> setup;
    std::string script;
    int nExit;
    std::vector<std::string> lines;
  } kCases[] = {
      {"main window only", nullptr, script::Ready() + "# nothing more\n", 3,
       {"ready", "script-error 2 script ended with the tool open", "enable 1081 0", "exit 3"}},
      {"inherit and install open", StopAllBoards, script::OpenInheritInstall(), 3,
       {"window 204 .*", "script-error 5 script ended with the tool open", "busy public 0", "enable 1081 0", "exit 3"}},
      {"close under the configuration dialog", nullptr,
       script::Ready() + "click \"Configuration\"\nwait-transcript \"^window 240 .*\" 600\nclose\n", 0,
       {"window 240 .*", "enable 1081 0", "exit 0"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    ToolBench bench;
    if (c.setup) c.setup(bench);
    ASSERT_TRUE(bench.StartAgents());
    const kctest::Outcome run = bench.Launch(c.script).Finish(kEndSeconds);
    EXPECT_EQ(run.exitCode, c.nExit) << Dump(run.lines) << run.errors;
    ExpectInOrder(run, c.lines);
    EXPECT_EQ(run.lines.back(), c.lines.back());
  }
}

// The Qt host ends the same way; offscreen is no display, so the end of the script closes too.
TEST(ScriptEnd, TheQtHostOffscreenEndsInTheSameOrder) {
  const struct {
    const char* pszName;
    std::string script;
    const char* pszError;
  } kCases[] = {
      {"script error", script::OpenInheritInstall() + kNeverComes,
       "script-error 6 timed out after 2 s: no transcript line matches \\^never\\$"},
      {"last line", script::OpenInheritInstall(), "script-error 5 script ended with the tool open"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszName);
    ToolBench bench;
    bench.qtOffscreen = true;
    StopAllBoards(bench);
    ASSERT_TRUE(bench.StartAgents());
    const kctest::Outcome run = bench.Launch(c.script).Finish(kEndSeconds);
    EXPECT_EQ(run.exitCode, 3) << Dump(run.lines) << run.errors;
    ExpectInOrder(run, {"window 204 .*", c.pszError, "busy public 0", "enable 1081 0", "exit 3"});
  }
}

// An installer stalled for longer than the end's limit: the tool cannot close, so the process
// is ended, traced and said on standard error, still with 3.
TEST(ScriptEnd, AnOperationOutlivingTheLimitGetsTheLastResort) {
  ToolBench bench;
  StalledInstaller(bench, "30");
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Launch(StartStalledInstall() + kNeverComes).Finish(kEndSeconds);
  EXPECT_EQ(run.exitCode, 3) << Dump(run.lines) << run.errors;
  ExpectInOrder(run, {"window 208 .*", "script-error .*", "exit 3"});
  const std::string reason = "the tool did not end within 900 s (waiting for the workers of dialog 208)";
  EXPECT_THAT(run.errors, ::testing::HasSubstr(reason));
  std::string trace;
  for (const auto& entry : std::filesystem::directory_iterator(bench.work("log")))
    trace += kelptest::ReadFile(entry.path());
  EXPECT_THAT(trace, ::testing::HasSubstr("script end: " + reason));
}

}  // namespace
