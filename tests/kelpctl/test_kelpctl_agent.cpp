// kelpctl agent as a user runs it: the real program against kelp-agentsim on a simulated unit,
// and an installation through a real kelpftpd.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "AgentSimHarness.h"
#include "CraftedAgent.h"
#include "FtpdHarness.h"
#include "JsonParse.h"
#include "KelpctlRun.h"
#include "TestEnv.h"
#include "agent/FrameCodec.h"
#include "agent/Pack.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"

namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
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

  // Runs with --json, expects status and returns the document of standard output.
  common::json::Value Json(const std::string& args, int status) {
    const Result run = kelptest::RunKelpctlApart("--json -s " + (settings.path() / "kelpconf.ini").string() + " -h " +
                                                 agentsimtest::kUnit + " " + args);
    EXPECT_EQ(run.status, status) << args << "\n" << run.output << run.errors;
    std::string error;
    const auto document = kelptest::ParseJson(run.output, &error);
    EXPECT_TRUE(document) << args << ": " << error << "\n" << run.output;
    return document.value_or(common::json::Value());
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
  EXPECT_THAT(Ok("agent 0 version"), HasSubstr("slot 0: agent version 0x05000000 (supported; this tool 0x05000100)\n"));
  EXPECT_THAT(Ok("agent 0 cluster"), HasSubstr("slot 0: cluster status 0x00000001, cluster definition state 0x00000001\n"));
  // The board's process names, one a line, as the agent ran the setup tool's ps command line.
  EXPECT_THAT(Ok("agent 0 ps"), AllOf(StartsWith("init\n"), HasSubstr("\nha_monitor\n"), EndsWith("\nnfsd\n")));

  Ok("agent 0 set-network 192.168.10.5 255.255.255.0");
  EXPECT_THAT(Ok("agent 0 network"), HasSubstr("mng0 address 192.168.10.5 mask 255.255.255.0"));
  Ok("agent 0 set-name nas-node-a");
  EXPECT_THAT(Ok("agent 0 name"), HasSubstr("name nas-node-a"));
  Ok("agent 0 set-mtu 9000 --interface 1");
  EXPECT_THAT(Ok("agent 0 mtu --interface 1"), HasSubstr("mng1 MTU 9000"));
  Ok("agent 0 set-ntp ntp1.example 10.0.0.7");
  EXPECT_THAT(Ok("agent 0 ntp"), AllOf(HasSubstr("NTP server 1: ntp1.example"), HasSubstr("NTP server 2: 10.0.0.7")));

  Ok("agent 0 add-route 10.20.0.0 255.255.0.0 192.168.10.1 --mss 1400");
  Ok("agent 0 add-route default 0.0.0.0 192.168.10.254");
  EXPECT_THAT(Ok("agent 0 routes"), AllOf(HasSubstr("10.20.0.0"), HasSubstr("default")));
  Ok("agent 0 delete-route 1");
  EXPECT_THAT(Ok("agent 0 routes"), AllOf(Not(HasSubstr("10.20.0.0")), HasSubstr("default")));

  // Another board keeps its own settings.
  EXPECT_THAT(Ok("agent 8 name"), Not(HasSubstr("nas-node-a")));

  // The same reads as documents.
  using common::json::Value;
  EXPECT_EQ(Json("agent 0 version", 0), Value(Value::Object{{"slot", 0},
                                                             {"version", 0x05000000},
                                                             {"newerAgent", false},
                                                             {"toolVersion", 0x05000100}}));
  EXPECT_EQ(Json("agent 0 network", 0), Value(Value::Object{{"slot", 0},
                                                             {"interface", "mng0"},
                                                             {"address", "192.168.10.5"},
                                                             {"mask", "255.255.255.0"},
                                                             {"gateway", "127.0.0.1"}}));
  // The NAS OS the array installed is the board's one product.
  EXPECT_EQ(Json("agent 9 products", 0),
            Value(Value::Object{{"slot", 9},
                                {"products", Value::Array{Value::Object{{"code", 1},
                                                                        {"name", "NAS OS"},
                                                                        {"version", "05-00-01-00"},
                                                                        {"date", "2024/01/15 10:30:00"},
                                                                        {"type", "OS"}}}}}));
}

TEST_F(KelpctlAgent, InstallsAndRemovesAProductThroughKelpftpd) {
  mkmedia::Media media = mkmedia::DefaultMedia(200000);
  std::string error;
  ASSERT_TRUE(mkmedia::WriteMedia(ftpd.root(), media, error)) << error;
  ASSERT_EQ(ftpd.Start(), "KELPFTPD OK");
  ASSERT_TRUE(sim.Start()) << sim.Stderr();

  const std::string& file = media.products[3].file;
  EXPECT_THAT(Ok("agent 9 install " + file), HasSubstr(file + " installed"));
  const std::string products = Ok("agent 9 products");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(products, match, std::regex("code (\\d+) +" + media.products[3].name)))
      << products;
  // The product as a document: the code is a number, the texts as the agent keeps them.
  const common::json::Value listed = Json("agent 9 products", 0);
  const common::json::Value::Array& all = listed["products"].AsArray();
  const auto product = std::find_if(all.begin(), all.end(), [&](const common::json::Value& p) {
    return p["name"].AsString() == media.products[3].name;
  });
  ASSERT_NE(product, all.end()) << products;
  EXPECT_EQ((*product)["code"].AsNumber(), std::stoll(match[1].str()));
  EXPECT_EQ((*product)["version"].AsString(), media.products[3].version);
  EXPECT_FALSE((*product)["date"].IsNull());
  Ok("agent 9 uninstall " + match[1].str());
  EXPECT_THAT(Ok("agent 9 products"), Not(HasSubstr(media.products[3].name)));

  const Result missing = Kelpctl("agent 9 install no-such-file.img");
  EXPECT_EQ(missing.status, 1) << missing.output;
  EXPECT_THAT(missing.output, HasSubstr("refused the installation: 0x1"));
}

