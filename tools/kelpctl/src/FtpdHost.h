// kelpctl ftpd ADDRESS: hosts kelpftpd the way the setup tool does, for scripts and the demo.
// It creates the sync pipe, holds the setup tool's mutex "kelpconf", starts the program of
// [MainService] kelpftpd_path (default: kelpftpd beside kelpctl) on the address, and waits for
// its "KELPFTPD OK". It then runs until SIGINT or SIGTERM, frees the mutex and waits for
// kelpftpd to notice and end.
#pragma once

#include <cstdio>

#include "CommandLine.h"

namespace kelpctl {

// 0 after a clean run, 1 when kelpftpd could not be started or did not answer OK.
int RunFtpd(const Invocation& invocation, std::FILE* out, std::FILE* err);

}  // namespace kelpctl
