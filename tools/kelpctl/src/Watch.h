// kelpctl watch: the setup tool's board model, polled the way its status agent polls it, printed
// as a table each round until SIGINT or SIGTERM (or until --count rounds are done).
#pragma once

#include <cstdio>

#include "CommandLine.h"

namespace kelpctl {

// 0 after the last round or a stop signal, 1 when the array could not be read at the start.
int RunWatch(const Invocation& invocation, std::FILE* out, std::FILE* err);

}  // namespace kelpctl
