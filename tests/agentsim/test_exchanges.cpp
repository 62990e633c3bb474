// Every exchange of the agent protocol against the real kelp-agentsim through the real client:
// the request is accepted, the reply decodes, a change shows on the next exchange and after a
// restart of the simulator; boards that are not up refuse connections.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "AgentSimHarness.h"
#include "agent/AgentCodes.h"
#include "common/MessageDisplay.h"
#include "common/ProcessContext.h"
#include "common/RecordingDisplay.h"
#include "agent/Pack.h"
#include "corvid/Sim.h"

using namespace agentsimtest;
using agent::LuBackupInfo;
using agent::NewRoute;
using agent::RouteTexts;
using agent::SystemLuBackupInfo;

namespace {

class AgentSimExchanges : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Start()); }

  std::string NetworkInfo(const CusrNasManager& c, std::uint32_t nic) {
    std::string ip, mask, gateway;
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNetworkInfo(s, nic); },
                       [&](int s) { return c.ReplyNetworkInfo(s, &ip, &mask, &gateway); }),
              0u);
    return ip + "/" + mask + "/" + gateway;
  }
  std::vector<RouteTexts> Routes(const CusrNasManager& c) {
    std::vector<RouteTexts> routes;
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestRoutingInfo(s); },
                       [&](int s) { return c.ReplyRoutingInfo(s, &routes); }),
              0u);
    return routes;
  }

  kelptest::IsolatedEnv env;
  RecordingDisplay display;
  common::ProcessContext context{{.display = &display}};
  AgentSim sim;
};

TEST_F(AgentSimExchanges, PrintsOneLinePerBoardAndReady) {
  const std::string out = sim.Stdout();
  for (int slot : kSlots)
    EXPECT_NE(out.find("slot " + std::to_string(slot) + ": 127.0.0." + std::to_string(10 + slot) + ":" +
                       std::to_string(sim.port()) + "\n"),
              std::string::npos)
        << out;
  EXPECT_NE(out.find("ready\n"), std::string::npos);
}

TEST_F(AgentSimExchanges, StatusWordsAndCommandOutput) {
  const CusrNasManager c = sim.Client(8);
  std::uint32_t version = 0, cluster = 0, defined = 0;
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestVersion(s); }, [&](int s) { return c.ReplyVersion(s, &version); }), 0u);
  EXPECT_EQ(version, 0x05000000u);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestClusterStatus(s); },
                     [&](int s) { return c.ReplyClusterStatus(s, &cluster); }), 0u);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestClusterDefinedStatus(s); },
                     [&](int s) { return c.ReplyClusterDefinedStatus(s, &defined); }), 0u);
  EXPECT_EQ(cluster, 1u);
  EXPECT_EQ(defined, 1u);

  const auto ps = [&] {
    std::string output;
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestCommandIF(s, std::string(agent::kPsCommandLine)); },
                       [&](int s) { return c.ReplyCommandIF(s, &output); }), 0u);
    return output;
  };
  EXPECT_NE(ps().find("\nha_"), std::string::npos);
  // Scenario changes apply to the running simulator.
  ASSERT_EQ(ArraySim({"agent", kUnit, "board", "8", "HaProcess", "0"}), 0);
  ASSERT_EQ(ArraySim({"agent", kUnit, "board", "8", "AgentVersion", "0x05000001"}), 0);
  EXPECT_EQ(ps().find("ha_"), std::string::npos);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestVersion(s); }, [&](int s) { return c.ReplyVersion(s, &version); }), 0u);
  EXPECT_EQ(version, 0x05000001u);
  std::string other;
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestCommandIF(s, "frobnicate --now"); },
                     [&](int s) { return c.ReplyCommandIF(s, &other); }), 0u);
  EXPECT_EQ(other, "sh: frobnicate: command not found\n");
}

