// A key press with its modifiers, as hosts forward it and scripts write it ("shift+ctrl+e").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelp::ui {

struct KeyChord {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  std::string key;  // a lower-case letter or digit, "escape" or "enter"
  bool operator==(const KeyChord&) const = default;
};

// "shift+ctrl+e": modifiers (shift, ctrl, alt) in any order, then the key; case-insensitive.
// nullopt for anything else.
std::optional<KeyChord> ParseKeyChord(std::string_view text);

}  // namespace kelp::ui
