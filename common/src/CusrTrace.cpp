#include "common/CusrTrace.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>

#include "StringResources.h"
#include "common/StringIds.h"
#include "plat/Clock.h"
#include "plat/NamedMutex.h"
#include "plat/RuntimeDir.h"
#include "plat/Version.h"

namespace {

std::atomic<common::TraceSink*> g_pTrace{nullptr};
std::atomic<TraceRevisionProvider> g_pRevisionProvider{nullptr};

constexpr std::uint32_t kDefaultMaxSize = 0x200000;
constexpr int kDefaultGenerations = 2;
constexpr std::uint32_t kFailedCall = 0xFFFFFFFF;  // a failed C call's return value, -1

// The process id for line prefixes, refreshed in a forked child.
std::atomic<unsigned> g_pid{static_cast<unsigned>(::getpid())};
[[maybe_unused]] const int g_pidAtFork = pthread_atfork(nullptr, nullptr, [] { g_pid.store(static_cast<unsigned>(::getpid())); });

bool PathIsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One append of both pieces in a single system call, so that a line reaches the file whole even
// beside other processes appending to it; returns the bytes written or -1.
ssize_t AppendAll(int fd, std::string_view first, std::string_view second = {}) {
  iovec iov[2] = {{const_cast<char*>(first.data()), first.size()}, {const_cast<char*>(second.data()), second.size()}};
  ssize_t written;
  do {
    written = ::writev(fd, iov, second.empty() ? 1 : 2);
  } while (written < 0 && errno == EINTR);
  return written;
}

// Right-aligns text in a field of the given width, as the revision line's "%08s", "%14s" and
// "%38s" did on the original platform (its "0" flag pads strings with zeros).
std::string PadLeft(const char* text, std::size_t width, char fill) {
  std::string s(text);
  if (s.size() < width) s.insert(0, width - s.size(), fill);
  return s;
}

void RemoveIfInstalled(const common::TraceSink* pSink) {
  if (g_pTrace.load() == pSink) SetTrace(nullptr, 0);
}

}  // namespace