TEST_F(AgentSimExchanges, SettingsChangeAndSurviveARestart) {
  const CusrNasManager c = sim.Client(1);
  EXPECT_EQ(NetworkInfo(c, 0), "127.0.0.11/255.0.0.0/127.0.0.1");
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNetworkSetting0301(s, 1, "10.1.2.3", "255.255.0.0"); },
                     [&](int s) { return c.ReplyNetworkSetting0301(s, 0); }), 0u);
  // The same values again change nothing.
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNetworkSetting0301(s, 1, "10.1.2.3", "255.255.0.0"); },
                     [&](int s) { return c.ReplyNetworkSetting0301(s, 0); }), agent::kAgentNotChanged);
  const std::vector<std::string> servers{"ntp1.example", "10.0.0.5"};
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNTPSetting(s, servers); },
                     [&](int s) { return c.ReplyNTPSetting(s); }), 0u);
  std::string name;
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestCHNName(s); }, [&](int s) { return c.ReplyCHNName(s, &name); }), 0u);
  EXPECT_EQ(name, "");
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestCHNNameSetting(s, "nas-east"); },
                     [&](int s) { return c.ReplyCHNNameSetting(s); }), 0u);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestMTUSetting(s, 0, 9000); },
                     [&](int s) { return c.ReplyMTUSetting(s); }), 0u);
  NewRoute route;
  route.target = std::array<std::uint8_t, 4>{10, 9, 0, 0};
  route.netmask = {255, 255, 0, 0};
  route.gateway = std::array<std::uint8_t, 4>{192, 168, 1, 1};
  route.ulMSS = 1400;
  NewRoute byDefault;
  for (const NewRoute& r : {route, byDefault})
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestRoutingAdd(s, r); },
                       [&](int s) { return c.ReplyRoutingAdd(s); }), 0u);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestRoutingAdd(s, route); },
                     [&](int s) { return c.ReplyRoutingAdd(s); }), agent::kAgentRouteExists);

  const auto check = [&] {
    EXPECT_EQ(NetworkInfo(c, 1), "10.1.2.3/255.255.0.0/192.168.1.1");
    std::vector<std::string> got;
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNTPInfo(s); }, [&](int s) { return c.ReplyNTPInfo(s, &got); }), 0u);
    EXPECT_EQ(got, servers);
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestCHNName(s); }, [&](int s) { return c.ReplyCHNName(s, &name); }), 0u);
    EXPECT_EQ(name, "nas-east");
    std::uint32_t mtu = 0;
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestMTUInfo(s, 0); }, [&](int s) { return c.ReplyMTUInfo(s, &mtu); }), 0u);
    EXPECT_EQ(mtu, 9000u);
    const std::vector<RouteTexts> routes = Routes(c);
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(agent::TrimTrailingBlanks(routes[0][agent::kRouteTarget]), "10.9.0.0");
    EXPECT_EQ(agent::TrimTrailingBlanks(routes[0][agent::kRouteGateway]), "192.168.1.1");
    EXPECT_EQ(routes[0][agent::kRouteMss], "1400");
    EXPECT_EQ(agent::TrimTrailingBlanks(routes[1][agent::kRouteTarget]), "default");
    EXPECT_EQ(routes[1][agent::kRouteGateway], "*");
  };
  check();
  ASSERT_EQ(sim.Stop(), 0);
  ASSERT_TRUE(sim.Start());
  check();

  // A listed route is deleted by its texts; deleting it again finds nothing.
  const RouteTexts listed = Routes(c)[0];
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestRoutingDelete(s, listed); },
                     [&](int s) { return c.ReplyRoutingDelete(s); }), 0u);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestRoutingDelete(s, listed); },
                     [&](int s) { return c.ReplyRoutingDelete(s); }), agent::kResultRouteNotFound);
  EXPECT_EQ(Routes(c).size(), 1u);
}

TEST_F(AgentSimExchanges, SettingsRefuseBadValues) {
  const CusrNasManager c = sim.Client(0);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNetworkSetting0301(s, 0, "10.1.2", "255.0.0.0"); },
                     [&](int s) { return c.ReplyNetworkSetting0301(s, 0); }), agent::kAgentField1);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNetworkSetting0301(s, 0, "10.1.2.3", "255.0.255.0"); },
                     [&](int s) { return c.ReplyNetworkSetting0301(s, 0); }), agent::kAgentField2);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNetworkSetting0301(s, 0, "192.168.0.10", "255.0.0.0"); },
                     [&](int s) { return c.ReplyNetworkSetting0301(s, 0); }), agent::kAgentAddressConflict);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestMTUSetting(s, 0, 20); },
                     [&](int s) { return c.ReplyMTUSetting(s); }), agent::kAgentField1);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNTPSetting(s, {"ok.example", "bad\"name"}); },
                     [&](int s) { return c.ReplyNTPSetting(s); }), agent::kAgentField1);
  // The route table is full at 16 routes.
  for (std::uint8_t i = 0; i < 17; ++i) {
    NewRoute r;
    r.target = std::array<std::uint8_t, 4>{10, i, 0, 0};
    r.netmask = {255, 255, 0, 0};
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestRoutingAdd(s, r); },
                       [&](int s) { return c.ReplyRoutingAdd(s); }), i < 16 ? 0u : agent::kAgentRouteTableFull) << int(i);
  }
  std::uint32_t mtu = 0;
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestMTUInfo(s, 7); }, [&](int s) { return c.ReplyMTUInfo(s, &mtu); }),
            agent::kAgentField0);
}

