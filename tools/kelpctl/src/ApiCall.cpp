#include "ApiCall.h"

#include <array>

#include "common/MessageCatalogue.h"
#include "common/Messages.h"

namespace kelpctl {
namespace {

std::string Hex(std::uint32_t code) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08x", code);
  return text.data();
}

}  // namespace

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
