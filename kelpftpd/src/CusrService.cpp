#include "CusrService.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "CusrClient.h"
#include "CusrSession.h"
#include "common/CusrTraceScope.h"
#include "kelpftp/FtpProtocol.h"
#include "plat/Paths.h"
#include "plat/Profile.h"
#include "plat/Socket.h"

namespace fs = std::filesystem;
using namespace kelpftp;

namespace {

constexpr std::uint32_t kMaxPathChars = 260;  // 259 characters and the NUL
constexpr std::uint64_t kMaxDescribableSize = 0xFFFFFFFFu;

// True when path lies strictly inside folder (both canonical).
bool IsInside(const fs::path& path, const fs::path& folder) {
  const std::string& p = path.native();
  const std::string& f = folder.native();
  if (p.size() <= f.size() || p.compare(0, f.size(), f) != 0) return false;
  return f.back() == '/' || p[f.size()] == '/';
}

// The system's text for an error number (strerror is not safe from several threads).
std::string ErrorText(int error) { return std::generic_category().message(error); }

// The path was resolved without links; a link put in its place since is not followed.
int OpenForReading(const fs::path& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Calls attempt until it succeeds, at most attempts times, pausing between tries; whether it did.
bool Retry(int attempts, plat::Millis pause, const std::function<bool()>& attempt) {
  for (int tried = 1;; ++tried) {
    if (attempt()) return true;
    if (tried == attempts) return false;
    plat::Clock::Sleep(pause);
  }
}

// The trace of a file error; returns kFileError.
std::uint32_t FileError(const CusrTraceScope& scope, int error, const fs::path& path, bool bNameLines) {
  scope.Error("CFile throw exception", TRC_ERROR);
  scope.Error(ErrorText(error), TRC_ERROR);
  if (bNameLines) {
    scope.Error(TraceFmt("File Name : %s", Printable(path.native()).c_str()), TRC_ERROR);
    if (error == ENOENT) scope.Error("File not found", TRC_ERROR);
  }
  return CusrService::kFileError;
}

}  // namespace

std::uint32_t CusrService::GetInstallFilesDir(fs::path& dir) {
  CusrTraceScope scope("CusrService", "GetInstallFilesDir", TRC_FUNC);
  const std::string root =
      plat::GetProfileString("Parameters", "File path", "", plat::MapPath("C:\\tftp.ini"), kMaxPathChars);
  const std::size_t cut = root.find_last_of("\\/");
  if (root.empty() || cut == std::string::npos || cut == 0) {
    scope.Error("Cannot Get Install File Path", TRC_ERROR);
    return kNoInstallDir;
  }
  dir = plat::MapPath(root.substr(0, cut) + "\\MP\\");
  if (dir.empty()) {
    scope.Error("Cannot Get Install File Path", TRC_ERROR);
    return kNoInstallDir;
  }
  if (!dir.native().ends_with('/')) dir += "/";
  scope.Info(TraceFmt("Install files directory = %s", Printable(dir.native()).c_str()), TRC_INFO);
  return kOk;
}

std::optional<fs::path> CusrService::IsExistFile(std::string_view name) {
  CusrTraceScope scope("CusrService", "IsExistFile", TRC_FUNC);
  int error = ENOENT;
  fs::path dir;
  fs::path shown(name);
  std::error_code ec;
  const fs::path mapped = name.empty() ? fs::path{} : plat::MapPath(std::string(name));
  if (GetInstallFilesDir(dir) == kOk && !mapped.empty()) {
    std::vector<fs::path> candidates;
    if (mapped.is_relative()) {
      shown = dir / mapped;
      candidates.push_back(shown);
      candidates.push_back(fs::current_path(ec) / mapped);
    } else {
      candidates.push_back(mapped);
    }
    const fs::path folder = fs::canonical(dir, ec);
    if (ec) {
      error = ec.value();
      candidates.clear();
    }
    // In the folder first; the trace tells why that candidate was not taken.
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      int reason = 0;
      const fs::path real = fs::canonical(candidates[i], ec);
      if (ec) {
        reason = ec.value();
      } else if (!IsInside(real, folder)) {
        reason = EACCES;
      } else if (!fs::is_regular_file(real, ec)) {
        reason = fs::is_directory(real, ec) ? EISDIR : EACCES;
      } else {
        return real;
      }
      if (i == 0) error = reason;
    }
  }
  scope.Error(TraceFmt("Install file not found. PATH = %s. FindFile error = %s", Printable(shown.native()).c_str(),
                       ErrorText(error).c_str()),
              TRC_ERROR);
  return std::nullopt;
}