TEST_F(AgentSimExchanges, OperationsRunForTheConfiguredPollsThenFinish) {
  ASSERT_EQ(ArraySim({"agent", kUnit, "board", "9", "StatPolls", "3"}), 0);
  ASSERT_EQ(ArraySim({"agent", kUnit, "board", "9", "InitStates", "15,16,17"}), 0);
  const CusrNasManager c = sim.Client(9);
  const auto polls = [&](const std::function<std::uint32_t(int)>& start,
                         const std::function<std::uint32_t(int)>& startReply,
                         const std::function<std::uint32_t(int)>& poll,
                         const std::function<std::uint32_t(int, std::uint32_t*)>& pollReply) {
    EXPECT_EQ(Exchange(c, start, startReply), 0u);
    std::vector<std::uint32_t> seen;
    for (int i = 0; i < 10; ++i) {
      std::uint32_t status = 0xFFFF;
      EXPECT_EQ(Exchange(c, poll, [&](int s) { return pollReply(s, &status); }), 0u);
      seen.push_back(status);
      if (status == 0) break;
    }
    return seen;
  };
  using V = std::vector<std::uint32_t>;
  EXPECT_EQ(polls([&](int s) { return c.RequestNasOsLuResotre(s); }, [&](int s) { return c.ReplyNasOsLuRestore(s); },
                  [&](int s) { return c.RequestNasOsLuRestoreStat(s); },
                  [&](int s, std::uint32_t* p) { return c.ReplyNasOsLuRestoreStat(s, p); }),
            (V{101, 101, 101, 0}));
  EXPECT_EQ(polls([&](int s) { return c.RequestInitializeCluster(s); },
                  [&](int s) { return c.ReplyInitializeCluster(s); },
                  [&](int s) { return c.RequestInitializeClusterStat(s); },
                  [&](int s, std::uint32_t* p) { return c.ReplyInitializeClusterStat(s, p); }),
            (V{101, 101, 101, 15, 16, 17, 0}));
  EXPECT_EQ(polls([&](int s) { return c.RequestStopCluster(s); }, [&](int s) { return c.ReplyStopCluster(s); },
                  [&](int s) { return c.RequestStopClusterStat(s); },
                  [&](int s, std::uint32_t* p) { return c.ReplyStopClusterStat(s, p); }),
            (V{101, 101, 101, 0}));
  EXPECT_EQ(polls([&](int s) { return c.RequestNasSharedLuResotre(s); },
                  [&](int s) { return c.ReplyNasSharedLuRestore(s); },
                  [&](int s) { return c.RequestNasSharedLuRestoreStat(s); },
                  [&](int s, std::uint32_t* p) { return c.ReplyNasSharedLuRestoreStat(s, p); }),
            (V{101, 101, 101, 0}));
  EXPECT_EQ(polls([&](int s) { return c.RequestNasSystemLuResotre(s); },
                  [&](int s) { return c.ReplyNasSystemLuRestore(s); },
                  [&](int s) { return c.RequestNasSystemLuRestoreStat(s); },
                  [&](int s, std::uint32_t* p) { return c.ReplyNasSystemLuRestoreStat(s, p); }),
            (V{101, 101, 101, 0}));
  EXPECT_EQ(polls([&](int s) { return c.RequestNasSystemLuExtract(s, "extract.tgz"); },
                  [&](int s) { return c.ReplyNasSystemLuExtract(s); },
                  [&](int s) { return c.RequestNasSystemLuExtractStat(s); },
                  [&](int s, std::uint32_t* p) { return c.ReplyNasSystemLuExtractStat(s, p); }),
            (V{101, 101, 101, 0}));

  SystemLuBackupInfo system;
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNasSystemLuBackupInfo(s); },
                     [&](int s) { return c.ReplyNasSystemLuBackupInfo(s, &system); }), 0u);
  EXPECT_EQ(agent::TrimTrailingBlanks(system.strFileName), "extract.tgz");
  EXPECT_EQ(system.strDate.size(), agent::kBackupDateWidth);
  LuBackupInfo os, shared;
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNasOsLuBackupInfo(s); },
                     [&](int s) { return c.ReplyNasOsLuBackupInfo(s, &os); }), 0u);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNasSharedLuBackupInfo(s); },
                     [&](int s) { return c.ReplyNasSharedLuBackupInfo(s, &shared); }), 0u);
  EXPECT_EQ(os.strDate, "2024/01/15 10:30");
  EXPECT_EQ(os.ulBackupStatus, 0u);
  EXPECT_EQ(shared.ulDataSize, 0x40u);
}

