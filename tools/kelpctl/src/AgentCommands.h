// kelpctl agent SLOT OP: reads and changes a board's settings through its NAS agent, lists and
// installs program products, by the setup tool's own board operations (CusrCHN). The board's
// address comes from VELAPI, its agent port from the settings file (key Port of the board's
// location-name section, else of MainService, else 20265). Agent errors reach the user as the
// catalogue's message through the process display; a failed exchange is printed with its step,
// code and cause.
#pragma once

#include "CommandLine.h"
#include "Report.h"

namespace kelpctl {

// Returns the exit status: 0 success, 1 a VELAPI call or an agent exchange failed.
int RunAgent(const Invocation& invocation, Report& report);

}  // namespace kelpctl
