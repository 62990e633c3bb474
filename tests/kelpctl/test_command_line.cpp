#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "CommandLine.h"

namespace {

using ::testing::ElementsAre;
using kelpctl::Command;
using kelpctl::ParseCommandLine;

struct Accepted {
  const char* name;
  std::vector<std::string> args;
  Command command;
  int slot;
  bool watch;
};

TEST(KelpctlCommandLine, AcceptsEveryCommandForm) {
  const Accepted cases[] = {
      {"boards", {"-h", "DEMO", "boards"}, Command::Boards, -1, false},
      {"unit after command", {"boards", "-h", "DEMO"}, Command::Boards, -1, false},
      {"progress slot 9", {"-h", "DEMO", "progress", "9"}, Command::Progress, 9, false},
      {"boot with option and watch", {"-h", "U", "boot", "8", "--option", "a b", "--watch"}, Command::Boot, 8, true},
      {"shutdown", {"-h", "U", "-s", "x.ini", "shutdown", "1"}, Command::Shutdown, 1, false},
      {"reboot", {"-h", "U", "reboot", "0", "--watch"}, Command::Reboot, 0, true},
      {"media", {"-h", "U", "media"}, Command::Media, -1, false},
      {"media without unit", {"media"}, Command::Media, -1, false},
      {"services", {"-h", "U", "services", "stop"}, Command::Services, -1, false},
      {"reset", {"-h", "U", "reset", "9"}, Command::Reset, 9, false},
  };
  for (const Accepted& c : cases) {
    std::string error;
    const auto line = ParseCommandLine(c.args, &error);
    ASSERT_TRUE(line) << c.name << ": " << error;
    EXPECT_EQ(line->command, c.command) << c.name;
    EXPECT_EQ(line->slot, c.slot) << c.name;
    EXPECT_EQ(line->watch, c.watch) << c.name;
  }
}

TEST(KelpctlCommandLine, OptionValuesLandInTheirFields) {
  std::string error;
  const auto line = ParseCommandLine({"-h", "U", "-s", "x.ini", "boot", "1", "--option", "single"}, &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->unit, "U");
  EXPECT_EQ(line->settingsFile, "x.ini");
  EXPECT_EQ(line->bootOption.value_or(""), "single");

  const auto watch = ParseCommandLine({"-h", "U", "watch", "--interval", "5", "--count", "3"}, &error);
  ASSERT_TRUE(watch) << error;
  EXPECT_EQ(watch->command, Command::Watch);
  EXPECT_EQ(watch->intervalSeconds, 5u);
  EXPECT_EQ(watch->rounds, 3u);
  EXPECT_EQ(ParseCommandLine({"-h", "U", "watch"}, &error)->intervalSeconds, 20u);
}

TEST(KelpctlCommandLine, HelpWinsOverEverythingElse) {
  std::string error;
  const auto line = ParseCommandLine({"boards", "--help", "--bogus"}, &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->command, Command::Help);
}

struct Rejected {
  std::vector<std::string> args;
  const char* reason;
};

TEST(KelpctlCommandLine, RejectsWithAReason) {
  const Rejected cases[] = {
      {{}, "no command given"},
      {{"boards"}, "the unit name (-h UNIT) is missing"},
      {{"-h"}, "option -h needs a value"},
      {{"-h", "U", "frobnicate"}, "unknown command frobnicate"},
      {{"-h", "U", "progress"}, "progress needs exactly one SLOT"},
      {{"-h", "U", "progress", "2"}, "SLOT must be 0, 1, 8 or 9, not 2"},
      {{"-h", "U", "progress", "8x"}, "SLOT must be 0, 1, 8 or 9, not 8x"},
      {{"-h", "U", "progress", "-1"}, "unknown option -1"},  // a negative slot reads as an option
      {{"-h", "U", "boards", "0"}, "boards takes no argument"},
      {{"-h", "U", "shutdown", "0", "--option", "x"}, "--option belongs to the boot command"},
      {{"-h", "U", "boards", "--watch"}, "--watch belongs to the boot, shutdown and reboot commands"},
      {{"-h", "U", "reset", "8", "--watch"}, "--watch belongs to the boot, shutdown and reboot commands"},
      {{"-h", "U", "--verbose", "boards"}, "unknown option --verbose"},
      {{"-h", "U", "agent", "0"}, "agent needs a SLOT and an operation"},
      {{"-h", "U", "agent", "0", "reset"}, "unknown agent operation reset"},
      {{"-h", "U", "agent", "2", "version"}, "SLOT must be 0, 1, 8 or 9, not 2"},
      {{"-h", "U", "agent", "0", "version", "x"}, "agent SLOT version takes no argument"},
      {{"-h", "U", "agent", "0", "set-network", "10.0.0.1"}, "agent SLOT set-network takes ADDRESS MASK"},
      {{"-h", "U", "agent", "0", "set-ntp", "a", "b", "c", "d"}, "agent SLOT set-ntp takes [SERVER...] (at most three)"},
      {{"-h", "U", "agent", "0", "mtu", "--interface", "x"}, "option --interface needs a number, not x"},
      {{"-h", "U", "boards", "--host"}, "--host belongs to the agent command"},
      {{"ftpd"}, "ftpd needs exactly one ADDRESS"},
      {{"-h", "U", "boards", "--interval", "5"}, "--interval belongs to the watch command"},
      {{"-h", "U", "watch", "0"}, "watch takes no argument"},
      {{"watch"}, "the unit name (-h UNIT) is missing"},
      {{"-h", "U", "media", "os"}, "media takes no argument"},
      {{"-h", "U", "services"}, "services needs one of start, stop, status"},
      {{"-h", "U", "services", "restart"}, "services needs one of start, stop, status"},
      {{"-h", "U", "services", "start", "now"}, "services needs one of start, stop, status"},
      {{"services", "status"}, "the unit name (-h UNIT) is missing"},
  };
  for (const Rejected& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.args, &error)) << ::testing::PrintToString(c.args);
    EXPECT_EQ(error, c.reason) << ::testing::PrintToString(c.args);
  }
}

