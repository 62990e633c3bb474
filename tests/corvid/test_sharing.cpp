// Several processes and threads drive one unit at once: no update is lost, no call sees a torn
// state, and every process agrees on the boards.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <thread>

#include "CorvidTestUtil.h"
#include "corvid.h"

namespace {

using namespace corvidtest;
namespace pg = corvid::pages;
namespace sim = corvid::sim;

constexpr int kRounds = 150;

// One worker's share: each round queues a fault tagged with (worker, round), senses the
// configuration, selects time-outs into its own board and reads them back. Returns the number
// of calls that went wrong.
int Work(int worker) {
  int failures = 0;
  const int k = worker % pg::kBoards;
  for (int round = 0; round < kRounds; ++round) {
    const std::uint32_t tag = 0x02000000u | static_cast<std::uint32_t>(worker) << 16 | static_cast<std::uint32_t>(round);
    if (!sim::InjectCallFault(kUnit, "GetUnitParam", -1, -1, 1, tag)) ++failures;
    unsigned char* buffer = nullptr;
    int size = 0;
    if (ZQ_ModeSenseonMemory(kUnit, pg::kNasPage, pg::kA3Config, -1, &buffer, &size) != 0) {
      ++failures;
      continue;
    }
    std::vector<std::uint8_t> a4(pg::a4::kSize, 0);
    a4[pg::cmd::kCluster + 1] = static_cast<std::uint8_t>(k / 2);
    a4[pg::cmd::kPcb + 1] = static_cast<std::uint8_t>(k % 2);
    SetBE32(a4, pg::a4::kTimeOut0, tag);
    if (ZQ_ModeSelectonMemory(kUnit, pg::kNasPage, pg::kA4TimeOut, -1, a4.data(), static_cast<int>(a4.size())) != 0)
      ++failures;
    ZQ_FreeMemory(buffer);
  }
  return failures;
}

// Drains the queued faults through GetUnitParam: each worker's tags must all be there, in order.
void ExpectEveryUpdateKept(int workers) {
  std::vector<int> next(static_cast<std::size_t>(workers), 0);
  ZQ_UNIT_PARAM param{};
  int code;
  int drained = 0;
  while ((code = ZQ_GetUnitParam(kUnit, &param)) != 0 && drained <= workers * kRounds) {
    const auto tag = static_cast<std::uint32_t>(code);
    ASSERT_EQ(tag & 0xFF000000u, 0x02000000u) << std::hex << tag;
    const int worker = static_cast<int>((tag >> 16) & 0xFF);
    ASSERT_LT(worker, workers);
    EXPECT_EQ(static_cast<int>(tag & 0xFFFF), next[static_cast<std::size_t>(worker)]++) << "worker " << worker;
    ++drained;
  }
  EXPECT_EQ(drained, workers * kRounds);
}

TEST(Sharing, TwoProcessesDriveOneUnit) {
  SimEnv env;
  sim::SetTimeScale(1.0);  // real time runs too: every call also settles and may rewrite the state
  std::vector<pid_t> children;
  for (int worker = 0; worker < 2; ++worker) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(Work(worker) == 0 ? 0 : 3);
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a call failed in a child";
  }
  ExpectEveryUpdateKept(2);
  const auto a3 = Nas(pg::kA3Config);
  for (int k = 0; k < 2; ++k)
    EXPECT_EQ(BE32(a3, pg::a3::Entry(k) + pg::a3::kTimeOuts),
              0x02000000u | static_cast<std::uint32_t>(k) << 16 | (kRounds - 1))
        << "the last select of each process is what the parent reads";
}

TEST(Sharing, ThreadsOfOneProcessDriveOneUnit) {
  SimEnv env;
  constexpr int kThreads = 4;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int worker = 0; worker < kThreads; ++worker)
    threads.emplace_back([worker, &failures] { failures[static_cast<std::size_t>(worker)] = Work(worker); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
  ExpectEveryUpdateKept(kThreads);
}

TEST(Sharing, AProcessSeesAnotherProcesssCommand) {
  SimEnv env;
  ASSERT_EQ(Look(0).status, pg::kStatusStopped);  // this process has the unit cached
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(Power(0, pg::a7::kBoot) == 0 && sim::AdvanceTime(kUnit, 2000) ? 0 : 3);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Look(0).status, pg::kStatusOsUp);
}

}  // namespace
