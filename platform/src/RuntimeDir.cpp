#include "plat/RuntimeDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace plat {
namespace {

std::string EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void MakeFolder(const std::filesystem::path& dir, std::error_code& ec) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) ec = std::make_error_code(std::errc::not_a_directory);
    return;
  }
  const std::filesystem::path parent = dir.parent_path();
  if (!parent.empty() && parent != dir) {
    MakeFolder(parent, ec);
    if (ec) return;
  }
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
    ec = std::error_code(errno, std::system_category());
}

// Anyone may create the /tmp fallback first; it is only ours if we own it and nobody else can
// enter it.
void CheckPrivate(const std::filesystem::path& dir, std::error_code& ec) {
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) {
    ec = std::error_code(errno, std::system_category());
  } else if (!S_ISDIR(st.st_mode)) {
    ec = std::make_error_code(std::errc::not_a_directory);
  } else if (st.st_uid != ::getuid()) {
    ec = std::make_error_code(std::errc::permission_denied);
  } else if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) {
    ec = std::error_code(errno, std::system_category());
  }
}

}  // namespace

std::filesystem::path RuntimeDir(std::error_code& ec) {
  ec.clear();
  std::filesystem::path dir;
  bool shared = false;
  if (const std::string own = EnvValue("KELP_RUNTIME_DIR"); !own.empty()) {
    dir = own;
  } else if (const std::string xdg = EnvValue("XDG_RUNTIME_DIR"); !xdg.empty()) {
    dir = std::filesystem::path(xdg) / "kelpset";
  } else {
    dir = "/tmp/kelpset-" + std::to_string(::getuid());
    shared = true;
  }
  MakeFolder(dir, ec);
  if (!ec && shared) CheckPrivate(dir, ec);
  return dir;
}

std::filesystem::path RuntimeDir() {
  std::error_code ignored;
  return RuntimeDir(ignored);
}

std::string EscapeObjectName(std::string_view name) {
  if (name.empty()) return "%";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    const bool keep = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                      (byte >= '0' && byte <= '9') || byte == '_' || byte == '-';
    if (keep) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

}  // namespace plat
