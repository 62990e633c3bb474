// The main window of the setup tool, a view of the array session: it starts the session, lays
// the window out for the array model, keeps the board captions and the function buttons up to
// date, opens the function dialogs and closes the tool in order.
//
// UI thread only, except the board::MainDialogLink and board::BoardObserver calls, which the
// poller and the operation workers make: they only post to the UI thread. While the tool closes
// (exiting flag) nothing re-enables a button.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "agent/AgentTypes.h"
#include "board/CusrCHN.h"
#include "board/MainDialogLink.h"
#include "dialogs/BoardFunctions.h"
#include "dialogs/CdlgDownloadDump.h"
#include "dialogs/RecoveryFunctions.h"
#include "dialogs/MainButtonPlan.h"
#include "services/NetbootServices.h"
#include "session/ArraySession.h"
#include "ui/Dialog.h"

class CdlgMain : public kelp::ui::Dialog, public board::MainDialogLink, public board::BoardObserver {
 public:
  static constexpr std::uint32_t kNoBoard = mainwindow::kNoBoard;
  static constexpr unsigned kAgentFinished = 0x0400;  // the poller's end message (WM_USER)
  static constexpr unsigned kAboutCommand = 0x10;     // system menu item of the About box
  // The busy codes, as the button rules know them.
  static constexpr int kBusyProgramInstall = mainwindow::kBusyProgramInstall;
  static constexpr int kBusyRouting = mainwindow::kBusyRouting;
  static constexpr int kBusyReset = mainwindow::kBusyReset;
  static constexpr int kBusyNasDump = mainwindow::kBusyNasDump;
  static constexpr int kBusyBootManagement = mainwindow::kBusyBootManagement;
  static constexpr int kPublicBusyReferConfig = mainwindow::kPublicBusyReferConfig;
  static constexpr int kPublicBusyInherit = mainwindow::kPublicBusyInherit;

  // The session must outlive the window; the window starts it in OnInitDialog.
  CdlgMain(kelp::ui::Host& host, session::ArraySession& rSession, std::string strUnitName);
  ~CdlgMain() override;

  // ---- board::MainDialogLink and board::BoardObserver (any thread) ----
  void BoardChanged(std::uint32_t ulSlot) override;
  bool MarkNewerAgent() override;
  bool PostAgentFinished() override;
  bool WaitPumping(const std::function<bool()>& done, plat::Millis timeout) override;

  // ---- start-up and close ----
  // Lays out the main window for the array model word; false for a word it does not know.
  bool OnInitDialogW(std::uint32_t ulModel);
  bool CreateChnObject();
  void CreateAllDialog();
  std::uint32_t StartAgent();
  // Message 3530, then the orderly close.
  void ExitSVP();
  void OnMainClose();
  void IsEnableCloseBtn();

  // ---- board buttons and function buttons ----
  void SetCHNCaption(std::uint32_t ulSlot);
  void OnCHNButtonClicked(int nId);
  void SetEnableButton(std::uint32_t ulSlot);
  void SetPublicFunctionButton();
  void SetDisableALLButton();
  bool IsAnyWindowDisplayed() const;
  bool IsFunctionDisable();
  // The board of [MainService] Target; with -1 (also for a value outside 0..15, which start-up
  // read as -1 and which is traced here) the running board with the greatest agent version.
  CusrCHN* GetLatestCHN() const { return m_rSession.GetLatestCHN(); }

