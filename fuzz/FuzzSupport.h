// Helpers the fuzz targets share: the property check and a scratch folder per process.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
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
// sync files at every input), removed again when the run ends. A run that ends on a crashing
// input cannot remove its own: the next run of the target removes those of processes now gone.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    const std::string prefix = "kelp-fuzz-" + name + "-";
    RemoveOrphans(base, prefix);
    m_path = base / (prefix + std::to_string(::getpid()));
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
  static void RemoveOrphans(const std::filesystem::path& base, const std::string& prefix) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
      const std::string leaf = entry.path().filename().string();
      if (!leaf.starts_with(prefix)) continue;
      const std::string pid = leaf.substr(prefix.size());
      if (pid.empty() || pid.size() > 9 || pid.find_first_not_of("0123456789") != std::string::npos) continue;
      if (::kill(static_cast<pid_t>(std::stol(pid)), 0) == 0 || errno != ESRCH) continue;
      std::filesystem::remove_all(entry.path(), ec);
    }
  }

  std::filesystem::path m_path;
};

inline void WriteFile(const std::filesystem::path& file, std::string_view text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace fuzz