TEST(KelpctlCommandLine, AgentOperationsTakeTheirArgumentsAndOptions) {
  std::string error;
  auto line = ParseCommandLine({"-h", "U", "agent", "9", "add-route", "default", "0.0.0.0", "10.0.0.1", "--host",
                                "--reject", "--mss", "1400"},
                               &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->command, Command::Agent);
  EXPECT_EQ(line->slot, 9);
  EXPECT_EQ(line->agentOp, kelpctl::AgentOp::AddRoute);
  EXPECT_THAT(line->arguments, ElementsAre("default", "0.0.0.0", "10.0.0.1"));
  EXPECT_TRUE(line->hostRoute);
  EXPECT_TRUE(line->rejectRoute);
  EXPECT_EQ(line->mss, 1400u);

  line = ParseCommandLine({"-h", "U", "agent", "1", "mtu", "--interface", "2"}, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->agentOp, kelpctl::AgentOp::Mtu);
  EXPECT_EQ(line->interfaceNumber, 2u);

  line = ParseCommandLine({"-h", "U", "agent", "0", "set-ntp"}, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_TRUE(line->arguments.empty());

  line = ParseCommandLine({"-h", "U", "agent", "0", "install", "pp.bin", "--timeout", "5"}, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->agentOp, kelpctl::AgentOp::Install);
  EXPECT_EQ(line->timeoutMinutes, 5u);
}

struct JsonCase {
  std::vector<std::string> args;
  const char* refusedAs;  // null: --json is taken
};

// --json is a global option, before or after -h; the commands without a document refuse it by name.
TEST(KelpctlCommandLine, JsonIsTakenAnywhereAndRefusedByCommandsWithoutADocument) {
  const JsonCase cases[] = {
      {{"--json", "-h", "U", "boards"}, nullptr},
      {{"-h", "U", "--json", "progress", "8"}, nullptr},
      {{"-h", "U", "dump", "8", "--json"}, nullptr},
      {{"-h", "U", "download-dump", "9", "--to", "x", "--json"}, nullptr},
      {{"--json", "media"}, nullptr},
      {{"-h", "U", "services", "status", "--json"}, nullptr},
      {{"-h", "U", "agent", "0", "products", "--json"}, nullptr},
      {{"-h", "U", "agent", "0", "network", "--interface", "1", "--json"}, nullptr},
      {{"--json", "-h", "U", "agent", "0", "version"}, nullptr},
      {{"-h", "U", "boards"}, nullptr},
      {{"--json", "-h", "U", "watch"}, "watch"},
      {{"--json", "-h", "U", "boot", "8", "--watch"}, "boot"},
      {{"--json", "-h", "U", "shutdown", "8"}, "shutdown"},
      {{"--json", "-h", "U", "reset", "8"}, "reset"},
      {{"--json", "ftpd", "127.0.0.1"}, "ftpd"},
      {{"--json", "-h", "U", "services", "stop"}, "services stop"},
      {{"--json", "-h", "U", "agent", "0", "ps"}, "agent SLOT ps"},
      {{"--json", "-h", "U", "agent", "0", "install", "f.img"}, "agent SLOT install"},
  };
  for (const JsonCase& c : cases) {
    std::string error;
    const auto line = ParseCommandLine(c.args, &error);
    ASSERT_TRUE(line) << ::testing::PrintToString(c.args) << ": " << error;
    const bool given = std::find(c.args.begin(), c.args.end(), "--json") != c.args.end();
    EXPECT_EQ(line->json, given) << ::testing::PrintToString(c.args);
    const auto refusal = kelpctl::JsonRefusal(*line);
    if (c.refusedAs == nullptr) {
      EXPECT_FALSE(refusal) << ::testing::PrintToString(c.args) << ": " << refusal.value_or("");
      continue;
    }
    ASSERT_TRUE(refusal) << ::testing::PrintToString(c.args);
    EXPECT_EQ(*refusal, std::string("--json is not supported by ") + c.refusedAs +
                            " (only by boards, progress, dump, download-dump, media, services status and agent "
                            "SLOT products|network|version)");
  }
}

}  // namespace
