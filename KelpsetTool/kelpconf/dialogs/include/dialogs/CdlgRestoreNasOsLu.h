// Recovery of one board's NAS OS LU from its backup. Modal, run by the main window for the
// selected board; the restore and its polls run on the dialog's worker.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "dialogs/RestoreDialogBase.h"

class CusrCHN;

class CdlgRestoreNasOsLu : public recovery::RestoreDialogBase {
 public:
  CdlgRestoreNasOsLu(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& board, std::string strName,
                     std::uint32_t ulStatus, std::string strDate, std::filesystem::path settingsFile);
  ~CdlgRestoreNasOsLu() override;

  void SetShowStatus(std::uint32_t ulStatus);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void WorkFinished() override;
  void SetFieldCaption(bool) override {}

 private:
  void OnRestore();
  // On the worker: the restore and its polls; 0, the failing call's code, or 9 at the limit.
  std::uint32_t StartRestore();

  CusrCHN& m_board;
  const std::string m_strName;
  std::uint32_t m_ulStatus;  // UI thread
  const std::string m_strDate;
  const std::filesystem::path m_settingsFile;
  std::uint32_t m_ulResult = 0;
};
