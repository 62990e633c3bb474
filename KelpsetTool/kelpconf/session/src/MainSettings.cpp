#include "session/MainSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <system_error>

#include "agent/AgentWire.h"
#include "common/FileServerPort.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace session {
namespace {

constexpr const char* kMain = "MainService";
constexpr const char* kFtp = "FtpService";
constexpr std::uint32_t kProgramVersionBuffer = 10;

int ReadInt(const char* section, const char* key, int defaultValue, const std::filesystem::path& file) {
  return static_cast<int>(plat::GetPrivateProfileInt(section, key, defaultValue, file));
}

std::string ErrorText(int nError) { return std::generic_category().message(nError); }

}  // namespace

std::string SettingsFileProblem(const std::filesystem::path& settingsFile) {
  struct stat st {};
  if (::stat(settingsFile.c_str(), &st) != 0) return ErrorText(errno);
  if (S_ISDIR(st.st_mode)) return ErrorText(EISDIR);
  // Opening a FIFO or a device could block or read something that is no settings file.
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const int fd = ::open(settingsFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrorText(errno);
  ::close(fd);
  return {};
}

MainSettings ReadMainSettings(const std::filesystem::path& settingsFile) {
  MainSettings settings;
  settings.fileProblem = SettingsFileProblem(settingsFile);
  const std::string defaultFtpd = (plat::ProgramDir() / "kelpftpd").string();
  settings.ftpdPath = plat::GetProfileString(kMain, "kelpftpd_path", defaultFtpd, settingsFile);
  settings.ftpdPathTooLong = settings.ftpdPath.size() > kMaxFtpdPathSize;
  settings.agentPort = ReadInt(kMain, "Port", agent::kDefaultAgentPort, settingsFile);
  settings.ftpPort = common::ReadFileServerPort(settingsFile).port;
  settings.detailedVersions =
      plat::GetProfileString(kMain, "ProgramVersion", "Normal", settingsFile, kProgramVersionBuffer) == "Detail";

  const int nRefresh = ReadInt(kMain, "RefreshTime", kDefaultRefreshSeconds, settingsFile);
  settings.refreshSeconds = nRefresh < 0 ? kDefaultRefreshSeconds : std::min(nRefresh, kMaxRefreshSeconds);

  const int nTarget = ReadInt(kMain, "Target", -1, settingsFile);
  settings.targetOutOfRange = nTarget != -1 && (nTarget < 0 || nTarget > 15);
  settings.target = settings.targetOutOfRange ? -1 : nTarget;

  settings.dhcpStartAddress = ReadInt(kMain, "DHCP_StartAddress", 240, settingsFile);
  settings.installFiles = plat::GetProfileString(kFtp, "Install_files", "", settingsFile);
  return settings;
}

}  // namespace session