// The live-file record beside the named mutex, "<runtime dir>/<escaped mutex name>.trace", mapped
// shared by every process tracing under that name and touched only while the mutex is held. A
// new file is all zero, which records no file.
class CusrTrace::SharedRecord {
 public:
  static std::unique_ptr<SharedRecord> Map(const char* pszMutexName) {
    std::error_code ec;
    const std::filesystem::path dir = plat::RuntimeDir(ec);
    if (ec) return nullptr;
    const std::filesystem::path path = dir / (plat::EscapeObjectName(pszMutexName) + ".trace");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    // Only ever grown: a record in use is never cut, and two first users size it alike.
    struct stat st {};
    const bool sized = ::fstat(fd, &st) == 0 &&
                       (st.st_size >= static_cast<off_t>(sizeof(Record)) || ::ftruncate(fd, sizeof(Record)) == 0);
    void* view = sized ? ::mmap(nullptr, sizeof(Record), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (view == MAP_FAILED) return nullptr;
    return std::unique_ptr<SharedRecord>(new SharedRecord(static_cast<Record*>(view)));
  }
  ~SharedRecord() { ::munmap(m_pRecord, sizeof(Record)); }
  SharedRecord(const SharedRecord&) = delete;
  SharedRecord& operator=(const SharedRecord&) = delete;

  // True when the last writer left the file with this identity live. An open file keeps its
  // inode, so no other file can have taken that identity meanwhile.
  bool Describes(std::uint64_t dev, std::uint64_t ino) const {
    return m_pRecord->ino != 0 && m_pRecord->ino == ino && m_pRecord->dev == dev;
  }
  std::uint64_t Size() const { return m_pRecord->size; }
  void Forget() { m_pRecord->ino = 0; }
  void Publish(std::uint64_t dev, std::uint64_t ino, std::uint64_t size) {
    m_pRecord->dev = dev;
    m_pRecord->size = size;
    m_pRecord->ino = ino;
  }

 private:
  struct Record {
    std::uint64_t dev;
    std::uint64_t ino;  // 0: no file recorded
    std::uint64_t size;
  };
  explicit SharedRecord(Record* pRecord) : m_pRecord(pRecord) {}
  Record* m_pRecord;
};

std::atomic<std::uint32_t> trace_detail::g_ulMask{0};

const TraceVariant kKelpconfTraceVariant = {
    .program = TraceProgram::Kelpconf,
    .mutexName = "_kelpconf_",
    .titleStringId = str::kToolVersion,
    .versionStringId = str::kKelpconfTraceVersion,
    .revisionLine = true,
    .resultFileError = 2,
    .openErrorCode = 2,
    .resultNoMemory = 4,
    .resultWriteError = 3,
    .resultRotateError = 2,
    .rotateOpenErrorCode = 2,
    .resultNoRevision = 24,
};

const TraceVariant kKelpftpdTraceVariant = {
    .program = TraceProgram::Kelpftpd,
    .mutexName = "_kelpftpd_log_",
    .titleStringId = str::kKelpftpdTraceTitle,
    .versionStringId = str::kKelpftpdTraceVersion,
    .revisionLine = false,
    .resultFileError = 3,
    .openErrorCode = 3,
    .resultNoMemory = 10,
    .resultWriteError = 4,
    .resultRotateError = 3,
    .rotateOpenErrorCode = 3,
    .resultNoRevision = 24,
};

const TraceVariant& TraceVariantOf(TraceProgram program) {
  return program == TraceProgram::Kelpftpd ? kKelpftpdTraceVariant : kKelpconfTraceVariant;
}

std::uint32_t TraceMaskFromLevelName(std::string_view name, TraceProgram program) {
  if (name == "none") return TRC_MASK_NONE;
  if (name == "debug") return TRC_MASK_DEBUG;
  if (name == "detail" && program == TraceProgram::Kelpconf) return TRC_MASK_DETAIL;
  return TRC_MASK_NORMAL;
}

void SetTraceRevisionProvider(TraceRevisionProvider provider) { g_pRevisionProvider.store(provider); }

CusrTrace::CusrTrace(const TraceVariant& variant)
    : m_variant(variant),
      m_pMutex(std::make_unique<plat::NamedMutex>(variant.mutexName)),
      m_pShared(SharedRecord::Map(variant.mutexName)) {}

common::TraceSink::~TraceSink() { RemoveIfInstalled(this); }

CusrTrace::~CusrTrace() {
  RemoveIfInstalled(this);
  Close();
}

std::string CusrTrace::BasePath() const { return m_strDirectory + m_strBaseName; }

std::uint32_t CusrTrace::OpenLiveFile() {
  const std::string path = BasePath() + ".log";
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == 0 ? EIO : errno;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return EIO;
  }
  m_fd = fd;
  m_ino = st.st_ino;
  m_dev = st.st_dev;
  m_ulCurrentSize = static_cast<std::uint32_t>(st.st_size);
  return 0;
}

void CusrTrace::CloseLiveFile() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

std::uint32_t CusrTrace::Open(std::string_view directory, std::string_view baseName, int nSizeMB, int nGenerations,
                              std::uint32_t* pulError) {
  std::uint32_t ulDummy = 0;
  std::uint32_t& ulError = pulError ? *pulError : ulDummy;
  try {
    Close();
    m_strBaseName = baseName;
    m_strDirectory = "./";
    if (!directory.empty()) {
      std::string dir(directory);
      if (dir.back() != '/') dir += '/';
      const std::string bare = dir.size() > 1 ? dir.substr(0, dir.size() - 1) : dir;
      if (PathIsFolder(bare)) m_strDirectory = dir;
    }
    m_ulMaxSize = (nSizeMB >= 1 && nSizeMB <= 10) ? static_cast<std::uint32_t>(nSizeMB) << 20 : kDefaultMaxSize;
    m_nGenerations = (nGenerations >= 1 && nGenerations <= 10) ? nGenerations : kDefaultGenerations;

    if (OpenLiveFile() != 0) {
      ulError = m_variant.openErrorCode;
      return m_variant.resultFileError;
    }

    char szVersion[256] = "";
    GetModuleVersion(szVersion);
    const std::string line = TraceLinePrefix() + "info_ CusrTrace Start ver." + szVersion;
    return Write(line, &ulError);
  } catch (const std::bad_alloc&) {
    ulError = m_variant.resultNoMemory;
    return m_variant.resultNoMemory;
  }
}

void CusrTrace::Close() {
  CloseLiveFile();
  m_nGenerations = 0;
  m_ulCurrentSize = 0;
  m_ulMaxSize = 0;
  m_strDirectory.clear();
  m_strBaseName.clear();
}

