// The inherit installation: the NAS OS of the medium and every product on every board of the
// array at once, keeping the data of the previous system. The dialog is the view of an
// install::InheritJob: it checks the boards, asks, starts the job on its worker and shows the
// job's reports. At the end a result table tells, per board, the stage reached, the result, its
// reason and the time taken; "Retry failed boards" runs exactly the failed boards again.
//
// Threads: the checks of the boards run on a dialog worker (they wait for a status check of the
// poller) while the caption says so and Close waits; the job runs on a dialog worker and every
// report of it is posted to the UI thread. Close stays disabled until the job has ended.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "install/InheritJob.h"
#include "media/CusrMedia.h"
#include "session/ArraySession.h"
#include "ui/Dialog.h"


class CdlgInheritInstall : public kelp::ui::Dialog {
 public:
  // Caption modes.
  static constexpr int kModeReady = 0;
  static constexpr int kModeInstalling = 1;
  static constexpr int kModeFinished = 2;
  static constexpr int kModeFailed = 3;
  static constexpr int kModeChecking = 4;

  CdlgInheritInstall(kelp::ui::Host& host, session::ArraySession& rSession, media::MediaLocation location);
  ~CdlgInheritInstall() override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  class ViewSink;

  void SetProductList();
  void OnInstall();
  void OnRetry();
  // The boards that get the NAS OS, checked as an inherit installation needs them; false after a
  // message. Runs on a worker: it waits for the status poller.
  bool CheckInstallNode(const std::vector<install::BoardPlan>& plans);
  // Checks the boards on a worker; then, on the UI thread, the questions of a first installation
  // (bAsk) and the installation.
  void StartChecking(std::vector<install::BoardPlan> plans, bool bFirstGetsLu, bool bAsk);
  void ChecksDone(std::vector<install::BoardPlan> plans, bool bFirstGetsLu, bool bAsk, bool bPassed);
  // Back to the state before Install or Retry: the caption of m_nIdleMode and its buttons.
  void SetIdle();
  void StartInstalling(std::vector<install::BoardPlan> plans, bool bFirstGetsLu);
  void SetInstallList(const std::vector<install::BoardPlan>& plans);
  void SetFieldCaption(int nMode);
  void ShowResults(const std::vector<install::BoardResult>& results);
  // The table, the caption and the closing messages; then Close and the retry are possible.
  void Finish(const std::vector<install::BoardResult>& results, bool bSucceeded, bool bRestart);

  session::ArraySession& m_rSession;
  media::MediaLocation m_location;
  std::unique_ptr<CusrMedia> m_pcMedia;
  install::ProductList m_products;
  std::size_t m_nOsCount = 0;
  std::uint32_t m_ulFirstSlot = 0;          // the board that initialises the LUs
  std::vector<install::BoardPlan> m_retry;  // what a retry runs (UI thread)
  int m_nIdleMode = kModeReady;             // the caption mode between runs (UI thread)
  bool m_bWorking = false;                  // checking or installing (UI thread)
};
