// Free and total space of the file system holding a path (the GetDiskFreeSpaceEx figures).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace plat {

struct DiskSpace {
  std::uint64_t availableBytes = 0;  // free space the calling user may use
  std::uint64_t freeBytes = 0;       // free space in all, the root reserve included
  std::uint64_t totalBytes = 0;      // size of the file system
};

// The space of the file system holding path (a file or folder that exists). Empty when it cannot
// be queried; error then says why.
std::optional<DiskSpace> QueryDiskSpace(const std::filesystem::path& path, std::error_code& error);
std::optional<DiskSpace> QueryDiskSpace(const std::filesystem::path& path);

}  // namespace plat
