// The configuration dialog: chooses the folder that holds a copy of the installation medium.
//
// Run modally by the main window. IDOK: a folder other than the current media root was chosen
// (GetMediaRoot); the caller then records it with SetInstallDevice and restarts the services.
// IDCANCEL: nothing changed (cancelled, or the same folder chosen again).
#pragma once

#include <functional>
#include <string>

#include "ui/Dialog.h"

class CdlgConfiguration : public kelp::ui::Dialog {
 public:
  // strMediaRoot: the current media root. isFunctionDisable: the main window's check that
  // another function runs; while it holds, OK changes nothing.
  CdlgConfiguration(kelp::ui::Host& host, std::string strMediaRoot, std::function<bool()> isFunctionDisable);

  // The media root: after IDOK the folder chosen.
  const std::string& GetMediaRoot() const { return m_strMediaRoot; }

  // The folder browser of the host, each choice checked by ChkSelectedFolder.
  void OnBrowseButton();
  // True when the folder may hold the medium: it lies on a local file system (not one served
  // over the network, not a kernel pseudo file system) and has an "MP" entry.
  static bool ChkSelectedFolder(const std::string& strFolder);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  // A folder put into the folder control (script mode sets it there instead of browsing).
  void OnFolderSet();
  void TakeFolder(const std::string& strFolder);

  std::string m_strMediaRoot;
  std::string m_strSelected;
  std::function<bool()> m_isFunctionDisable;
};
