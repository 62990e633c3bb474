// The setup tool's object for one NAS board slot (0..15).
//
// The session creates all sixteen objects over its array tables before the status poller starts
// and deletes them when it ends. A board object knows its slot, MAC address, agent port and agent client,
// and its status; it offers the board's operations: status, agent exchanges (one connection per
// exchange: connect, request, reply, close) and array queries through VELAPI.
//
// Thread safety: status, flags and agent version are atomics; the array tables are thread-safe
// (the status poller writes them while workers and the UI thread read). Agent
// operations keep no connection state and may run on any thread. The product list is touched
// only by the thread that drives the board's installation.
//
// Agent operations return 0, or the failing step's code (traced "<step>(), code = 0x%08x: <cause>",
// and kept with step and cause for LastExchange); a board without an agent connection
// (InitManager failed or never ran) gives 5 at once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "agent/CusrNasManager.h"
#include "board/AgentExchange.h"
#include "board/BoardLock.h"
#include "agent/AgentTypes.h"
#include "board/BoardStatus.h"
#include "board/ArrayTables.h"
#include "board/PowerDialog.h"
#include "board/ProductRecord.h"
#include "plat/Clock.h"

class CusrCHN {
 public:
  static constexpr std::uint32_t kSlots = board::kSlots;
  static constexpr std::uint32_t kUnknownAgentVersion = 0x01000000;
  static constexpr std::uint32_t kOldNasOsAgentVersion = 0x02000000;  // below: an old NAS OS
  // Array model codes of the process-wide model field.
  static constexpr std::uint16_t kModelZQS = 4, kModelZQXS = 5, kModelZQM = 6, kModelZQH = 7;
  // Node states of GetNodeStatus: status 4, 5 or 7.
  using NodeState = std::int32_t;
  // One ExecCommList result: echo, return code, output length, output.
  using CommandResult = std::array<std::string, 4>;

  // Registers the object in the array's board table under its slot for its lifetime; status 16,
  // agent version unknown. The tables must outlive the object.
  CusrCHN(board::ArrayTables& rArray, std::uint32_t ulIndex);
  ~CusrCHN();
  CusrCHN(const CusrCHN&) = delete;
  CusrCHN& operator=(const CusrCHN&) = delete;

  // True unless the maintenance PC runs on a discharging battery (no power data means AC).
  static bool GetBatteryStatus();

  // ---- This board's status ----
  std::uint32_t GetIndex() const { return m_ulIndex; }
  board::ArrayTables& Array() const { return m_rArray; }
  // The array's location name of this board's slot.
  std::string LocationName() const;
  std::int32_t GetStatus() const { return m_nStatus.load(); }
  // Stores the status and tells the array's observers.
  void SetStatus(std::int32_t nStatus);
  std::string GetStatusText() const { return StatusText(GetStatus()); }
  // The trace text of a status: its name, or "Invalid status : %d".
  static std::string StatusText(std::int32_t nStatus);
  // The plain word of a status ("ACTIVE"); "-" for a status without one (no board, 16, 17).
  static std::string StatusWord(std::int32_t nStatus);
  bool IsExistLinux() const;
  bool IsOsRunning() const { return board::IsOsRunning(GetStatus()); }
  // Copies this slot's array status into the object (17 asks the board's node state).
  void SetChnStatusKestrel();
  // The same, only when the board lock can be taken at once.
  void SetChnStatusKestrelEX();
  // Waits for a status check that began after the call (bounded; released when the poller
  // stops), then copies the status and tells the array's observers. False when the wait ran out.
  bool UpdateMyStatus();
  NodeState GetNodeStatus() const;
  NodeState GetNodeStatusByPs() const;
  // The node state a process list gives: 5 with a line starting "ha_", else 4.
  static NodeState NodeStateOfPs(const std::string& strOutput);

  // Time of the last successful status read (wall clock; 0 never) and the stage text of the
  // operation that drives the board (empty when none); the main window shows both.
  std::uint64_t LastSeenMs() const { return m_ullLastSeenMs.load(); }
  std::string StageText() const;
  void SetStageText(std::string strStage);

