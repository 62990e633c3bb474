// Runs a script against the dialogs of a host, on its own thread. Every look at a dialog and
// every action happens on the UI thread through Host::Post; the runner thread only waits.
//
// An action waits up to 5 real seconds for its target to exist and be visible and enabled
// (TEMPLATE:ID in that dialog, else in the foreground dialog); the action itself is started
// and not waited for, so modal dialogs and workers run on while the script goes on. Waits are in
// logical seconds (KELP_TIME_SCALE). wait-message and wait-transcript each consume the line
// they matched: the next such wait looks only at later lines.
//
// A refused line, a wait that runs out or a target that never became usable writes
// "script-error LINE REASON", marks the run failed and posts closeTool to the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "ui/ScriptParser.h"

namespace kelp::ui {

class Host;
class Transcript;

inline constexpr int kExitScriptError = 3;

class ScriptRunner {
 public:
  // host and transcript must outlive the runner; closeTool runs on the UI thread.
  ScriptRunner(Host& host, Transcript& transcript, std::string scriptText, std::function<void()> closeTool);
  // Stops and joins. Destroy on the UI thread or once the host's loop no longer runs.
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  void Start();
  // Ends the current wait and joins the thread.
  void Stop();
  // The run has ended (all lines done, or failed).
  bool Finished() const;
  bool Failed() const;

  struct Shared;  // what posted calls share with the runner; outlives it

 private:
  void Run();
  // The reason a command failed, or "" when it succeeded.
  std::string Execute(const ScriptCommand& command);
  std::string WaitMessage(const ScriptCommand& command);
  std::string WaitTranscript(const ScriptCommand& command);
  std::string Sleep(double seconds);
  void Fail(int line, const std::string& reason);

  Host& m_host;
  Transcript& m_transcript;
  std::string m_text;
  std::function<void()> m_closeTool;
  std::shared_ptr<Shared> m_shared;
  std::map<std::uint32_t, std::size_t> m_messageCursor;
  std::size_t m_transcriptCursor = 0;
  std::thread m_thread;
};

}  // namespace kelp::ui
