#include "plat/ServiceManager.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <functional>
#include <system_error>
#include <utility>

#include "ServiceBackend.h"
#include "plat/Process.h"
#include "plat/Profile.h"
#include "plat/RuntimeDir.h"

namespace plat {
namespace {

constexpr int kDefaultCommandSeconds = 60;

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A name that can stand as a key of the state files and the settings.
bool UsableName(const std::string& name) {
  return !name.empty() && name.find_first_of("=\r\n") == std::string::npos && name.front() != ';' &&
         name.front() != '[' && name.front() != ' ' && name.back() != ' ';
}

// ---------------------------------------------------------------- sim

// Nothing runs; each name's running flag is a key of sim.ini, so that every process sees it.
class SimBackend : public ServiceBackend {
 public:
  explicit SimBackend(const std::filesystem::path& stateDir)
      : m_file(stateDir / "sim.ini"), m_lockFile(stateDir / "sim.state.lock") {}

  bool Exists(const std::string& name) const override { return UsableName(name); }

  std::uint32_t Start(const std::string& name) override { return Change(name, true); }
  std::uint32_t Stop(const std::string& name) override { return Change(name, false); }

  std::uint32_t Query(const std::string& name, ServiceState* pState) override {
    *pState = IsOn(name) ? ServiceState::Running : ServiceState::Stopped;
    return 0;
  }

 private:
  bool IsOn(const std::string& name) const { return GetProfileString("Running", name, "0", m_file) == "1"; }

  std::uint32_t Change(const std::string& name, bool bOn) {
    const StateLock lock(m_lockFile);
    if (!lock.Held()) return kServiceAccessDenied;
    if (IsOn(name) == bOn) return bOn ? kServiceAlreadyRunning : kServiceNotActive;
    return WritePrivateProfileString("Running", name.c_str(), bOn ? "1" : "0", m_file) ? 0 : kServiceAccessDenied;
  }

  std::filesystem::path m_file;
  std::filesystem::path m_lockFile;
};

// ---------------------------------------------------------------- exec and systemd

struct ServiceCommands {
  std::vector<std::string> start, stop, status;
};

// A service run by commands: status exit 0 means running.
class CommandBackend : public ServiceBackend {
 public:
  using Lookup = std::function<std::optional<ServiceCommands>(const std::string& name)>;
  CommandBackend(std::filesystem::path settingsFile, Lookup lookup)
      : m_settingsFile(std::move(settingsFile)), m_lookup(std::move(lookup)) {}

  bool Exists(const std::string& name) const override { return UsableName(name) && m_lookup(name).has_value(); }

  std::uint32_t Start(const std::string& name) override {
    const std::optional<ServiceCommands> commands = m_lookup(name);
    if (!commands) return kServiceDoesNotExist;
    ServiceState state = ServiceState::Stopped;
    if (const std::uint32_t ulError = Status(*commands, &state)) return ulError;
    if (state == ServiceState::Running) return kServiceAlreadyRunning;
    return Verdict(RunCommand(commands->start, CommandLimit(m_settingsFile)), kServiceSpecificError);
  }

  std::uint32_t Stop(const std::string& name) override {
    const std::optional<ServiceCommands> commands = m_lookup(name);
    if (!commands) return kServiceDoesNotExist;
    ServiceState state = ServiceState::Stopped;
    if (const std::uint32_t ulError = Status(*commands, &state)) return ulError;
    if (state == ServiceState::Stopped) return kServiceNotActive;
    return Verdict(RunCommand(commands->stop, CommandLimit(m_settingsFile)), kServiceCannotAcceptControl);
  }

  std::uint32_t Query(const std::string& name, ServiceState* pState) override {
    const std::optional<ServiceCommands> commands = m_lookup(name);
    return commands ? Status(*commands, pState) : kServiceDoesNotExist;
  }

 private:
  static std::uint32_t Verdict(const CommandOutcome& outcome, std::uint32_t ulRefused) {
    if (outcome.timedOut) return kServiceRequestTimeout;
    return outcome.Succeeded() ? 0 : ulRefused;
  }

  std::uint32_t Status(const ServiceCommands& commands, ServiceState* pState) const {
    const CommandOutcome outcome = RunCommand(commands.status, CommandLimit(m_settingsFile));
    if (outcome.timedOut) return kServiceRequestTimeout;
    if (!outcome.started) return kServiceSpecificError;
    *pState = outcome.exitCode == 0 ? ServiceState::Running : ServiceState::Stopped;
    return 0;
  }