  // ---- Identity, lock and agent connection ----
  board::BoardLock& TimerMutex() { return m_cTimerMutex; }
  int GetAgentPort() const { return m_nAgentPort; }
  void SetAgentPort(int nPort) { m_nAgentPort = nPort; }
  // The agent connection, or null. It is created at start-up, or later by the installation of
  // a board that had none while the poller and the UI read it: a reader gets a share of it,
  // which stays valid for its exchange.
  std::shared_ptr<const CusrNasManager> NasManager() const;
  std::array<std::uint8_t, 6> MacAddress() const { return m_ucMacAddress; }
  bool InitManager(std::uint32_t* pulError);
  // What stopped a board's agent access from being prepared.
  enum class AgentAccess { Ready, NoMacAddress, NoConnection };
  // A fitted board's access as the main window prepares it: the MAC address, the agent port
  // from the settings (the board's location-name section, else [MainService] Port) and the
  // agent connection. *pulError gets the failing call's error.
  AgentAccess PrepareAgentAccess(const std::filesystem::path& settingsFile, std::uint32_t* pulError);
  bool GetMacAddress(std::uint32_t* pulError);
  std::uint32_t StoredAgentVersion() const { return m_ulAgentVersion.load(); }
  void ResetAgentVersion() { m_ulAgentVersion.store(kUnknownAgentVersion); }
  bool IsNasAgentNewer();
  std::uint32_t MpBlockadeFlag() const { return m_ulMpBlockadeFlag.load(); }

  // ---- Agent operations ----
  // The last exchange this thread ran through any board object: code, failed step and cause
  // (board::FailureText words it). Per thread, so a caller that got a failing code reads the
  // failure of its own call while the poller and other workers run theirs.
  static board::ExchangeResult LastExchange();
  std::uint32_t GetAgentVersion() const;
  std::uint32_t GetCHNName(std::string* pstrName) const;
  std::uint32_t SetCHNName(const std::string& strName) const;
  std::uint32_t GetNetworkSetting(std::uint32_t ulInterface, std::string* pstrIPAddress, std::string* pstrNetmask,
                                  std::string* pstrGateway) const;
  std::uint32_t SetNetworkSetting0301(std::uint32_t ulInterface, const std::string& strIPAddress,
                                      const std::string& strNetmask, std::uint32_t ulWaitFlag) const;
  std::uint32_t GetNTPSetting(std::vector<std::string>* pServers) const;
  std::uint32_t SetNTPSetting(const std::vector<std::string>& servers) const;
  std::uint32_t GetMTUInfo(std::uint32_t ulInterface, std::uint32_t* pulMTU) const;
  std::uint32_t SetMTUInfo(std::uint32_t ulInterface, std::uint32_t ulMTU) const;
  std::uint32_t GetRoutingList(std::vector<agent::RouteTexts>* pRoutes) const;
  std::uint32_t SetNewRoute(const agent::NewRoute& route) const;
  std::uint32_t DeleteRoutingInfo(const agent::RouteTexts& route) const;
  std::uint32_t GetClusterStatus(std::uint32_t* pulStatus) const;
  std::uint32_t GetClusterStatusEx(std::uint32_t* pulStatus) const;
  std::uint32_t GetClusterDefinedStatus(std::uint32_t* pulStatus) const;
  // Empties and refills the product list; an empty list without an exchange when the NAS OS is
  // not running. Null, with *pulError set, when a step fails.
  const std::vector<agent::ProductTexts>* GetInstPPInfo(std::uint32_t* pulError);
  // The agent's product list whatever the board's status says (the exchange of GetInstPPInfo).
  std::uint32_t GetProductList(std::vector<agent::ProductTexts>* pProducts) const;
  std::uint32_t InstallCommonPP(const std::string& strFileName, std::uint32_t ulTimeoutSec, std::uint32_t* pulResult,
                                bool bNasOsWording = false) const;
  std::uint32_t UninstallPP(std::uint32_t ulPPCode, const std::string& strName) const;
  std::uint32_t SutInstallCheck(const std::string& strFileName, std::uint32_t* pulFlags, std::uint32_t* pulReboot,
                                std::uint32_t* pulResult) const;
  // 1 when the product needs a restart, 0 when not, -1 when the check failed.
  int IsRebootNecessary(const std::string& strFileName) const;
  std::uint32_t GetOsLuBackupInfo(agent::LuBackupInfo* pInfo) const;
  std::uint32_t GetSharedLuBackupInfo(agent::LuBackupInfo* pInfo) const;
  std::uint32_t GetSystemLuBackupInfo(agent::SystemLuBackupInfo* pInfo) const;
  std::uint32_t RestoreNasOsLU() const;
  std::uint32_t RestoreNasSharedLU() const;
  std::uint32_t RestoreNasSystemLU() const;
  std::uint32_t ExtractNasSystemLU(const std::string& strFileName) const;
  std::uint32_t GetNasOsLuRestoreStatus(std::uint32_t* pulStatus) const;
  std::uint32_t GetNasSharedLuRestoreStatus(std::uint32_t* pulStatus) const;
  std::uint32_t GetNasSystemLuRestoreStatus(std::uint32_t* pulStatus) const;
  std::uint32_t GetNasSystemLuExtractStatus(std::uint32_t* pulStatus) const;
  std::uint32_t StopCluster() const;
  std::uint32_t GetClusterStopStatus(std::uint32_t* pulStatus) const;
  std::uint32_t InitClusterConfig() const;
  std::uint32_t GetClusterInitStatus(std::uint32_t* pulStatus) const;
  std::uint32_t ExecCommList(const std::vector<std::string>& commands, std::vector<CommandResult>* pResults) const;

