// Recovery of every NAS system LU (Cluster Management LU and the NAS OS LUs) from the backup data
// uploaded to one board: the data is expanded on that board, then every board restores its LUs;
// "Reboot all" restarts every NAS OS afterwards. Modal, run by the main window in its
// restore-system-LU mode.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "dialogs/RestoreDialogBase.h"

class CusrCHN;

class CdlgRestoreNasSystemLu : public recovery::RestoreDialogBase {
 public:
  struct Backup {
    std::uint32_t ulStatus = 0;  // recovery::SystemLuStatus
    std::string strFileName;     // the uploaded backup data
    std::string strDate;         // its download date
  };
  CdlgRestoreNasSystemLu(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& board, Backup backup,
                         std::filesystem::path settingsFile);
  ~CdlgRestoreNasSystemLu() override;

  void SetShowStatus(std::uint32_t ulStatus);
  // The nodes' states allow the recovery: every occupied cluster has both nodes running and no
  // node is ACTIVE. 0, or the message that refuses it (4027, 4030).
  static std::uint32_t CheckNodes(const std::array<std::int32_t, CusrCHN::kSlots>& statuses);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void WorkFinished() override;
  void SetFieldCaption(bool bRebooting) override;

 private:
  void OnRestore();
  // On the worker: the extraction, then the restore on every board. True when every board
  // recovered.
  bool ExecRestore();
  bool StartRestoreSystemLU();
  void ShowButtons();

  CusrCHN& m_board;
  Backup m_backup;
  std::uint32_t m_ulStatus;  // UI thread
  const std::filesystem::path m_settingsFile;
  bool m_bSucceeded = false;
};
