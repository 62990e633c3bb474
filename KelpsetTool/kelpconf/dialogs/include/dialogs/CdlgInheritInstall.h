// The inherit installation: the NAS OS of the medium and every product on every board of the
// array at once, keeping the data of the previous system. The first board runs alone and
// initialises the LUs; the others then run in parallel, one worker per board, started a second
// apart. At the end a result table tells, per board, the stage reached, the result, its reason
// and the time taken; "Retry failed boards" runs exactly the failed boards again.
//
// Threads: the checks of the boards run on a dialog worker (they wait for a status check of the
// poller) while the caption says so and Close waits; one control thread (a dialog worker)
// starts and waits for the board threads; every UI effect is posted to the UI thread. When a
// board outlives the wait limit the installation is given up: the boards are told to stop,
// Close stays disabled until every thread has ended, and the installation finishes as failed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "install/InstallRoutine.h"
#include "media/CusrMedia.h"
#include "ui/Dialog.h"

class CdlgMain;

class CdlgInheritInstall : public kelp::ui::Dialog {
 public:
  // Caption modes.
  static constexpr int kModeReady = 0;
  static constexpr int kModeInstalling = 1;
  static constexpr int kModeFinished = 2;
  static constexpr int kModeFailed = 3;
  static constexpr int kModeChecking = 4;

  CdlgInheritInstall(kelp::ui::Host& host, CdlgMain& main, media::MediaLocation location);
  ~CdlgInheritInstall() override;

  // What one board installs: everything, or on a retry after a product failed only the failed
  // products (its NAS OS runs by then).
  struct BoardPlan {
    std::uint32_t ulSlot = 0;
    install::ProductList products;
    std::size_t nOsCount = 0;
  };
  // The result of one board's run, as the table shows it.
  struct BoardResult {
    BoardPlan plan;
    bool bStarted = false;
    install::InstallOutcome outcome;
    plat::Millis elapsed{0};
  };

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  struct BoardRun;
  class BoardSink;

  void SetProductList();
  void OnInstall();
  void OnRetry();
  // The boards that get the NAS OS, checked as an inherit installation needs them; false after a
  // message. Runs on a worker: it waits for the status poller.
  bool CheckInstallNode(const std::vector<BoardPlan>& plans);
  // Checks the boards on a worker; then, on the UI thread, the questions of a first installation
  // (bAsk) and the installation.
  void StartChecking(std::vector<BoardPlan> plans, bool bFirstGetsLu, bool bAsk);
  void ChecksDone(std::vector<BoardPlan> plans, bool bFirstGetsLu, bool bAsk, bool bPassed);
  // Back to the state before Install or Retry: the caption of m_nIdleMode and its buttons.
  void SetIdle();
  void StartInstalling(std::vector<BoardPlan> plans, bool bFirstGetsLu);
  void ControlThread(std::vector<BoardPlan> plans, bool bFirstGetsLu);
  void InstallThread(BoardRun& run);
  // Waits for the runs until deadline; false when one still runs.
  bool WaitRuns(const std::vector<std::unique_ptr<BoardRun>>& runs, std::size_t nFrom, plat::TimePoint deadline);
  void SetInstallList(const std::vector<BoardPlan>& plans);
  void SetFieldCaption(int nMode);
  void ShowResults(const std::vector<BoardResult>& results);
  // The table, the caption and the closing messages; then Close and the retry are possible.
  void Finish(const std::vector<BoardResult>& results, bool bSucceeded, bool bRestart);

  CdlgMain& m_main;
  media::MediaLocation m_location;
  std::unique_ptr<CusrMedia> m_pcMedia;
  install::ProductList m_products;
  std::size_t m_nOsCount = 0;
  std::uint32_t m_ulFirstSlot = 0;             // the board that initialises the LUs
  std::vector<BoardPlan> m_retry;              // what a retry runs (UI thread)
  int m_nIdleMode = kModeReady;                // the caption mode between runs (UI thread)
  bool m_bWorking = false;                     // checking or installing (UI thread)
  std::atomic<bool> m_bAbandon{false};
  std::mutex m_mutex;
  std::condition_variable m_done;
};
