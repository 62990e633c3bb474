// kelpconf's start-up as the array-management program sees it: each way it refuses to run (the
// message, the closing 3530 where the dialog had started, exit 1), kelpftpd answering "NG", a
// second instance, the layout of the two board groups and the agent version check.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <netinet/in.h>

#include <functional>
#include <regex>

#include "ToolBench.h"
#include "common/Messages.h"
#include "corvid/NasPages.h"
#include "plat/Socket.h"

namespace {

using kctest::Dump;
using kctest::ExpectInOrder;
using kctest::FindLine;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::MatchesRegex;
using kctest::ToolBench;
using corvid::sim::Model;

// Starts, answers nothing, and would close if the main window ever came up; waits longer than
// the tool waits for kelpftpd.
constexpr const char* kCloseWhenReady = "wait-transcript \"^ready$\" 300\nclose\n";

std::string MessageLine(std::uint32_t id) { return "message " + std::to_string(id) + " ok \".*\"( default)?"; }

corvid::sim::UnitSpec WithBoardKinds(Model model, int boards, const std::vector<int>& notNasBoards) {
  corvid::sim::UnitSpec scenario = corvid::sim::PresetUnit(kctest::kUnit, model, boards);
  for (const int k : notNasBoards)
    for (corvid::sim::BoardSpec& b : scenario.boards)
      if (b.k == k) b.portKind = 1;
  return scenario;
}

struct RefusalCase {
  const char* pszName;
  std::function<corvid::sim::UnitSpec()> unit;
  std::function<std::vector<std::string>(ToolBench&)> prepare;  // changes the bench; the command line
  std::uint32_t ulMessage;   // 0: the catalogue message of the array error named in the text
  const char* pszText;       // a part of the message text
  bool bDialogStarted;       // 3530 follows
};

corvid::sim::UnitSpec Zqh() { return corvid::sim::PresetUnit(kctest::kUnit, Model::ZQH, 4); }

std::vector<std::string> Standard(ToolBench& bench) { return bench.Words(); }

std::vector<std::string> WithAgents(ToolBench& bench) {
  EXPECT_TRUE(bench.StartAgents());
  return bench.Words();
}

std::string WriteProgram(ToolBench& bench, const std::string& name, const std::string& body) {
  const std::filesystem::path file = bench.work(name);
  kelptest::WriteFile(file, "#!/bin/sh\n" + body + "\n");
  std::filesystem::permissions(file, std::filesystem::perms::owner_all);
  return file.string();
}


const RefusalCase kRefusals[] = {
    {"OneWord", Zqh, [](ToolBench&) { return std::vector<std::string>{"-h"}; }, 4002, "", false},
    {"ThreeWords", Zqh, [](ToolBench&) { return std::vector<std::string>{"-h", kctest::kUnit, "-s"}; }, 4002, "",
     false},
    {"UpperCaseOption", Zqh, [](ToolBench&) { return std::vector<std::string>{"-H", kctest::kUnit}; }, 3501,
     "-H KC1", false},
    {"ThirdOptionWord",
     Zqh,
     [](ToolBench& b) { return std::vector<std::string>{"-h", kctest::kUnit, "-x", b.settingsFile().string()}; },
     3501, "-x", false},
    {"MissingSettingsFile",
     Zqh,
     [](ToolBench& b) { return std::vector<std::string>{"-s", b.work("none.ini").string(), "-h", kctest::kUnit}; },
     3501, "none.ini", false},
    {"UnitNameOver64Bytes",
     Zqh,
     [](ToolBench& b) { return std::vector<std::string>{"-h", std::string(65, 'U'), "-s", b.settingsFile().string()}; },
     3501, "UUUU", false},
    {"TraceFileCannotBeOpened",
     Zqh,
     [](ToolBench& b) {
       std::filesystem::create_directories(b.work("log") / "kelpconf.log");
       return b.Words();
     },
     4003, "", false},
    {"UnknownUnit",
     Zqh,
     [](ToolBench& b) { return std::vector<std::string>{"-h", "NOSUCHUNIT", "-s", b.settingsFile().string()}; }, 0,
     "", false},
    {"FtpdMissing",
     Zqh,
     [](ToolBench& b) {
       b.settings["MainService"]["kelpftpd_path"] = b.work("no-kelpftpd").string();
       return b.Words();
     },
     3554, "no-kelpftpd", false},
    {"FtpdEndsWithoutAnswer",
     Zqh,
     [](ToolBench& b) {
       b.settings["MainService"]["kelpftpd_path"] = WriteProgram(b, "quiet-ftpd", "exit 0");
       return b.Words();
     },
     3554, "quiet-ftpd", false},
    {"FtpdNeverConnects",
     Zqh,
     [](ToolBench& b) {
       b.settings["MainService"]["kelpftpd_path"] = WriteProgram(b, "hung-ftpd", "exec sleep 30");
       return b.Words();
     },
     3554, "hung-ftpd", false},
    {"FtpdPathOver259",
     Zqh,
     [](ToolBench& b) {
       b.settings["MainService"]["kelpftpd_path"] = "/" + std::string(259, 'f');
       return b.Words();
     },
     3554, "ffff", false},
    {"ModelNotInTable",
     Zqh,
     [](ToolBench& b) {
       std::string error;
       EXPECT_TRUE(corvid::sim::PokePage(kctest::kUnit, corvid::pages::kNasPage, corvid::pages::kA3Config,
                                         corvid::pages::a3::kModel, {0x17, 0x04}, &error))
           << error;
       return b.Words();
     },
     4004, "", true},
    {"NoNasBoardFitted", [] { return WithBoardKinds(Model::ZQH, 4, {0, 1, 2, 3}); }, Standard, 3509, "", true},
    {"AgentNewerThanTool",
     Zqh,
     [](ToolBench& b) {
       EXPECT_EQ(b.ArraySim({"agent", kctest::kUnit, "board", "8", "AgentVersion", "0x05000001"}), 0);
       return WithAgents(b);
     },
     3801, "", true},
};

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, ShowsItsMessageAndEndsWithOne) {
  const RefusalCase& c = GetParam();
  ToolBench bench(c.unit());
  const std::vector<std::string> words = c.prepare(bench);
  const kctest::Outcome run = bench.Run(kCloseWhenReady, words);

  EXPECT_EQ(run.exitCode, 1) << Dump(run.lines) << run.errors;
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines.back(), "exit 1");
  EXPECT_FALSE(FindLine(run.lines, "ready")) << Dump(run.lines);
  const auto first = FindLine(run.lines, "message .*");
  ASSERT_TRUE(first) << Dump(run.lines);
  if (c.ulMessage != 0) {
    EXPECT_TRUE(std::regex_match(run.lines[*first], std::regex(MessageLine(c.ulMessage)))) << Dump(run.lines);
  } else {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.lines[*first], m, std::regex("^message ([0-9]+) .*code = (0x[0-9a-f]{8})")))
        << Dump(run.lines);
    EXPECT_EQ(std::to_string(GetApiErrorMessageId(std::stoul(m[2].str(), nullptr, 16))), m[1].str());
  }
  EXPECT_THAT(run.lines[*first], ::testing::HasSubstr(c.pszText));
  const auto closing = FindLine(run.lines, "message .*", *first + 1);
  if (c.bDialogStarted) {
    ASSERT_TRUE(closing) << Dump(run.lines);
    EXPECT_TRUE(std::regex_match(run.lines[*closing], std::regex(MessageLine(3530)))) << Dump(run.lines);
    EXPECT_FALSE(FindLine(run.lines, "message .*", *closing + 1)) << Dump(run.lines);
  } else {
    EXPECT_FALSE(closing) << Dump(run.lines);
    EXPECT_FALSE(FindLine(run.lines, "window 102 .*")) << Dump(run.lines);
  }
}

