#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <map>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "TestEnv.h"
#include "TraceTestUtil.h"
#include "common/CusrTrace.h"
#include "common/CusrTraceScope.h"
#include "common/MemoryTraceSink.h"
#include "common/ProcessContext.h"

namespace fs = std::filesystem;
using kelptest::IsolatedEnv;
using kelptest::ReadFile;
using kelptest::WriteFile;
using testing::ElementsAre;
using testing::IsEmpty;
using tracetest::Lines;

namespace {

class TraceTest : public ::testing::Test {
 protected:
  fs::path Dir() const { return m_cwd.path(); }

  IsolatedEnv m_env;
  tracetest::InTempCwd m_cwd;
  common::ProcessContext m_context{{.revisionProvider = &tracetest::FakeRevision}};
};

TEST_F(TraceTest, NewFileGetsHeaderThenStartLine) {
  CusrTrace trace;
  std::uint32_t err = 0;
  ASSERT_EQ(trace.Open(Dir().string(), "kelpconf", 2, 2, &err), 0u);
  const auto lines = Lines(Dir() / "kelpconf.log");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Kelpset Tool Version 05-00-01");
  EXPECT_EQ(lines[1], "kelpconf.exe ver.5, 0, 1, 0");
  EXPECT_EQ(lines[2], "Revision : 00007.00 DATE :    20060905.01 COPYRIGHT :          Copyright (C) Kelpset Project\r");
  EXPECT_TRUE(std::regex_match(lines[3], tracetest::LineShape())) << lines[3];
  EXPECT_NE(lines[3].find(" info_ CusrTrace Start ver.5, 0, 1, 0"), std::string::npos);
  EXPECT_EQ(trace.CurrentSize(), fs::file_size(Dir() / "kelpconf.log"));
}

TEST_F(TraceTest, ExistingNonEmptyLogIsAppendedWithoutHeader) {
  WriteFile(Dir() / "kelpconf.log", "old line\n");
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "kelpconf", 2, 2, nullptr), 0u);
  const auto lines = Lines(Dir() / "kelpconf.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "old line");
  EXPECT_NE(lines[1].find("CusrTrace Start ver."), std::string::npos);
}

TEST_F(TraceTest, ExistingEmptyLogGetsHeader) {
  WriteFile(Dir() / "kelpconf.log", "");
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "kelpconf", 2, 2, nullptr), 0u);
  EXPECT_EQ(Lines(Dir() / "kelpconf.log").front(), "Kelpset Tool Version 05-00-01");
}

TEST_F(TraceTest, KelpftpdVariantHeaderAndSubFolderBaseName) {
  fs::create_directory(Dir() / "log");
  CusrTrace trace(kKelpftpdTraceVariant);
  ASSERT_EQ(trace.Open(Dir().string(), "log/kelpftpd", 2, 2, nullptr), 0u);
  const auto lines = Lines(Dir() / "log" / "kelpftpd.log");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Kelpset Version 04-01-00 ");
  EXPECT_EQ(lines[1], "kelpftpd.exe ver.5, 0, 1, 0");
}

TEST_F(TraceTest, OpenFailureCodesDifferPerVariant) {
  // No "log" sub-folder: the live file cannot be created.
  CusrTrace conf;
  std::uint32_t err = 0;
  EXPECT_EQ(conf.Open(Dir().string(), "log/kelpconf", 2, 2, &err), 2u);
  EXPECT_EQ(err, 2u);
  CusrTrace ftpd(kKelpftpdTraceVariant);
  EXPECT_EQ(ftpd.Open(Dir().string(), "log/kelpftpd", 2, 2, &err), 3u);
  EXPECT_EQ(err, 3u);
  EXPECT_FALSE(ftpd.IsOpen());
}

TEST_F(TraceTest, MissingRevisionFailsKelpconfHeaderOnly) {
  SetTraceRevisionProvider(&tracetest::FailingRevision);
  CusrTrace conf;
  std::uint32_t err = 0;
  EXPECT_EQ(conf.Open(Dir().string(), "kelpconf", 2, 2, &err), 24u);
  EXPECT_EQ(err, 24u);
  SetTraceRevisionProvider(nullptr);
  fs::create_directory(Dir() / "log");
  CusrTrace ftpd(kKelpftpdTraceVariant);
  EXPECT_EQ(ftpd.Open(Dir().string(), "log/kelpftpd", 2, 2, &err), 0u);
}

