// The kelpctl commands. Each prints to out, reports failures to err and returns the exit status
// (0 success, 1 a VELAPI call failed or the board did not do what was asked).
#pragma once

#include <cstdio>

#include "CommandLine.h"

namespace kelpctl {

int RunBoards(const Invocation& invocation, std::FILE* out, std::FILE* err);
int RunProgress(const Invocation& invocation, std::FILE* out, std::FILE* err);

}  // namespace kelpctl
