// Recovery of the NAS Cluster Management LU from its backup: the clusters are stopped, the LU is
// restored on one board and every board's cluster definition is removed, one phase after the
// other; then "Reboot all" restarts every NAS OS. Modeless, shown by the main window in its
// restore-CM-LU mode, which the dialog ends when it is closed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/RestoreDialogBase.h"

class CusrCHN;

class CdlgRestoreNasCmLu : public recovery::RestoreDialogBase {
 public:
  // onClosed: the dialog was closed (the main window leaves its mode).
  CdlgRestoreNasCmLu(kelp::ui::Host& host, session::ArraySession& rSession, std::function<void()> onClosed);
  ~CdlgRestoreNasCmLu() override;

  // Before showing: the board the recovery runs on and its backup information.
  void Prepare(CusrCHN& board, std::uint32_t ulStatus, const std::string& strDate,
               const std::filesystem::path& settingsFile);
  void SetShowStatus(std::uint32_t ulStatus);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void WorkFinished() override;
  void SetFieldCaption(bool bRebooting) override;

 private:
  // The questions, then, on a worker, the running boards' agent versions; only Close meanwhile.
  void OnRestore();
  struct RunningBoard {
    const CusrCHN* pBoard;
    std::string strName;
  };
  // The names of the running boards whose agent is older than 02-00, joined with ",". Worker
  // thread.
  static std::string IsExistV01(const std::vector<RunningBoard>& running);
  // The restore goes on when no running board's agent is too old.
  void AgentsChecked(const std::string& strOld);
  // The three phases on the worker; 0, or the failing phase's code.
  std::uint32_t StartRestore();
  std::uint32_t StartClusterStopping();
  std::uint32_t StartRestoreCmLU();
  std::uint32_t StartClusterInitialize();
  // Message 3640 with the three steps' texts.
  void ErrorMessage(const std::string& strStep1, const std::string& strStep2, const std::string& strStep3) const;
  // The success message: 4022 with the boards whose settings must be made again, else 3622.
  void ShowRecovered() const;
  // Requests the operation of every running board of the slots [first, last); false (with
  // *pulSlot and *pulCode) at the first refusal.
  bool RequestBoards(std::uint32_t ulFirst, std::uint32_t ulLast, std::uint32_t (CusrCHN::*request)() const,
                     const char* pszFailure, std::uint32_t* pulSlot, std::uint32_t* pulCode);
  void ShowButtons();

  std::function<void()> m_onClosed;
  CusrCHN* m_pBoard = nullptr;
  std::uint32_t m_ulStatus = recovery::kLuNormal;  // UI thread, and the worker while it runs
  std::string m_strDate;
  std::filesystem::path m_settingsFile;
  std::uint32_t m_ulResult = 0;  // the last run's result
  recovery::BoardRuns m_runs{};  // the worker's, read on the UI thread once it ended
};
