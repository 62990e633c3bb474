// The main window's LU recoveries and the dump download: each reads the board first on one of the
// owner window's workers (RecoveryReads), then opens its dialog with what it read. While a read
// runs the owner window reads (its buttons follow their rules for a read); whenever a read ends,
// a dialog closes or a recovery mode starts or ends, the owner hears it through the changed
// callback and re-plans its buttons. Restore NAS CM LU is modeless: the window stays in its
// mode until that dialog closes; Restore All NAS System LU holds its mode while its dialog runs.
//
// UI thread only; the owner joins its workers before this object goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "session/ArraySession.h"
#include "ui/Dialog.h"

class CdlgRestoreNasCmLu;

namespace dialogs {

class RecoveryFunctions {
 public:
  RecoveryFunctions(kelp::ui::Host& host, kelp::ui::Dialog& owner, session::ArraySession& rSession,
                    std::function<void()> changed);
  ~RecoveryFunctions();

  void DownloadDump(std::uint32_t ulSlot);
  void RestoreOsLu(std::uint32_t ulSlot);
  void RestoreCmLu();
  void RestoreSystemLu();

  bool IsRestoreCmLu() const { return m_bRestoreCmLu; }
  bool IsRestoreSystemLu() const { return m_bRestoreSystemLu; }

 private:
  // Runs read on a worker, tells the owner, and on the UI thread hands the result to followUp.
  template <class Read, class FollowUp>
  void ReadThen(Read read, FollowUp followUp);
  void RestoreCmLuClosed();

  kelp::ui::Host& m_rHost;
  kelp::ui::Dialog& m_rOwner;
  session::ArraySession& m_rSession;
  std::function<void()> m_changed;
  std::unique_ptr<CdlgRestoreNasCmLu> m_pdlgRestoreCmLu;  // made when first opened
  bool m_bRestoreCmLu = false;
  bool m_bRestoreSystemLu = false;
};

}  // namespace dialogs
