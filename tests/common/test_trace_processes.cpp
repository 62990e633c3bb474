// Two processes trace into the same files at once, through rotation: every line of both arrives
// whole and exactly once, and no file grows past the limit.
#include <gtest/gtest.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <sstream>

#include "TestEnv.h"
#include "TraceTestUtil.h"
#include "common/CusrTrace.h"
#include "common/CusrTraceScope.h"
#include "common/ProcessContext.h"

namespace fs = std::filesystem;

namespace {

constexpr int kProcesses = 2;
constexpr int kLines = 1500;
constexpr std::size_t kFill = 700;

[[noreturn]] void Child(const fs::path& dir, int index) {
  {
    CusrTrace trace;
    common::ProcessContext context({.revisionProvider = &tracetest::FakeRevision});
    if (trace.Open(dir.string(), "shared", 1, 10, nullptr) != 0) _exit(2);
    context.InstallTrace(trace, TRC_MASK_NORMAL);
    CusrTraceScope scope("Child", "Run", TRC_FUNC);
    for (int i = 0; i < kLines; ++i)
      scope.Info("p" + std::to_string(index) + " n" + std::to_string(i) + " " +
                     std::string(kFill, static_cast<char>('a' + index)),
                 TRC_INFO);
  }
  _exit(0);
}

TEST(TraceProcesses, TwoWritersShareRotationWithoutLosingLines) {
  kelptest::IsolatedEnv env;
  kelptest::TempDir dir;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) Child(dir.path(), p);
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
  }

  std::map<std::string, int> seen;
  int files = 0;
  int headers = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    ++files;
    EXPECT_LE(fs::file_size(entry.path()), 0x100000u) << entry.path();
    const auto lines = tracetest::Lines(entry.path());
    for (const auto& line : lines) {
      if (line == "Kelpset Tool Version 05-00-01") {
        ++headers;
        continue;
      }
      const auto pos = line.find(" info_ p");
      if (pos == std::string::npos) continue;
      std::istringstream body(line.substr(pos + 7));
      std::string proc, number, fill;
      body >> proc >> number >> fill;
      EXPECT_EQ(fill, std::string(kFill, static_cast<char>('a' + (proc[1] - '0')))) << "torn line";
      ++seen[proc + " " + number];
    }
  }
  EXPECT_GE(files, 3);
  EXPECT_EQ(headers, files) << "every file, and only each file's start, carries the header";
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kProcesses * kLines));
  for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key;
}

// While no other process rotates, a line costs one writev and no look-up of the live file: the
// system calls of a child writing lines are counted from outside with ptrace.
TEST(TraceProcesses, ALineIsOneWritevWithoutAskingTheDisk) {
  kelptest::IsolatedEnv env;
  kelptest::TempDir dir;
  constexpr int kCounted = 200;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    CusrTrace trace(kKelpftpdTraceVariant);
    if (trace.Open(dir.path().string(), "counted", 1, 2, nullptr) != 0) _exit(2);
    const std::string line(100, 'c');
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(3);
    raise(SIGSTOP);
    for (int i = 0; i < kCounted; ++i) trace.Write(line, nullptr);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) GTEST_SKIP() << "ptrace is not permitted here";
  ASSERT_TRUE(WIFSTOPPED(status)) << status;
  ASSERT_EQ(ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL), 0);

  std::map<unsigned long long, int> calls;
  for (;;) {
    ASSERT_EQ(ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr), 0);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    if (!WIFSTOPPED(status) || WSTOPSIG(status) != (SIGTRAP | 0x80)) continue;
    __ptrace_syscall_info info {};
    ASSERT_GT(ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info), 0);
    if (info.op == PTRACE_SYSCALL_INFO_ENTRY) ++calls[info.entry.nr];
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(calls[SYS_writev], kCounted);
  for (const long nr : {SYS_stat, SYS_lstat, SYS_newfstatat, SYS_statx, SYS_fstat, SYS_openat})
    EXPECT_EQ(calls[static_cast<unsigned long long>(nr)], 0) << "system call " << nr;
}

}  // namespace
