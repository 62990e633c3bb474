#include "UnitSession.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>

#include "BoardMachine.h"
#include "TextCodec.h"
#include "UnitSpecFile.h"
#include "corvid.h"
#include "plat/Clock.h"
#include "plat/NamedMutex.h"
#include "plat/Paths.h"
#include "plat/Socket.h"

namespace corvid::detail {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSpecFile = "unit.ini";
constexpr const char* kStateFile = "state.ini";
constexpr std::size_t kDumpFileSize = 64 * 1024;
constexpr std::size_t kCacheLimit = 64;

struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  std::int64_t mtimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& st) {
  return FileStamp{st.st_dev, st.st_ino, st.st_size,
                   static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// A file as last read or written by this process, held open so that its inode stays its own.
struct PinnedFile {
  plat::UniqueFd fd;
  std::optional<FileStamp> stamp;
  void Drop() {
    fd.Reset();
    stamp.reset();
  }
};

std::int64_t MonotonicNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Replaces file with content through a temporary file and rename; on success *pinned holds the
// new file (open) and its stamp when given.
bool WriteAtomically(const fs::path& file, std::string_view content, PinnedFile* pinned = nullptr) {
  const fs::path temp = file.string() + ".tmp";
  plat::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  struct stat st {};
  if (!fd || !WriteAll(fd.Get(), content) || ::fstat(fd.Get(), &st) != 0 ||
      ::rename(temp.c_str(), file.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  if (pinned) {
    pinned->fd = std::move(fd);
    pinned->stamp = StampOf(st);
  }
  return true;
}

// Reads a whole file into *pText; the open file and its stamp go to *pinned.
bool ReadPinned(const fs::path& file, std::string* pText, PinnedFile* pinned) {
  plat::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0) return false;
  std::string text(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::pread(fd.Get(), text.data() + got, text.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  *pText = std::move(text);
  pinned->fd = std::move(fd);
  pinned->stamp = StampOf(st);
  return true;
}

// The dump file a board sends to the maintenance PC's file-transfer service, which receives it in
// its own folder: a short text header, then a byte pattern that depends on the unit, the board
// and the dump date only.
bool WriteDumpFile(const std::string& unit, int k, const std::string& fileName, const std::string& date) {
  const fs::path folder = plat::MapPath(plat::kDumpReceiveFolder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return false;
  std::string content = "Kelpset simulated NAS dump\nunit=" + unit + "\nboard=" + std::to_string(k) +
                        "\ndate=" + date + "\n";
  std::uint32_t seed = 2166136261u;
  for (const char c : content) seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
  content.reserve(kDumpFileSize);
  while (content.size() < kDumpFileSize) {
    seed = seed * 1103515245u + 12345u;
    content += static_cast<char>(seed >> 24);
  }
  return WriteAtomically(folder / fileName, content);
}

}  // namespace

struct CachedUnit {
  explicit CachedUnit(const std::string& name) : mutex("corvid_unit_" + name) {}

  plat::NamedMutex mutex;
  // Everything below is used only while mutex is held.
  PinnedFile specFile;
  PinnedFile stateFile;
  sim::UnitSpec scenario;
  UnitState state;
  std::uint64_t lastUse = 0;
};

namespace {

struct UnitCache {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<CachedUnit>> units;
  std::uint64_t uses = 0;
};

UnitCache& Cache() {
  static UnitCache* const cache = new UnitCache;  // outlives sessions run from static destructors
  return *cache;
}

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The cached unit of a folder; one per folder and runtime dir (which decides the mutex file).
std::shared_ptr<CachedUnit> CachedUnitFor(const fs::path& dir, const std::string& name) {
  const std::string key = dir.string() + '\n' + EnvOrEmpty("KELP_RUNTIME_DIR") + '\n' +
                          EnvOrEmpty("XDG_RUNTIME_DIR");
  UnitCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  std::shared_ptr<CachedUnit>& slot = cache.units[key];
  if (!slot) {
    slot = std::make_shared<CachedUnit>(name);
    if (cache.units.size() > kCacheLimit) {
      // Forget the least recently used units nobody is visiting, closing their pinned files.
      while (cache.units.size() > kCacheLimit / 2) {
        auto oldest = cache.units.end();
        for (auto it = cache.units.begin(); it != cache.units.end(); ++it)
          if (it->second.use_count() == 1 && it->second != slot &&
              (oldest == cache.units.end() || it->second->lastUse < oldest->second->lastUse))
            oldest = it;
        if (oldest == cache.units.end()) break;
        cache.units.erase(oldest);
      }
    }
  }
  slot->lastUse = ++cache.uses;
  return slot;
}

}  // namespace

fs::path UnitFolder(std::string_view name) { return plat::SystemRoot() / "arrays" / std::string(name); }

UnitSession::UnitSession(std::string_view name, Mode mode) : m_name(name), m_dir(UnitFolder(name)) {
  m_unit = CachedUnitFor(m_dir, m_name);
  const plat::LockResult result = m_unit->mutex.Lock();
  m_locked = result == plat::LockResult::Acquired || result == plat::LockResult::Abandoned;
  if (!m_locked) {
    Fail(ZQ_ERR_STATE, std::string("cannot lock the unit: ") + plat::ToText(result));
    return;
  }
  if (mode == Mode::LockOnly || !LoadFiles()) return;
  StartClock();
  Settle();
}

UnitSession::~UnitSession() {
  if (!m_locked) return;
  // A change that was never saved must not outlive the visit in the cache.
  if (m_touched) m_unit->stateFile.Drop();
  m_unit->mutex.Unlock();
}

bool UnitSession::Fail(std::uint32_t code, std::string error) {
  m_code = code;
  m_error = std::move(error);
  return false;
}

const sim::UnitSpec& UnitSession::scenario() const { return m_unit->scenario; }

UnitState& UnitSession::state() { return m_unit->state; }

bool UnitSession::LoadFiles() {
  CachedUnit& u = *m_unit;
  const fs::path specPath = m_dir / kSpecFile;
  const fs::path statePath = m_dir / kStateFile;
  struct stat st {};
  if (::stat(specPath.c_str(), &st) != 0) {
    const int error = errno;
    u.specFile.Drop();
    u.stateFile.Drop();
    if (error == ENOENT || error == ENOTDIR) return Fail(ZQ_ERR_UNKNOWN_UNIT, "no unit \"" + m_name + "\"");
    return Fail(ZQ_ERR_STATE, specPath.string() + ": " + std::strerror(error));
  }
  if (!u.specFile.stamp || *u.specFile.stamp != StampOf(st)) {
    std::string text, error;
    sim::UnitSpec scenario;
    scenario.name = m_name;
    u.stateFile.Drop();
    if (!ReadPinned(specPath, &text, &u.specFile) || !ParseUnitSpec(text, &scenario, &error) ||
        !ValidateUnitSpec(scenario, &error)) {
      u.specFile.Drop();
      return Fail(ZQ_ERR_STATE, specPath.string() + ": " + (error.empty() ? "unreadable" : error));
    }
    u.scenario = std::move(scenario);
  }
  if (::stat(statePath.c_str(), &st) != 0) {
    if (errno != ENOENT) return Fail(ZQ_ERR_STATE, statePath.string() + ": " + std::strerror(errno));
    u.stateFile.Drop();
    u.state = InitialState(u.scenario, MonotonicNs());
    m_touched = true;
  } else if (!u.stateFile.stamp || *u.stateFile.stamp != StampOf(st)) {
    std::string text, error;
    UnitState state;
    if (!ReadPinned(statePath, &text, &u.stateFile) || !ParseUnitState(text, &state, &error)) {
      u.stateFile.Drop();
      return Fail(ZQ_ERR_STATE, statePath.string() + ": " + (error.empty() ? "unreadable" : error));
    }
    u.state = std::move(state);
    // A hand-edited unit.ini may add or drop boards: they follow the scenario.
    bool inSpec[pages::kBoards] = {};
    for (const sim::BoardSpec& b : u.scenario.boards) {
      inSpec[b.k] = true;
      if (!u.state.boards[static_cast<std::size_t>(b.k)].present) {
        u.state.boards[static_cast<std::size_t>(b.k)] = InitialBoard(b);
        m_touched = true;
      }
    }
    for (int k = 0; k < pages::kBoards; ++k)
      if (!inSpec[k] && u.state.boards[static_cast<std::size_t>(k)].present) {
        u.state.boards[static_cast<std::size_t>(k)] = BoardRuntime{};
        m_touched = true;
      }
  }
  return true;
}

void UnitSession::StartClock() {
  UnitState& s = m_unit->state;
  const std::int64_t raw = MonotonicNs();
  const double nsPerMs = plat::Clock::TimeScale() * 1e6;
  std::int64_t elapsedMs = 0;
  if (raw > s.rawNs) elapsedMs = static_cast<std::int64_t>(std::floor(static_cast<double>(raw - s.rawNs) / nsPerMs));
  // The same instant re-expressed from now on; the part of a millisecond not yet counted stays.
  if (elapsedMs > 0) {
    s.rawNs += static_cast<std::int64_t>(static_cast<double>(elapsedMs) * nsPerMs);
    s.logicalMs += elapsedMs;
  } else if (raw < s.rawNs - static_cast<std::int64_t>(nsPerMs)) {
    // The machine restarted since the last visit: the monotonic clock began again.
    s.rawNs = raw;
  }
  m_now = s.logicalMs;
}

void UnitSession::Settle() {
  CachedUnit& u = *m_unit;
  for (const sim::BoardSpec& scenario : u.scenario.boards) {
    BoardRuntime& board = u.state.boards[static_cast<std::size_t>(scenario.k)];
    BoardMachine machine(board, u.scenario, scenario);
    const DumpWriter writer = [this, k = scenario.k](const std::string& fileName, const std::string& date) {
      return WriteDumpFile(m_name, k, fileName, date);
    };
    if (machine.Settle(m_now, writer)) m_touched = true;
  }
}

void UnitSession::Advance(std::int64_t logicalMs) {
  m_unit->state.logicalMs += logicalMs;
  m_now = m_unit->state.logicalMs;
  m_touched = true;
  Settle();
}

bool UnitSession::Save() {
  if (!ok()) return false;
  if (!m_touched) return true;
  CachedUnit& u = *m_unit;
  if (!WriteAtomically(m_dir / kStateFile, FormatUnitState(u.state), &u.stateFile)) {
    u.stateFile.Drop();
    m_touched = false;
    return Fail(ZQ_ERR_STATE, "cannot write " + (m_dir / kStateFile).string());
  }
  m_touched = false;
  return true;
}

bool UnitSession::Exists() const {
  std::error_code ec;
  return fs::exists(m_dir / kSpecFile, ec);
}

bool UnitSession::WriteNew(const sim::UnitSpec& scenario) {
  CachedUnit& u = *m_unit;
  u.specFile.Drop();
  u.stateFile.Drop();
  std::error_code ec;
  fs::create_directories(m_dir, ec);
  if (ec) return Fail(ZQ_ERR_STATE, "cannot create " + m_dir.string() + ": " + ec.message());
  if (!WriteAtomically(m_dir / kSpecFile, FormatUnitSpec(scenario)) ||
      !WriteAtomically(m_dir / kStateFile, FormatUnitState(InitialState(scenario, MonotonicNs()))))
    return Fail(ZQ_ERR_STATE, "cannot write the files of " + m_dir.string());
  return true;
}

bool UnitSession::Remove() {
  m_unit->specFile.Drop();
  m_unit->stateFile.Drop();
  std::error_code ec;
  fs::remove_all(m_dir, ec);
  if (ec) return Fail(ZQ_ERR_STATE, "cannot remove " + m_dir.string() + ": " + ec.message());
  return true;
}

}  // namespace corvid::detail
