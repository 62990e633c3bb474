#include "dialogs/ShutdownCheck.h"

#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"

namespace dialogs {

ShutdownCheck CheckShutdown(const CusrCHN& board, std::uint32_t ulLastQuestion) {
  CusrTraceScope trace("CdlgBootManagement", "CheckShutdown", TRC_FUNC);
  std::uint32_t ulStatus = 0;
  const std::uint32_t ulResult = board.GetClusterStatus(&ulStatus);
  std::uint32_t ulFirstQuestion = msg::kNodeInCluster;
  if (ulResult != 0) {
    trace.Error(TraceFmt("GetClusterStatus():0x%08x", ulResult), TRC_ERROR);
    ulFirstQuestion = msg::kClusterStatusUnknown;
  } else if (ulStatus == kClusterNodeStoppable) {
    trace.Info("Shutdown OK", TRC_INFO);
    return ShutdownCheck::GoOn;
  } else {
    trace.Info(TraceFmt("Shutdown No: 0x%08x", ulStatus), TRC_INFO);
  }
  for (const std::uint32_t ulQuestion : {ulFirstQuestion, msg::kSwitchServices, ulLastQuestion}) {
    int nButton = IDCANCEL;
    ShowMessage(ulQuestion, {}, {}, &nButton);
    if (nButton != IDOK) return ShutdownCheck::Stop;
  }
  return ShutdownCheck::GoOn;
}

}  // namespace dialogs
