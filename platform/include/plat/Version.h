// The program version compiled in from the project version (5.0.1.0).
#pragma once

#include <array>
#include <string>

namespace plat {

// The four version parts, major first.
std::array<int, 4> ProgramVersion();
// The version resource text: "5, 0, 1, 0".
std::string ProgramVersionText();

}  // namespace plat
