#include "ToolBench.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "plat/Socket.h"

namespace kctest {
namespace {

using Seconds = std::chrono::seconds;
constexpr auto kPoll = std::chrono::milliseconds(10);

// A logical wait of this process's clock that lasts seconds of real time: in-process tests shrink
// their own clock, and a child (a sanitizer build under load) still needs real seconds to end.
plat::Millis Real(int seconds) {
  return std::chrono::duration_cast<plat::Millis>(Seconds(seconds) / plat::Clock::TimeScale());
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::istringstream in(kelptest::ReadFile(file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ScaleText() {
  std::ostringstream text;
  text << kTimeScale;
  return text.str();
}

}  // namespace

std::optional<std::size_t> FindLine(const std::vector<std::string>& lines, const std::string& pattern,
                                    std::size_t from) {
  const std::regex re(pattern);
  for (std::size_t i = from; i < lines.size(); ++i)
    if (std::regex_match(lines[i], re)) return i;
  return std::nullopt;
}

std::string Dump(const std::vector<std::string>& lines) {
  std::string text = "transcript:\n";
  for (const std::string& line : lines) text += "  " + line + "\n";
  return text;
}

namespace script {

std::string Ready(int seconds) { return "wait-transcript \"^ready$\" " + std::to_string(seconds) + "\n"; }

std::string SelectBoard(int slot, const std::string& state, int seconds) {
  const std::string button = std::to_string(1500 + slot);
  std::string text = Ready(seconds);
  if (!state.empty()) text += "wait-text " + button + " \"" + state + "\" " + std::to_string(seconds) + "\n";
  return text + "click " + button + "\n";
}

std::string OpenProgramInstall(int slot, const std::string& state) {
  return SelectBoard(slot, state) + "click \"Program Install\"\nwait-transcript \"^window 206 .*\" 600\n";
}

std::string OpenInheritInstall() {
  return Ready() + "key shift+ctrl+e\nanswer 4036 ok\nclick \"Inherit and Install\"\n"
                   "wait-transcript \"^window 204 .*\" 600\n";
}

std::string CloseAfterInstall() {
  return "click \"Close\"\nclick \"Close\"\nwait-transcript \"^busy 0 0$\" 600\nclose\n";
}

}  // namespace script

void ExpectInOrder(const Outcome& run, const std::vector<std::string>& patterns) {
  std::size_t from = 0;
  for (const std::string& pattern : patterns) {
    const auto at = FindLine(run.lines, pattern, from);
    ASSERT_TRUE(at) << pattern << "\n" << Dump(run.lines);
    from = *at + 1;
  }
}

ToolRun::ToolRun(plat::Process process, std::filesystem::path out, std::filesystem::path err)
    : m_process(std::move(process)), m_out(std::move(out)), m_err(std::move(err)) {}

ToolRun::~ToolRun() {
  if (m_process.Pid() != 0 && m_process.IsRunning()) m_process.Terminate(-1, plat::Millis(500));
}

bool ToolRun::WaitForLine(const std::string& pattern, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + Seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (FindLine(Lines(), pattern)) return true;
    if (!m_process.IsRunning()) return FindLine(Lines(), pattern).has_value();
    std::this_thread::sleep_for(kPoll);
  }
  return false;
}

std::vector<std::string> ToolRun::Lines() const { return ReadLines(m_out); }

Outcome ToolRun::Finish(int seconds) {
  Outcome outcome;
  if (const std::optional<int> code = m_process.Wait(Real(seconds))) {
    outcome.exitCode = *code;
  } else {
    ADD_FAILURE() << "kelpconf did not end within " << seconds << " s";
    m_process.Terminate(-1, plat::Millis(500));
  }
  outcome.lines = Lines();
  outcome.errors = kelptest::ReadFile(m_err);
  return outcome;
}

ToolBench::ToolBench(corvid::sim::UnitSpec scenario) : m_settingsFile(m_work / "kelpconf.ini") {
  corvid::sim::SetTimeScale(kTimeScale);
  for (corvid::sim::BoardSpec& board : scenario.boards) board.status = 2;  // up
  std::string error;
  EXPECT_TRUE(corvid::sim::CreateUnit(scenario, true, &error)) << error;
  m_agentPort = plat::FreeLoopbackPort();
  std::filesystem::create_directory(m_work / "log");  // else the trace would go to the current folder
  const std::string log = (m_work / "log").string();
  settings["MainService"] = {{"TraceDir", log},
                             {"TraceLevel", "debug"},
                             {"Port", std::to_string(m_agentPort)},
                             {"kelpftpd_path", KELPFTPD_PATH},
                             {"RefreshTime", "1"}};
  settings["FtpService"] = {{"Port", std::to_string(plat::FreeLoopbackPort())}, {"TraceDir", log}};
}

ToolBench::ToolBench(corvid::sim::Model model, int boards)
    : ToolBench(corvid::sim::PresetUnit(kUnit, model, boards)) {}

ToolBench::~ToolBench() {
  if (m_agents.Pid() != 0 && m_agents.IsRunning()) {
    ::kill(m_agents.Pid(), SIGTERM);
    if (!m_agents.Wait(Real(10))) m_agents.Terminate(-1, plat::Millis(500));
  }
}

int ToolBench::ArraySim(const std::vector<std::string>& args) const {
  plat::Process process;
  if (!process.Start(KELP_ARRAYSIM_PATH, args, {"KELP_TIME_SCALE=" + ScaleText()})) return -1;
  return process.Wait(Real(30)).value_or(-1);
}

testing::AssertionResult ToolBench::SetStatus(int k, const std::string& status) const {
  if (ArraySim({"set", kUnit, std::to_string(k), "status", status}) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "board " << k << " not set " << status;
}

testing::AssertionResult ToolBench::SetAllStatus(const std::string& status) const {
  std::vector<corvid::sim::BoardState> boards;
  if (!corvid::sim::GetBoardStates(kUnit, &boards)) return testing::AssertionFailure() << "no board states";
  for (const corvid::sim::BoardState& board : boards)
    if (testing::AssertionResult set = SetStatus(board.k, status); !set) return set;
  return testing::AssertionSuccess();
}

bool ToolBench::StartAgents(bool ignoreArrayStatus) {
  const std::filesystem::path ready = m_work / "agents.ready";
  std::vector<std::string> args{"-c",   "exec \"$0\" \"$@\" >\"$KCT_OUT\" 2>&1", KELP_AGENTSIM_PATH, "-u",
                                kUnit, "--port", std::to_string(m_agentPort), "--ready-file", ready.string()};
  if (ignoreArrayStatus) args.push_back("--ignore-array-status");
  if (!m_agents.Start("/bin/sh", args,
                      {"KELP_TIME_SCALE=" + ScaleText(), "KCT_OUT=" + (m_work / "agents.out").string()})) {
    ADD_FAILURE() << m_agents.Error();
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + Seconds(20);
  while (std::chrono::steady_clock::now() < deadline && m_agents.IsRunning()) {
    if (std::filesystem::exists(ready)) return true;
    std::this_thread::sleep_for(kPoll);
  }
  ADD_FAILURE() << "kelp-agentsim did not get ready: " << kelptest::ReadFile(m_work / "agents.out");
  return false;
}

std::vector<std::string> ToolBench::Words() const { return {"-h", kUnit, "-s", m_settingsFile.string()}; }

void ToolBench::WriteSettings() const {
  std::ostringstream text;
  for (const auto& [section, keys] : settings) {
    text << "[" << section << "]\n";
    for (const auto& [key, value] : keys) text << key << "=" << value << "\n";
  }
  kelptest::WriteFile(m_settingsFile, text.str());
}

ToolRun ToolBench::Launch(const std::string& script, const std::vector<std::string>& words,
                          const std::filesystem::path& dir) {
  WriteSettings();
  const std::string run = "run" + std::to_string(++m_runs);
  const std::filesystem::path scriptFile = m_work / (run + ".script");
  const std::filesystem::path out = m_work / (run + ".out");
  const std::filesystem::path err = m_work / (run + ".err");
  kelptest::WriteFile(scriptFile, script);
  std::vector<std::string> args{"-c", "cd \"${KCT_DIR:-.}\" && exec \"$0\" \"$@\" >\"$KCT_OUT\" 2>\"$KCT_ERR\"",
                                KELPCONF_PATH};
  args.insert(args.end(), words.begin(), words.end());
  plat::Process process;
  const std::string ui = qtOffscreen ? "QT_QPA_PLATFORM=offscreen" : "KELP_UI=headless";
  EXPECT_TRUE(process.Start("/bin/sh", args,
                            {ui, "KELP_UI_SCRIPT=" + scriptFile.string(), "KELP_TIME_SCALE=" + ScaleText(),
                             "KCT_OUT=" + out.string(), "KCT_ERR=" + err.string(), "KCT_DIR=" + dir.string()}))
      << process.Error();
  return ToolRun(std::move(process), out, err);
}

std::vector<std::string> ToolBench::TraceLines() const {
  std::vector<std::string> lines;
  for (const auto& entry : std::filesystem::directory_iterator(work("log"))) {
    if (entry.path().filename().string().rfind("kelpconf", 0) != 0) continue;
    const std::vector<std::string> file = ReadLines(entry.path());
    lines.insert(lines.end(), file.begin(), file.end());
  }
  return lines;
}

testing::AssertionResult ToolBench::UseMedia(const mkmedia::Media& media) {
  std::string error;
  const std::filesystem::path root = work("media");
  if (!mkmedia::WriteMedia(root, media, error)) return testing::AssertionFailure() << error;
  settings["FtpService"]["Install_files"] = (root / "MP").string();
  return testing::AssertionSuccess();
}

}  // namespace kctest
