// Runs the real kelpconf program headless against a simulated unit of the test's own system
// root, with the real kelp-agentsim and kelpftpd on free loopback ports, and reads its
// transcript.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"
#include "plat/Process.h"

namespace kctest {

inline constexpr const char* kUnit = "KC1";
inline constexpr double kTimeScale = 0.01;

// What one run of kelpconf left behind.
struct Outcome {
  int exitCode = -1;
  std::vector<std::string> lines;  // the transcript
  std::string errors;              // standard error
};

// Index of the first transcript line at or after from that matches pattern (ECMAScript, whole
// line); nullopt when none does.
std::optional<std::size_t> FindLine(const std::vector<std::string>& lines, const std::string& pattern,
                                    std::size_t from = 0);
// The transcript for a failure message.
std::string Dump(const std::vector<std::string>& lines);
// Fails the test unless lines matching patterns appear in this order.
void ExpectInOrder(const Outcome& run, const std::vector<std::string>& patterns);

// The lines flows start with, as an engineer writes them. Each returns script text ending in a
// newline; waits are in logical seconds.
namespace script {
// The main window is up.
std::string Ready(int seconds = 600);
// The tool is up, slot's board button shows a caption matching state (a regex; "" skips the
// wait) and the board is selected.
std::string SelectBoard(int slot, const std::string& state = "", int seconds = 600);
// The tool is up, slot's board selected, and "Program Install" (template 206) open.
std::string OpenProgramInstall(int slot, const std::string& state = "");
// The tool is up and "Inherit and Install" (template 204) open through Shift+Ctrl+E.
std::string OpenInheritInstall();
// Closes an ended installation's progress dialog, then Program Install, then the tool.
std::string CloseAfterInstall();
}  // namespace script

// kelpconf started in the background; its transcript can be read while it runs.
class ToolRun {
 public:
  ToolRun(plat::Process process, std::filesystem::path out, std::filesystem::path err);
  ToolRun(ToolRun&&) = default;
  ~ToolRun();
  // Waits (real seconds) until a transcript line matches pattern; false when the time ran out or
  // the program ended first.
  bool WaitForLine(const std::string& pattern, int seconds = 30);
  std::vector<std::string> Lines() const;
  // Waits for the end (real seconds; killed past it).
  Outcome Finish(int seconds = 30);

 private:
  plat::Process m_process;
  std::filesystem::path m_out;
  std::filesystem::path m_err;
};

// One test's unit, settings file, agents and kelpconf runs, in a private system root and
// runtime dir (inherited by every child).
class ToolBench {
 public:
  // Boards rest up, so that their agents serve them.
  explicit ToolBench(corvid::sim::UnitSpec scenario);
  ToolBench(corvid::sim::Model model = corvid::sim::Model::ZQH, int boards = 4);
  ~ToolBench();
  ToolBench(const ToolBench&) = delete;
  ToolBench& operator=(const ToolBench&) = delete;

  // The settings file's keys by section; written at each launch.
  std::map<std::string, std::map<std::string, std::string>> settings;
  // Launches run the Qt host on its offscreen platform instead of headless.
  bool qtOffscreen = false;
  const std::filesystem::path& settingsFile() const { return m_settingsFile; }
  std::filesystem::path work(const std::string& name) const { return m_work / name; }

  // kelp-arraysim with arguments; its exit code.
  int ArraySim(const std::vector<std::string>& args) const;
  // Simulated board k (0..) of the unit, or every board, to status (a kelp-arraysim status word:
  // new, stopped, down...).
  testing::AssertionResult SetStatus(int k, const std::string& status) const;
  testing::AssertionResult SetAllStatus(const std::string& status) const;
  // kelp-agentsim for the unit on the agent port; false when it did not get ready.
  bool StartAgents(bool ignoreArrayStatus = false);

  // The standard command line: -h UNIT -s SETTINGS.
  std::vector<std::string> Words() const;
  // The tool runs in the test's folder, or in dir when given (where "./kelpconf.ini" is read).
  ToolRun Launch(const std::string& script, const std::vector<std::string>& words,
                 const std::filesystem::path& dir = {});
  ToolRun Launch(const std::string& script) { return Launch(script, Words()); }
  Outcome Run(const std::string& script, const std::vector<std::string>& words) {
    return Launch(script, words).Finish();
  }
  Outcome Run(const std::string& script) { return Run(script, Words()); }
  // Writes the settings file (each launch does; in-process tests call it themselves).
  void WriteSettings() const;
  // Writes media under the bench and makes its MP folder the tool's Install_files.
  testing::AssertionResult UseMedia(const mkmedia::Media& media);
  // The lines of the tool's trace files (kelpconf* in the bench's log folder) so far.
  std::vector<std::string> TraceLines() const;

 private:

  kelptest::IsolatedEnv m_env;
  kelptest::TempDir m_work;
  std::filesystem::path m_settingsFile;
  std::uint16_t m_agentPort = 0;
  plat::Process m_agents;
  int m_runs = 0;
};

}  // namespace kctest
