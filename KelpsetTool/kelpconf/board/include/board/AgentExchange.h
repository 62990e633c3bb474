// One exchange with a board's agent as the board operations run it: connect, one request, its
// reply, close. The result is the first failing step's code, that step's name and the cause; the
// step has already been traced with all three, and any message box went through the process
// display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "agent/CusrNasManager.h"

namespace board {

// Plain connects with InitializeSocket; Quiet with InitializeSocketEx (no message box when the
// agent cannot be reached).
enum class Connect { Plain, Quiet };

using ExchangeStep = std::function<std::uint32_t(int nSocket)>;

struct ExchangeResult {
  std::uint32_t code = 0;  // 0 when every step succeeded
  std::string failedStep;  // "InitializeSocket(Ex)", "Request<name>" or "Reply<name>"; empty on success
  std::string cause;       // the failure in plain words (agent::FailureCause); empty when none was given
};

// "<step>(), code = 0x%08x: <cause>", the trace line of a failed exchange; without the step or
// the cause when the result has none.
std::string FailureText(const ExchangeResult& result);

// name is the exchange's name without Request/Reply ("CHNName"). A failed step is traced with
// FailureText; a failing close after a good reply is traced "CloseSocket()" and leaves the
// result alone.
ExchangeResult RunExchange(const CusrNasManager& manager, Connect connect, std::string_view name,
                           const ExchangeStep& request, const ExchangeStep& reply);

}  // namespace board
