// Program installation on one board: the products installed on the board (Uninstall for an
// optional one), the products of the installation medium with check boxes, the LU
// initialisation boxes and "Forcibly install". Install runs the checks and questions, then the
// confirmation and the progress dialog. One modeless dialog per board slot, created with the
// main window; the board carries busy code 1 while it is open or its installation runs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "agent/AgentTypes.h"
#include "install/InstallRoutine.h"
#include "install/InstallRules.h"
#include "media/CusrMedia.h"
#include "dialogs/BoardDialog.h"

class CdlgInstallProgress;

class CdlgProgramInstall : public dialogs::BoardDialog {
 public:
  CdlgProgramInstall(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed = {});
  ~CdlgProgramInstall() override;

  // Rebuilds the catalogue of the medium and shows the dialog for the board.
  void Open(const media::MediaLocation& location);
  // The dialog of this board that the user works with: the progress dialog while it is shown
  // (the dialog is working meanwhile).
  void BringForward();

 private:
  // Empties the installed list and reads the board's products into it on a worker; Install and
  // Uninstall are off meanwhile.
  void SetInstalledList();
  // The board's products as the worker read them; bRead false when a step failed (ulError).
  struct InstalledRead {
    std::vector<agent::ProductTexts> products;
    std::uint32_t ulError = 0;
    bool bRead = false;
  };
  void InstalledListRead(const InstalledRead& read);
  void SetProductListEx();
  void OnClickInstalledList();
  // The uninstallation runs on a worker; the installed list is read again after it.
  void OnUninstall();
  // The checked rows of the media list, each by the identity of its catalogue record.
  install::Selection GetSelectedPPInfo();
  // What Install reads from the dialog before its worker starts.
  struct InstallChoice {
    install::Selection selection;
    bool bForcibly = false;
    std::uint32_t ulInit = 0;  // the LU initialisation boxes
  };
  // What an installation holds before anything is sent to the board: the LU registration and the
  // board's installing mark. Given back when the hold goes unless kept, so that a result dropped
  // because the dialog closed never leaves them held.
  struct InstallHold {
    InstallHold(board::ArrayTables& rTables, std::uint32_t ulBoardSlot) : rArray(rTables), ulSlot(ulBoardSlot) {}
    ~InstallHold();
    InstallHold(const InstallHold&) = delete;
    InstallHold& operator=(const InstallHold&) = delete;
    void Register(std::uint32_t ulFlags);
    void Keep() { bKept = true; }
    board::ArrayTables& rArray;
    std::uint32_t ulSlot;
    std::uint32_t ulInit = 0;
    bool bInstalling = false;
    bool bKept = false;
  };
  // What the worker's checks and questions leave: the request when the installation goes on.
  struct PreparedInstall {
    std::optional<install::InstallRequest> request;
    std::shared_ptr<InstallHold> hold;
    bool bMacFailed = false;  // the MAC address could not be read: the NAS OS boxes go off
  };
  bool IsInstallNecessary(install::ProductList* pList, std::size_t* pnOsCount, bool bForcibly) const;
  // Install: the choice is read from the dialog, then the checks, exchanges and questions run on
  // a worker (PrepareInstall); the confirmation, the MAC refresh (a worker again) and the
  // progress dialog follow on the UI thread.
  void OnInstall();
  PreparedInstall PrepareInstall(const InstallChoice& choice) const;
  void InstallPrepared(PreparedInstall prepared);
  void StartProgress(PreparedInstall prepared);
  // The NAS OS options and questions; false stops. ulInit holds the LU boxes; the flags the
  // installer gets are registered on hold, *pulType gets the installer's kind.
  bool AskNasOsOptions(std::uint32_t ulInit, InstallHold& hold, std::uint32_t* pulType, bool* pbMacFailed) const;
  void ProgressClosed();

  std::unique_ptr<CusrMedia> m_pcMedia;
  std::vector<media::CatalogueEntry> m_mediaRows;  // the media list's rows, in order
  std::vector<agent::ProductTexts> m_installed;
  bool m_bInstallAfterRead = false;  // Install's state before the installed list's read
  std::unique_ptr<CdlgInstallProgress> m_pdlgProgress;
};
