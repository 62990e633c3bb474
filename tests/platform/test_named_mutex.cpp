#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "TestEnv.h"
#include "plat/NamedMutex.h"

namespace {

using plat::LockResult;
using plat::ManualClock;
using plat::Millis;
using plat::NamedMutex;
using namespace std::chrono_literals;

// Runs body in a forked child and returns its result as the child's exit code.
int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs body in another thread of this process and waits for it.
template <class Body>
auto InThread(Body body) {
  decltype(body()) result{};
  std::thread([&] { result = body(); }).join();
  return result;
}

// A child process that has taken the mutex and holds it until killed; 0 when it could not.
pid_t StartHolder(const std::string& name) {
  int fds[2];
  if (pipe(fds) != 0) return 0;
  const pid_t pid = fork();
  if (pid == 0) {
    const char taken = NamedMutex(name).Lock() == LockResult::Acquired ? 'y' : 'n';
    if (write(fds[1], &taken, 1) != 1 || taken != 'y') _exit(1);
    for (;;) pause();
  }
  close(fds[1]);
  char taken = 0;
  const bool holds = read(fds[0], &taken, 1) == 1 && taken == 'y';
  close(fds[0]);
  return holds ? pid : 0;
}

void Kill(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

TEST(NamedMutex, ThreadsWithTheirOwnHandlesExcludeEachOther) {
  kelptest::IsolatedEnv env;
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::atomic<bool> inside{false};
  std::atomic<int> overlaps{0};
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      NamedMutex mutex("exclusion");
      for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(mutex.Lock(), LockResult::Acquired);
        if (inside.exchange(true)) ++overlaps;
        ++counter;
        inside = false;
        ASSERT_TRUE(mutex.Unlock());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, kThreads * kRounds);
  EXPECT_EQ(overlaps, 0);
}

TEST(NamedMutex, IsRecursiveForItsOwnerOnly) {
  kelptest::IsolatedEnv env;
  NamedMutex mutex("recursive");
  const auto othersCanTake = [] {
    return InThread([] {
      NamedMutex other("recursive");
      const bool took = other.TryLock();
      if (took) other.Unlock();
      return took;
    });
  };
  ASSERT_EQ(mutex.Lock(), LockResult::Acquired);
  ASSERT_EQ(mutex.Lock(Millis(0)), LockResult::Acquired);
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_TRUE(mutex.IsOwnedByCaller());
  EXPECT_FALSE(othersCanTake());
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_FALSE(mutex.IsOwnedByCaller());
  EXPECT_FALSE(mutex.Unlock());
  EXPECT_TRUE(othersCanTake());
}

TEST(NamedMutex, OnlyTheOwnerMayUnlockAndOthersSeeItBusy) {
  kelptest::IsolatedEnv env;
  NamedMutex mutex("owner");
  EXPECT_FALSE(mutex.IsBusy());
  ASSERT_EQ(mutex.Lock(), LockResult::Acquired);
  EXPECT_FALSE(mutex.IsBusy());

  struct Seen {
    bool unlocked, busy, tookIt, owns;
  };
  const Seen thread = InThread([] {
    NamedMutex other("owner");
    return Seen{other.Unlock(), other.IsBusy(), other.TryLock(), other.IsOwnedByCaller()};
  });
  EXPECT_FALSE(thread.unlocked);
  EXPECT_TRUE(thread.busy);
  EXPECT_FALSE(thread.tookIt);
  EXPECT_FALSE(thread.owns);

  // Bit 0: busy, bit 1: taken. The child inherits this thread's ownership bookkeeping, which must
  // not count there.
  const auto childSees = [] {
    return InChild([] {
      NamedMutex other("owner");
      int seen = other.IsBusy() ? 1 : 0;
      if (other.TryLock()) {
        seen |= 2;
        other.Unlock();
      }
      return seen;
    });
  };
  EXPECT_EQ(childSees(), 1);
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_EQ(childSees(), 2);
  EXPECT_EQ(mutex.Lock(), LockResult::Acquired) << "a child that unlocked leaves nothing abandoned";
  EXPECT_TRUE(mutex.Unlock());
}

class TimedLock : public ::testing::TestWithParam<bool> {};

TEST_P(TimedLock, TimesOutExactlyAtTheManualDeadline) {
  kelptest::IsolatedEnv env;
  const bool holderIsProcess = GetParam();
  NamedMutex mutex("timed");
  pid_t holder = 0;
  if (holderIsProcess) {
    holder = StartHolder("timed");
    ASSERT_NE(holder, 0);
  } else {
    ASSERT_EQ(mutex.Lock(), LockResult::Acquired);
  }
  ManualClock manual;
  std::atomic<int> result{-1};
  std::thread waiter([&] { result = static_cast<int>(NamedMutex("timed").Lock(Millis(5000))); });
  EXPECT_TRUE(manual.WaitForWaiters(1));
  manual.Advance(Millis(4999));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(result, -1);
  manual.Advance(Millis(1));
  waiter.join();
  EXPECT_EQ(result, static_cast<int>(LockResult::Timeout));
  if (holderIsProcess) {
    Kill(holder);
  } else {
    EXPECT_TRUE(mutex.Unlock());
  }
}

INSTANTIATE_TEST_SUITE_P(NamedMutex, TimedLock, ::testing::Values(false, true),
                         [](const auto& param) {
                           return param.param ? "HeldByProcess" : "HeldByThread";
                         });

TEST(NamedMutex, OwnerKilledWhileHoldingLeavesItAbandonedToTheWaiter) {
  kelptest::IsolatedEnv env;
  const pid_t holder = StartHolder("abandoned");
  ASSERT_NE(holder, 0);
  NamedMutex mutex("abandoned");
  EXPECT_TRUE(mutex.IsBusy());
  std::atomic<int> result{-1};
  std::atomic<bool> owned{false};
  std::thread waiter([&] {
    result = static_cast<int>(mutex.Lock());
    owned = mutex.IsOwnedByCaller();
    mutex.Unlock();
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(result, -1);
  Kill(holder);
  waiter.join();
  EXPECT_EQ(result, static_cast<int>(LockResult::Abandoned));
  EXPECT_TRUE(owned);
  EXPECT_EQ(mutex.Lock(), LockResult::Acquired);
  EXPECT_TRUE(mutex.Unlock());
}

TEST(NamedMutex, AnyNameIsItsOwnMutexInsideTheRuntimeDir) {
  kelptest::IsolatedEnv env;
  const std::vector<std::string> names = {
      "a/b", "a\\b", "Global\\Kelp Sync", "..", "", "x\n\x01\xff", "a_b", "a%2Fb"};
  std::vector<std::unique_ptr<NamedMutex>> held;
  for (const std::string& name : names) {
    if (name == "a_b" || name == "a%2Fb") continue;
    held.push_back(std::make_unique<NamedMutex>(name));
    ASSERT_EQ(held.back()->Lock(), LockResult::Acquired) << name;
  }
  for (const std::string& name : names) {
    const bool expectBusy = name != "a_b" && name != "a%2Fb";
    EXPECT_EQ(InThread([&] { return NamedMutex(name).IsBusy(); }), expectBusy) << name;
  }
  for (const auto& mutex : held) EXPECT_TRUE(mutex->Unlock());
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(env.runtimeDir())) {
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
    EXPECT_EQ(entry.path().parent_path(), env.runtimeDir());
    ++files;
  }
  EXPECT_EQ(files, static_cast<int>(names.size()));
}

}  // namespace