std::uint32_t CusrTrace::Write(std::string_view line, std::uint32_t* pulError) {
  std::uint32_t ulDummy = 0;
  std::uint32_t& ulError = pulError ? *pulError : ulDummy;
  // Without the mutex (its lock file cannot be made) lines are still single appends and do not
  // tear; only the rare rotation could race, which beats losing the whole trace.
  plat::NamedMutexLock lock(*m_pMutex);
  try {
    return WriteLocked(line, lock.owns(), &ulError);
  } catch (const std::bad_alloc&) {
    ulError = m_variant.resultWriteError;
    return m_variant.resultWriteError;
  }
}

// Asks the disk when the record does not vouch for our file, or before rotating: another process
// may have rotated the live file since our last line. Continues in the file that now carries the
// live name, and takes its real size; one stat() of the name tells both.
std::uint32_t CusrTrace::FollowRotationByOthers() {
  const std::string path = BasePath() + ".log";
  struct stat onDisk {};
  if (::stat(path.c_str(), &onDisk) != 0 || onDisk.st_ino != m_ino || onDisk.st_dev != m_dev) {
    CloseLiveFile();
    if (OpenLiveFile() != 0 || ::fstat(m_fd, &onDisk) != 0) {
      CloseLiveFile();
      return m_variant.rotateOpenErrorCode;
    }
    m_ino = onDisk.st_ino;
    m_dev = onDisk.st_dev;
  }
  m_ulCurrentSize = static_cast<std::uint32_t>(onDisk.st_size);
  return 0;
}

std::uint32_t CusrTrace::WriteLocked(std::string_view line, bool bLocked, std::uint32_t* pulError) {
  if (m_fd < 0) return 0;
  SharedRecord* pShared = bLocked ? m_pShared.get() : nullptr;
  const std::uint64_t need = line.size() + 1;
  bool bLookedUp = false;
  if (pShared != nullptr && pShared->Describes(m_dev, m_ino)) {
    m_ulCurrentSize = static_cast<std::uint32_t>(pShared->Size());
  } else {
    if (const std::uint32_t ulFollow = FollowRotationByOthers(); ulFollow != 0) {
      *pulError = ulFollow;
      return m_variant.resultRotateError;
    }
    bLookedUp = true;
  }
  // Until this line is in, the record must not be trusted: a failure or death on the way leaves
  // the next writer to ask the disk.
  if (pShared != nullptr) pShared->Forget();

  // Compared in 64 bits: a live file already past the limit rotates instead of wrapping around.
  // Rotating is rare, so the live name is looked up first: a file removed by hand is replaced, not
  // rotated.
  if (std::uint64_t{m_ulCurrentSize} + need > m_ulMaxSize && !bLookedUp) {
    if (const std::uint32_t ulFollow = FollowRotationByOthers(); ulFollow != 0) {
      *pulError = ulFollow;
      return m_variant.resultRotateError;
    }
  }
  if (std::uint64_t{m_ulCurrentSize} + need > m_ulMaxSize) {
    if (const std::uint32_t ulResult = RotateLocked(pulError); ulResult != 0) return ulResult;
    m_ulCurrentSize = 0;
  }
  if (m_ulCurrentSize == 0) {
    if (const std::uint32_t ulResult = WriteHeader(pulError); ulResult != 0) return ulResult;
  }

  const ssize_t n = AppendAll(m_fd, line, "\n");
  if (n != static_cast<ssize_t>(need)) {
    *pulError = static_cast<std::uint32_t>(n);
    return m_variant.resultWriteError;
  }
  m_ulCurrentSize += static_cast<std::uint32_t>(need);
  if (pShared != nullptr) pShared->Publish(m_dev, m_ino, m_ulCurrentSize);
  return 0;
}

std::uint32_t CusrTrace::WriteHeader(std::uint32_t* pulError) {
  char szVersion[256] = "";
  GetModuleVersion(szVersion);
  std::string header = LoadStringResource(m_variant.program, m_variant.titleStringId) + "\n";
  header += FormatStringResource(m_variant.program, m_variant.versionStringId, {szVersion}) + "\n";

  if (m_variant.revisionLine) {
    char cRev[16] = "";
    char ciRev[16] = "";
    char cCopyright[40] = "";
    std::uint32_t ulErrInfo = 0;
    const TraceRevisionProvider provider = g_pRevisionProvider.load();
    if (provider == nullptr || provider(cRev, ciRev, cCopyright, &ulErrInfo) != 1) {
      *pulError = m_variant.resultNoRevision;
      return m_variant.resultNoRevision;
    }
    cRev[sizeof cRev - 1] = ciRev[sizeof ciRev - 1] = cCopyright[sizeof cCopyright - 1] = '\0';
    header += "Revision : " + PadLeft(cRev, 8, '0') + " DATE : " + PadLeft(ciRev, 14, ' ') +
              " COPYRIGHT : " + PadLeft(cCopyright, 38, ' ') + "\r\n";
  }

  const ssize_t n = AppendAll(m_fd, header);
  if (n != static_cast<ssize_t>(header.size())) {
    *pulError = static_cast<std::uint32_t>(n);
    return m_variant.resultWriteError;
  }
  m_ulCurrentSize += static_cast<std::uint32_t>(n);
  return 0;
}

