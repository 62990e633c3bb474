// Fuzz target: arbitrary bytes as a script of script mode, parsed whole (ParseScript) and line by
// line (ParseScriptLine). Either every line parses, or the first one that does not gives a line
// number and a reason that the transcript can write as one line "script-error LINE REASON".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "FuzzSupport.h"
#include "ui/ScriptParser.h"


namespace {

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string_view> lines = Lines(text);
  const auto parsed = kelp::ui::ParseScript(text);

  std::size_t commands = 0;
  int firstError = 0;
  for (std::size_t i = 0; i < lines.size() && firstError == 0; ++i) {
    const int line = static_cast<int>(i + 1);
    const auto one = kelp::ui::ParseScriptLine(line, lines[i]);
    if (const auto* error = std::get_if<kelp::ui::ScriptError>(&one)) {
      FUZZ_CHECK(error->line == line && !error->reason.empty());
      FUZZ_CHECK(error->reason.find_first_of("\r\n") == std::string::npos);
      firstError = line;
    } else if (const auto* command = std::get_if<kelp::ui::ScriptCommand>(&one)) {
      FUZZ_CHECK(command->line == line);
      ++commands;
    }
  }
  if (const auto* error = std::get_if<kelp::ui::ScriptError>(&parsed)) {
    FUZZ_CHECK(error->line == firstError);
  } else {
    FUZZ_CHECK(firstError == 0 && std::get<std::vector<kelp::ui::ScriptCommand>>(parsed).size() == commands);
  }
  return 0;
}
