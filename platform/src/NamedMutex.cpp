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
#include <filesystem>
#include <map>
#include <mutex>

#include "plat/RuntimeDir.h"

namespace plat {
namespace {

// The whole content of a mutex file. Its suffix ".mutex" differs from the ".lock" of the older
// flock layout, so a program of that layout never writes its owner record over a mutex in use;
// a later layout takes a new suffix and magic again.
struct MutexFile {
  std::uint64_t magic;      // kMagic once the mutex is ready: written last, read first
  std::uint32_t abandoned;  // 1 when the owner died and the next taker is still to be told
  pthread_mutex_t mutex;    // process-shared, robust, recursive
};

constexpr std::uint64_t kMagic = 0x3158544d504c454bULL;  // the bytes "KELPMTX1" (little-endian)
constexpr off_t kFileSize = sizeof(MutexFile);

bool HasFileSize(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && st.st_size == kFileSize;
}

MutexFile* Map(int fd) {
  void* view = ::mmap(nullptr, sizeof(MutexFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return view == MAP_FAILED ? nullptr : static_cast<MutexFile*>(view);
}

bool IsReady(MutexFile& file) {
  return std::atomic_ref(file.magic).load(std::memory_order_acquire) == kMagic;
}

bool Initialise(MutexFile& file) {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return false;
  const bool made = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
                    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
                    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
                    pthread_mutex_init(&file.mutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
  if (!made) return false;
  std::atomic_ref(file.abandoned).store(0, std::memory_order_relaxed);
  std::atomic_ref(file.magic).store(kMagic, std::memory_order_release);
  return true;
}

// Nobody uses the mutex before seeing the magic, and nobody maps a file of another size, while
// sizing and initialising happen only under the flock: so a file found here without the right
// size or magic is nobody's yet (new, short, left by a crashed initialiser, or foreign) and is
// safely made over.
MutexFile* InitialiseUnderFlock(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) return nullptr;
  MutexFile* file = nullptr;
  if (HasFileSize(fd) || ::ftruncate(fd, kFileSize) == 0) file = Map(fd);
  if (file != nullptr && !IsReady(*file) && !Initialise(*file)) {
    ::munmap(file, sizeof(MutexFile));
    file = nullptr;
  }
  ::flock(fd, LOCK_UN);
  return file;
}

// Maps the mutex file, initialising it when needed; the flock is taken only while it is not
// ready. The descriptor is not kept: the mapping is all the mutex needs.
MutexFile* OpenMutexFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  MutexFile* file = HasFileSize(fd) ? Map(fd) : nullptr;
  if (file == nullptr || !IsReady(*file)) {
    if (file != nullptr) ::munmap(file, sizeof(MutexFile));
    file = InitialiseUnderFlock(fd);
  }
  ::close(fd);
  return file;
}

// The calling thread for ownership checks: unlike std::thread::id, never reused by a later thread
// of the process, so a thread that ended owning the mutex passes nothing on to a successor.
std::uint64_t Self() {
  static std::atomic<std::uint64_t> next{1};
  thread_local const std::uint64_t self = next.fetch_add(1, std::memory_order_relaxed);
  return self;
}

}  // namespace

struct NamedMutex::Shared {
  Shared(std::string mutexName, std::filesystem::path mutexFile)
      : name(std::move(mutexName)), path(std::move(mutexFile)) {}

  // Every state of a usable path, kept for the process's lifetime: a robust mutex must stay
  // mapped while a thread may hold it, as the thread's robust list points into it.
  struct Registry {
    std::mutex mutex;  // also guards mapping, and is held across fork
    std::map<std::string, std::shared_ptr<Shared>> states;
  };

  // Never destroyed: handles and fork handlers may still use it while statics are torn down.
  static Registry& Table() {
    static Registry* const registry = new Registry;
    return *registry;
  }

  // A child made by fork runs a copy of the forking thread, which may be recorded as owner here;
  // the mutex itself knows the child's thread is not its owner, so the child forgets it too.
  static void ForgetOwnersInChild() {
    Registry& registry = Table();
    for (const auto& entry : registry.states) {
      entry.second->owner.store(0, std::memory_order_relaxed);
      entry.second->depth.store(0, std::memory_order_relaxed);
    }
    registry.mutex.unlock();
  }

  // The one state of a mutex file in this process, shared by every handle with that name.
  static std::shared_ptr<Shared> For(std::string mutexName) {
    static const int forkHandlers = pthread_atfork(
        [] { Table().mutex.lock(); }, [] { Table().mutex.unlock(); }, ForgetOwnersInChild);
    (void)forkHandlers;
    std::error_code ec;
    const std::filesystem::path dir = RuntimeDir(ec);
    if (ec) return std::make_shared<Shared>(std::move(mutexName), std::filesystem::path{});
    std::filesystem::path mutexFile = dir / (EscapeObjectName(mutexName) + ".mutex");
    Registry& registry = Table();
    std::lock_guard lock(registry.mutex);
    std::shared_ptr<Shared>& slot = registry.states[mutexFile.string()];
    if (!slot) slot = std::make_shared<Shared>(std::move(mutexName), std::move(mutexFile));
    return slot;
  }

