// Runs the real kelpctl program (KELPCTL_PATH) as a user would, through the shell.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelptest {

struct KelpctlResult {
  int status = -1;
  std::string output;  // stdout, with stderr folded in unless it was kept apart
  std::string errors;  // stderr when kept apart
};

inline std::string ReadAll(FILE* file) {
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

// args as typed after "kelpctl"; stderr is folded into the output.
inline KelpctlResult RunKelpctl(const std::string& args) {
  KelpctlResult run;
  const std::string command = std::string(KELPCTL_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  run.output = ReadAll(pipe);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// The same with stdout and stderr apart, for the --json document.
inline KelpctlResult RunKelpctlApart(const std::string& args) {
  KelpctlResult run;
  char errorsPath[] = "/tmp/kelpctl-stderr-XXXXXX";
  const int fd = mkstemp(errorsPath);
  if (fd < 0) return run;
  close(fd);
  const std::string command = std::string(KELPCTL_PATH) + " " + args + " 2>" + errorsPath;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    run.output = ReadAll(pipe);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  if (FILE* errors = fopen(errorsPath, "r")) {
    run.errors = ReadAll(errors);
    fclose(errors);
  }
  unlink(errorsPath);
  return run;
}

}  // namespace kelptest