TEST_F(TraceTest, WriteFailureCodesDifferPerVariant) {
  fs::create_symlink("/dev/full", Dir() / "kelpconf.log");
  CusrTrace conf;
  std::uint32_t err = 0;
  EXPECT_EQ(conf.Open(Dir().string(), "kelpconf", 2, 2, &err), 3u);
  EXPECT_EQ(err, 0xFFFFFFFFu);
  fs::create_directory(Dir() / "log");
  fs::create_symlink("/dev/full", Dir() / "log" / "kelpftpd.log");
  CusrTrace ftpd(kKelpftpdTraceVariant);
  EXPECT_EQ(ftpd.Open(Dir().string(), "log/kelpftpd", 2, 2, &err), 4u);
}

struct DirCase {
  const char* name;
  std::function<std::string(const fs::path&)> makeDir;
  bool expectInCwd;
};

TEST_F(TraceTest, DirectoryRules) {
  const fs::path sub = Dir() / "traces";
  fs::create_directory(sub);
  WriteFile(Dir() / "afile", "x");
  const DirCase cases[] = {
      {"empty", [](const fs::path&) { return std::string(); }, true},
      {"missing", [](const fs::path& d) { return (d / "nope").string(); }, true},
      {"names a file", [](const fs::path& d) { return (d / "afile").string(); }, true},
      {"folder without slash", [](const fs::path& d) { return (d / "traces").string(); }, false},
      {"folder with slash", [](const fs::path& d) { return (d / "traces").string() + "/"; }, false},
  };
  for (const DirCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Dir() / "t.log");
    fs::remove(sub / "t.log");
    CusrTrace trace;
    ASSERT_EQ(trace.Open(c.makeDir(Dir()), "t", 1, 2, nullptr), 0u);
    EXPECT_EQ(trace.Directory(), c.expectInCwd ? std::string("./") : sub.string() + "/");
    EXPECT_EQ(fs::exists(Dir() / "t.log"), c.expectInCwd);
    EXPECT_EQ(fs::exists(sub / "t.log"), !c.expectInCwd);
  }
}

TEST_F(TraceTest, SizeAndGenerationLimits) {
  const struct {
    int size, generations;
    std::uint32_t expectMax;
    int expectGenerations;
  } cases[] = {{0, 0, 0x200000, 2},   {1, 1, 0x100000, 1},   {10, 10, 10485760, 10},
               {11, 11, 0x200000, 2}, {-1, -5, 0x200000, 2}, {2, 3, 0x200000, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " generations " << c.generations);
    CusrTrace trace;
    ASSERT_EQ(trace.Open(Dir().string(), "limits", c.size, c.generations, nullptr), 0u);
    EXPECT_EQ(trace.MaxSize(), c.expectMax);
    EXPECT_EQ(trace.Generations(), c.expectGenerations);
  }
}

TEST_F(TraceTest, LineExactlyFillingTheSpaceDoesNotRotate) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "fill", 1, 2, nullptr), 0u);
  const std::uint32_t room = trace.MaxSize() - trace.CurrentSize();
  ASSERT_EQ(trace.Write(std::string(room - 1, 'a'), nullptr), 0u);
  EXPECT_EQ(trace.CurrentSize(), trace.MaxSize());
  EXPECT_FALSE(fs::exists(Dir() / "fill.1"));
  EXPECT_EQ(fs::file_size(Dir() / "fill.log"), trace.MaxSize());

  // The next line, however short, does not fit: the file rotates and the line opens a new one.
  ASSERT_EQ(trace.Write("b", nullptr), 0u);
  EXPECT_EQ(fs::file_size(Dir() / "fill.1"), trace.MaxSize());
  const auto lines = Lines(Dir() / "fill.log");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Kelpset Tool Version 05-00-01");
  EXPECT_EQ(lines[3], "b");
}

TEST_F(TraceTest, LineOneByteTooLongRotatesFirst) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "over", 1, 2, nullptr), 0u);
  const std::uint32_t room = trace.MaxSize() - trace.CurrentSize();
  ASSERT_EQ(trace.Write(std::string(room, 'a'), nullptr), 0u);
  EXPECT_TRUE(fs::exists(Dir() / "over.1"));
  EXPECT_NE(Lines(Dir() / "over.1").back().find("CusrTrace Start"), std::string::npos);
  EXPECT_EQ(Lines(Dir() / "over.log").back(), std::string(room, 'a'));
}

TEST_F(TraceTest, RotationShiftsGenerations) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "gen", 1, 3, nullptr), 0u);
  WriteFile(Dir() / "gen.0", "zero\n");
  WriteFile(Dir() / "gen.1", "one\n");
  WriteFile(Dir() / "gen.2", "two\n");
  ASSERT_EQ(trace.Write("live", nullptr), 0u);
  ASSERT_EQ(trace.Rotate(nullptr), 0u);
  EXPECT_EQ(ReadFile(Dir() / "gen.0"), "one\n");
  EXPECT_EQ(ReadFile(Dir() / "gen.1"), "two\n");
  EXPECT_EQ(Lines(Dir() / "gen.2").back(), "live");
  EXPECT_EQ(fs::file_size(Dir() / "gen.log"), 0u);
}

