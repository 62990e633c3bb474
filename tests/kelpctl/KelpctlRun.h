// Runs the real kelpctl program (KELPCTL_PATH) as a user would, through the shell.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace kelptest {

struct KelpctlResult {
  int status = -1;
  std::string output;  // stdout and stderr
};

// args as typed after "kelpctl"; stderr is folded into the output.
inline KelpctlResult RunKelpctl(const std::string& args) {
  KelpctlResult run;
  const std::string command = std::string(KELPCTL_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

}  // namespace kelptest
