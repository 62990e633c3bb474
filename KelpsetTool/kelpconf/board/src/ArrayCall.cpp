#include "board/ArrayCall.h"

#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "velapi.h"

namespace board {

bool CallApi(const char* call, const std::function<int(std::uint32_t*)>& fn, ApiFailure* pFailure) {
  CusrTraceScope scope("board", "CallApi", TRC_FUNC);
  scope.Call(call, TRC_FUNC);
  std::uint32_t ulErr = 0;
  if (fn(&ulErr)) return true;
  if (ulErr == VEL_ERR_SVP_TIMEOUT) {
    scope.Warn(TraceFmt("%s() Time out. retry", call), TRC_WARN);
    plat::Clock::Sleep(kCommandPace);
    ulErr = 0;
    if (fn(&ulErr)) return true;
  }
  scope.Error(TraceFmt("%s(): 0x%08x", call, ulErr), TRC_ERROR);
  pFailure->call = call;
  pFailure->code = ulErr;
  return false;
}

bool SendBoardCommand(CusrCHN& board, const CusrTraceScope& trace, const char* pszCall,
                      const std::string& strCallText, const std::function<int(std::uint32_t*)>& fn,
                      std::uint32_t* pulError) {
  BoardLock& lock = board.TimerMutex();
  const int nSlot = static_cast<int>(board.GetIndex());
  trace.Call(strCallText, TRC_FUNC);
  *pulError = 0;
  bool bOk = fn(pulError) != 0;
  lock.Stamp();
  if (!bOk && *pulError == VEL_ERR_SVP_TIMEOUT) {
    trace.Warn(TraceFmt("%s() Time out (sCluster = %d, sPCB = %d). retry", pszCall, ClusterOf(nSlot), PcbOf(nSlot)),
               TRC_WARN);
    lock.Pace();
    trace.Call(strCallText, TRC_FUNC);
    *pulError = 0;
    bOk = fn(pulError) != 0;
    lock.Stamp();
  }
  return bOk;
}

std::string CallText(const CusrCHN& board, const char* pszCall) {
  return TraceFmt("CHN[%u] = %s", board.GetIndex(), pszCall);
}

void ShowApiError(const CusrTraceScope& trace, std::uint32_t ulError) {
  trace.Error(ShowMessage(GetApiErrorMessageId(ulError), common::CodeText(ulError)), TRC_ERROR);
}

}  // namespace board
