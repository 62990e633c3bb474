// kelpctl watch: the setup tool's board model, polled the way its status agent polls it, printed
// as a table each round until SIGINT or SIGTERM (or until --count rounds are done).
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "CommandLine.h"
#include "Report.h"
#include "session/ArraySession.h"

namespace kelpctl {

// The setup tool's session over the invocation's settings, started as the main window starts it:
// discovery, the board objects with their agent connections and the first status read. What
// could not be prepared is noted; null, with the failure reported, when the array could not be
// read.
std::unique_ptr<session::ArraySession> OpenSession(const Invocation& invocation, Report& report);

// 0 after the last round or a stop signal, 1 when the array could not be read at the start.
int RunWatch(const Invocation& invocation, Report& report);

}  // namespace kelpctl
