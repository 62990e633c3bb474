// String resources of a program, by id (internal to the common module).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/TraceLevels.h"

// The string, cut to 511 bytes; empty when the program has no such string.
std::string LoadStringResource(TraceProgram program, std::uint32_t id);
// The string used as a format for text arguments.
std::string FormatStringResource(TraceProgram program, std::uint32_t id, const std::vector<std::string>& args);