TEST_F(TraceTest, FirstRotationSkipsMissingFiles) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "first", 1, 2, nullptr), 0u);
  ASSERT_EQ(trace.Rotate(nullptr), 0u);
  EXPECT_FALSE(fs::exists(Dir() / "first.0"));
  EXPECT_TRUE(fs::exists(Dir() / "first.1"));
  EXPECT_TRUE(fs::exists(Dir() / "first.log"));
}

TEST_F(TraceTest, OneGenerationRotatesIntoZero) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "single", 1, 1, nullptr), 0u);
  WriteFile(Dir() / "single.0", "older\n");
  ASSERT_EQ(trace.Write("newest", nullptr), 0u);
  ASSERT_EQ(trace.Rotate(nullptr), 0u);
  EXPECT_EQ(Lines(Dir() / "single.0").back(), "newest");
  EXPECT_FALSE(fs::exists(Dir() / "single.1"));
}

TEST_F(TraceTest, FailedRotationClosesTheFileAndDropsLaterLines) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "stuck", 1, 2, nullptr), 0u);
  fs::create_directories(Dir() / "stuck.0" / "busy");  // a non-empty folder cannot be deleted
  std::uint32_t err = 0;
  EXPECT_EQ(trace.Rotate(&err), 2u);
  EXPECT_EQ(err, 0xFFFFFFFFu);
  EXPECT_FALSE(trace.IsOpen());
  EXPECT_EQ(trace.Write("dropped", &err), 0u);
}

TEST_F(TraceTest, FileAlreadyPastTheLimitRotatesOnNextLine) {
  WriteFile(Dir() / "big.log", std::string(0x100000 + 10, 'x'));
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "big", 1, 2, nullptr), 0u);
  EXPECT_EQ(fs::file_size(Dir() / "big.1"), 0x100000u + 10);
  EXPECT_LT(fs::file_size(Dir() / "big.log"), 1000u);
}

// Writers under one mutex name: a and b share a set of files (b also rotating by hand), c traces
// into another folder. Every line lands once in its own set and no file passes the limit.
TEST_F(TraceTest, WritersUnderOneNameFollowEachOther) {
  fs::create_directory(Dir() / "other");
  CusrTrace a, b, c;
  ASSERT_EQ(a.Open(Dir().string(), "shared", 1, 10, nullptr), 0u);
  ASSERT_EQ(b.Open(Dir().string(), "shared", 1, 10, nullptr), 0u);
  ASSERT_EQ(c.Open((Dir() / "other").string(), "shared", 1, 10, nullptr), 0u);
  CusrTrace* const order[] = {&a, &b, &c, &a, &a, &b, &c, &c};
  constexpr int kLines = 1000;
  const std::string fill(3000, 'x');
  for (int i = 0; i < kLines; ++i) {
    ASSERT_EQ(i % 397 == 396 ? b.Rotate(nullptr) : 0u, 0u);
    ASSERT_EQ(order[i % 8]->Write("n" + std::to_string(i) + " " + fill, nullptr), 0u) << i;
  }
  std::map<int, fs::path> seen;
  for (const fs::path& folder : {Dir(), Dir() / "other"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().filename().string().rfind("shared.", 0) != 0) continue;
      EXPECT_LE(fs::file_size(entry.path()), 0x100000u) << entry.path();
      for (const auto& line : Lines(entry.path())) {
        if (line.size() <= fill.size() || line[0] != 'n') continue;
        EXPECT_TRUE(seen.emplace(std::stoi(line.substr(1)), folder).second) << "twice: " << line.substr(0, 6);
      }
    }
  }
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kLines));
  for (const auto& [i, folder] : seen) EXPECT_EQ(folder, order[i % 8] == &c ? Dir() / "other" : Dir()) << i;
}

TEST_F(TraceTest, CloseResetsEveryField) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "close", 3, 4, nullptr), 0u);
  trace.Close();
  EXPECT_FALSE(trace.IsOpen());
  EXPECT_EQ(trace.MaxSize(), 0u);
  EXPECT_EQ(trace.CurrentSize(), 0u);
  EXPECT_EQ(trace.Generations(), 0);
  EXPECT_TRUE(trace.Directory().empty());
  EXPECT_TRUE(trace.BaseName().empty());
}

