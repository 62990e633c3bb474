// Helpers the fuzz targets share: the property check and a scratch folder per process.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace fuzz {

// A property of the target broke: say which, and abort, so that libFuzzer keeps the input.
inline void Check(bool holds, const char* what, const char* file, int line) {
  if (holds) return;
  std::fprintf(stderr, "property broken at %s:%d: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(condition) ::fuzz::Check((condition), #condition, __FILE__, __LINE__)

// A folder of this process on a memory file system when there is one (the targets write and
// sync files at every input), removed again when the run ends.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    m_path = base / ("kelp-fuzz-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(m_path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

inline void WriteFile(const std::filesystem::path& file, std::string_view text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace fuzz
