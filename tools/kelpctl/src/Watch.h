// kelpctl watch: the setup tool's board model, polled the way its status agent polls it, printed
// as a table each round until SIGINT or SIGTERM (or until --count rounds are done).
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "CommandLine.h"
#include "board/CusrCHN.h"

namespace kelpctl {

// The board objects of the model's slots (CusrCHN::Initialize has run), each with its agent
// connection as the main window makes them; what could not be prepared is reported to err.
std::vector<std::unique_ptr<CusrCHN>> CreateBoards(const Invocation& invocation, std::FILE* err);

// 0 after the last round or a stop signal, 1 when the array could not be read at the start.
int RunWatch(const Invocation& invocation, std::FILE* out, std::FILE* err);

}  // namespace kelpctl
