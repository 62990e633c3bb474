// The CD-ROM drives of the machine: mounted iso9660 and udf file systems, in mount order (the
// order a search of drive letters A: to Z: would have met them).
#pragma once

#include <filesystem>
#include <vector>

namespace plat {

// Mount points of the iso9660 and udf entries of a mounts table (the /proc/self/mounts format,
// with its octal escapes such as "\040" decoded). A missing or unreadable table gives none.
std::vector<std::filesystem::path> FindCdRomMounts(
    const std::filesystem::path& mountsFile = "/proc/self/mounts");

}  // namespace plat
