#include "ApiCall.h"

#include <array>

#include "common/CusrTraceScope.h"
#include "common/MessageCatalogue.h"
#include "common/Messages.h"
#include "plat/Clock.h"
#include "velapi.h"

namespace kelpctl {
namespace {

constexpr plat::Millis kTimeOutRetryPace{20'000};

std::string Hex(std::uint32_t code) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08x", code);
  return text.data();
}

}  // namespace

bool CallApi(const char* call, const std::function<int(std::uint32_t*)>& fn, ApiFailure* pFailure) {
  CusrTraceScope scope("kelpctl", "CallApi", TRC_FUNC);
  scope.Call(call, TRC_FUNC);
  std::uint32_t ulErr = 0;
  if (fn(&ulErr)) return true;
  if (ulErr == VEL_ERR_SVP_TIMEOUT) {
    scope.Warn(TraceFmt("%s() Time out. retry", call), TRC_WARN);
    plat::Clock::Sleep(kTimeOutRetryPace);
    ulErr = 0;
    if (fn(&ulErr)) return true;
  }
  scope.Error(TraceFmt("%s(): 0x%08x", call, ulErr), TRC_ERROR);
  pFailure->call = call;
  pFailure->code = ulErr;
  return false;
}

void ReportFailure(std::FILE* out, const ApiFailure& failure) {
  const std::uint32_t id = GetApiErrorMessageId(failure.code);
  const MessageCatalogue& catalogue = MessageCatalogue::Of(GetMessageProgram());
  const std::uint32_t kind = catalogue.Rows()[catalogue.Find(id)].kind;
  std::array<char, 2048> text{};
  FormatMessageText(text.data(), text.size(), id, kind, {Hex(failure.code)});
  std::fprintf(out, "kelpctl: %s failed: %s\n%s\n", failure.call.c_str(), Hex(failure.code).c_str(),
               text.data());
}

}  // namespace kelpctl