  // The mapped mutex; null when the file cannot be made or mapped (tried again on the next call).
  MutexFile* File() {
    if (MutexFile* mapped = file.load(std::memory_order_acquire)) return mapped;
    if (path.empty()) return nullptr;
    std::lock_guard lock(Table().mutex);
    MutexFile* mapped = file.load(std::memory_order_relaxed);
    if (mapped == nullptr) {
      mapped = OpenMutexFile(path);
      file.store(mapped, std::memory_order_release);
    }
    return mapped;
  }

  // Books the outcome of a lock attempt (rc from pthread) that did not time out.
  LockResult Took(MutexFile& mapped, int rc) {
    const std::uint64_t me = Self();
    if (rc == EOWNERDEAD) {
      pthread_mutex_consistent(&mapped.mutex);
      std::atomic_ref(mapped.abandoned).store(0, std::memory_order_relaxed);
      owner.store(me, std::memory_order_relaxed);
      depth.store(1, std::memory_order_relaxed);
      return LockResult::Abandoned;
    }
    if (rc != 0) return LockResult::Failed;
    if (owner.load(std::memory_order_relaxed) == me) {
      depth.store(depth.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
      return LockResult::Acquired;
    }
    owner.store(me, std::memory_order_relaxed);
    depth.store(1, std::memory_order_relaxed);
    std::atomic_ref abandoned(mapped.abandoned);
    if (abandoned.load(std::memory_order_relaxed) == 0) return LockResult::Acquired;
    abandoned.store(0, std::memory_order_relaxed);
    return LockResult::Abandoned;
  }

  const std::string name;
  const std::filesystem::path path;  // empty when the runtime dir is unusable
  std::atomic<MutexFile*> file{nullptr};
  // The thread of this process owning the mutex (0: none here) and its recursion count. Only the
  // owner writes them, under the mutex; atomics because a thread that died owning it never
  // released them to its successor.
  std::atomic<std::uint64_t> owner{0};
  std::atomic<unsigned> depth{0};
};

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
  MutexFile* file = m_shared->File();
  if (file == nullptr) return LockResult::Failed;
  return m_shared->Took(*file, pthread_mutex_lock(&file->mutex));
}

LockResult NamedMutex::Lock(Millis timeout) {
  MutexFile* file = m_shared->File();
  if (file == nullptr) return LockResult::Failed;
  const TimePoint deadline = Clock::Now() + std::max(timeout, Millis::zero());
  // Polled rather than pthread_mutex_timedlock: the deadline is logical (scaled or manual) time.
  int rc = EBUSY;
  Clock::PollUntil(deadline, [&] {
    rc = pthread_mutex_trylock(&file->mutex);
    return rc != EBUSY;
  });
  return rc == EBUSY ? LockResult::Timeout : m_shared->Took(*file, rc);
}

bool NamedMutex::TryLock() {
  const LockResult result = Lock(Millis::zero());
  return result == LockResult::Acquired || result == LockResult::Abandoned;
}

bool NamedMutex::Unlock() {
  Shared& s = *m_shared;
  if (s.owner.load(std::memory_order_relaxed) != Self()) return false;
  const unsigned depth = s.depth.load(std::memory_order_relaxed) - 1;
  s.depth.store(depth, std::memory_order_relaxed);
  // Cleared while still owned: the next owner may be another thread of this process.
  if (depth == 0) s.owner.store(0, std::memory_order_relaxed);
  return pthread_mutex_unlock(&s.file.load(std::memory_order_relaxed)->mutex) == 0;
}

bool NamedMutex::IsBusy() const {
  MutexFile* file = m_shared->File();
  if (file == nullptr) return false;
  // Succeeds too when the caller owns it, adding a level that the unlock takes away again.
  const int rc = pthread_mutex_trylock(&file->mutex);
  if (rc == EOWNERDEAD) {
    // Free since its owner died: released again here, the news is kept for the next taker.
    pthread_mutex_consistent(&file->mutex);
    std::atomic_ref(file->abandoned).store(1, std::memory_order_relaxed);
  }
  if (rc == 0 || rc == EOWNERDEAD) pthread_mutex_unlock(&file->mutex);
  return rc == EBUSY;
}

bool NamedMutex::IsOwnedByCaller() const {
  return m_shared->owner.load(std::memory_order_relaxed) == Self();
}

}  // namespace plat