  std::filesystem::path m_settingsFile;
  Lookup m_lookup;
};

std::string ServiceKey(const std::string& name, const char* pszWhat,
                       const std::filesystem::path& settingsFile) {
  return GetProfileString(kServicesSection, name + "." + pszWhat, "", settingsFile);
}

}  // namespace

// ---------------------------------------------------------------- shared pieces

CommandOutcome RunCommand(const std::vector<std::string>& argv, Millis limit) {
  CommandOutcome outcome;
  if (argv.empty()) return outcome;
  Process child;
  if (!child.Start(argv.front(), std::vector<std::string>(argv.begin() + 1, argv.end()))) return outcome;
  outcome.started = true;
  if (const std::optional<int> code = child.Wait(limit)) {
    outcome.exitCode = *code;
  } else {
    outcome.timedOut = true;
    child.Terminate(-1);
  }
  return outcome;
}

Millis CommandLimit(const std::filesystem::path& settingsFile) {
  const int nSeconds = static_cast<int>(
      GetPrivateProfileInt(kServicesSection, "CommandTimeout", kDefaultCommandSeconds, settingsFile));
  return Millis(static_cast<std::int64_t>(std::max(nSeconds, 1)) * 1000);
}

StateLock::StateLock(const std::filesystem::path& file)
    : m_fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
  if (!m_fd) return;
  int rc;
  while ((rc = ::flock(m_fd.Get(), LOCK_EX)) != 0 && errno == EINTR) {
  }
  m_held = rc == 0;
}

std::shared_ptr<ServiceBackend> MakeSimBackend(const std::filesystem::path& stateDir) {
  return std::make_shared<SimBackend>(stateDir);
}

std::shared_ptr<ServiceBackend> MakeExecBackend(const std::filesystem::path& settingsFile) {
  return std::make_shared<CommandBackend>(settingsFile, [settingsFile](const std::string& name) {
    const std::string start = ServiceKey(name, "Start", settingsFile);
    const std::string stop = ServiceKey(name, "Stop", settingsFile);
    const std::string status = ServiceKey(name, "Status", settingsFile);
    if (start.empty() || stop.empty() || status.empty()) return std::optional<ServiceCommands>();
    return std::optional<ServiceCommands>(
        ServiceCommands{{"/bin/sh", "-c", start}, {"/bin/sh", "-c", stop}, {"/bin/sh", "-c", status}});
  });
}

std::shared_ptr<ServiceBackend> MakeSystemdBackend(const std::filesystem::path& settingsFile) {
  return std::make_shared<CommandBackend>(settingsFile, [settingsFile](const std::string& name) {
    const std::string unit = ServiceKey(name, "Unit", settingsFile);
    if (unit.empty()) return std::optional<ServiceCommands>();
    const std::string systemctl = GetProfileString(kServicesSection, "Systemctl", "systemctl", settingsFile);
    return std::optional<ServiceCommands>(ServiceCommands{{systemctl, "start", unit},
                                                          {systemctl, "stop", unit},
                                                          {systemctl, "is-active", "--quiet", unit}});
  });
}

std::filesystem::path ServiceStateDir() {
  const std::filesystem::path dir = RuntimeDir() / "services";
  std::error_code ec;
  if (std::filesystem::create_directory(dir, ec)) ::chmod(dir.c_str(), 0700);
  return dir;
}

// ---------------------------------------------------------------- handle and manager

ServiceHandle::ServiceHandle(std::shared_ptr<ServiceBackend> backend, std::string name)
    : m_backend(std::move(backend)), m_name(std::move(name)) {}
ServiceHandle::~ServiceHandle() = default;

bool ServiceHandle::Start(std::uint32_t* pulError) {
  *pulError = m_backend->Start(m_name);
  return *pulError == 0;
}

bool ServiceHandle::Stop(std::uint32_t* pulError) {
  *pulError = m_backend->Stop(m_name);
  return *pulError == 0;
}

bool ServiceHandle::Query(ServiceState* pState, std::uint32_t* pulError) {
  *pulError = m_backend->Query(m_name, pState);
  return *pulError == 0;
}

ServiceManager::ServiceManager(std::string backendName, std::shared_ptr<ServiceBackend> backend)
    : m_backendName(std::move(backendName)), m_backend(std::move(backend)) {}
ServiceManager::~ServiceManager() = default;

std::unique_ptr<ServiceManager> ServiceManager::Open(const std::filesystem::path& settingsFile,
                                                     std::uint32_t* pulError) {
  const std::string name = Lowered(GetProfileString(kServicesSection, "Backend", "sim", settingsFile));
  *pulError = 0;
  std::shared_ptr<ServiceBackend> backend;
  if (name == "exec") {
    backend = MakeExecBackend(settingsFile);
  } else if (name == "systemd") {
    backend = MakeSystemdBackend(settingsFile);
  } else if (name == "sim" || name == "dnsmasq") {
    const std::filesystem::path stateDir = ServiceStateDir();
    if (!std::filesystem::is_directory(stateDir)) {
      *pulError = kServiceAccessDenied;
      return nullptr;
    }
    backend = name == "sim" ? MakeSimBackend(stateDir) : MakeDnsmasqBackend(settingsFile, stateDir, pulError);
  } else {
    *pulError = kServiceDatabaseDoesNotExist;
  }
  if (!backend) return nullptr;
  return std::unique_ptr<ServiceManager>(new ServiceManager(name, std::move(backend)));
}

std::unique_ptr<ServiceHandle> ServiceManager::OpenService(const std::string& name, std::uint32_t* pulError) {
  if (!m_backend->Exists(name)) {
    *pulError = kServiceDoesNotExist;
    return nullptr;
  }
  *pulError = 0;
  return std::make_unique<ServiceHandle>(m_backend, name);
}

bool ServiceManager::IsSimulated() const { return m_backendName == "sim"; }

}  // namespace plat
