// The kelpctl commands that read the array. Each reports to report and returns the exit status
// (0 success, 1 a VELAPI call failed).
#pragma once

#include "CommandLine.h"
#include "Report.h"

namespace kelpctl {

int RunBoards(const Invocation& invocation, Report& report);
int RunProgress(const Invocation& invocation, Report& report);

}  // namespace kelpctl
