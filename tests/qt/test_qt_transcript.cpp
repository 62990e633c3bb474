// kelpconf's Qt host, offscreen and scripted, where nobody set XDG_RUNTIME_DIR (a service
// account, a container): standard output holds the transcript alone, and Qt's own complaints go
// to the tool's trace instead of the terminal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "ToolBench.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

// Every form a transcript line takes.
const std::regex kTranscriptLine(
    R"((window|title) \d+ ".*"|message \d+ \S+ ".*"( default)?|text \d+ ".*"|(enable|show) \d+ [01])"
    R"(|busy (public|\d+) -?\d+|result \d+ 0x[0-9a-f]{8} ".*"|ready|script-error \d+ .*|exit -?\d+)");

std::vector<std::string> TraceLines(const std::filesystem::path& file) {
  std::istringstream in(kelptest::ReadFile(file));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(QtTranscript, OffscreenStandardOutputHoldsTranscriptLinesOnly) {
  kelptest::ScopedEnv noRuntimeDir("XDG_RUNTIME_DIR", std::nullopt);
  kctest::ToolBench bench;
  bench.qtOffscreen = true;
  ASSERT_TRUE(bench.StartAgents());
  const kctest::Outcome run = bench.Run(kctest::script::SelectBoard(0) + "wait-idle 60\nclose\n");
  EXPECT_EQ(run.exitCode, 0) << kctest::Dump(run.lines) << run.errors;
  ASSERT_FALSE(run.lines.empty()) << run.errors;
  for (const std::string& line : run.lines) EXPECT_TRUE(std::regex_match(line, kTranscriptLine)) << line;
  EXPECT_EQ(run.lines.back(), "exit 0");
  EXPECT_THAT(run.errors, Not(HasSubstr("QStandardPaths")));
  EXPECT_THAT(run.errors, Not(HasSubstr("does not support raise()")));

  const std::vector<std::string> trace = TraceLines(bench.work("log") / "kelpconf.log");
  EXPECT_THAT(trace, Contains(MatchesRegex(".{42}warn_ Qt: This plugin does not support raise\\(\\)")));
  EXPECT_THAT(trace, Not(Contains(HasSubstr("QStandardPaths"))));
}

}  // namespace
