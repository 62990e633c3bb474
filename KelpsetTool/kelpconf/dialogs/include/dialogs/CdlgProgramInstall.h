// Program installation on one board: the products installed on the board (Uninstall for an
// optional one), the products of the installation medium with check boxes, the LU
// initialisation boxes and "Forcibly install". Install runs the checks and questions, then the
// confirmation and the progress dialog. One modeless dialog per board slot, created with the
// main window; the board carries busy code 1 while it is open or its installation runs.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "agent/AgentTypes.h"
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
  bool IsInstallNecessary(install::ProductList* pList, std::size_t* pnOsCount);
  void OnInstall();
  // The NAS OS options and questions; false stops. *pulInit and *pulType get the installer's
  // flags and kind, *pbRegistered whether the flags were registered.
  bool AskNasOsOptions(std::uint32_t* pulInit, std::uint32_t* pulType, bool* pbRegistered);
  void ProgressClosed();

  std::unique_ptr<CusrMedia> m_pcMedia;
  std::vector<media::CatalogueEntry> m_mediaRows;  // the media list's rows, in order
  std::vector<agent::ProductTexts> m_installed;
  bool m_bInstallAfterRead = false;  // Install's state before the installed list's read
  std::unique_ptr<CdlgInstallProgress> m_pdlgProgress;
};
