#include "ApiCall.h"

#include <array>

#include "common/MessageCatalogue.h"
#include "common/Messages.h"
#include "common/TextFormats.h"

namespace kelpctl {
void ReportFailure(std::FILE* out, const ApiFailure& failure) {
  const std::uint32_t id = GetApiErrorMessageId(failure.code);
  const MessageCatalogue& catalogue = MessageCatalogue::Of(GetMessageProgram());
  const std::uint32_t kind = catalogue.Rows()[catalogue.Find(id)].kind;
  std::array<char, 2048> text{};
  FormatMessageText(text.data(), text.size(), id, kind, {common::CodeText(failure.code)});
  std::fprintf(out, "kelpctl: %s failed: %s\n%s\n", failure.call.c_str(), common::CodeText(failure.code).c_str(),
               text.data());
}

}  // namespace kelpctl
