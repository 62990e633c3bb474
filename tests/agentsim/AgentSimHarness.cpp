#include "AgentSimHarness.h"

#include <signal.h>

#include <chrono>
#include <thread>

#include "FtpdHarness.h"
#include "board/AgentExchange.h"
#include "corvid/Sim.h"
#include "plat/Clock.h"

namespace agentsimtest {

AgentSim::AgentSim(bool ignoreArrayStatus) : m_port(ftptest::FreePort()), m_ignore(ignoreArrayStatus) {
  std::string error;
  EXPECT_TRUE(corvid::sim::CreateUnit(corvid::sim::PresetUnit(kUnit, corvid::sim::Model::ZQH, 4), true, &error))
      << error;
  plat::Clock::SetTimeScale(kTimeScale);
}

AgentSim::~AgentSim() {
  if (m_process.Pid() != 0 && m_process.IsRunning()) {
    EXPECT_EQ(Stop(), 0);
  }
  plat::Clock::SetTimeScale(0);
}

bool AgentSim::Launch(const std::vector<std::string>& extraArgs) {
  std::filesystem::remove(m_work / "ready");
  std::vector<std::string> args{"-c", "exec \"$0\" \"$@\" >>\"$KELPTEST_OUT\" 2>>\"$KELPTEST_ERR\"", KELP_AGENTSIM_PATH,
                                "-u", kUnit, "--port", std::to_string(m_port), "--ready-file", (m_work / "ready").string()};
  if (m_ignore) args.push_back("--ignore-array-status");
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  char scale[32];
  std::snprintf(scale, sizeof scale, "%g", kTimeScale);
  if (m_process.Start("/bin/sh", args,
                      {std::string("KELP_TIME_SCALE=") + scale, "KELPTEST_OUT=" + (m_work / "out.txt").string(),
                       "KELPTEST_ERR=" + (m_work / "err.txt").string()}))
    return true;
  ADD_FAILURE() << m_process.Error();
  return false;
}

int AgentSim::RunToEnd(const std::vector<std::string>& extraArgs) {
  if (!Launch(extraArgs)) return -1;
  if (const auto code = m_process.Wait(plat::Millis(std::chrono::seconds(2000)))) return *code;
  m_process.Terminate(-1, plat::Millis(100));
  return -1;
}

bool AgentSim::Start(const std::vector<std::string>& extraArgs) {
  const std::filesystem::path ready = m_work / "ready";
  if (!Launch(extraArgs)) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(ready)) return true;
    if (!m_process.IsRunning()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ADD_FAILURE() << "kelp-agentsim did not get ready: " << Stderr();
  return false;
}

int AgentSim::Stop() {
  if (m_process.Pid() == 0 || !m_process.IsRunning()) return m_process.Pid() == 0 ? -1 : m_process.Wait().value_or(-1);
  ::kill(m_process.Pid(), SIGTERM);
  if (const auto code = m_process.Wait(plat::Millis(std::chrono::seconds(2000)))) return *code;
  m_process.Terminate(-1, plat::Millis(100));
  return -1;
}

std::string AgentSim::Stdout() const { return kelptest::ReadFile(m_work / "out.txt"); }
std::string AgentSim::Stderr() const { return kelptest::ReadFile(m_work / "err.txt"); }
std::filesystem::path AgentSim::unitDir() const { return corvid::sim::UnitDir(kUnit); }
std::filesystem::path AgentSim::scenario() const { return unitDir() / "agents.ini"; }

CusrNasManager AgentSim::Client(int slot) const {
  const std::uint8_t address[4] = {127, 0, 0, static_cast<std::uint8_t>(10 + slot)};
  const std::uint8_t mask[4] = {255, 0, 0, 0};
  return CusrNasManager(address, mask, m_port, static_cast<std::uint32_t>(slot));
}

std::uint32_t Exchange(const CusrNasManager& client, const std::function<std::uint32_t(int)>& request,
                       const std::function<std::uint32_t(int)>& reply) {
  return board::RunExchange(client, board::Connect::Quiet, "", request, reply).code;
}

int ArraySim(const std::vector<std::string>& args) {
  plat::Process process;
  if (!process.Start(KELP_ARRAYSIM_PATH, args)) return -1;
  return process.Wait(plat::Millis(std::chrono::seconds(3000))).value_or(-1);
}

}  // namespace agentsimtest