  // ---- function handlers ----
  void OnProgramInstall();
  void OnSetting();
  void OnP4Reset();
  void OnHibernationDump();
  void OnRestoreOsLu();
  void OnDownloadDump();
  void OnRestoreCmLu();
  bool IsRestoreMode() const { return m_recovery.IsRestoreCmLu() || m_recovery.IsRestoreSystemLu(); }
  void OnConfiguration();
  void OnRestoreSystemLu();
  void OnInheritInstall();
  // The hidden "Refer Configuration" button: enters the mode, or leaves it when on.
  void OnReferConfig();
  void LeaveReferConfig();
  bool IsReferConfig() const { return m_bReferConfig; }
  // A double-click on a board button: the board's boot management dialog (busy code 6).
  void OnBootManagement(std::uint32_t ulSlot);
  // The NNC reset of a board (dialogs::BoardFunctions::Reset), unless the tool closes.
  void ResetBoard(std::uint32_t ulSlot, int nOwnerCode);
  CdlgBootManagement* BootManagement(std::uint32_t ulSlot) const { return m_functions.BootManagement(ulSlot); }
  services::NetbootServices* Services() const { return m_rSession.Services(); }
  const std::filesystem::path& SettingsFile() const { return m_rSession.SettingsFile(); }
  session::ArraySession& Session() const { return m_rSession; }
  board::ArrayTables& Array() const { return m_rSession.Array(); }
  CdlgHibernationDump* HibernationDump(std::uint32_t ulSlot) const { return m_functions.HibernationDump(ulSlot); }
  CdlgNetworkSetting* NetworkSetting(std::uint32_t ulSlot) const { return m_functions.NetworkSetting(ulSlot); }
  // The installation medium's state as the media catalogue leaves it.
  void SetInstallDeviceState(bool bFailed, bool bMediaRootIsMP);

  // Busy codes of a board slot or of the array; 0 is idle.
  int BoardBusy(std::uint32_t ulSlot) const { return m_rSession.BoardBusy(ulSlot); }
  void SetBoardBusy(std::uint32_t ulSlot, int nCode);
  int PublicBusy() const { return m_rSession.PublicBusy(); }
  void SetPublicBusy(int nCode);

  std::uint32_t Selected() const { return m_uSelected; }
  bool IsExiting() const { return m_bExiting.load(); }
  bool IsNewerAgent() const { return m_rSession.IsNewerAgent(); }
  bool InstallDeviceFailed() const { return m_rSession.InstallDeviceFailed(); }
  CusrCHN* Board(std::uint32_t ulSlot) const { return m_rSession.Board(ulSlot); }
  // True once OnInitDialog completed: the main window runs.
  bool StartedUp() const { return m_bStartedUp; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  // Esc never closes the main window.
  void OnCancel() override {}
  bool OnKey(const kelp::ui::KeyChord& key) override;
  void OnUserMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  // 0x10 (low four bits ignored) opens the About box.
  void OnSysCommand(unsigned nId) override;

 private:
  // The installation medium and the network-boot services (not set up yet: traced, and the
  // functions that need them stay refused).
  void SetUpInstallDevice();
  // A board's or the public busy code changed: the script host hears of it, the buttons follow.
  void BusyChanged(std::uint32_t ulSlot);
  // A board dialog gave its board back (busy code nCode): the board's caption follows.
  void BoardDialogClosed(std::uint32_t ulSlot, int nCode);
  // The configuration dialog, the install device and the services' restart.
  void RunConfiguration();
  // What the button rules read, with the rules applied for board ulSlot (kNoBoard: none).
  mainwindow::MainSnapshot Snapshot(std::uint32_t ulSlot) const;
  // The enabled state each rule wants, applied at once so that a button changes only when its
  // state really does.
  void ApplyPlan(const mainwindow::ButtonPlan& plan);
  void SetFunctionButtonsEnabled(bool bEnable);
  void ShowSplash(bool bShow);

  session::ArraySession& m_rSession;
  std::string m_strUnitName;
  std::unique_ptr<kelp::ui::Dialog> m_pdlgSplash;
  dialogs::BoardFunctions m_functions;
  dialogs::RecoveryFunctions m_recovery;
  std::uint32_t m_uSelected = kNoBoard;
  bool m_bReferConfig = false;
  std::atomic<bool> m_bExiting{false};
  bool m_bAgentFinished = false;
  bool m_bStartedUp = false;
};
