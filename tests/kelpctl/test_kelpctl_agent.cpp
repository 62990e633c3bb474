// kelpctl agent as a user runs it: the real program against kelp-agentsim on a simulated unit,
// and an installation through a real kelpftpd.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "AgentSimHarness.h"
#include "FtpdHarness.h"
#include "KelpctlRun.h"
#include "TestEnv.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"

namespace {

using Result = kelptest::KelpctlResult;

class KelpctlAgent : public ::testing::Test {
 protected:
  explicit KelpctlAgent(bool ignoreArrayStatus = true) : sim(ignoreArrayStatus) {}

  void SetUp() override {
    kelptest::WriteFile(settings.path() / "kelpconf.ini",
                        "[MainService]\nPort=" + std::to_string(sim.port()) + "\nTraceDir=" + settings.path().string() +
                            "\n[FtpService]\nPort=" + std::to_string(ftpd.port()) + "\n");
  }

  Result Kelpctl(const std::string& args) {
    return kelptest::RunKelpctl("-s " + (settings.path() / "kelpconf.ini").string() + " -h " + agentsimtest::kUnit +
                                " " + args);
  }

  // Runs and expects success, returning the output.
  std::string Ok(const std::string& args) {
    const Result run = Kelpctl(args);
    EXPECT_EQ(run.status, 0) << args << "\n" << run.output;
    return run.output;
  }

  ftptest::FtpdHarness ftpd;  // holds the isolated environment the simulator's unit lives in
  kelptest::ScopedEnv scale{"KELP_TIME_SCALE", "0.01"};
  kelptest::TempDir settings;
  agentsimtest::AgentSim sim;
};

TEST_F(KelpctlAgent, ReadsAndChangesEverySettingOfABoard) {
  ASSERT_TRUE(sim.Start()) << sim.Stderr();
  EXPECT_NE(Ok("agent 0 version").find("agent version 0x"), std::string::npos);
  EXPECT_NE(Ok("agent 0 cluster").find("cluster status 0x"), std::string::npos);
  EXPECT_FALSE(Ok("agent 0 ps").empty());

  Ok("agent 0 set-network 192.168.10.5 255.255.255.0");
  EXPECT_NE(Ok("agent 0 network").find("mng0 address 192.168.10.5 mask 255.255.255.0"), std::string::npos);
  Ok("agent 0 set-name nas-node-a");
  EXPECT_NE(Ok("agent 0 name").find("name nas-node-a"), std::string::npos);
  Ok("agent 0 set-mtu 9000 --interface 1");
  EXPECT_NE(Ok("agent 0 mtu --interface 1").find("mng1 MTU 9000"), std::string::npos);
  Ok("agent 0 set-ntp ntp1.example 10.0.0.7");
  const std::string ntp = Ok("agent 0 ntp");
  EXPECT_NE(ntp.find("NTP server 1: ntp1.example"), std::string::npos) << ntp;
  EXPECT_NE(ntp.find("NTP server 2: 10.0.0.7"), std::string::npos) << ntp;

  Ok("agent 0 add-route 10.20.0.0 255.255.0.0 192.168.10.1 --mss 1400");
  Ok("agent 0 add-route default 0.0.0.0 192.168.10.254");
  std::string routes = Ok("agent 0 routes");
  EXPECT_NE(routes.find("10.20.0.0"), std::string::npos) << routes;
  EXPECT_NE(routes.find("default"), std::string::npos) << routes;
  Ok("agent 0 delete-route 1");
  routes = Ok("agent 0 routes");
  EXPECT_EQ(routes.find("10.20.0.0"), std::string::npos) << routes;
  EXPECT_NE(routes.find("default"), std::string::npos) << routes;

  // Another board keeps its own settings.
  EXPECT_EQ(Ok("agent 8 name").find("nas-node-a"), std::string::npos);
}

TEST_F(KelpctlAgent, InstallsAndRemovesAProductThroughKelpftpd) {
  mkmedia::Media media = mkmedia::DefaultMedia(200000);
  std::string error;
  ASSERT_TRUE(mkmedia::WriteMedia(ftpd.root(), media, error)) << error;
  ASSERT_EQ(ftpd.Start(), "KELPFTPD OK");
  ASSERT_TRUE(sim.Start()) << sim.Stderr();

  const std::string& file = media.products[3].file;
  EXPECT_NE(Ok("agent 9 install " + file).find(file + " installed"), std::string::npos);
  const std::string products = Ok("agent 9 products");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(products, match, std::regex("code (\\d+) +" + media.products[3].name)))
      << products;
  Ok("agent 9 uninstall " + match[1].str());
  EXPECT_EQ(Ok("agent 9 products").find(media.products[3].name), std::string::npos);

  const Result missing = Kelpctl("agent 9 install no-such-file.img");
  EXPECT_EQ(missing.status, 1) << missing.output;
  EXPECT_NE(missing.output.find("refused the installation: 0x1"), std::string::npos) << missing.output;
}

// Agents that follow the array status: the preset's boards are stopped.
class KelpctlAgentStrict : public KelpctlAgent {
 protected:
  KelpctlAgentStrict() : KelpctlAgent(false) {}
};

TEST_F(KelpctlAgentStrict, AStoppedBoardsAgentIsUnreachable) {
  ASSERT_TRUE(sim.Start()) << sim.Stderr();
  const Result run = Kelpctl("agent 1 name");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("[DMEN03514E]"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("InitializeSocket(), code = 0x00000005"), std::string::npos) << run.output;
}

}  // namespace