std::uint32_t CusrTrace::Rotate(std::uint32_t* pulError) {
  plat::NamedMutexLock lock(*m_pMutex);
  SharedRecord* pShared = lock.owns() ? m_pShared.get() : nullptr;
  if (pShared != nullptr) pShared->Forget();
  const std::uint32_t ulResult = RotateLocked(pulError);
  if (ulResult == 0 && pShared != nullptr) pShared->Publish(m_dev, m_ino, m_ulCurrentSize);
  return ulResult;
}

std::uint32_t CusrTrace::RotateLocked(std::uint32_t* pulError) {
  std::uint32_t ulDummy = 0;
  std::uint32_t& ulError = pulError ? *pulError : ulDummy;
  CloseLiveFile();
  const std::string base = BasePath();
  const std::string oldest = base + ".0";
  if (::access(oldest.c_str(), F_OK) == 0 && std::remove(oldest.c_str()) != 0) {
    ulError = kFailedCall;
    return m_variant.resultRotateError;
  }
  for (int i = 1; i < m_nGenerations; ++i) {
    const std::string from = base + "." + std::to_string(i);
    if (::access(from.c_str(), F_OK) != 0) continue;
    if (std::rename(from.c_str(), (base + "." + std::to_string(i - 1)).c_str()) != 0) {
      ulError = kFailedCall;
      return m_variant.resultRotateError;
    }
  }
  const std::string live = base + ".log";
  if (std::rename(live.c_str(), (base + "." + std::to_string(m_nGenerations - 1)).c_str()) != 0) {
    ulError = kFailedCall;
    return m_variant.resultRotateError;
  }
  if (OpenLiveFile() != 0) {
    ulError = m_variant.rotateOpenErrorCode;
    return m_variant.resultRotateError;
  }
  return 0;
}

void CusrTrace::WriteLine(std::string_view line) {
  std::uint32_t ulError = 0;
  Write(line, &ulError);
}

void SetTrace(common::TraceSink* pTrace, std::uint32_t ulMask) {
  g_pTrace.store(pTrace);
  trace_detail::g_ulMask.store(pTrace ? ulMask : 0);
}

common::TraceSink* GetTrace() { return g_pTrace.load(); }

std::string TraceLinePrefix() {
  // Formatting the local date is the dear part of a line; do it once a second per thread.
  struct Cache {
    std::time_t second = -1;
    char szDateTime[64] = "";
  };
  thread_local Cache cache;
  thread_local const long tid = ::syscall(SYS_gettid);

  const auto now = plat::Clock::WallNow();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t second = static_cast<std::time_t>(ms / 1000);
  const int milli = static_cast<int>(ms % 1000);
  if (second != cache.second) {
    std::tm tm {};
    localtime_r(&second, &tm);
    std::snprintf(cache.szDateTime, sizeof cache.szDateTime, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    cache.second = second;
  }
  char szPrefix[128];
  const int n = std::snprintf(szPrefix, sizeof szPrefix, "%s.%03d %08x %08x ", cache.szDateTime, milli,
                              g_pid.load(std::memory_order_relaxed), static_cast<unsigned>(tid));
  return std::string(szPrefix, static_cast<std::size_t>(n));
}

void WriteTraceLine(std::string_view text, std::string_view tag, std::uint32_t ulLevel) {
  if (ulLevel == 0) return;
  common::TraceSink* pSink = g_pTrace.load(std::memory_order_acquire);
  if (pSink == nullptr) return;
  try {
    std::string line = TraceLinePrefix();
    line.append(tag);
    line.push_back(' ');
    line.append(text);
    pSink->WriteLine(line);
  } catch (const std::bad_alloc&) {
    // A line that cannot be built is dropped; tracing never fails its caller.
  }
}

void GetModuleVersion(char* pszBuffer) {
  if (pszBuffer == nullptr) return;
  const std::string version = plat::ProgramVersionText();
  std::snprintf(pszBuffer, 256, "%s", version.c_str());
}
