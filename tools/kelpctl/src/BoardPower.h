// kelpctl's board power commands: boot, shutdown, reboot and the NNC reset, run by the setup
// tool's own board operations with the status poller running, as kelpconf runs them.
#pragma once

#include <cstdio>

#include "CommandLine.h"

namespace kelpctl {

// boot, shutdown, reboot: without --watch only sends the command; with --watch runs the watched
// operation, printing each interim status, until the board reports the end.
int RunPower(const Invocation& invocation, std::FILE* out, std::FILE* err);
// reset: the NNC reset (forced blockade and restore, then the settle time), printing each status
// the board shows meanwhile.
int RunReset(const Invocation& invocation, std::FILE* out, std::FILE* err);

}  // namespace kelpctl
