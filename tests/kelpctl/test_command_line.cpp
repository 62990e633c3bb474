#include <gtest/gtest.h>

#include "CommandLine.h"

namespace {

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
}

TEST(KelpctlCommandLine, HelpWinsOverEverythingElse) {
  std::string error;
  const auto line = ParseCommandLine({"boards", "--help", "--bogus"}, &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->command, Command::Help);
}

TEST(KelpctlCommandLine, RejectsWithAReason) {
  const std::vector<std::vector<std::string>> cases = {
      {},                                        // no command
      {"boards"},                                // no unit
      {"-h"},                                    // option without value
      {"-h", "U", "frobnicate"},                 // unknown command
      {"-h", "U", "progress"},                   // missing slot
      {"-h", "U", "progress", "2"},              // not a board slot
      {"-h", "U", "progress", "8x"},             // trailing garbage
      {"-h", "U", "progress", "-1"},             // negative
      {"-h", "U", "boards", "0"},                // extra argument
      {"-h", "U", "shutdown", "0", "--option", "x"},  // option of another command
      {"-h", "U", "boards", "--watch"},          // watch of a query
      {"-h", "U", "--verbose", "boards"},        // unknown option
      {"-h", "U", "agent", "0"},                 // no agent operation
      {"-h", "U", "agent", "0", "reset"},        // unknown agent operation
      {"-h", "U", "agent", "2", "version"},      // not a board slot
      {"-h", "U", "agent", "0", "version", "x"}, // extra argument
      {"-h", "U", "agent", "0", "set-network", "10.0.0.1"},  // mask missing
      {"-h", "U", "agent", "0", "set-ntp", "a", "b", "c", "d"},  // four NTP servers
      {"-h", "U", "agent", "0", "mtu", "--interface", "x"},      // not a number
      {"-h", "U", "boards", "--host"},           // agent option of another command
  };
  for (const auto& args : cases) {
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, &error)) << ::testing::PrintToString(args);
    EXPECT_FALSE(error.empty()) << ::testing::PrintToString(args);
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
  EXPECT_EQ(line->arguments, (std::vector<std::string>{"default", "0.0.0.0", "10.0.0.1"}));
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

}  // namespace