  // ---- Power operations through the array (worker threads) ----
  // Each sends its command for this board and, except where noted, watches the board until it
  // reports the end; pDialog (may be null) shows the interim status word. True on success;
  // *pulError gets the array's error or the operation's own code (22 MP blockade, 23 a CHA
  // reset or NAS dump runs on the board).
  bool StartShutdown(board::PowerDialog* pDialog, std::uint32_t* pulError);
  bool StartReboot(board::PowerDialog* pDialog, std::uint32_t* pulError);
  bool StartBoot(board::PowerDialog* pDialog, const std::string& strBootOpt, std::uint32_t* pulError);
  // The NNC reset: forced blockade, then forced restore, then the settle time.
  bool StartP4Reset(board::PowerDialog* pDialog, std::uint32_t* pulError);
  // Boot (nMode 1) or reboot (any other mode) for the reboot of several boards: no dialog, no
  // messages; *pulError also gets 9 (time-out, or the board's own time-out) or 21 (a progress
  // code that does not fit the mode).
  bool StartBootReboot(int nMode, std::uint32_t* pulError);
  // Has the board boot from the network for an installation (install information, then the boot
  // command). Paced, without the board lock; not watched. True when both were accepted.
  bool StartInstallBoot(std::uint32_t* pulError);
  // Cancels a running hibernation dump: StartP4Reset without a dialog.
  bool CancelHibernationDump(std::uint32_t* pulError);
  // Starts a hibernation dump; true when the array accepted it.
  bool StartDump(std::uint32_t* pulError);
  // The NAS OS installation command. ulInstallType 0 or 2 is sent as it is, any other value as
  // 1; ulInitStatus must be 0, 1, 0x10 or 0x11 (else error 4). A request for a new inherit value
  // is repeated at most kInheritRetryLimit times, then the call fails with 0xFFFFFFFF.
  bool InstallOS(const board::ProductRecord& record, std::uint32_t ulInstallType, std::uint32_t ulInitStatus,
                 std::uint32_t* pulError);
  static constexpr int kInheritRetryLimit = 30;
  // One reading of the installation progress: *pstrProgress gets the text ("  5%", "Failed(..)").
  // True when the installation reached an end state (*pbFailed tells how), false while it runs.
  // A time-out of the array is a running state unless bTimeoutFatal. *pulCode gets the array's
  // error, or the progress word of a failed installation.
  bool GetOSInstallStatus(std::string* pstrProgress, bool bTimeoutFatal, bool* pbFailed, std::uint32_t* pulCode);
  // The board's dump information under the board lock: status word, date ("YYYYMMDDhhmmss") and
  // size in MB. A failure shows the catalogue's message for the array's error.
  bool GetDumpInfo(std::uint32_t* pulStatus, std::string* pstrDate, std::uint32_t* pulSize,
                   std::uint32_t* pulError);
  // Has the board send its last dump to the maintenance PC. Paced; the board lock is the caller's.
  bool DownloadDump(std::uint32_t* pulError);
  // The download's status word and the file name the board reports. Paced, never retried.
  bool GetDownloadDumpStatus(std::uint32_t* pulStatus, std::string* pstrFile, std::uint32_t* pulError);
  // Set while a download the tool started may still run (its wait ran out): no new dump is taken
  // until a poll sees the download end.
  bool IsDumpDownloading() const { return m_bDumpDownloading.load(); }
  void SetDumpDownloading(bool bOn) { m_bDumpDownloading.store(bOn); }
  // 1 while StartP4Reset, or StartDump, runs on the board.
  std::uint32_t ChaResetFlag() const { return m_ulChaResetFlag.load(); }
  std::uint32_t NasDumpFlag() const { return m_ulNasDumpFlag.load(); }

