// The maintenance PC's network-boot services as the main window drives them: the DHCP service's
// settings file c:\dhcp.ini, written from the array's board objects, and the start, restart and stop of
// the "DHCP Server" and "TFTP Server" services through plat::ServiceManager (backend chosen by
// [Services] Backend of the settings file).
//
// The main dialog owns one object for the whole run and calls it on the UI thread only; the
// service calls block for up to about 3 s of sleeps for a start and 2 s for a stop. A service
// handle held here keeps the service as it is when this object goes: only StopService stops it,
// so the services also outlive a kelpctl run that started them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "board/ArrayTables.h"
#include "plat/ServiceManager.h"

namespace services {

inline constexpr char kDhcpServiceName[] = "DHCP Server";
inline constexpr char kTftpServiceName[] = "TFTP Server";
inline constexpr char kDhcpSettingFile[] = "c:\\dhcp.ini";
// The functions that cannot be used without the services, shown with message 3554.
inline constexpr char kServiceFunctions[] = "  - Program Install\n  - Configuration";
inline constexpr int kDefaultStartHost = 240;
inline constexpr std::size_t kMaxBoards = 16;

using MacAddress = std::array<std::uint8_t, 6>;
using Ipv4 = std::array<std::uint8_t, 4>;

// The first host number of n boards' addresses: nConfigured, or kDefaultStartHost when that is
// not positive or nConfigured + n - 1 is not below 255.
int StartHostNumber(int nConfigured, std::size_t n);
// "bpbatch" when the lowest slot whose NNC type is 1 or 2 has type 1, else "pxelinux.0".
const char* BootstrapFileFor(std::span<const std::uint16_t> nncTypes);

class NetbootServices {
 public:
  // Called each time the services cannot be set up: the owner sets its install-device-failed
  // flag, which never clears.
  using InstallDeviceFailed = std::function<void()>;

  // nDhcpStartAddress: [MainService] DHCP_StartAddress as the application read it. The array's
  // tables (and their boards) must outlive the object.
  NetbootServices(board::ArrayTables& rArray, std::filesystem::path settingsFile, int nDhcpStartAddress,
                  InstallDeviceFailed onInstallDeviceFailed);
  ~NetbootServices();
  NetbootServices(const NetbootServices&) = delete;
  NetbootServices& operator=(const NetbootServices&) = delete;

  // Rewrites c:\dhcp.ini when it exists, (re)starts the DHCP service and, with nWithTftp 1, the
  // TFTP service. True when a TFTP service handle is held at the end.
  bool RunService(int nWithTftp);
  bool SearchDhcpEnvFile() const;
  // Replaces the keys of [Parameters] and the section "mac id address" of c:\dhcp.ini in one
  // rewrite (the mask is not written); at most kMaxBoards addresses count. False, with message
  // 3506, when the file could not be written; it is then as it was.
  bool WriteSettingFile(const Ipv4& ucSvpIp, const Ipv4& ucSvpMask, std::span<const MacAddress> macList);
  // Opens and starts the named service, restarting it when it already runs; null, with message
  // 3554, when it does not run in the end.
  std::unique_ptr<plat::ServiceHandle> StartService(const char* pszServiceName);
  // The stop control, up to three times; true when accepted. Traced under "StartService".
  bool StopService(plat::ServiceHandle* pService);
  // Re-reads every fitted board's MAC address, then RunService(0). 0, or the first failing
  // read's error after its message (the code as its argument; the trace names the board). A
  // network installation must not start on an error: c:\dhcp.ini was not rewritten.
  std::uint32_t RefreshMacAddress();

  // The MAC address of every board object whose status is not -1, in slot order.
  std::vector<MacAddress> CollectMacList() const;

  // The handles held (null when none), for the stop at close.
  plat::ServiceHandle* DhcpService() const { return m_pDhcpService.get(); }
  plat::ServiceHandle* TftpService() const { return m_pTftpService.get(); }
  // True when the services are only simulated (backend sim): no DHCP or TFTP server runs.
  bool IsSimulated() const { return m_bSimulated; }
  // The [Services] Backend in force ("sim", "exec", "systemd", "dnsmasq"), empty when unknown.
  const std::string& BackendName() const { return m_strBackend; }

 private:
  void ReportInstallDeviceFailed() const;
  void ShowServiceMessage(const char* pszServiceName) const;

  board::ArrayTables& m_rArray;
  std::filesystem::path m_settingsFile;
  int m_nDhcpStartAddress;
  InstallDeviceFailed m_onInstallDeviceFailed;
  std::string m_strBackend;
  bool m_bSimulated = false;
  std::unique_ptr<plat::ServiceHandle> m_pDhcpService;
  std::unique_ptr<plat::ServiceHandle> m_pTftpService;
};

}  // namespace services