TEST_F(AgentSimExchanges, RunningOperationSurvivesARestart) {
  const CusrNasManager c = sim.Client(0);
  EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNasOsLuResotre(s); },
                     [&](int s) { return c.ReplyNasOsLuRestore(s); }), 0u);
  ASSERT_EQ(sim.Stop(), 0);
  ASSERT_TRUE(sim.Start());
  std::uint32_t status = 0;
  for (std::uint32_t expected : {101u, 101u, 0u}) {
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestNasOsLuRestoreStat(s); },
                       [&](int s) { return c.ReplyNasOsLuRestoreStat(s, &status); }), 0u);
    EXPECT_EQ(status, expected);
  }
}

TEST_F(AgentSimExchanges, BoardsAnswerConcurrently) {
  // A board whose reply is held must not hold up another board, nor another connection to it.
  ASSERT_EQ(ArraySim({"agent", kUnit, "behave", "0", "Version", "Stall=1"}), 0);
  const CusrNasManager stalled = sim.Client(0);
  std::thread held([&] {
    std::uint32_t v = 0;
    EXPECT_EQ(Exchange(stalled, [&](int s) { return stalled.RequestVersion(s); },
                       [&](int s) { return stalled.ReplyVersion(s, &v); }), agent::kResultTimeout);
  });
  for (int slot : kSlots) {
    const CusrNasManager c = sim.Client(slot);
    std::uint32_t cluster = 0;
    EXPECT_EQ(Exchange(c, [&](int s) { return c.RequestClusterStatus(s); },
                       [&](int s) { return c.ReplyClusterStatus(s, &cluster); }), 0u) << slot;
  }
  held.join();
}

class AgentSimArrayStatus : public testing::Test {
 protected:
  kelptest::IsolatedEnv env;
  AgentSim sim{false};
};

TEST_F(AgentSimArrayStatus, BoardRefusesUntilItIsUp) {
  ASSERT_TRUE(sim.Start());
  const CusrNasManager c = sim.Client(1);
  std::uint32_t version = 0;
  const auto exchange = [&] {
    return Exchange(c, [&](int s) { return c.RequestVersion(s); }, [&](int s) { return c.ReplyVersion(s, &version); });
  };
  // The preset boards rest stopped.
  EXPECT_EQ(exchange(), agent::kResultProtocol);
  std::string error;
  ASSERT_TRUE(corvid::sim::SetBoardStatus(kUnit, 1, 2, &error)) << error;
  std::uint32_t result = agent::kResultProtocol;
  for (int i = 0; i < 200 && result != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    result = exchange();
  }
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(version, 0x05000000u);
  // Stopped again, it refuses again; the other boards refused throughout.
  ASSERT_TRUE(corvid::sim::SetBoardStatus(kUnit, 1, 3, &error)) << error;
  for (int i = 0; i < 200 && result == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    result = exchange();
  }
  EXPECT_EQ(result, agent::kResultProtocol);
  const CusrNasManager other = sim.Client(8);
  EXPECT_EQ(Exchange(other, [&](int s) { return other.RequestVersion(s); },
                     [&](int s) { return other.ReplyVersion(s, &version); }), agent::kResultProtocol);
}

// The array installs the NAS OS, so the products list names the version the array reports for
// the board (the preset's 05-00-00-00), not the agent's own default.
TEST_F(AgentSimArrayStatus, TheNasOsRowFollowsTheArraysVersion) {
  ASSERT_TRUE(sim.Start());
  std::string error;
  ASSERT_TRUE(corvid::sim::SetBoardStatus(kUnit, 1, 2, &error)) << error;
  const CusrNasManager c = sim.Client(1);
  std::vector<agent::ProductTexts> products;
  std::uint32_t result = agent::kResultProtocol;
  for (int i = 0; i < 200 && result != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    result = Exchange(c, [&](int s) { return c.RequestUninstInfo(s); },
                      [&](int s) { return c.ReplyUninstInfo(s, &products); });
  }
  ASSERT_EQ(result, 0u);
  ASSERT_FALSE(products.empty());
  EXPECT_EQ(products[0][agent::kProductName], "NAS OS");
  EXPECT_EQ(products[0][agent::kProductVersion], "05-00-00-00");
}

TEST_F(AgentSimArrayStatus, ReportsAnAddressItCannotBindAndExits) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(sim.port());
  sa.sin_addr.s_addr = htonl(0x7F000012);  // slot 8
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_EQ(::listen(fd, 1), 0);
  EXPECT_EQ(sim.RunToEnd(), 1);
  EXPECT_NE(sim.Stderr().find("slot 8: cannot listen on 127.0.0.18:" + std::to_string(sim.port())),
            std::string::npos)
      << sim.Stderr();
  ::close(fd);
}

}  // namespace
