// The progress of a board's installation: one row per product with its status, the blinking
// progress label, the stop button (honoured between products) and Close once finished.
// Modeless, owned by the board's program installation dialog.
//
// The worker runs install::RunInstallation and reports through the ProgressSink calls, which
// post to the UI thread. While it runs the dialog ignores Esc and the close control.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "install/InstallRoutine.h"
#include "dialogs/BoardDialog.h"

class CdlgInstallProgress : public dialogs::BoardDialog, public install::ProgressSink {
 public:
  static constexpr int kBlinkTimer = 1;
  static constexpr plat::Millis kBlinkPeriod{1000};

  // onClosed: the user closed the finished dialog.
  CdlgInstallProgress(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed);
  ~CdlgInstallProgress() override;

  void SetSelectPPInfo(install::InstallRequest request);
  // Shows the dialog and starts the worker.
  void ShowProgressDlg();

  // install::ProgressSink (worker thread).
  void RowStatus(std::size_t nRow, const std::string& strText) override;
  void Label(const std::string& strText, bool bBlink) override;
  void StopEnabled(bool bEnable) override;
  bool StopRequested() const override { return m_bStopRequested.load(); }
  void ClearStopRequest() override { m_bStopRequested = false; }
  bool CancelRemaining() override;
  void ProductStarted(std::size_t nRow, plat::Millis limit) override;

 protected:
  void OnTimer(int id) override;

 private:
  void SetInstallPPList();
  void StartInstalling();
  void InstallThreadFunc();
  void OnStopInstall();
  void SetFinishStatus(bool bCompleted);
  void StopBlinking();

  install::InstallRequest m_request;
  std::atomic<bool> m_bStopRequested{false};
  bool m_bBlinking = false;  // UI thread
  // The product the board's agent is installing: the label counts its time (UI thread).
  std::optional<plat::TimePoint> m_productStart;
  plat::Millis m_productLimit{0};
};
