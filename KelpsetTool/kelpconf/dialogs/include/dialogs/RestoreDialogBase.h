// The frame of the LU recovery dialogs: the status text that blinks while a phase waits, the
// worker that runs the phases or the reboot of all NAS OSs, and the buttons while it runs.
//
// The phases and the reboot run on the dialog's worker, which only posts to the UI thread and
// shows its messages itself (message boxes may be shown from any thread). While it runs the
// dialog ignores Esc and its close control; when the dialog goes away the phase clock stops,
// so that a wait of hours ends at once.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/RestorePhases.h"
#include "session/ArraySession.h"
#include "ui/Dialog.h"

namespace recovery {

// The controls a recovery dialog has; 0 for one it lacks.
struct RestoreControls {
  int nStatusText;
  int nDateText;
  int nRebootAll;
  int nRestore;
  int nClose;
};

class RestoreDialogBase : public kelp::ui::Dialog, public PhaseView {
 public:
  static constexpr int kBlinkTimer = 1;

  RestoreDialogBase(kelp::ui::Host& host, int nTemplateId, session::ArraySession& rSession, RestoreControls controls);
  ~RestoreDialogBase() override;

  bool IsWorking() const { return m_bWorking; }
  // PhaseView (worker thread).
  void Flash(bool bOn) override;

 protected:
  // UI thread: every button off, the wait cursor on, then work on the worker; WorkFinished (UI
  // thread) follows it, or SetFieldCaption(false) after the reboot.
  void StartWork(std::function<void()> work);
  virtual void WorkFinished() = 0;
  void SetDateText(const std::string& strDate);

  // "Reboot all": the question, the boards' plan, 4037 or 3690, then the reboot on the worker
  // (WakeUpThread). SetFieldCaption shows the rebooting state and the finished one.
  void OnAllReboot();
  void WakeUpThread(const RebootPlan& plan);
  virtual void SetFieldCaption(bool bRebooting) = 0;

  void OnTimer(int id) override;
  void OnCancel() override;

  session::ArraySession& Session() const { return m_rSession; }
  std::string BoardName(std::uint32_t ulSlot) const;
  // "Failed(CTL0-0:0x0000000d)" for the board of a slot.
  std::string FailedText(const char* pszWord, std::uint32_t ulSlot, std::uint32_t ulCode) const {
    return recovery::FailedText(pszWord, BoardName(ulSlot), ulCode);
  }
  // The session's board of a slot (any thread).
  BoardOf MainBoards() const;
  PhaseClock& Clock() { return m_clock; }

 private:
  void StopBlinking();

  session::ArraySession& m_rSession;
  const RestoreControls m_controls;
  PhaseClock m_clock;
  bool m_bWorking = false;    // UI thread
  bool m_bBlinking = false;   // UI thread
  bool m_bRebooting = false;  // UI thread
};

}  // namespace recovery
