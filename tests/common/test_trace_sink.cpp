// The trace seams: masked free lines with the level's tag, the memory sink, and the context
// that installs and removes a process's trace, display and catalogue.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "TraceTestUtil.h"
#include "common/MemoryTraceSink.h"
#include "common/Messages.h"
#include "common/ProcessContext.h"
#include "common/RecordingDisplay.h"
#include "common/TraceLine.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

TEST(TraceLine, TagFollowsTheLevelAndTheMaskFilters) {
  const struct {
    std::uint32_t level;
    std::uint32_t mask;
    const char* tag;  // null: the mask rejects the line
  } cases[] = {
      {TRC_FATAL, TRC_MASK_NORMAL, "fatal"}, {TRC_ERROR, TRC_MASK_NORMAL, "error"},
      {TRC_WARN, TRC_MASK_NORMAL, "warn_"},  {TRC_INFO, TRC_MASK_NORMAL, "info_"},
      {TRC_FUNC, TRC_MASK_NORMAL, "debug"},  {TRC_DETAIL, TRC_MASK_DETAIL, "debug"},
      {TRC_DEBUG, TRC_MASK_DEBUG, "debug"},  {TRC_DETAIL, TRC_MASK_NORMAL, nullptr},
      {TRC_DEBUG, TRC_MASK_DETAIL, nullptr}, {TRC_ERROR, TRC_MASK_NONE, nullptr},
  };
  for (const auto& c : cases) {
    common::MemoryTraceSink sink;
    common::ProcessContext context({.traceSink = &sink, .traceMask = c.mask});
    common::TraceLine(c.level, "text");
    common::TraceLineFmt(c.level, "%s %d", "text", 7);
    std::vector<std::string> expected;
    if (c.tag != nullptr) expected = {std::string(c.tag) + " text", std::string(c.tag) + " text 7"};
    EXPECT_EQ(sink.TaggedTexts(), expected) << std::hex << c.level << " " << c.mask;
  }
}

TEST(TraceLine, FormattedLinesKeepTheLineShape) {
  common::MemoryTraceSink sink;
  common::ProcessContext context({.traceSink = &sink, .traceMask = TRC_MASK_NORMAL});
  common::TraceLineFmt(TRC_ERROR, "send() code=%d", 104);
  common::TraceLine(TRC_INFO, "call_", "explicit tag");
  ASSERT_THAT(sink.TaggedTexts(), ElementsAre("error send() code=104", "call_ explicit tag"));
  for (const std::string& line : sink.Lines()) EXPECT_TRUE(std::regex_match(line, tracetest::LineShape())) << line;
}

TEST(MemoryTraceSink, KeepsEveryLineOfEveryThread) {
  common::MemoryTraceSink sink;
  common::ProcessContext context({.traceSink = &sink, .traceMask = TRC_MASK_NORMAL});
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) common::TraceLineFmt(TRC_INFO, "t%d n%d", t, i);
    });
  for (auto& th : threads) th.join();
  std::vector<std::string> texts = sink.TaggedTexts();
  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kLines; ++i) expected.push_back("info_ t" + std::to_string(t) + " n" + std::to_string(i));
  std::sort(texts.begin(), texts.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(texts, expected);
}

int Revision(char*, char*, char*, std::uint32_t*) { return 1; }

TEST(ProcessContext, InstallsForItsLifeAndRestoresNothingInstalled) {
  common::MemoryTraceSink sink;
  common::MemoryTraceSink late;
  RecordingDisplay display;
  {
    common::ProcessContext context({.program = TraceProgram::Kelpftpd,
                                    .display = &display,
                                    .revisionProvider = &Revision,
                                    .traceSink = &sink,
                                    .traceMask = TRC_MASK_DEBUG});
    EXPECT_EQ(GetTrace(), &sink);
    EXPECT_EQ(GetTraceMask(), TRC_MASK_DEBUG);
    EXPECT_EQ(GetMessageDisplay(), &display);
    EXPECT_EQ(GetMessageProgram(), TraceProgram::Kelpftpd);
    context.InstallTrace(late, TRC_MASK_NORMAL);
    EXPECT_EQ(GetTrace(), &late);
    EXPECT_EQ(GetTraceMask(), TRC_MASK_NORMAL);
  }
  EXPECT_EQ(GetTrace(), nullptr);
  EXPECT_EQ(GetTraceMask(), 0u);
  EXPECT_EQ(GetMessageDisplay(), nullptr);
  EXPECT_EQ(GetMessageProgram(), TraceProgram::Kelpconf);
  common::TraceLine(TRC_FATAL, "after");
  EXPECT_THAT(late.Lines(), IsEmpty());
}

TEST(TraceSink, DestroyedWhileInstalledIsRemoved) {
  {
    common::MemoryTraceSink sink;
    SetTrace(&sink, TRC_MASK_NORMAL);
  }
  EXPECT_EQ(GetTrace(), nullptr);
  EXPECT_EQ(GetTraceMask(), 0u);
}

}  // namespace
