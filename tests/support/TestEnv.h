// Test helpers: a private temporary folder and environment variables restored on scope exit.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kelptest {

// A fresh folder under the system temp dir, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Sets (or with nullopt unsets) one environment variable; restores the old value on destruction.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

// A private runtime dir (KELP_RUNTIME_DIR) and system root (KELP_SYSTEM_ROOT) for one test, so
// named mutexes, pipes and C: paths never meet those of other tests or of a running program.
class IsolatedEnv {
 public:
  IsolatedEnv();
  const std::filesystem::path& runtimeDir() const { return m_runtime.path(); }
  const std::filesystem::path& systemRoot() const { return m_root.path(); }

 private:
  TempDir m_runtime;
  TempDir m_root;
  ScopedEnv m_runtimeEnv;
  ScopedEnv m_rootEnv;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
// Writes a whole file, replacing it.
void WriteFile(const std::filesystem::path& file, const std::string& content);

}  // namespace kelptest
