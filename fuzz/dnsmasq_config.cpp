// Fuzz target: arbitrary values in c:\dhcp.ini and C:\tftp.ini, turned into the dnsmasq
// backend's configuration (plat::DnsmasqConfiguration). The input is one value per line: Start
// Address, End Address, Use Bootstrap File, Bootstrap File, Bootstrap Server, Gateway, DNS, the
// TFTP File Path, then "mac id address" lines as written. A File Path inside the test's system
// root is created as a folder first, so the writer sees it exist. The configuration must hold
// only the directives the backend writes, one per line, each value of its own shape, and a TFTP
// root only when it is a medium's netboot folder.
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "plat/Paths.h"
#include "plat/ServiceManager.h"

namespace fs = std::filesystem;
using fuzz::WriteFile;

namespace {

const char* const kParameterKeys[] = {"Start Address", "End Address", "Use Bootstrap File", "Bootstrap File",
                                      "Bootstrap Server", "Gateway", "DNS"};

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool IsIPv4(const std::string& text) {
  in_addr address{};
  return text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool IsMac(const std::string& text) {
  if (text.size() != 17) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i % 3 == 2 ? c != ':' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Nothing dnsmasq would read as a separator, a quote, an escape or a comment.
bool IsPlain(const std::string& text) {
  return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == 0x7F || c == ',' || c == '#' || c == '"' || c == '\\' ||
           c == '\'';
  });
}

bool IsBootFile(const std::string& text) {
  if (!IsPlain(text) || text.front() == '/') return false;
  const std::vector<std::string> parts = Split(text, '/');
  return std::none_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty() || p == ".."; });
}

void CheckDirective(const std::string& line) {
  const std::size_t eq = line.find('=');
  const std::string key = line.substr(0, eq);
  if (eq == std::string::npos) {
    FUZZ_CHECK(key == "bind-interfaces" || key == "enable-tftp");
    return;
  }
  const std::string value = line.substr(eq + 1);
  const std::vector<std::string> fields = Split(value, ',');
  if (key == "port") {
    FUZZ_CHECK(value == "0");
  } else if (key == "interface") {
    FUZZ_CHECK(value == "lo");
  } else if (key == "pid-file" || key == "log-facility" || key == "dhcp-leasefile") {
    FUZZ_CHECK(IsPlain(value) && value.front() == '/');
  } else if (key == "dhcp-range") {
    FUZZ_CHECK(fields.size() == 2 && IsIPv4(fields[0]) && IsIPv4(fields[1]));
  } else if (key == "dhcp-host") {
    FUZZ_CHECK(fields.size() == 2 && IsMac(fields[0]) && IsIPv4(fields[1]));
  } else if (key == "dhcp-boot") {
    FUZZ_CHECK((fields.size() == 1 || (fields.size() == 3 && fields[1].empty() && IsIPv4(fields[2]))) &&
          IsBootFile(fields[0]));
  } else if (key == "dhcp-option") {
    FUZZ_CHECK(fields.size() == 2 && (fields[0] == "option:router" || fields[0] == "option:dns-server") &&
          IsIPv4(fields[1]));
  } else if (key == "tftp-root") {
    // A medium's netboot folder, named as it is.
    std::error_code ec;
    FUZZ_CHECK(IsPlain(value) && value.front() == '/' && fs::path(value).filename() == "netboot" &&
          fs::is_directory(value, ec) && fs::path(value).lexically_normal() == fs::path(value));
  } else {
    FUZZ_CHECK(false);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFolder scratch("dnsmasq");
  static const fs::path root = [] {
    const fs::path& r = scratch.Path();
    fs::create_directories(r / "media" / "netboot");
    fs::create_directories(r / "media" / "MP");
    fs::create_directories(r / "run");
    ::setenv("KELP_SYSTEM_ROOT", r.c_str(), 1);
    ::setenv("KELP_RUNTIME_DIR", (r / "run").c_str(), 1);
    WriteFile(r / "kelpconf.ini",
              "[Services]\nBackend=dnsmasq\nInterface=lo\nDhcpFile=C:\\dhcp.ini\nTftpFile=C:\\tftp.ini\n");
    return r;
  }();
  const std::vector<std::string> values = Split(std::string_view(reinterpret_cast<const char*>(data), size), '\n');
  const auto value = [&](std::size_t i) { return i < values.size() ? values[i] : std::string(); };

  std::string dhcp = "[Parameters]\n";
  for (std::size_t i = 0; i < std::size(kParameterKeys); ++i) dhcp += std::string(kParameterKeys[i]) + "=" + value(i) + "\n";
  dhcp += "[mac id address]\n";
  for (std::size_t i = std::size(kParameterKeys) + 1; i < values.size(); ++i) dhcp += values[i] + "\n";
  WriteFile(root / "dhcp.ini", dhcp);
  const std::string filePath = value(std::size(kParameterKeys));
  WriteFile(root / "tftp.ini", "[Parameters]\nFile Path=" + filePath + "\n");

  // A folder the value names inside the sandbox is made to exist, and goes again afterwards.
  std::error_code ec;
  const fs::path wanted = fs::absolute(plat::MapPath(filePath), ec).lexically_normal();
  const auto [rootEnd, rest] = std::mismatch(root.begin(), root.end(), wanted.begin(), wanted.end());
  fs::path made;
  if (!ec && rootEnd == root.end() && wanted.string().find('\r') == std::string::npos &&
      wanted.string().size() < 512) {
    fs::path at = root;
    for (auto part = rest; part != wanted.end() && made.empty(); ++part)
      if (!fs::exists(at /= *part, ec)) made = at;
    if (!made.empty()) fs::create_directories(wanted, ec);
  }

  for (const bool dhcpOn : {true, false}) {
    std::string why;
    const std::string config = plat::DnsmasqConfiguration(root / "kelpconf.ini", dhcpOn, true, &why);
    FUZZ_CHECK(config.empty() != why.empty());
    std::vector<std::string> lines = Split(config, '\n');
    if (config.empty()) continue;
    FUZZ_CHECK(lines.back().empty());
    lines.pop_back();
    FUZZ_CHECK(lines.front().starts_with("# "));
    std::for_each(lines.begin() + 1, lines.end(), CheckDirective);
  }
  if (!made.empty()) fs::remove_all(made, ec);
  return 0;
}
