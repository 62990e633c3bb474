// A child program, the stand-in for CreateProcess / WaitForSingleObject / GetExitCodeProcess /
// TerminateProcess.
//
// Start runs the program through posix_spawn: no shell, the arguments go to the child as they
// are. A program path without '/' is looked up in PATH. When the program cannot be run (missing,
// not executable) Start fails itself, with Error() saying why; no child is left behind.
//
// The exit code is the child's exit status; a child ended by a signal reports 128 + the signal
// number, as a shell would, unless Terminate ended it. Destroying the object does not stop the
// child, just as closing a process handle does not: an ended child is reaped at once and a
// running one is handed to a background reaper that collects it when it ends, so no zombie is
// left. Moving transfers the child. One thread at a time per object.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plat/Clock.h"

namespace plat {

class Process {
 public:
  // How long Terminate lets a child react to SIGTERM before killing it (logical time).
  static constexpr Millis kTerminateGrace{3000};

  Process() = default;
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts program with argv = {program, args...}; extraEnv entries "NAME=value" are added to,
  // or replace, the inherited environment. False when the program cannot be started or this
  // object's previous child is still running.
  bool Start(const std::filesystem::path& program, const std::vector<std::string>& args = {},
             const std::vector<std::string>& extraEnv = {});

  // The child's pid (also after it ended); 0 before a successful Start.
  pid_t Pid() const { return m_pid; }
  bool IsRunning();
  // Waits for the child to end and returns its exit code; nullopt when there is no child.
  std::optional<int> Wait();
  // As Wait, but gives up after the logical time-out (nullopt, the child keeps running).
  std::optional<int> Wait(Millis timeout);
  // Ends the running child and returns once it is gone: SIGTERM, then SIGKILL if it is still
  // there after grace (logical time: under a manual clock only Advance ends the grace). Its exit
  // code becomes exitCode. False when no child is running.
  bool Terminate(int exitCode, Millis grace = kTerminateGrace);

  // Why Start failed.
  const std::string& Error() const { return m_error; }

 private:
  void Record(int status);
  void Release();

  pid_t m_pid = 0;
  bool m_reaped = false;
  int m_exitCode = 0;
  std::string m_error;
};

}  // namespace plat
