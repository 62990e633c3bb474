#include "common/TraceSettings.h"

#include <system_error>

#include "plat/Paths.h"
#include "plat/Profile.h"

namespace {

// Installed programs live below these folders; nobody but root writes beside them.
constexpr const char* kInstallPrefixes[] = {"usr", "opt"};

bool IsInstalled(const std::filesystem::path& programPath) {
  auto part = programPath.begin();
  if (part == programPath.end() || *part != "/" || ++part == programPath.end()) return false;
  for (const char* pszPrefix : kInstallPrefixes)
    if (*part == pszPrefix) return true;
  return false;
}

}  // namespace

std::filesystem::path DefaultTraceDir(const std::filesystem::path& programPath, TraceProgram program,
                                      const std::filesystem::path& systemRoot) {
  const bool bConf = program == TraceProgram::Kelpconf;
  if (IsInstalled(programPath)) return bConf ? systemRoot / "log" : systemRoot;
  return bConf ? programPath.parent_path() / "log" : programPath.parent_path();
}

TraceSettings ReadTraceSettings(const std::filesystem::path& settingsFile, TraceProgram program) {
  const bool bConf = program == TraceProgram::Kelpconf;
  const char* section = bConf ? "MainService" : "FtpService";

  TraceSettings settings;
  settings.strBaseName = bConf ? "kelpconf" : "log/kelpftpd";
  settings.nSizeMB = static_cast<int>(plat::GetPrivateProfileInt(section, "TraceSize", 2, settingsFile));
  settings.ulMask = TraceMaskFromLevelName(plat::GetProfileString(section, "TraceLevel", "normal", settingsFile), program);

  const std::string dir = plat::GetProfileString(section, "TraceDir", "", settingsFile);
  if (!dir.empty()) {
    settings.strDirectory = plat::MapPath(dir).string();
    return settings;
  }
  const std::filesystem::path traceDir = DefaultTraceDir(plat::ProgramPath(), program, plat::SystemRoot());
  const std::filesystem::path filesDir = bConf ? traceDir : traceDir / "log";
  std::error_code ec;
  if (!std::filesystem::is_directory(filesDir, ec)) std::filesystem::create_directories(filesDir, ec);
  settings.strDirectory = traceDir.string() + "/";
  return settings;
}
