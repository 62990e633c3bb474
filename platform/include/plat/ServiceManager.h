// The service control manager: open the manager, open a service by name, start it, send it the
// stop control, ask whether it runs. Results and error codes keep the Win32 meaning
// (kServiceAlreadyRunning = 1056 and the others below), so callers read the same.
//
// The backend comes from key Backend of section [Services] of the settings file:
//
// | key                | backend  | default         | meaning                                          |
// |--------------------|----------|-----------------|--------------------------------------------------|
// | Backend            | all      | sim             | sim, exec, systemd or dnsmasq (other: 1065)      |
// | CommandTimeout     | exec, systemd, dnsmasq | 60 | seconds a command may run before it is killed    |
// | <name>.Start       | exec     | -               | shell command that starts service <name>         |
// | <name>.Stop        | exec     | -               | shell command that stops it                      |
// | <name>.Status      | exec     | -               | shell command, exit 0 while it runs              |
// | Systemctl          | systemd  | systemctl       | program (PATH lookup without '/')                |
// | <name>.Unit        | systemd  | -               | the unit standing for service <name>             |
// | Interface          | dnsmasq  | - (required)    | the only interface dnsmasq binds to              |
// | Dnsmasq            | dnsmasq  | dnsmasq         | command words, split at blanks, that run dnsmasq |
// | DhcpService        | dnsmasq  | DHCP Server     | the service name dnsmasq answers DHCP for        |
// | TftpService        | dnsmasq  | TFTP Server     | the service name dnsmasq answers TFTP for        |
// | DhcpFile           | dnsmasq  | c:\dhcp.ini     | the DHCP service's settings (mapped by MapPath)  |
// | TftpFile           | dnsmasq  | C:\tftp.ini     | the TFTP service's settings (mapped by MapPath)  |
//
// A service runs until it is stopped: closing a handle or ending the process leaves it as it is,
// so one process may start a service and another stop it. What "running" means per backend:
// - sim: nothing runs; the running flag of each name lives in <runtime dir>/services/sim.ini.
//   Every name exists.
// - exec: <name>.Status exits 0. Start runs <name>.Start, Stop runs <name>.Stop, each through
//   /bin/sh -c; exit 0 is success. A name without all three keys does not exist (1060).
// - systemd: "systemctl is-active --quiet UNIT" exits 0; start and stop run
//   "systemctl start|stop UNIT". A name without <name>.Unit does not exist (1060).
// - dnsmasq: one dnsmasq, its pid in <runtime dir>/services/dnsmasq/dnsmasq.pid, serves both
//   names; which of them it serves is kept in state.ini beside it. Each start or stop rewrites
//   dnsmasq.conf from DhcpFile and TftpFile and restarts dnsmasq with the services still on, or
//   ends it when none is. Only DhcpService and TftpService exist.
//
// A manager and its handles may be used from one thread at a time each; the sim and dnsmasq
// state is locked across processes for the length of each call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace plat {

// Win32 error codes the service calls report.
inline constexpr std::uint32_t kServiceAccessDenied = 5;
inline constexpr std::uint32_t kServiceInvalidParameter = 87;      // a backend's key is missing or bad
inline constexpr std::uint32_t kServiceRequestTimeout = 1053;      // a command outran CommandTimeout
inline constexpr std::uint32_t kServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kServiceCannotAcceptControl = 1061;  // the stop was refused
inline constexpr std::uint32_t kServiceNotActive = 1062;
inline constexpr std::uint32_t kServiceDatabaseDoesNotExist = 1065;  // unknown Backend
inline constexpr std::uint32_t kServiceSpecificError = 1066;        // the start was refused

class ServiceBackend;

enum class ServiceState { Stopped, Running };

// An open service (OpenService); the service lives on without it.
class ServiceHandle {
 public:
  ServiceHandle(std::shared_ptr<ServiceBackend> backend, std::string name);
  ~ServiceHandle();
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;

  // StartService: true when started; false with *pulError, kServiceAlreadyRunning when it ran.
  bool Start(std::uint32_t* pulError);
  // ControlService with the stop control: true when the stop was carried out; false with
  // *pulError (kServiceNotActive when it did not run).
  bool Stop(std::uint32_t* pulError);
  // QueryServiceStatus: false with *pulError when the state cannot be told.
  bool Query(ServiceState* pState, std::uint32_t* pulError);
  const std::string& Name() const { return m_name; }

 private:
  std::shared_ptr<ServiceBackend> m_backend;
  std::string m_name;
};

// The manager (OpenSCManager) of the backend the settings file names.
class ServiceManager {
 public:
  // Null with *pulError: kServiceDatabaseDoesNotExist for an unknown Backend,
  // kServiceInvalidParameter for a missing required key, kServiceAccessDenied when the state
  // folder cannot be made.
  static std::unique_ptr<ServiceManager> Open(const std::filesystem::path& settingsFile,
                                              std::uint32_t* pulError);
  ~ServiceManager();
  ServiceManager(const ServiceManager&) = delete;
  ServiceManager& operator=(const ServiceManager&) = delete;

  // Null with *pulError (kServiceDoesNotExist) for a name the backend does not serve.
  std::unique_ptr<ServiceHandle> OpenService(const std::string& name, std::uint32_t* pulError);
  // "sim", "exec", "systemd" or "dnsmasq".
  const std::string& BackendName() const { return m_backendName; }
  // True for sim: no network service really runs.
  bool IsSimulated() const;

 private:
  ServiceManager(std::string backendName, std::shared_ptr<ServiceBackend> backend);

  std::string m_backendName;
  std::shared_ptr<ServiceBackend> m_backend;
};

// The configuration the dnsmasq backend writes for the services that are on (bDhcp, bTftp), from
// [Services] of the settings file, DhcpFile and TftpFile. Empty, with the reason in *pWhy, when
// Interface is missing or bad, or a file lacks or garbles what the service needs.
std::string DnsmasqConfiguration(const std::filesystem::path& settingsFile, bool bDhcp, bool bTftp,
                                 std::string* pWhy);

// The folder of the backends' state files: <runtime dir>/services, created on demand.
std::filesystem::path ServiceStateDir();

}  // namespace plat
