#include "LogFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>

#include "plat/Paths.h"

namespace corvid::detail {
namespace {

struct OpenLog {
  int fd = -1;
};

std::mutex g_mutex;
std::map<std::string, OpenLog> g_logs;  // by full path

// True while the open file still has a name; a removed log is created anew. (An fstat, not a
// stat of the path: the check runs for every line.)
bool StillThere(const OpenLog& log) {
  struct stat st {};
  return ::fstat(log.fd, &st) == 0 && st.st_nlink > 0;
}

bool Open(const std::string& path, OpenLog* pLog) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  pLog->fd = fd;
  return true;
}

}  // namespace

bool AppendLogLine(const std::string& logName, std::string_view line) {
  const std::string path = (plat::SystemRoot() / "log" / (logName + ".log")).string();
  std::lock_guard<std::mutex> lock(g_mutex);
  OpenLog& log = g_logs[path];
  if (log.fd >= 0 && !StillThere(log)) {
    ::close(log.fd);
    log.fd = -1;
  }
  if (log.fd < 0 && !Open(path, &log)) return false;
  char newline = '\n';
  iovec parts[2] = {{const_cast<char*>(line.data()), line.size()}, {&newline, 1}};
  ssize_t written;
  do {
    written = ::writev(log.fd, parts, 2);
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(line.size() + 1);
}

}  // namespace corvid::detail