TEST(TraceMask, LevelNamesAreCaseSensitivePerProgram) {
  const struct {
    const char* name;
    TraceProgram program;
    std::uint32_t mask;
  } cases[] = {
      {"none", TraceProgram::Kelpconf, 0},          {"normal", TraceProgram::Kelpconf, 0x00FFFFFF},
      {"detail", TraceProgram::Kelpconf, 0x0FFFFFFF}, {"debug", TraceProgram::Kelpconf, 0xFFFFFFFF},
      {"Debug", TraceProgram::Kelpconf, 0x00FFFFFF},  {"", TraceProgram::Kelpconf, 0x00FFFFFF},
      {"NONE", TraceProgram::Kelpconf, 0x00FFFFFF},   {"detail", TraceProgram::Kelpftpd, 0x00FFFFFF},
      {"debug", TraceProgram::Kelpftpd, 0xFFFFFFFF},  {"none", TraceProgram::Kelpftpd, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TraceMaskFromLevelName(c.name, c.program), c.mask) << '"' << c.name << '"';
}

TEST_F(TraceTest, ScopeWritesEnterExitAndTaggedLinesThroughTheMask) {
  common::MemoryTraceSink sink;
  SetTrace(&sink, TRC_MASK_NORMAL);
  {
    CusrTraceScope scope("CusrCHN", "StartShutdown", TRC_FUNC);
    scope.Call("dsvp_NasShutdown()", TRC_FUNC);
    scope.Return("dsvp_NasShutdown(): 0x00000000", TRC_FUNC);
    scope.Info("Request retry", TRC_INFO);
    scope.Warn("Unknown Status", TRC_WARN);
    scope.Error(TraceFmt("send() code=%d", 104), TRC_ERROR);
    scope.Fatal("never", TRC_FATAL);
    scope.Debug("Now I enter the while( TRUE ) loop", TRC_DEBUG);  // above the normal mask
    scope.Info("socket()", TRC_DETAIL);                            // above the normal mask
  }
  { CusrTraceScope free("FreeFunction", TRC_FUNC); }
  { CusrTraceScope nothing(nullptr, "Method", TRC_FUNC); }
  { CusrTraceScope nothing2("Class", nullptr, TRC_FUNC); }
  { CusrTraceScope rejected("Class", "Hidden", TRC_DEBUG); }

  for (const auto& line : sink.Lines()) ASSERT_TRUE(std::regex_match(line, tracetest::LineShape())) << line;
  EXPECT_THAT(sink.TaggedTexts(),
              ElementsAre("enter CusrCHN::StartShutdown", "call_ dsvp_NasShutdown()",
                          "retrn dsvp_NasShutdown(): 0x00000000", "info_ Request retry", "warn_ Unknown Status",
                          "error send() code=104", "fatal never", "exit_ CusrCHN::StartShutdown",
                          "enter FreeFunction", "exit_ FreeFunction"));
}

TEST_F(TraceTest, NothingIsWrittenBeforeSetTrace) {
  common::MemoryTraceSink sink;
  { CusrTraceScope scope("C", "M", TRC_FUNC); }
  WriteTraceLine("direct", "info_", TRC_INFO);
  EXPECT_THAT(sink.Lines(), IsEmpty());
  SetTrace(&sink, TRC_MASK_NONE);
  { CusrTraceScope scope("C", "M", TRC_FUNC); }
  EXPECT_THAT(sink.Lines(), IsEmpty());
}

// Four threads write 1 KB lines through 1 MB rotation: every line arrives whole, exactly once.
TEST_F(TraceTest, ThreadsNeverTearOrLoseLines) {
  CusrTrace trace;
  ASSERT_EQ(trace.Open(Dir().string(), "mt", 1, 10, nullptr), 0u);
  SetTrace(&trace, TRC_MASK_NORMAL);
  constexpr int kThreads = 4;
  constexpr int kLines = 800;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      CusrTraceScope scope("Worker", "Run", TRC_FUNC);
      for (int i = 0; i < kLines; ++i)
        scope.Info("t" + std::to_string(t) + " n" + std::to_string(i) + " " + std::string(1000, 'a' + t), TRC_INFO);
    });
  }
  for (auto& th : threads) th.join();
  SetTrace(nullptr, 0);

  std::map<std::string, int> seen;
  int rotated = 0;
  for (const auto& entry : fs::directory_iterator(Dir())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("mt.", 0) != 0) continue;
    if (name != "mt.log") ++rotated;
    EXPECT_LE(fs::file_size(entry.path()), 0x100000u) << name;
    for (const auto& line : Lines(entry.path())) {
      const auto pos = line.find(" info_ t");
      if (pos == std::string::npos) continue;
      std::istringstream body(line.substr(pos + 7));
      std::string thread, number, fill;
      body >> thread >> number >> fill;
      EXPECT_EQ(fill, std::string(1000, static_cast<char>('a' + (thread[1] - '0')))) << "torn line in " << name;
      ++seen[thread + " " + number];
    }
  }
  EXPECT_GE(rotated, 2);
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLines));
  for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key;
}

}  // namespace
