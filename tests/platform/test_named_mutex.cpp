#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "TestEnv.h"
#include "plat/NamedMutex.h"
#include "plat/RuntimeDir.h"

namespace {

using plat::Clock;
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
  EXPECT_FALSE(mutex.IsBusy());
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

  // Bit 0: busy, bit 1: taken, bit 2: owned or unlocked before taking. The child runs a copy of
  // this thread, whose ownership must not count there.
  const auto childSees = [&mutex] {
    return InChild([&mutex] {
      int seen = mutex.IsBusy() ? 1 : 0;
      if (mutex.IsOwnedByCaller() || mutex.Unlock()) seen |= 4;
      if (mutex.TryLock()) {
        seen |= 2;
        mutex.Unlock();
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

// The parameter says who holds the mutex while a timed Lock waits: another process or this one.
class TimedLock : public ::testing::TestWithParam<bool> {
 protected:
  void Hold(NamedMutex& mutex) {
    if (GetParam()) {
      m_holder = StartHolder(mutex.Name());
      ASSERT_NE(m_holder, 0);
    } else {
      ASSERT_EQ(mutex.Lock(), LockResult::Acquired);
    }
  }
  // A holder process is killed, so a waiter then finds the mutex abandoned.
  void Release(NamedMutex& mutex) {
    if (GetParam()) {
      Kill(std::exchange(m_holder, 0));
    } else {
      EXPECT_TRUE(mutex.Unlock());
    }
  }
  // A holder left by a failed assertion would keep the test's output open.
  void TearDown() override {
    if (m_holder != 0) Kill(m_holder);
    Clock::SetTimeScale(1.0);
  }

  kelptest::IsolatedEnv m_env;
  pid_t m_holder = 0;
};

TEST_P(TimedLock, TimesOutExactlyAtTheManualDeadline) {
  NamedMutex mutex("timed");
  ASSERT_NO_FATAL_FAILURE(Hold(mutex));
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
  Release(mutex);
}

TEST_P(TimedLock, TimesOutOnScaledTime) {
  NamedMutex mutex("scaled");
  ASSERT_NO_FATAL_FAILURE(Hold(mutex));
  Clock::SetTimeScale(0.001);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(InThread([] { return NamedMutex("scaled").Lock(Millis(5000)); }), LockResult::Timeout);
  const auto real = std::chrono::steady_clock::now() - start;
  EXPECT_GE(real, 5ms);
  EXPECT_LT(real, 1s);
  Release(mutex);
}

TEST_P(TimedLock, GetsItOnceFreedBeforeTheDeadline) {
  NamedMutex mutex("freed");
  ASSERT_NO_FATAL_FAILURE(Hold(mutex));
  ManualClock manual;
  std::atomic<int> result{-1};
  std::thread waiter([&] {
    NamedMutex other("freed");
    result = static_cast<int>(other.Lock(Millis(5000)));
    other.Unlock();
  });
  EXPECT_TRUE(manual.WaitForWaiters(1));
  Release(mutex);
  waiter.join();
  const LockResult expected = GetParam() ? LockResult::Abandoned : LockResult::Acquired;
  EXPECT_EQ(result, static_cast<int>(expected));
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

enum class Holder { Thread, Process };
enum class Taker { Lock, TimedLock, IsBusyFirst };

class DeadOwner : public ::testing::TestWithParam<std::tuple<Holder, Taker>> {};

std::string DeadOwnerCaseName(const ::testing::TestParamInfo<DeadOwner::ParamType>& info) {
  const char* takers[] = {"Lock", "TimedLock", "IsBusyFirst"};
  return std::string(std::get<0>(info.param) == Holder::Thread ? "Thread" : "Process") + "Then" +
         takers[static_cast<int>(std::get<1>(info.param))];
}

TEST_P(DeadOwner, LeavesItAbandonedToTheNextTakerOnly) {
  kelptest::IsolatedEnv env;
  const auto [holder, taker] = GetParam();
  if (holder == Holder::Thread) {
    std::thread([] {
      NamedMutex mutex("dead");
      mutex.Lock();
      mutex.Lock();
    }).join();
  } else {
    const pid_t pid = StartHolder("dead");
    ASSERT_NE(pid, 0);
    Kill(pid);
  }
  NamedMutex mutex("dead");
  if (taker == Taker::IsBusyFirst) {
    EXPECT_FALSE(mutex.IsBusy()) << "free since its owner died";
  }
  EXPECT_EQ(taker == Taker::TimedLock ? mutex.Lock(Millis(1000)) : mutex.Lock(),
            LockResult::Abandoned);
  EXPECT_TRUE(mutex.IsOwnedByCaller());
  EXPECT_FALSE(InThread([] { return NamedMutex("dead").TryLock(); }));
  // One level owned, whatever depth the dead owner had.
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_FALSE(mutex.IsOwnedByCaller());
  EXPECT_FALSE(mutex.Unlock());
  EXPECT_EQ(InThread([] {
              NamedMutex other("dead");
              const LockResult result = other.Lock();
              other.Unlock();
              return result;
            }),
            LockResult::Acquired);
}

INSTANTIATE_TEST_SUITE_P(NamedMutex, DeadOwner,
                         ::testing::Combine(::testing::Values(Holder::Thread, Holder::Process),
                                            ::testing::Values(Taker::Lock, Taker::TimedLock,
                                                              Taker::IsBusyFirst)),
                         DeadOwnerCaseName);

TEST(NamedMutex, ProcessesOpeningANewMutexTogetherExcludeEachOther) {
  kelptest::IsolatedEnv env;
  constexpr int kProcesses = 4;
  constexpr int kRounds = 2000;
  struct Tally {
    std::atomic<bool> inside;
    std::atomic<int> overlaps, count;
  };
  void* shared =
      mmap(nullptr, sizeof(Tally), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  Tally& tally = *new (shared) Tally{};
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      close(start[1]);
      char go;
      if (read(start[0], &go, 1) != 0) _exit(2);
      NamedMutex mutex("together");
      for (int i = 0; i < kRounds; ++i) {
        if (mutex.Lock() != LockResult::Acquired) _exit(1);
        if (tally.inside.exchange(true)) ++tally.overlaps;
        ++tally.count;
        std::this_thread::yield();  // lets the others arrive while it is held
        tally.inside = false;
        if (!mutex.Unlock()) _exit(1);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  close(start[0]);
  close(start[1]);  // end of file starts them all at once
  for (const pid_t pid : children) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(tally.count, kProcesses * kRounds);
  EXPECT_EQ(tally.overlaps, 0);
  munmap(shared, sizeof(Tally));
}

TEST(NamedMutex, MakesOverAFileThatIsNotAReadyMutex) {
  kelptest::IsolatedEnv env;
  const auto fileOf = [&](const std::string& name) {
    return env.runtimeDir() / (plat::EscapeObjectName(name) + ".mutex");
  };
  ASSERT_FALSE(NamedMutex("reference").IsBusy());
  const auto size = std::filesystem::file_size(fileOf("reference"));
  const std::vector<std::pair<std::string, std::string>> leftovers = {
      {"empty", ""},
      {"short", "KELP"},
      {"zeroes", std::string(size, '\0')},
      {"garbage", std::string(size, '\xa5')},
      {"oversize", std::string(size + 100, '\x01')},
  };
  for (const auto& [name, content] : leftovers) {
    kelptest::WriteFile(fileOf(name), content);
    NamedMutex mutex(name);
    EXPECT_EQ(mutex.Lock(), LockResult::Acquired) << name;
    EXPECT_EQ(std::filesystem::file_size(fileOf(name)), size) << name;
    EXPECT_EQ(InChild([&] { return NamedMutex(name).TryLock() ? 1 : 0; }), 0) << name;
    EXPECT_TRUE(mutex.Unlock()) << name;
    EXPECT_EQ(InChild([&] { return NamedMutex(name).TryLock() ? 1 : 0; }), 1) << name;
  }
}

TEST(NamedMutex, FailsWhileItsFileCannotBeMadeAndRecoversAfter) {
  kelptest::IsolatedEnv env;
  const auto file = env.runtimeDir() / "blocked.mutex";
  std::filesystem::create_directory(file);
  NamedMutex mutex("blocked");
  EXPECT_EQ(mutex.Lock(), LockResult::Failed);
  EXPECT_EQ(mutex.Lock(Millis(10)), LockResult::Failed);
  EXPECT_FALSE(mutex.IsBusy());
  std::filesystem::remove(file);
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
