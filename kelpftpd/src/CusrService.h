// Request dispatch and file access: the thread body of each served connection, the install-files
// folder and the files in it.
//
// Only regular files that resolve, after following ".." and symbolic links, inside the
// install-files folder are served: a bare or relative name is looked up in that folder first and
// then relative to the current folder, an absolute name must lie inside the folder; when the
// folder is unknown nothing is served. A file of 4 GiB or more has no size reply, and a data
// block above kelpftp::kMaxBlockSize is refused as if its memory could not be had.
//
// A data block is not read into memory: GetFileData opens the file and measures the block, and
// the reply sends it from the page cache. A connection therefore holds no data buffer at all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "FileBlock.h"
#include "kelpftp/FtpProtocol.h"
#include "plat/Clock.h"

class CusrClient;
class CusrSession;

class CusrService {
 public:
  // The file results go to the board as the error reply's status.
  static constexpr std::uint32_t kOk = kelpftp::kStatusOk;
  static constexpr std::uint32_t kFileError = kelpftp::kErrorFile;
  static constexpr std::uint32_t kNoMemory = kelpftp::kErrorNoMemory;
  static constexpr std::uint32_t kNoInstallDir = 11;
  // File look-ups and reads are tried this often, this far apart.
  static constexpr int kAttempts = 3;
  static constexpr plat::Millis kAttemptPause{1000};

  explicit CusrService(CusrSession& session) : m_session(session) {}

  // Serves one connection until it ends, then closes it and frees its slot.
  void StartService(CusrClient& client);

  // The install-files folder: the TFTP root recorded in "C:\tftp.ini" without its last component,
  // followed by "MP". kNoInstallDir when it is not recorded.
  std::uint32_t GetInstallFilesDir(std::filesystem::path& dir);
  // The resolved path of the requested file, or nothing when it is not a servable file.
  std::optional<std::filesystem::path> IsExistFile(std::string_view name);
  std::uint32_t GetFileSize(const std::filesystem::path& path, std::uint32_t& size);
  // The block of up to size bytes at offset: the bytes the file holds there, and whether it goes
  // on after them. kOk, kFileError or kNoMemory.
  std::uint32_t GetFileData(const std::filesystem::path& path, std::uint32_t offset, std::uint32_t size,
                            FileBlock& block);

 private:
  CusrSession& m_session;
};