// A board whose agent answers badly: kelpctl names the failing step, the variant that ran and
// the cause, not only the code.
TEST_F(KelpctlAgent, FailuresNameTheirCause) {
  using Bytes = std::vector<std::uint8_t>;
  kelptest::CraftedAgent board({127, 0, 0, 10});  // slot 0's agent address on the simulated unit
  kelptest::WriteFile(settings.path() / "kelpconf.ini", "[MainService]\nPort=" + std::to_string(board.Port()) +
                                                            "\nTraceDir=" + settings.path().string() + "\n");
  const auto withWord = [](Bytes bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    return bytes;
  };
  Bytes mtu;
  agent::Pack(mtu, "ll", {4u, 1500u});
  const Bytes goodMtu = agent::EncodeReply(agent::Exchange::MTUInfo, 0, mtu);
  const Bytes version = agent::EncodeReply(agent::Exchange::Version, 0x05000000);
  kelptest::CraftedAgent::Reply silence{{}};
  silence.hangAfter = true;
  struct Case {
    const char* args;
    kelptest::CraftedAgent::Reply reply;
    const char* expected;
  };
  const Case cases[] = {
      {"agent 0 mtu", {withWord(goodMtu, 24, 0xFFFFFFF0)},
       "kelpctl: ReplyMTUInfo(), code = 0x00000005: Invalid MsgSize = 4294967280\n"},
      {"agent 0 mtu", {withWord(goodMtu, 36, 0x7FFFFFF0)},
       "kelpctl: ReplyMTUInfo(), code = 0x00000005: Invalid Data size : 16 (Truncated)\n"},
      {"agent 0 version", {Bytes(version.begin(), version.begin() + 30)},
       "kelpctl: ReplyVersion(), code = 0x00000005: connection closed by the board\n"},
      {"agent 0 name", silence, "kelpctl: ReplyCHNName(), code = 0x00000009: no reply within 60 s\n"},
  };
  for (const Case& c : cases) {
    board.Push(c.reply);
    const Result run = Kelpctl(c.args);
    EXPECT_EQ(run.status, 1) << c.args << "\n" << run.output;
    EXPECT_THAT(run.output, HasSubstr(c.expected)) << run.output;
  }
  // Nothing listens at slot 1's address: the quiet connect of the version exchange names itself.
  const Result refused = Kelpctl("agent 1 version");
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_THAT(refused.output, HasSubstr("kelpctl: InitializeSocketEx(), code = 0x00000005: cannot connect to 127.0.0.11:" +
                                        std::to_string(board.Port()) + ": Connection refused\n"));

  // Under --json the same failures are the error document: the step, its code and the cause.
  using common::json::Value;
  const auto errorOf = [](std::uint32_t code, const char* step, const std::string& message) {
    return Value(Value::Object{{"error", Value::Object{{"code", code}, {"message", message}, {"step", step}}}});
  };
  board.Push({Bytes(version.begin(), version.begin() + 30)});
  EXPECT_EQ(Json("agent 0 version", 1), errorOf(5, "ReplyVersion", "connection closed by the board"));
  board.Push(silence);
  EXPECT_EQ(Json("agent 0 network", 1), errorOf(9, "ReplyNetworkInfo", "no reply within 60 s"));
  EXPECT_EQ(Json("agent 1 version", 1),
            errorOf(5, "InitializeSocketEx",
                    "cannot connect to 127.0.0.11:" + std::to_string(board.Port()) + ": Connection refused"));
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
  EXPECT_THAT(run.output, AllOf(HasSubstr("[DMEN03514E]"), HasSubstr("InitializeSocket(), code = 0x00000005")));
}

// watch: the setup tool's board model round by round; a running board's node state comes from its
// agent, a blocked processor makes the board fatal.
TEST_F(KelpctlAgentStrict, WatchPrintsEveryBoardEachRound) {
  ASSERT_EQ(agentsimtest::ArraySim({"set", agentsimtest::kUnit, "0", "status", "up"}), 0);
  ASSERT_EQ(agentsimtest::ArraySim({"fault", agentsimtest::kUnit, "board", "3", "mpstatus", "0x1001"}), 0);
  ASSERT_TRUE(sim.Start()) << sim.Stderr();
  const std::string output = Ok("watch --count 2 --interval 1");
  // Slot, location, status, MP state, time of the last status read (a fatal board is read only at
  // the session's start, before its processor is checked), stage.
  const std::string time = "\\d\\d:\\d\\d:\\d\\d";
  for (const std::string& row :
       {"0 +CTL0-0 +ACTIVE +normal +" + time, "1 +CTL0-1 +STOP +normal +" + time,
        "8 +CTL1-0 +STOP +normal +" + time, "9 +CTL1-1 +FATAL +blocked +" + time}) {
    const std::regex line("\n" + row + " +-\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(output.begin(), output.end(), line), std::sregex_iterator()), 2)
        << row << "\n" << output;
  }
  EXPECT_THAT(output, AllOf(HasSubstr("round 1 at"), HasSubstr("round 2 at"), Not(HasSubstr("round 3"))));
  EXPECT_THAT(Kelpctl("watch --count").output, HasSubstr("option --count needs a value"));
}

}  // namespace
