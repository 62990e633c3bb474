// The NAS dump of one board: have its NAS OS write a dump (a forced stop that keeps the memory
// image), or stop a dump that runs (by resetting the board). One modeless dialog per board slot,
// created with the main window and opened by its "NAS Dump" button (busy code 4).
//
// The dump and its cancel run on a worker while the board carries busy code 3; the worker only
// posts to the UI thread. Meanwhile every button is off and Esc and the close control are
// ignored. A dump is refused while a download of the board's dump may still run.
#pragma once

#include <cstdint>

#include "ui/Dialog.h"

class CdlgMain;
class CusrCHN;

class CdlgHibernationDump : public kelp::ui::Dialog {
 public:
  // The longest a dump takes, as question 3569 tells the engineer.
  static constexpr int kDumpMinutes = 90;

  CdlgHibernationDump(kelp::ui::Host& host, CdlgMain& main, std::uint32_t ulSlot);
  ~CdlgHibernationDump() override;

  // Board label, status word and the Dump and Cancel buttons by the board's status; while a
  // worker runs every button stays off.
  void SetShowStatus();
  bool IsWorking() const { return m_bWorking; }
  std::uint32_t Slot() const { return m_ulSlot; }

 protected:
  void OnOK() override;
  void OnCancel() override;

 private:
  // The dump's check of a download still running runs on a worker; its questions follow.
  void OnDump();
  void DownloadChecked(bool bDownloading);
  void OnStopDump();
  // Runs the dump (true) or its cancel (false, with the wait cursor) on a worker under busy code 3.
  void StartOperation(bool bDump);
  void OperationFinished();
  CusrCHN& Board() const;

  CdlgMain& m_main;
  const std::uint32_t m_ulSlot;
  bool m_bWorking = false;  // UI thread
};
