#include "ui/KeyChord.h"

#include <algorithm>
#include <cctype>

namespace kelp::ui {

std::optional<KeyChord> ParseKeyChord(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  KeyChord chord;
  std::string_view rest = lower;
  for (;;) {
    const std::size_t plus = rest.find('+');
    if (plus == std::string_view::npos) break;
    const std::string_view mod = rest.substr(0, plus);
    bool* flag = mod == "shift" ? &chord.shift : mod == "ctrl" ? &chord.ctrl : mod == "alt" ? &chord.alt : nullptr;
    if (flag == nullptr || *flag) return std::nullopt;
    *flag = true;
    rest.remove_prefix(plus + 1);
  }
  const bool single = rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]));
  if (!single && rest != "escape" && rest != "enter") return std::nullopt;
  chord.key = std::string(rest);
  return chord;
}

}  // namespace kelp::ui
