#include "board/AgentExchange.h"

#include "common/CusrTraceScope.h"

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
    if (manager.CloseSocket(nSocket) != 0 && TraceOn(TRC_ERROR)) WriteTraceLine("CloseSocket()", "error", TRC_ERROR);
  }
  if (result.code == 0) {
    result.failedStep.clear();
    return result;
  }
  if (TraceOn(TRC_ERROR))
    WriteTraceLine(TraceFmt("%s(), code = 0x%08x", result.failedStep.c_str(), result.code), "error", TRC_ERROR);
  return result;
}

}  // namespace board
