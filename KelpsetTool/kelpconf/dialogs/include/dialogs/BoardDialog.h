// What the dialogs of one board share: the session and the board they work on, the working flag
// of their worker, and the close rules while it runs. Esc and the close control are ignored
// while the worker runs (traced "The <work> runs: the dialog stays open"); Close ends the dialog
// and, once no worker runs, tells the owner through the closed callback, which gives the board's
// busy code back. A dialog that may be hidden while its worker runs calls Closed() itself when
// the worker ends.
//
// UI thread only, except Board(), Array() and Session()'s thread-safe parts, which workers use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "board/CusrCHN.h"
#include "session/ArraySession.h"
#include "ui/Dialog.h"

namespace dialogs {

class BoardDialog : public kelp::ui::Dialog {
 public:
  // Called on the UI thread when the dialog gives its board back.
  using ClosedCallback = std::function<void(std::uint32_t ulSlot)>;
  // How the dialog's Close behaves while its worker runs.
  enum class CloseWhileWorking { Refused, Hides };

  // pszWork names the dialog's work for the trace ("operation", "setting", ...).
  BoardDialog(kelp::ui::Host& host, int nTemplateId, session::ArraySession& rSession, CusrCHN& rBoard,
              const char* pszWork, ClosedCallback onClosed = {}, CloseWhileWorking close = CloseWhileWorking::Refused);
  ~BoardDialog() override;

  bool IsWorking() const { return m_bWorking; }
  std::uint32_t Slot() const { return m_rBoard.GetIndex(); }
  CusrCHN& Board() const { return m_rBoard; }

 protected:
  session::ArraySession& Session() const { return m_rSession; }
  board::ArrayTables& Array() const { return m_rSession.Array(); }
  // The plain word of a status ("ACTIVE"), empty for a status without one.
  static std::string StatusWord(std::int32_t nStatus);
  // The newer-agent lock: true (after its message) when no function may start.
  bool IsFunctionDisable() const { return m_rSession.IsFunctionDisable(); }
  void SetWorking(bool bWorking) { m_bWorking = bWorking; }
  // Tells the owner the board is given back.
  void Closed();

  void OnOK() override;
  void OnCancel() override;

 private:
  session::ArraySession& m_rSession;
  CusrCHN& m_rBoard;
  const char* m_pszWork;
  ClosedCallback m_onClosed;
  CloseWhileWorking m_close;
  bool m_bWorking = false;
};

}  // namespace dialogs
