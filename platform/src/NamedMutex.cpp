#include "plat/NamedMutex.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "plat/RuntimeDir.h"

namespace plat {
namespace {

// The lock file holds the owner's pid while the mutex is held and blanks otherwise; a pid found
// on taking the flock is the mark of an owner that died. The record is written through a shared
// mapping: it outlives a killed owner like a file write, but costs no system call.
constexpr std::size_t kRecordSize = 16;
constexpr char kBlankRecord[kRecordSize + 1] = "               \n";

// Bumped in every child made by fork: what the child inherited (open lock file descriptions,
// ownership by the parent's threads) is not its own and is dropped on its next call.
std::atomic<unsigned> g_forkGeneration{0};

void OnForkChild() { g_forkGeneration.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

struct NamedMutex::Shared : std::enable_shared_from_this<Shared> {
  Shared(std::string mutexName, std::filesystem::path lockFile)
      : name(std::move(mutexName)),
        file(std::move(lockFile)),
        forkGeneration(g_forkGeneration.load()) {}
  ~Shared() { CloseFile(); }
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;

  // The one state of a lock file in this process, shared by every handle with that name.
  static std::shared_ptr<Shared> For(std::string mutexName) {
    static const int forkHandler = pthread_atfork(nullptr, nullptr, OnForkChild);
    (void)forkHandler;
    static std::mutex registryMutex;
    static std::map<std::string, std::weak_ptr<Shared>> registry;
    std::error_code ec;
    const std::filesystem::path dir = RuntimeDir(ec);
    if (ec) return std::make_shared<Shared>(std::move(mutexName), std::filesystem::path{});
    std::filesystem::path lockFile = dir / (EscapeObjectName(mutexName) + ".lock");
    std::lock_guard lock(registryMutex);
    std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<Shared>& slot = registry[lockFile.string()];
    std::shared_ptr<Shared> state = slot.lock();
    if (!state) {
      state = std::make_shared<Shared>(std::move(mutexName), std::move(lockFile));
      slot = state;
    }
    return state;
  }

  // The members below are guarded by mutex.

  void CheckFork() {
    const unsigned generation = g_forkGeneration.load(std::memory_order_relaxed);
    if (generation == forkGeneration) return;
    forkGeneration = generation;
    CloseFile();
    holder = {};
    depth = 0;
    selfWhileOwned.reset();  // the caller's handle keeps this object alive
  }

  bool OpenFile() {
    if (fd >= 0) return true;
    if (file.empty()) return false;
    fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    // Growing only: the file never shrinks under another process's mapping.
    struct stat st {};
    void* view = MAP_FAILED;
    if (::fstat(fd, &st) == 0 &&
        (st.st_size >= static_cast<off_t>(kRecordSize) || ::ftruncate(fd, kRecordSize) == 0))
      view = ::mmap(nullptr, kRecordSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
      CloseFile();
      return false;
    }
    record = static_cast<char*>(view);
    std::snprintf(ownRecord, sizeof ownRecord, "%-15d\n", static_cast<int>(::getpid()));
    return true;
  }

  void CloseFile() {
    if (record != nullptr) ::munmap(record, kRecordSize);
    record = nullptr;
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  // The flock is ours: reads what the last owner left, then records this process.
  LockResult TakeOwnership(std::thread::id me) {
    const bool abandoned =
        std::any_of(record, record + kRecordSize, [](char c) { return c >= '0' && c <= '9'; });
    std::memcpy(record, ownRecord, kRecordSize);
    holder = me;
    depth = 1;
    selfWhileOwned = shared_from_this();
    return abandoned ? LockResult::Abandoned : LockResult::Acquired;
  }

  // Ends an attempt that did not get the flock.
  LockResult GiveUp(LockResult result) {
    holder = {};
    released.notify_all();
    return result;
  }

  const std::string name;
  const std::filesystem::path file;  // empty when the runtime dir is unusable
  std::mutex mutex;
  std::condition_variable released;
  std::thread::id holder;  // the thread owning the mutex or taking its flock
  unsigned depth = 0;      // recursion count; 0 while the holder is still taking the flock
  int fd = -1;
  char* record = nullptr;  // the owner record, mapped from the lock file
  char ownRecord[kRecordSize + 1] = {};
  unsigned forkGeneration;
  std::shared_ptr<Shared> selfWhileOwned;  // a held mutex outlives its handles
};

namespace {

bool HasFlock(int fd, int& error) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    error = 0;
    return true;
  }
  error = errno;
  return false;
}

}  // namespace

const char* ToText(LockResult result) {
  switch (result) {
    case LockResult::Acquired:
      return "Acquired";
    case LockResult::Abandoned:
      return "Abandoned";
    case LockResult::Timeout:
      return "Timeout";
    case LockResult::Failed:
      return "Failed";
  }
  return "Unknown";
}

NamedMutex::NamedMutex(std::string name) : m_shared(Shared::For(std::move(name))) {}

NamedMutex::~NamedMutex() = default;

const std::string& NamedMutex::Name() const { return m_shared->name; }

LockResult NamedMutex::Lock() {
  Shared& s = *m_shared;
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(s.mutex);
  s.CheckFork();
  if (s.holder == me) {
    ++s.depth;
    return LockResult::Acquired;
  }
  s.released.wait(lock, [&] { return s.holder == std::thread::id{}; });
  s.holder = me;
  if (!s.OpenFile()) return s.GiveUp(LockResult::Failed);
  int error = 0;
  if (!HasFlock(s.fd, error) && (error == EWOULDBLOCK || error == EINTR)) {
    // Other threads keep away while we are the holder, so the descriptor stays as it is.
    const int fd = s.fd;
    lock.unlock();
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    error = rc == 0 ? 0 : errno;
    lock.lock();
  }
  if (error != 0) return s.GiveUp(LockResult::Failed);
  return s.TakeOwnership(me);
}

LockResult NamedMutex::Lock(Millis timeout) {
  Shared& s = *m_shared;
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(s.mutex);
  s.CheckFork();
  if (s.holder == me) {
    ++s.depth;
    return LockResult::Acquired;
  }
  const TimePoint deadline = Clock::Now() + std::max(timeout, Millis::zero());
  if (!Clock::WaitUntil(s.released, lock, deadline, [&] { return s.holder == std::thread::id{}; }))
    return LockResult::Timeout;
  s.holder = me;
  if (!s.OpenFile()) return s.GiveUp(LockResult::Failed);
  int error = 0;
  if (!HasFlock(s.fd, error) && (error == EWOULDBLOCK || error == EINTR)) {
    const int fd = s.fd;
    lock.unlock();
    const bool got = Clock::PollUntil(
        deadline, [&] { return HasFlock(fd, error) || (error != EWOULDBLOCK && error != EINTR); });
    lock.lock();
    if (!got) return s.GiveUp(LockResult::Timeout);
  }
  if (error != 0) return s.GiveUp(LockResult::Failed);
  return s.TakeOwnership(me);
}

bool NamedMutex::TryLock() {
  const LockResult result = Lock(Millis::zero());
  return result == LockResult::Acquired || result == LockResult::Abandoned;
}

bool NamedMutex::Unlock() {
  Shared& s = *m_shared;
  std::unique_lock lock(s.mutex);
  s.CheckFork();
  if (s.depth == 0 || s.holder != std::this_thread::get_id()) return false;
  if (--s.depth > 0) return true;
  // Blank the record before the flock goes, so nobody reads a released mutex as abandoned.
  std::memcpy(s.record, kBlankRecord, kRecordSize);
  ::flock(s.fd, LOCK_UN);
  s.holder = {};
  const std::shared_ptr<Shared> keep = std::move(s.selfWhileOwned);
  lock.unlock();
  s.released.notify_all();
  return true;
}

bool NamedMutex::IsBusy() const {
  Shared& s = *m_shared;
  std::lock_guard lock(s.mutex);
  s.CheckFork();
  if (s.holder != std::thread::id{}) return s.holder != std::this_thread::get_id();
  if (!s.OpenFile()) return false;
  int error = 0;
  if (HasFlock(s.fd, error)) {
    ::flock(s.fd, LOCK_UN);
    return false;
  }
  return error == EWOULDBLOCK;
}

bool NamedMutex::IsOwnedByCaller() const {
  Shared& s = *m_shared;
  std::lock_guard lock(s.mutex);
  s.CheckFork();
  return s.depth > 0 && s.holder == std::this_thread::get_id();
}

}  // namespace plat
