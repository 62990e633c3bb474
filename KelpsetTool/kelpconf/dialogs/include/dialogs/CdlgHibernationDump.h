// The NAS dump of one board: have its NAS OS write a dump (a forced stop that keeps the memory
// image), or stop a dump that runs (by resetting the board). One modeless dialog per board slot,
// created with the main window and opened by its "NAS Dump" button (busy code 4).
//
// The dump and its cancel run on a worker while the board carries busy code 3; the worker only
// posts to the UI thread. Meanwhile every button is off and Esc and the close control are
// ignored. A dump is refused while a download of the board's dump may still run.
#pragma once

#include <cstdint>

#include "dialogs/BoardDialog.h"

class CdlgHibernationDump : public dialogs::BoardDialog {
 public:
  // The longest a dump takes, as question 3569 tells the engineer.
  static constexpr int kDumpMinutes = 90;

  CdlgHibernationDump(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed = {});
  ~CdlgHibernationDump() override;

  // Board label, status word and the Dump and Cancel buttons by the board's status; while a
  // worker runs every button stays off.
  void SetShowStatus();

 private:
  // The dump's check of a download still running runs on a worker; its questions follow.
  void OnDump();
  void DownloadChecked(bool bDownloading);
  void OnStopDump();
  // Runs the dump (true) or its cancel (false, with the wait cursor) on a worker under busy code 3.
  void StartOperation(bool bDump);
  void OperationFinished();

};