INSTANTIATE_TEST_SUITE_P(Startup, Refusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

// "NG" on the sync pipe is taken for the answer it is: the start fails at the comparison of the
// answer (not at a server that ended without one), and the server's own refusal went to its
// standard error.
TEST(FtpdHandshake, AnNgAnswerIsRefused) {
  ToolBench bench;
  // The real server started with one octet missing: it cannot start and answers "NG".
  bench.settings["MainService"]["kelpftpd_path"] = WriteProgram(
      bench, "ng-ftpd", std::string("exec \"") + KELPFTPD_PATH + "\" \"$1\" \"$2\" \"$3\" \"$4\"");
  const kctest::Outcome run = bench.Run(kCloseWhenReady);
  EXPECT_EQ(run.exitCode, 1) << Dump(run.lines);
  ASSERT_EQ(run.lines.size(), 2u) << Dump(run.lines);
  EXPECT_TRUE(std::regex_match(run.lines[0], std::regex(MessageLine(3554)))) << run.lines[0];
  EXPECT_THAT(run.lines[0], ::testing::HasSubstr("ng-ftpd"));
  EXPECT_EQ(run.lines[1], "exit 1");
  EXPECT_THAT(bench.TraceLines(), ::testing::Contains(::testing::HasSubstr("memcmp: NG")));
  EXPECT_THAT(run.errors, ::testing::HasSubstr("3501"));
}

// A server that cannot bind its port writes nothing and ends, as it always has; the tool sees
// the pipe close without "KELPFTPD OK" and refuses to start with 3554, and the server's trace
// names the failed bind.
TEST(FtpdHandshake, APortAlreadyTakenEndsTheServerAndTheStart) {
  ToolBench bench;
  const std::uint16_t port = plat::FreeLoopbackPort();
  bench.settings["FtpService"]["Port"] = std::to_string(port);
  const plat::UniqueFd taken(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(taken.Get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_EQ(::listen(taken.Get(), 1), 0);

  const kctest::Outcome run = bench.Run(kCloseWhenReady);
  EXPECT_EQ(run.exitCode, 1) << Dump(run.lines);
  ASSERT_EQ(run.lines.size(), 2u) << Dump(run.lines);
  EXPECT_TRUE(std::regex_match(run.lines[0], std::regex(MessageLine(3554)))) << run.lines[0];
  EXPECT_EQ(run.lines[1], "exit 1");
  EXPECT_THAT(kelptest::ReadFile(bench.work("log") / "log" / "kelpftpd.log"), ::testing::HasSubstr("bint cond=98"));
}

// A first instance that runs until board 0 goes down, then closes.
constexpr const char* kRunUntilBoard0Down =
    "wait-transcript \"^ready$\" 600\nwait-text 1500 \"DOWN\" 300\nclose\n";

TEST(SecondInstance, SameUnitEndsSilentlyOtherUnitIsTold) {
  ToolBench bench(Model::ZQS, 2);
  kctest::ToolRun first = bench.Launch(kRunUntilBoard0Down);
  ASSERT_TRUE(first.WaitForLine("ready")) << Dump(first.Lines());

  const kctest::Outcome same = bench.Run(kCloseWhenReady);
  EXPECT_EQ(same.exitCode, 1);
  EXPECT_THAT(same.lines, ::testing::ElementsAre("exit 1"));

  const kctest::Outcome other = bench.Run(kCloseWhenReady, {"-h", "KC2", "-s", bench.settingsFile().string()});
  EXPECT_EQ(other.exitCode, 1);
  ASSERT_EQ(other.lines.size(), 2u) << Dump(other.lines);
  EXPECT_TRUE(std::regex_match(other.lines[0], std::regex(MessageLine(4006)))) << other.lines[0];
  EXPECT_EQ(other.lines[1], "exit 1");

  EXPECT_EQ(bench.ArraySim({"set", kctest::kUnit, "0", "status", "down"}), 0);
  const kctest::Outcome firstEnd = first.Finish();
  EXPECT_EQ(firstEnd.exitCode, 0) << Dump(firstEnd.lines);
  EXPECT_FALSE(FindLine(firstEnd.lines, "message .*")) << Dump(firstEnd.lines);
}

// The board buttons of a model's layout: each slot's text, whether it is shown, and whether a
// slot without a NAS board is disabled, up to the ready main window.
struct LayoutCase {
  const char* pszName;
  Model model;
  int boards;
  std::vector<int> notNasBoards;  // k of boards of another kind (equipment word 0)
  std::vector<int> shown;         // slots with a button
  std::vector<int> disabled;      // of those, the ones disabled for want of a NAS board
};

const LayoutCase kLayouts[] = {
    {"ZQS", Model::ZQS, 2, {}, {0, 8}, {}},
    {"ZQH", Model::ZQH, 4, {}, {0, 1, 8, 9}, {}},
    {"ZQHWithAnotherBoardKind", Model::ZQH, 4, {1}, {0, 1, 8, 9}, {1}},
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, BoardButtonsOfTheModel) {
  const LayoutCase& c = GetParam();
  ToolBench bench(WithBoardKinds(c.model, c.boards, c.notNasBoards));
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run("wait-transcript \"^ready$\" 600\nkey shift+ctrl+e\nclose\n");
  ASSERT_EQ(run.exitCode, 0) << Dump(run.lines) << run.errors;
  const std::size_t ready = FindLine(run.lines, "ready").value_or(run.lines.size());
  const auto window = FindLine(run.lines, "window 102 \"Kelpset Tool \\( KC1 \\)\"");
  ASSERT_TRUE(window && *window < ready) << Dump(run.lines);

  const std::string indent(20, ' ');
  for (int slot = 0; slot < 16; ++slot) {
    SCOPED_TRACE(slot);
    const std::string id = std::to_string(1500 + slot);
    const bool shown = std::find(c.shown.begin(), c.shown.end(), slot) != c.shown.end();
    const bool disabled = std::find(c.disabled.begin(), c.disabled.end(), slot) != c.disabled.end();
    // The template holds the two-board layout: only a one-board model hides buttons.
    const bool templateShown = slot % 8 < 2;
    EXPECT_EQ(FindLine(run.lines, "show " + id + " 0").has_value(), templateShown && !shown) << Dump(run.lines);
    EXPECT_FALSE(FindLine(run.lines, "show " + id + " 1"));
    if (!shown) continue;
    const std::string location = "CTL" + std::to_string(slot / 8) + "-" + std::to_string(slot % 8);
    EXPECT_TRUE(FindLine(run.lines, "text " + id + " \"" + indent + location + "\"")) << Dump(run.lines);
    const auto enableOff = FindLine(run.lines, "enable " + id + " 0");
    EXPECT_EQ(enableOff.has_value() && *enableOff < ready, disabled) << Dump(run.lines);
    // A slot without a NAS board is never polled, so it never gets a status word.
    EXPECT_EQ(FindLine(run.lines, "text " + id + " \"" + indent + location + "\\(.*\\)\"").has_value(), !disabled)
        << Dump(run.lines);
  }
  // "Inherit and Install" stays hidden until Shift+Ctrl+E.
  EXPECT_TRUE(FindLine(run.lines, "show 1096 1", ready)) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "show 1013 1")) << Dump(run.lines);
}

INSTANTIATE_TEST_SUITE_P(Startup, Layout, ::testing::ValuesIn(kLayouts),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

// The agent version check of start-up: newer only above 0x05000000.
TEST(AgentVersion, TheToolsOwnVersionIsNotNewer) {
  ToolBench bench;
  EXPECT_EQ(bench.ArraySim({"agent", kctest::kUnit, "board", "0", "AgentVersion", "0x05000000"}), 0);
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(kCloseWhenReady);
  EXPECT_EQ(run.exitCode, 0) << Dump(run.lines);
  EXPECT_TRUE(FindLine(run.lines, "ready")) << Dump(run.lines);
  EXPECT_FALSE(FindLine(run.lines, "message .*")) << Dump(run.lines);
}

}  // namespace

// kelpconf with no arguments at all, the desktop's way in: the units the array library knows,
// one row each (name, model, NAS boards). OK starts on the chosen unit exactly as -h UNIT with
// ./kelpconf.ini; Cancel ends without a message; with no unit known the command line is refused
// with 4002 as before.
TEST(UnitChooser, NoArgumentsOfferTheKnownUnits) {
  ToolBench bench;
  ASSERT_EQ(bench.ArraySim({"create", "KC2", "--model", "ZQS", "--boards", "2"}), 0);
  const std::string choose = "wait-transcript \"^window 241 .*\" 60\n";
  const kctest::Outcome chosen =
      bench.Launch(choose + "select-row \"^KC1\\tZQH\\t4$\"\nclick \"OK\"\n" + kCloseWhenReady, {}, bench.work(""))
          .Finish();
  EXPECT_EQ(chosen.exitCode, 0) << Dump(chosen.lines) << chosen.errors;
  ExpectInOrder(chosen, {"window 241 \"Kelpset Tool \\( Select the array unit \\)\"",
                         "window 102 \"Kelpset Tool \\( KC1 \\)\"", "ready", "exit 0"});
  EXPECT_THAT(bench.TraceLines(),
              Contains(EndsWith("Settings File  = " + bench.settingsFile().lexically_normal().string())));

  const kctest::Outcome cancelled = bench.Launch(choose + "select-row \"^KC2\\tZQS\\t2$\"\nclick \"Cancel\"\n", {},
                                                 bench.work("")).Finish();
  EXPECT_EQ(cancelled.exitCode, 1);
  EXPECT_THAT(cancelled.lines, ElementsAre(MatchesRegex("window 241 .*"), "exit 1")) << Dump(cancelled.lines);

  for (const char* unit : {"KC2", kctest::kUnit}) ASSERT_EQ(bench.ArraySim({"delete", unit}), 0);
  const kctest::Outcome none = bench.Run(kCloseWhenReady, {});
  EXPECT_EQ(none.exitCode, 1);
  ASSERT_EQ(none.lines.size(), 2u) << Dump(none.lines);
  EXPECT_TRUE(std::regex_match(none.lines[0], std::regex(MessageLine(4002)))) << none.lines[0];
}
