#include "plat/Process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace plat {
namespace {

// The wait status recorded for a child someone else collected (SIGCHLD ignored): exit code 255.
constexpr int kLostStatus = 255 << 8;

// Called through syscall: glibc 2.36 declares pidfd_open without C linkage.
int OpenPidFd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// Collects children whose Process object went away while they ran: one thread, sleeping in poll
// on their pidfds until one ends.
class Reaper {
 public:
  static Reaper& Instance() {
    static Reaper reaper;
    return reaper;
  }

  void Adopt(pid_t pid) {
    {
      std::lock_guard lock(m_mutex);
      m_adopted.push_back(pid);
      if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    }
    Wake();
  }

  Reaper(const Reaper&) = delete;
  Reaper& operator=(const Reaper&) = delete;

 private:
  Reaper() : m_wakeFd(::eventfd(0, EFD_CLOEXEC)) {}

  ~Reaper() {
    {
      std::lock_guard lock(m_mutex);
      m_stop = true;
    }
    Wake();
    if (m_thread.joinable()) m_thread.join();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
  }

  void Wake() {
    const std::uint64_t one = 1;
    (void)!::write(m_wakeFd, &one, sizeof one);
  }

  struct Watched {
    pid_t pid;
    int pidFd;
  };

  void Run() {
    std::vector<Watched> watched;
    for (;;) {
      {
        std::lock_guard lock(m_mutex);
        if (m_stop) break;
        for (const pid_t pid : m_adopted) {
          const int pidFd = OpenPidFd(pid);
          if (pidFd >= 0)
            watched.push_back({pid, pidFd});
          else
            ::waitpid(pid, nullptr, WNOHANG);
        }
        m_adopted.clear();
      }
      std::vector<pollfd> fds{{m_wakeFd, POLLIN, 0}};
      for (const Watched& child : watched) fds.push_back({child.pidFd, POLLIN, 0});
      if (::poll(fds.data(), fds.size(), -1) < 0) continue;
      if (fds[0].revents != 0) {
        std::uint64_t count = 0;
        (void)!::read(m_wakeFd, &count, sizeof count);
      }
      for (std::size_t i = fds.size() - 1; i > 0; --i) {
        if (fds[i].revents == 0 || ::waitpid(watched[i - 1].pid, nullptr, WNOHANG) == 0) continue;
        ::close(watched[i - 1].pidFd);
        watched.erase(watched.begin() + static_cast<std::ptrdiff_t>(i - 1));
      }
    }
    for (const Watched& child : watched) ::close(child.pidFd);
  }

  std::mutex m_mutex;
  std::vector<pid_t> m_adopted;  // handed over, not yet watched by the thread
  bool m_stop = false;
  const int m_wakeFd;
  std::thread m_thread;
};

// posix_spawn attributes: the child starts with default signal handling and nothing blocked,
// whatever this process ignores or blocks.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&m_attr);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&m_attr, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&m_attr, &none);
    posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&m_attr); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;

  const posix_spawnattr_t* get() const { return &m_attr; }

 private:
  posix_spawnattr_t m_attr;
};

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string current = *entry;
    bool replaced = false;
    for (const std::string& added : extra) replaced = replaced || nameOf(added) == nameOf(current);
    if (!replaced) merged.push_back(current);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

Process::~Process() { Release(); }

Process::Process(Process&& other) noexcept
    : m_pid(std::exchange(other.m_pid, 0)),
      m_reaped(other.m_reaped),
      m_exitCode(other.m_exitCode),
      m_error(std::move(other.m_error)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Release();
    m_pid = std::exchange(other.m_pid, 0);
    m_reaped = other.m_reaped;
    m_exitCode = other.m_exitCode;
    m_error = std::move(other.m_error);
  }
  return *this;
}

void Process::Release() {
  if (m_pid > 0 && IsRunning()) Reaper::Instance().Adopt(m_pid);
  m_pid = 0;
}

bool Process::Start(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv) {
  if (IsRunning()) {
    m_error = "process " + std::to_string(m_pid) + " is still running";
    return false;
  }
  std::vector<std::string> argvStrings{program.string()};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv = Pointers(argvStrings);
  std::vector<std::string> envStrings;
  std::vector<char*> envPointers;
  char** envp = environ;
  if (!extraEnv.empty()) {
    envStrings = MergedEnvironment(extraEnv);
    envPointers = Pointers(envStrings);
    envp = envPointers.data();
  }
  const SpawnAttributes attributes;
  pid_t pid = 0;
  const bool searchPath = program.native().find('/') == std::string::npos;
  // glibc reports a failed exec here, with the child already collected.
  const int rc = searchPath
                     ? ::posix_spawnp(&pid, argv[0], nullptr, attributes.get(), argv.data(), envp)
                     : ::posix_spawn(&pid, argv[0], nullptr, attributes.get(), argv.data(), envp);
  if (rc != 0) {
    m_error = "cannot start '" + program.string() + "': " + std::system_category().message(rc);
    return false;
  }
  m_pid = pid;
  m_reaped = false;
  m_exitCode = 0;
  m_error.clear();
  return true;
}

void Process::Record(int status) {
  m_reaped = true;
  if (WIFEXITED(status))
    m_exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    m_exitCode = 128 + WTERMSIG(status);
}

bool Process::IsRunning() {
  if (m_pid <= 0 || m_reaped) return false;
  int status = 0;
  pid_t rc;
  do {
    rc = ::waitpid(m_pid, &status, WNOHANG);
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) return true;
  Record(rc < 0 ? kLostStatus : status);
  return false;
}

std::optional<int> Process::Wait() {
  if (m_pid <= 0) return std::nullopt;
  if (!m_reaped) {
    int status = 0;
    pid_t rc;
    do {
      rc = ::waitpid(m_pid, &status, 0);
    } while (rc < 0 && errno == EINTR);
    Record(rc < 0 ? kLostStatus : status);
  }
  return m_exitCode;
}

std::optional<int> Process::Wait(Millis timeout) {
  if (m_pid <= 0) return std::nullopt;
  if (!Clock::PollUntil(Clock::Now() + timeout, [this] { return !IsRunning(); }))
    return std::nullopt;
  return m_exitCode;
}

bool Process::Terminate(int exitCode, Millis grace) {
  if (!IsRunning()) return false;
  // Not reaped yet, so the pid cannot belong to anyone else.
  ::kill(m_pid, SIGTERM);
  if (!Wait(grace)) {
    ::kill(m_pid, SIGKILL);
    Wait();
  }
  m_exitCode = exitCode;
  return true;
}

}  // namespace plat
