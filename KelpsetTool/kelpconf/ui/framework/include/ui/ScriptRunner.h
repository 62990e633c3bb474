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
// "script-error LINE REASON" and marks the run failed. So does the end of the script with the
// tool still open ("script-error LAST-LINE script ended with the tool open"), unless the tool
// hands itself over to the engineer. Then the runner ends the tool in order, one step at a time
// from its own thread, so that each modal loop has unwound before the next close: the innermost
// modal dialog, else the other shown dialogs foreground first, each through its close box once
// its workers have finished, and last the main window through the tool's close. A tool that has
// not ended within kEndLimit is handed to the tool's abandon.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "plat/Clock.h"
#include "ui/ScriptParser.h"

namespace kelp::ui {

class Host;
class Transcript;

inline constexpr int kExitScriptError = 3;
// Logical time the end of a run may take, workers included, before the tool is abandoned.
inline constexpr plat::Millis kEndLimit = std::chrono::minutes(15);

// Where the tool stands: starting up, its main window running, or closing (or closed).
enum class ToolPhase { Starting, Open, Closing };

// The tool a script drives.
struct ScriptedTool {
  // UI thread.
  std::function<ToolPhase()> phase;
  // UI thread: the main window's orderly close, asked once no other dialog is open, and again
  // until the phase is no longer Open.
  std::function<void()> close;
  // Runner thread: the last resort once kEndLimit has passed; reason says what the end was
  // waiting for. It need not return.
  std::function<void(const std::string& reason)> abandon;
  // UI thread, after the last line when set: the tool stays open for the engineer (a window on a
  // display). Unset, the end of the script closes the tool.
  std::function<void()> handOver;
};

class ScriptRunner {
 public:
  // host and transcript must outlive the runner.
  ScriptRunner(Host& host, Transcript& transcript, std::string scriptText, ScriptedTool tool);
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
  // After the last line: a tool still open is a script error; either way it is ended.
  void EndAfterLastLine();
  void Fail(int line, const std::string& reason);
  // The steps of the orderly end, until the runner is stopped or the limit has passed.
  void EndTool(plat::TimePoint deadline);
  bool Stopping() const;

  Host& m_host;
  Transcript& m_transcript;
  std::string m_text;
  ScriptedTool m_tool;
  std::shared_ptr<Shared> m_shared;
  std::map<std::uint32_t, std::size_t> m_messageCursor;
  std::size_t m_transcriptCursor = 0;
  std::thread m_thread;
};

}  // namespace kelp::ui
