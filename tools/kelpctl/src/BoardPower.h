// kelpctl's board commands: boot, shutdown, reboot, the NNC reset and the NAS dump with its
// download, run by the setup tool's own board operations with the status poller running, as
// kelpconf runs them.
#pragma once

#include "CommandLine.h"
#include "Report.h"

namespace kelpctl {

// boot, shutdown, reboot: without --watch only sends the command; with --watch runs the watched
// operation, printing each interim status, until the board reports the end.
int RunPower(const Invocation& invocation, Report& report);
// reset: the NNC reset (forced blockade and restore, then the settle time), printing each status
// the board shows meanwhile.
int RunReset(const Invocation& invocation, Report& report);
// dump: the NAS dump of a board, as the NAS dump dialog takes it.
int RunDump(const Invocation& invocation, Report& report);
// download-dump: the board's last dump brought to the dump folder as the download dialog does,
// with a progress line per poll; --to copies the filed file into another folder (never
// replacing a file there).
int RunDownloadDump(const Invocation& invocation, Report& report);

}  // namespace kelpctl
