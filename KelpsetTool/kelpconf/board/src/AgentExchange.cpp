#include "board/AgentExchange.h"

#include "common/CusrTraceScope.h"
#include "common/TraceLine.h"

namespace board {

ExchangeResult RunExchange(const CusrNasManager& manager, Connect connect, std::string_view name,
                           const ExchangeStep& request, const ExchangeStep& reply) {
  int nSocket = CusrNasManager::INVALID_SOCKET;
  ExchangeResult result;
  result.code = connect == Connect::Quiet ? manager.InitializeSocketEx(&nSocket) : manager.InitializeSocket(&nSocket);
  result.failedStep = "InitializeSocket";
  if (result.code == 0) {
    result.code = request(nSocket);
    result.failedStep = "Request";
    if (result.code == 0) {
      result.code = reply(nSocket);
      result.failedStep = "Reply";
    }
    result.failedStep += name;
    if (manager.CloseSocket(nSocket) != 0) common::TraceLine(TRC_ERROR, "CloseSocket()");
  }
  if (result.code == 0) {
    result.failedStep.clear();
    return result;
  }
  common::TraceLineFmt(TRC_ERROR, "%s(), code = 0x%08x", result.failedStep.c_str(), result.code);
  return result;
}

}  // namespace board
