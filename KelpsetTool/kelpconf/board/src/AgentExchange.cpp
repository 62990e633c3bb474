#include "board/AgentExchange.h"

#include "agent/FailureCause.h"
#include "common/CusrTraceScope.h"
#include "common/TraceLine.h"

namespace board {

std::string FailureText(const ExchangeResult& result) {
  std::string text = result.failedStep.empty() ? std::string() : result.failedStep + "(), ";
  text += TraceFmt("code = 0x%08x", result.code);
  if (!result.cause.empty()) text += ": " + result.cause;
  return text;
}

ExchangeResult RunExchange(const CusrNasManager& manager, Connect connect, std::string_view name,
                           const ExchangeStep& request, const ExchangeStep& reply) {
  int nSocket = CusrNasManager::INVALID_SOCKET;
  ExchangeResult result;
  const agent::FailureCause cause;
  const bool bQuiet = connect == Connect::Quiet;
  result.code = bQuiet ? manager.InitializeSocketEx(&nSocket) : manager.InitializeSocket(&nSocket);
  result.failedStep = bQuiet ? "InitializeSocketEx" : "InitializeSocket";
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
  result.cause = cause.Text();
  common::TraceLine(TRC_ERROR, FailureText(result));
  return result;
}

}  // namespace board
