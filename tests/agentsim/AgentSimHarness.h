// Runs a real kelp-agentsim for one test on a simulated unit of the current environment (the
// test holds an IsolatedEnv, or an FtpdHarness that holds one), and drives its boards with the
// real client.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "agent/CusrNasManager.h"
#include "plat/Process.h"

namespace agentsimtest {

inline constexpr double kTimeScale = 0.01;  // a 60-second reply wait takes 600 ms
inline constexpr const char* kUnit = "u1";
inline constexpr int kSlots[] = {0, 1, 8, 9};

class AgentSim {
 public:
  // Creates the unit (ZQH, 4 boards) and, unless told otherwise, lets the agents ignore the
  // array status.
  explicit AgentSim(bool ignoreArrayStatus = true);
  ~AgentSim();
  AgentSim(const AgentSim&) = delete;
  AgentSim& operator=(const AgentSim&) = delete;

  // Starts kelp-agentsim and waits for its ready file; false when it did not get ready.
  bool Start(const std::vector<std::string>& extraArgs = {});
  // Runs it until it ends by itself; its exit code (-1 when it had to be stopped).
  int RunToEnd(const std::vector<std::string>& extraArgs = {});
  // SIGTERM and wait; the exit code, or -1 when it did not end in time (then killed).
  int Stop();
  std::string Stdout() const;
  std::string Stderr() const;
  std::uint16_t port() const { return m_port; }
  std::filesystem::path scenario() const;
  std::filesystem::path unitDir() const;

  // The client of a board's agent.
  CusrNasManager Client(int slot) const;

 private:
  kelptest::TempDir m_work;
  std::uint16_t m_port = 0;
  bool m_ignore = true;
  bool Launch(const std::vector<std::string>& extraArgs);

  plat::Process m_process;
};

// One whole exchange: connect, request, reply, close. The first failing step's result.
std::uint32_t Exchange(const CusrNasManager& client, const std::function<std::uint32_t(int)>& request,
                       const std::function<std::uint32_t(int)>& reply);

// Runs kelp-arraysim with arguments; its exit code.
int ArraySim(const std::vector<std::string>& args);

}  // namespace agentsimtest
