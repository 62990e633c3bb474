#include "board/ArrayCall.h"

#include "common/CusrTraceScope.h"
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

}  // namespace board
