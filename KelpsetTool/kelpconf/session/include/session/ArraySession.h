// One run of the setup tool against one array: the array's tables, the sixteen board objects,
// the boards' busy codes, the status poller, the network-boot services, the installation medium
// and the file server (kelpftpd), and the start-up sequence that brings them up in order. The
// main window is a view of it; kelpctl, the bench and the tests open one the same way.
//
// Threads: the tables and the board objects are thread-safe. Start-up, the busy codes, the
// services and the medium's state belong to the thread that opened the session (the UI thread).
// The destructor stops the poller and ends kelpftpd; a poller thread that does not end (see
// CusrStatusAgent) keeps the tables and the boards alive until the process exits.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "board/ArrayTables.h"
#include "board/CusrCHN.h"
#include "board/CusrStatusAgent.h"
#include "board/MainDialogLink.h"
#include "plat/Process.h"
#include "services/NetbootServices.h"
#include "session/FtpdLauncher.h"
#include "session/MainSettings.h"

namespace session {

class ArraySession {
 public:
  static constexpr std::uint32_t kSlots = CusrCHN::kSlots;

  ArraySession(std::filesystem::path settingsFile, MainSettings settings);
  ~ArraySession();
  ArraySession(const ArraySession&) = delete;
  ArraySession& operator=(const ArraySession&) = delete;

  board::ArrayTables& Array() const { return *m_pcArray; }
  // The board object of a slot (null before Start and for a slot outside 0..15).
  CusrCHN* Board(std::uint32_t ulSlot) const { return ulSlot < kSlots ? m_pcCHNs[ulSlot].get() : nullptr; }
  const std::filesystem::path& SettingsFile() const { return m_settingsFile; }
  const MainSettings& Settings() const { return m_settings; }

  // ---- start-up ----
  // The maintenance PC's address on the array's network (dsvp_GetSvpIPAddr); false with the
  // array's error.
  bool ReadSvpAddress(std::uint32_t* pulError);
  // How a fitted board's agent access was prepared; called once per fitted board.
  using AccessReport = std::function<void(std::uint32_t ulSlot, CusrCHN::AgentAccess access, std::uint32_t ulError)>;
  // Discovery (messages are the board layer's), the sixteen board objects with their agent
  // access, and the first status read. False, with the failing call's error, when discovery
  // failed. Without a report a failed access is traced.
  bool Start(std::uint32_t* pulError, const AccessReport& report = {});
  // Asks each running board for its agent version; true when one is newer than the tool.
  bool AnyAgentNewer();
  // Starts the status poller with the window's link, checking every ulPeriodMs; 0 when it runs.
  std::uint32_t StartPoller(board::MainDialogLink* pLink, std::uint32_t ulPeriodMs);
  void StopPoller();
  const CusrStatusAgent* Poller() const { return m_pcStatusAgent.get(); }

  // ---- the file server ----
  // Starts Settings().ftpdPath for this array's maintenance address (ReadSvpAddress first) and
  // waits for its handshake. The child is the session's whatever the outcome: StopFileServer or
  // the destructor ends it.
  FtpdStart StartFileServer();
  void StopFileServer();

  // ---- installation medium and network-boot services ----
  // Creates the services, finds the installation medium and starts the services; a failure
  // marks the install device failed (traced).
  void SetUpInstallDevice();
  // The medium chosen in the configuration dialog: sets it and restarts the services.
  void ChangeInstallDevice(const std::string& strMediaRoot);
  // Stops each service held (Close).
  void StopServices();
  services::NetbootServices* Services() const { return m_pcServices.get(); }
  const std::string& MediaRoot() const { return m_strMediaRoot; }
  bool MediaRootIsMP() const { return m_bMediaRootIsMP; }
  bool InstallDeviceFailed() const { return m_bInstallDeviceFailed; }
  void SetInstallDeviceState(bool bFailed, bool bMediaRootIsMP);

  // ---- a board agent newer than the tool ----
  bool IsNewerAgent() const { return m_bNewerAgent.load(); }
  // Sets the flag; true only for the call that set it (any thread).
  bool MarkNewerAgent() { return !m_bNewerAgent.exchange(true); }
  // Cleared once the poller has stopped at close, so that nothing tells of it again.
  void ClearNewerAgent() { m_bNewerAgent = false; }
  // While the flag is set no function starts: the message that says so, and true.
  bool IsFunctionDisable() const;

  // ---- busy codes (0 idle) ----
  // Told on the opening thread after each change of a board's or the public busy code (slot
  // kSlots for the public one).
  void OnBusyChanged(std::function<void(std::uint32_t ulSlot)> onChanged) { m_onBusyChanged = std::move(onChanged); }
  int BoardBusy(std::uint32_t ulSlot) const { return ulSlot < kSlots ? m_nBusy[ulSlot] : 0; }
  const std::array<int, kSlots>& BusyCodes() const { return m_nBusy; }
  int PublicBusy() const { return m_nPublicBusy; }
  void SetBoardBusy(std::uint32_t ulSlot, int nCode);
  void SetPublicBusy(int nCode);
  // Takes an idle board for nCode; false (nothing changed) when it carries another code.
  bool Claim(std::uint32_t ulSlot, int nCode);
  // Gives the board back when it carries nCode; false when it does not.
  bool Release(std::uint32_t ulSlot, int nCode);
  bool AnyBoardBusy() const;

  // ---- boards chosen for array-wide work ----
  // The board of [MainService] Target; with -1 the running board with the greatest agent version.
  CusrCHN* GetLatestCHN() const;

 private:
  std::filesystem::path m_settingsFile;
  MainSettings m_settings;
  std::unique_ptr<board::ArrayTables> m_pcArray;
  std::array<std::unique_ptr<CusrCHN>, kSlots> m_pcCHNs;
  std::unique_ptr<CusrStatusAgent> m_pcStatusAgent;
  std::unique_ptr<services::NetbootServices> m_pcServices;
  plat::Process m_cFtpd;
  std::string m_strMediaRoot;
  bool m_bMediaRootIsMP = false;
  bool m_bInstallDeviceFailed = false;
  std::array<int, kSlots> m_nBusy{};
  int m_nPublicBusy = 0;
  std::function<void(std::uint32_t)> m_onBusyChanged;
  std::atomic<bool> m_bNewerAgent{false};
};

}  // namespace session
