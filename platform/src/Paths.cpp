#include "plat/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace plat {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::filesystem::path HomeDir() {
  if (std::string home = Env("HOME"); !home.empty()) return home;
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    return found->pw_dir;
  return "/tmp";
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::filesystem::path SystemRoot() {
  if (std::string root = Env("KELP_SYSTEM_ROOT"); !root.empty()) return root;
  std::filesystem::path data = Env("XDG_DATA_HOME");
  // Relative values are invalid for XDG variables and are ignored.
  if (data.empty() || data.is_relative()) data = HomeDir() / ".local" / "share";
  return data / "kelpset";
}

std::filesystem::path MapPath(const std::string& windowsPath) {
  const bool hasDrive =
      windowsPath.size() >= 2 && windowsPath[1] == ':' && IsDriveLetter(windowsPath[0]);
  if (!hasDrive) {
    std::string native = windowsPath;
    for (char& c : native)
      if (c == '\\') c = '/';
    return native;
  }
  if (windowsPath[0] != 'C' && windowsPath[0] != 'c') return {};

  std::vector<std::string> parts;
  std::size_t pos = 2;
  while (pos < windowsPath.size()) {
    std::size_t end = pos;
    while (end < windowsPath.size() && !IsSeparator(windowsPath[end])) ++end;
    const std::string part = windowsPath.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::filesystem::path mapped = SystemRoot();
  for (const std::string& part : parts) mapped /= part;
  return mapped;
}

std::filesystem::path ProgramPath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path{} : exe;
}

std::filesystem::path ProgramDir() { return ProgramPath().parent_path(); }

std::filesystem::path SystemFolder() { return "/"; }

}  // namespace plat
