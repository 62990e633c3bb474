#include "dialogs/BoardDialog.h"

#include "board/BoardStatus.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/Strings.h"

namespace dialogs {

BoardDialog::BoardDialog(kelp::ui::Host& host, int nTemplateId, session::ArraySession& rSession, CusrCHN& rBoard,
                         const char* pszWork, ClosedCallback onClosed, CloseWhileWorking close)
    : Dialog(host, nTemplateId),
      m_rSession(rSession),
      m_rBoard(rBoard),
      m_pszWork(pszWork),
      m_onClosed(std::move(onClosed)),
      m_close(close) {}

BoardDialog::~BoardDialog() { JoinWorkers(); }

std::string BoardDialog::StatusWord(std::int32_t nStatus) {
  return board::HasWord(nStatus) ? CusrCHN::StatusWord(nStatus) : std::string();
}

void BoardDialog::Closed() {
  if (m_onClosed) m_onClosed(Slot());
}

void BoardDialog::OnOK() {
  if (m_bWorking && m_close == CloseWhileWorking::Refused) return;
  EndDialog(IDOK);
  if (!m_bWorking) Closed();
}

void BoardDialog::OnCancel() {
  if (m_bWorking) {
    WriteTraceLine(TraceFmt("The %s runs: the dialog stays open", m_pszWork), "info_", TRC_INFO & GetTraceMask());
    return;
  }
  OnOK();
}

}  // namespace dialogs