  // Installation hooks over the product list of the last GetInstPPInfo and the board's NNC type:
  // 1 when the media product may be installed, 0 for a downgrade or the same version; 1 when
  // every (name, version) suits this board, else 0.
  int CompareProductVersion(const std::string& strName, const std::string& strVersion) const;
  int CheckNNCType(const std::vector<std::pair<std::string, std::string>>& products) const;

 private:
  friend class board::ArrayTables;  // the status refresh stamps the last read and the MP blockade
  using Step = std::function<std::uint32_t(const CusrNasManager&, int nSocket)>;
  // One exchange through the board's agent connection (board::RunExchange), kept as the thread's
  // LastExchange; code 5 without a connection.
  board::ExchangeResult Exchange(bool bQuiet, const char* pszName, const Step& request, const Step& reply) const;
  // The cluster status or the cluster's defined status, traced "Cluster Status CHN[%d] = 0x%08x".
  std::uint32_t ClusterExchange(const char* pszMethod, bool bQuiet, bool bDefined, std::uint32_t* pulStatus) const;
  // A Stat reply with its progress traces ("Processing <what>" / "Finish <what>").
  std::uint32_t ProgressExchange(const char* pszName, const char* pszWhat,
                                 std::uint32_t (CusrNasManager::*request)(int) const,
                                 std::uint32_t (CusrNasManager::*reply)(int, std::uint32_t*) const,
                                 std::uint32_t* pulStatus) const;

  board::ArrayTables& m_rArray;
  std::atomic<std::uint32_t> m_ulAgentVersion{kUnknownAgentVersion};
  int m_nAgentPort;
  mutable std::mutex m_managerMutex;  // guards m_pcNasManager
  std::shared_ptr<const CusrNasManager> m_pcNasManager;
  board::BoardLock m_cTimerMutex;
  std::array<std::uint8_t, 6> m_ucMacAddress{};
  std::atomic<std::uint32_t> m_ulChaResetFlag{0};
  std::atomic<std::uint32_t> m_ulNasDumpFlag{0};
  std::atomic<std::uint32_t> m_ulMpBlockadeFlag{0};
  std::atomic<bool> m_bDumpDownloading{false};
  std::uint32_t m_ulIndex;
  std::atomic<std::int32_t> m_nStatus{board::CHN_STATUS_CREATED};
  std::vector<agent::ProductTexts> m_lstPPInfo;
  std::atomic<std::uint64_t> m_ullLastSeenMs{0};
  mutable std::mutex m_stageMutex;
  std::string m_strStage;
};
