// Boot management of one board: boot (with a boot option), reboot and shut down its NAS OS, or
// reset the board (through the owner's reset, which asks its questions). One modeless dialog per
// board slot, created with the main window and shown by a double-click on the board's button.
//
// The power operations run on one worker at a time; the worker only posts to the UI thread.
// While it runs the dialog ignores Esc and the window's close control. Close hides the dialog;
// the board's busy code is released when the dialog is hidden and no worker runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "board/PowerDialog.h"
#include "dialogs/BoardDialog.h"

class CdlgBootManagement : public dialogs::BoardDialog, public board::PowerDialog {
 public:
  // The boot option the board's boot command takes: printable ASCII, at most this many bytes.
  static constexpr std::size_t kMaxBootOptionBytes = 84;

  // onNncReset runs the NNC reset of the board for this dialog (the owner's questions and worker).
  CdlgBootManagement(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed,
                     std::function<void()> onNncReset);

  // Before showing: board label, status word and buttons from the board's status.
  void Prepare();
  // Buttons by the board's status; while a worker runs, SetEnableButton(true) instead; while
  // another operation of the main window holds the board, only Close.
  void SetLinuxStatus();
  // A running operation: Boot, Reboot, Shutdown, NNC Reset and the option off, Close as given.
  void SetEnableButton(bool bClose);

  static bool IsValidBootOption(const std::string& strOption);

  // board::PowerDialog (worker thread): the status word goes to the status text.
  void ShowPowerStatus(std::int32_t nStatus, int nStatusWordId) override;

 private:
  enum class Power { Boot, Reboot, Shutdown };

  void OnBoot();
  void OnReboot();
  void OnShutdown();
  void OnNncReset();
  // Reboot and shutdown: their question, then, on a worker, the old-agent question or the
  // cluster check; only Close meanwhile.
  void OnStopOperation(Power power);
  // The board's agent version and cluster status with their questions; true to go on. Worker
  // thread.
  static bool CheckShutdown(const CusrCHN& board);
  // Starts the worker of an operation (StartBoot, StartReboot, StartShutdown).
  void StartPower(Power power, std::string strBootOption);
  void PowerFinished();

  std::function<void()> m_onNncReset;
};