std::uint32_t CusrService::GetFileSize(const fs::path& path, std::uint32_t& size) {
  CusrTraceScope scope("CusrService", "GetFileSize", TRC_FUNC);
  const plat::UniqueFd fd(OpenForReading(path));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0) return FileError(scope, errno, path, false);
  if (!S_ISREG(st.st_mode)) return FileError(scope, EISDIR, path, false);
  const auto bytes = static_cast<std::uint64_t>(st.st_size);
  if (bytes > kMaxDescribableSize) {
    scope.Error(TraceFmt("filesize = %llu does not fit the size field : %s", static_cast<unsigned long long>(bytes),
                         Printable(path.native()).c_str()),
                TRC_ERROR);
    return kFileError;
  }
  size = static_cast<std::uint32_t>(bytes);
  scope.Info(TraceFmt("filesize = %u", size), TRC_INFO);
  return kOk;
}

std::uint32_t CusrService::GetFileData(const fs::path& path, std::uint32_t offset, std::uint32_t size,
                                       FileBlock& block) {
  CusrTraceScope scope("CusrService", "GetFileData", TRC_DEBUG);
  if (size > kMaxBlockSize) {
    scope.Error(TraceFmt("malloc() : size = %d", static_cast<int>(size)), TRC_ERROR);
    return kNoMemory;
  }
  plat::UniqueFd fd(OpenForReading(path));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0) return FileError(scope, errno, path, true);
  if (!S_ISREG(st.st_mode)) return FileError(scope, EISDIR, path, true);
  // What a read of size bytes at offset would bring, and whether one more byte would follow.
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  const std::uint64_t available = offset < fileSize ? fileSize - offset : 0;
  block.length = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, available));
  block.more = available > size;
  block.offset = offset;
  block.file = std::move(fd);
  return kOk;
}

void CusrService::StartService(CusrClient& client) {
  CusrTraceScope scope("CusrService", "StartService", TRC_FUNC);
  std::optional<fs::path> file;  // resolved by the connection's first file request
  for (;;) {
    std::uint32_t type = 0;
    if (const std::uint32_t r = client.RecvHeader(type)) {
      scope.Error(TraceFmt("RecvHeader() : code = 0x%08x", r), TRC_ERROR);
      break;
    }
    if (type == kTypeEndRequest) {
      scope.Info("Request shutdown", TRC_INFO);
      client.ReplyShutdown();
      break;
    }
    if (type != kTypeFileRequest) {
      scope.Error(TraceFmt("Unknown message type : 0x%08x", type), TRC_ERROR);
      break;
    }

    scope.Debug("Request FTP", TRC_DEBUG);
    FileRequest request;
    if (const std::uint32_t r = client.RecvBody(request)) {
      scope.Error(TraceFmt("RecvBody() : code = 0x%08x", r), TRC_ERROR);
      break;
    }
    if (!file && !Retry(kAttempts, kAttemptPause, [&] { return (file = IsExistFile(request.name)).has_value(); })) {
      scope.Error(TraceFmt("IsExistFile() : %s", Printable(request.name).c_str()), TRC_ERROR);
      client.ReplyError(kTypeFileReply, kErrorFile);
      break;
    }

    std::uint32_t r = kOk;
    if (request.offset != kSizeRequestOffset) {
      scope.Debug("Request FTP file data", TRC_DEBUG);
      FileBlock block;
      if (!Retry(kAttempts, kAttemptPause,
                 [&] { return (r = GetFileData(*file, request.offset, request.size, block)) == kOk; })) {
        scope.Error(TraceFmt("GetFileData() : code = 0x%08x", r), TRC_ERROR);
        client.ReplyError(kTypeFileReply, r);
        break;
      }
      if (const std::uint32_t s = client.ReplyFileData(block)) {
        scope.Error(TraceFmt("ReplyFileData() : code = 0x%08x", s), TRC_ERROR);
        break;
      }
    } else {
      scope.Info("Request FTP file size", TRC_INFO);
      std::uint32_t size = 0;
      if (!Retry(kAttempts, kAttemptPause, [&] { return (r = GetFileSize(*file, size)) == kOk; })) {
        scope.Error(TraceFmt("GetFileSize() : code = 0x%08x", r), TRC_ERROR);
        client.ReplyError(kTypeFileReply, r);
        break;
      }
      if (const std::uint32_t s = client.ReplyFileSize(size)) {
        scope.Error(TraceFmt("ReplyFileSize() : code = 0x%08x", s), TRC_ERROR);
        break;
      }
    }
  }
  client.ClostSocket();
  m_session.Decrement(&client);
}
