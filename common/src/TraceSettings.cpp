#include "common/TraceSettings.h"

#include <system_error>

#include "plat/Paths.h"
#include "plat/Profile.h"

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
  } else if (bConf) {
    const std::filesystem::path logDir = plat::ProgramDir() / "log";
    std::error_code ec;
    if (!std::filesystem::is_directory(logDir, ec)) std::filesystem::create_directory(logDir, ec);
    settings.strDirectory = logDir.string() + "/";
  } else {
    settings.strDirectory = plat::ProgramDir().string() + "/";
  }
  return settings;
}
