// Each misbehaviour of the scenario, as the real client meets it from the real simulator.
#include <gtest/gtest.h>

#include "AgentSimHarness.h"
#include "FtpdHarness.h"
#include "common/ProcessContext.h"
#include "common/RecordingDisplay.h"

using namespace agentsimtest;
using agent::NewRoute;

namespace {

struct BehaviourCase {
  std::string name;
  std::vector<std::string> settings;
  std::uint32_t expected;  // what ReplyMTUInfo returns
  bool messageShown;
};

class AgentSimBehaviour : public testing::TestWithParam<BehaviourCase> {
 protected:
  kelptest::IsolatedEnv env;
  RecordingDisplay display;
  common::ProcessContext context{{.display = &display}};
  AgentSim sim;
};

TEST_P(AgentSimBehaviour, ClientSeesIt) {
  const BehaviourCase& c = GetParam();
  std::vector<std::string> args{"agent", kUnit, "behave", "8", "MTUInfo"};
  args.insert(args.end(), c.settings.begin(), c.settings.end());
  ASSERT_EQ(ArraySim(args), 0);
  ASSERT_TRUE(sim.Start());
  const CusrNasManager client = sim.Client(8);
  std::uint32_t mtu = 0;
  EXPECT_EQ(Exchange(client, [&](int s) { return client.RequestMTUInfo(s, 0); },
                     [&](int s) { return client.ReplyMTUInfo(s, &mtu); }),
            c.expected);
  if (c.expected == 0) {
    EXPECT_EQ(mtu, 1500u);
  }
  EXPECT_EQ(!display.Boxes().empty(), c.messageShown);
  // Other boards and exchanges are untouched.
  const CusrNasManager other = sim.Client(9);
  EXPECT_EQ(Exchange(other, [&](int s) { return other.RequestMTUInfo(s, 0); },
                     [&](int s) { return other.ReplyMTUInfo(s, &mtu); }),
            0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AgentSimBehaviour,
    testing::Values(BehaviourCase{"result_code_is_returned", {"Result=0x17"}, 0x17, true},
                    BehaviourCase{"delay_below_the_time_out_completes", {"DelayMs=30000"}, 0, false},
                    // Four pieces 40 s apart: longer than a time-out in all, never in one wait.
                    BehaviourCase{"trickle_completes", {"ChunkSize=12", "ChunkGapMs=40000"}, 0, false},
                    BehaviourCase{"stall_times_out", {"Stall=1"}, agent::kResultTimeout, true},
                    BehaviourCase{"close_mid_reply_is_a_protocol_error", {"CloseAfter=30"}, agent::kResultProtocol,
                                  true},
                    BehaviourCase{"wrong_magic", {"Magic=KELPAGENTMESSAGF"}, agent::kResultProtocol, true},
                    BehaviourCase{"wrong_protover", {"ProtoVer=0x00010000"}, agent::kResultProtocol, true},
                    BehaviourCase{"wrong_msgtype", {"MsgType=3"}, agent::kResultProtocol, true},
                    BehaviourCase{"wrong_datatype", {"DataType=0x10007"}, agent::kResultProtocol, true}),
    ftptest::CaseName());

TEST(AgentSimBehaviourCount, AppliesToTheGivenNumberOfExchanges) {
  kelptest::IsolatedEnv env;
  RecordingDisplay display;
  common::ProcessContext context({.display = &display});
  AgentSim sim;
  ASSERT_EQ(ArraySim({"agent", kUnit, "behave", "1", "RoutingAdd", "Result=0xD4", "Count=2"}), 0);
  ASSERT_TRUE(sim.Start());
  const CusrNasManager c = sim.Client(1);
  NewRoute route;
  route.netmask = {255, 255, 255, 0};
  std::vector<std::uint32_t> results;
  for (int i = 0; i < 3; ++i)
    results.push_back(Exchange(c, [&](int s) { return c.RequestRoutingAdd(s, route); },
                               [&](int s) { return c.ReplyRoutingAdd(s); }));
  EXPECT_EQ(results, (std::vector<std::uint32_t>{0xD4, 0xD4, 0}));
  ASSERT_FALSE(display.Boxes().empty());
  EXPECT_NE(display.Boxes()[0].strText.find("[DMEN03833"), std::string::npos) << display.Boxes()[0].strText;
}

TEST(AgentSimRequests, MalformedRequestClosesTheConnection) {
  kelptest::IsolatedEnv env;
  AgentSim sim;
  ASSERT_TRUE(sim.Start());
  const auto header = [](std::uint32_t protoVer, std::uint32_t msgType, std::uint32_t msgSize, std::uint32_t command) {
    std::vector<std::uint8_t> out(agent::kMagic.begin(), agent::kMagic.end());
    for (std::uint32_t w : {protoVer, msgType, msgSize, command}) ftptest::PutBE32(out, w);
    return out;
  };
  std::vector<std::uint8_t> badDataSize = header(0x00010000, 2, 12, 4);
  ftptest::PutBE32(badDataSize, 8);
  ftptest::PutBE32(badDataSize, 0);
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"unknown_command", header(0x00010000, 2, 4, 1)},
      {"unknown_family", header(0x00010000, 7, 4, 0)},
      {"wrong_protover", header(0x00010001, 2, 4, 4)},
      {"datasize_beyond_msgsize", badDataSize},
      {"huge_msgsize", header(0x00010000, 2, 0x7FFFFFFF, 4)},
  };
  for (const auto& c : cases) {
    ftptest::RawConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.10", sim.port())) << c.name;
    ASSERT_TRUE(connection.Send(c.bytes)) << c.name;
    const auto reply = connection.ReadToClose(10000);
    ASSERT_TRUE(reply) << c.name;
    EXPECT_TRUE(reply->empty()) << c.name;
  }
  // A well-formed request still gets its answer.
  ftptest::RawConnection connection;
  ASSERT_TRUE(connection.Connect("127.0.0.10", sim.port()));
  ASSERT_TRUE(connection.Send(header(0x00010000, 2, 4, 4)));
  const auto reply = connection.ReadToClose(10000);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->size(), agent::kHeaderSize + 12);
}

}  // namespace
