#include "plat/DiskSpace.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <limits>

namespace plat {
namespace {

std::uint64_t Bytes(std::uint64_t blocks, std::uint64_t blockSize) {
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(blocks, blockSize, &bytes))
    return std::numeric_limits<std::uint64_t>::max();
  return bytes;
}

}  // namespace

std::optional<DiskSpace> QueryDiskSpace(const std::filesystem::path& path, std::error_code& error) {
  struct statvfs st {};
  if (::statvfs(path.c_str(), &st) != 0) {
    error.assign(errno, std::generic_category());
    return std::nullopt;
  }
  error.clear();
  // f_frsize is the unit of the block counts; some old file systems leave it 0.
  const std::uint64_t unit = st.f_frsize != 0 ? st.f_frsize : st.f_bsize;
  return DiskSpace{Bytes(st.f_bavail, unit), Bytes(st.f_bfree, unit), Bytes(st.f_blocks, unit)};
}

std::optional<DiskSpace> QueryDiskSpace(const std::filesystem::path& path) {
  std::error_code ignored;
  return QueryDiskSpace(path, ignored);
}

}  // namespace plat
