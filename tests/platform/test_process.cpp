#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

#include "TestEnv.h"
#include "plat/Process.h"

namespace {

using plat::Clock;
using plat::ManualClock;
using plat::Millis;
using plat::Process;
using namespace std::chrono_literals;

// Polls a condition other processes make true, for at most five seconds.
bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 5000 && !condition(); ++i) std::this_thread::sleep_for(1ms);
  return condition();
}

// A zombie still exists; a reaped child does not.
bool Vanished(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

TEST(Process, ReportsTheExitCodeAndPassesArgumentsVerbatim) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> env;
    int code;
  } cases[] = {
      {"exit code", {"-c", "exit 3"}, {}, 3},
      {"signal", {"-c", "kill -9 $$"}, {}, 128 + 9},
      {"arguments",
       {"-c", R"(test "$1" = 'a b' && test "$2" = '"q" $x')", "sh", "a b", R"("q" $x)"},
       {},
       0},
      {"environment", {"-c", R"(test "$KELP_PROBE" = 'yes no')"}, {"KELP_PROBE=yes no"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Process process;
    ASSERT_TRUE(process.Start("/bin/sh", c.args, c.env)) << process.Error();
    EXPECT_GT(process.Pid(), 0);
    EXPECT_EQ(process.Wait(), c.code);
    EXPECT_FALSE(process.IsRunning());
  }
}

TEST(Process, ProgramThatCannotRunFailsToStart) {
  kelptest::TempDir dir;
  kelptest::WriteFile(dir / "not-executable", "#!/bin/sh\n");
  for (const std::filesystem::path& program :
       {dir / "missing", dir / "not-executable", std::filesystem::path("kelp-no-such-tool")}) {
    SCOPED_TRACE(program);
    Process process;
    EXPECT_FALSE(process.Start(program, {}));
    EXPECT_NE(process.Error().find(program.string()), std::string::npos) << process.Error();
    EXPECT_EQ(process.Pid(), 0);
    EXPECT_EQ(process.Wait(), std::nullopt);
  }
}

TEST(Process, TerminateEndsASleepingChildWithTheGivenCode) {
  Process process;
  ASSERT_TRUE(process.Start("sleep", {"30"})) << process.Error();
  EXPECT_TRUE(process.IsRunning());
  EXPECT_TRUE(process.Terminate(7));
  EXPECT_FALSE(process.IsRunning());
  EXPECT_EQ(process.Wait(), 7);
  EXPECT_FALSE(process.Terminate(8));
  EXPECT_EQ(process.Wait(), 7);
}

TEST(Process, TerminateKillsAChildThatIgnoresSigtermAfterTheGrace) {
  Process process;
  ASSERT_TRUE(process.Start("/bin/sh", {"-c", "trap '' TERM; exec sleep 30"})) << process.Error();
  Clock::SetTimeScale(0.001);
  const auto realStart = std::chrono::steady_clock::now();
  EXPECT_TRUE(process.Terminate(9, Millis(2000)));
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 5s);
  EXPECT_EQ(process.Wait(), 9);
  Clock::SetTimeScale(1.0);
}

TEST(Process, TimedWaitGivesUpAtTheManualDeadline) {
  Process process;
  ASSERT_TRUE(process.Start("sleep", {"30"})) << process.Error();
  {
    ManualClock manual;
    std::optional<int> result = -1;
    std::thread waiter([&] { result = process.Wait(Millis(60000)); });
    EXPECT_TRUE(manual.WaitForWaiters(1));
    manual.Advance(Millis(60000));
    waiter.join();
    EXPECT_EQ(result, std::nullopt);
  }
  EXPECT_TRUE(process.IsRunning());
  EXPECT_TRUE(process.Terminate(1));
}

TEST(Process, DestroyingTheObjectLeavesNoZombie) {
  kelptest::TempDir dir;
  const std::filesystem::path fifo = dir / "release";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  pid_t running = 0;
  {
    Process blocked;
    ASSERT_TRUE(blocked.Start("/bin/sh", {"-c", "read line < \"$0\"", fifo.string()}));
    running = blocked.Pid();
  }
  EXPECT_FALSE(Vanished(running)) << "the child keeps running";
  kelptest::WriteFile(fifo, "go\n");
  EXPECT_TRUE(Eventually([&] { return Vanished(running); })) << "and is reaped once it ends";
}

}  // namespace
