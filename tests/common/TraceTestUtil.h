// Shared helpers of the trace suites.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "TestEnv.h"

namespace tracetest {

// The revision reader the setup tool installs, with the library's own texts.
inline int FakeRevision(char* cRev, char* ciRev, char* cCopyright, std::uint32_t* lpErrInfo) {
  std::strcpy(cRev, "7.00");
  std::strcpy(ciRev, "20060905.01");
  std::strcpy(cCopyright, "Copyright (C) Kelpset Project");
  if (lpErrInfo) *lpErrInfo = 0;
  return 1;
}

inline int FailingRevision(char*, char*, char*, std::uint32_t* lpErrInfo) {
  if (lpErrInfo) *lpErrInfo = 1;
  return 0;
}

inline std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::istringstream in(kelptest::ReadFile(file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "2006/12/26 06:45:28.123 000004d2 00000a3c enter CusrCHN::GetInstPPInfo"
inline const std::regex& LineShape() {
  static const std::regex re(
      R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3} [0-9a-f]{8} [0-9a-f]{8} (enter|exit_|call_|retrn|info_|warn_|error|fatal|debug) .*$)");
  return re;
}

// Runs a test body in a fresh temporary current folder.
class InTempCwd {
 public:
  InTempCwd() : m_old(std::filesystem::current_path()) { std::filesystem::current_path(m_dir.path()); }
  ~InTempCwd() { std::filesystem::current_path(m_old); }
  const std::filesystem::path& path() const { return m_dir.path(); }

 private:
  kelptest::TempDir m_dir;
  std::filesystem::path m_old;
};

}  // namespace tracetest
