// The connection and frame layer of the agent client over real loopback sockets, against a
// test-local agent that sends crafted bytes: header and body checks, time-outs per wait, peers
// that close early, oversized announcements, agent codes and their messages, quiet variants,
// exchanges on several threads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CraftedAgent.h"
#include "agent/CusrNasManager.h"
#include "agent/Pack.h"
#include "plat/Clock.h"

namespace {

using agent::Exchange;
using Bytes = std::vector<std::uint8_t>;
using kelptest::CraftedAgent;
using Ids = std::vector<std::string>;
using testing::Contains;
using testing::HasSubstr;

constexpr std::uint8_t kMask[4] = {255, 255, 255, 0};

class Frame : public ::testing::Test {
 protected:
  // Connects to the crafted agent and sends the bare request of id; the socket, or -1.
  int Open(Exchange id) {
    int sock = CusrNasManager::INVALID_SOCKET;
    EXPECT_EQ(m_manager.InitializeSocket(&sock), 0u);
    const agent::ExchangeInfo& info = agent::Info(id);
    EXPECT_EQ(m_manager.SendHeader(sock, info.protoVer, info.msgType, 4, info.command), 0u);
    return sock;
  }
  std::uint32_t MTUSetting(Bytes reply) {
    m_agent.Push(std::move(reply));
    const int sock = Open(Exchange::MTUSetting);
    const std::uint32_t result = m_manager.ReplyMTUSetting(sock);
    m_manager.CloseSocket(sock);
    return result;
  }
  std::uint32_t MTUInfo(CraftedAgent::Reply reply, std::uint32_t* pulMTU) {
    m_agent.Push(std::move(reply));
    const int sock = Open(Exchange::MTUInfo);
    const std::uint32_t result = m_manager.ReplyMTUInfo(sock, pulMTU);
    m_manager.CloseSocket(sock);
    return result;
  }

  kelptest::ClientScene m_scene;
  CraftedAgent m_agent;
  CusrNasManager m_manager{CraftedAgent::kAddress, kMask, m_agent.Port(), 3};
};

Bytes MTUInfoReply(std::uint32_t mtu) {
  Bytes data;
  agent::Pack(data, "ll", {4u, mtu});
  return agent::EncodeReply(Exchange::MTUInfo, 0, data);
}

// Overwrites the big-endian word at offset.
Bytes WithWord(Bytes bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  return bytes;
}

TEST_F(Frame, ConstructionTracesAddressMaskAndPort) {
  const std::uint8_t address[4] = {10, 0, 1, 2};
  const CusrNasManager manager(address, kMask, 0x14F29, 4);
  EXPECT_EQ(manager.Port(), 0x4F29);
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("IP Address = 10.0.1.2")));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("SubnetMask = 255.255.255.0")));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("TCP port   = 85801")));
}

TEST_F(Frame, ExchangeSendsTheRequestAndDecodesTheReply) {
  std::uint32_t mtu = 0;
  EXPECT_EQ(MTUInfo({MTUInfoReply(9000)}, &mtu), 0u);
  EXPECT_EQ(mtu, 9000u);
  EXPECT_EQ(m_agent.Request(0), agent::EncodeBareRequest(Exchange::MTUInfo));
  EXPECT_TRUE(m_scene.ShownIds().empty());
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("MsgType = 0x00000002, MsgSize = 16")));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("DataType = 0x00010006, Result = 0x00000000")));
}

TEST_F(Frame, MalformedRepliesAreProtocolErrors) {
  const Bytes good = agent::EncodeReply(Exchange::MTUSetting, 0);
  const Bytes goodOld = agent::EncodeReply(Exchange::CHNNameSetting, 0);
  Bytes oneCharMagic = good;
  oneCharMagic[8] = 'X';
  Bytes oneCharMagicOld = goodOld;
  oneCharMagicOld[15] = 'f';
  struct Case {
    const char* name;
    Exchange id;
    Bytes reply;
    const char* trace;
  };
  const Case cases[] = {
      {"magic differs in one character", Exchange::MTUSetting, oneCharMagic, "Invalid Message, Hesder(KELPAGENXMESSAGE)"},
      {"ProtoVer of another exchange", Exchange::MTUSetting, WithWord(good, 16, 0x00010000), "ProtoVer(0x00010000)"},
      {"MsgType of another family", Exchange::MTUSetting, WithWord(good, 20, 13), "MsgType(0x0000000d)"},
      {"DataType of another command", Exchange::MTUSetting, WithWord(good, 28, 0x10006), "Invalid Data Type"},
      {"body too short for DataType and Result", Exchange::MTUSetting,
       WithWord(Bytes(good.begin(), good.end() - 4), 24, 4), "Invalid Data size : 4"},
      {"older exchange, magic", Exchange::CHNNameSetting, oneCharMagicOld, "Invalid header : KELPAGENTMESSAGf"},
      {"older exchange, ProtoVer", Exchange::CHNNameSetting, WithWord(goodOld, 16, 0x00010001),
       "Invalid version : 0x00010001"},
      {"older exchange, MsgType", Exchange::CHNNameSetting, WithWord(goodOld, 20, 1),
       "Invalid message : req(0x00000002), recv(0x00000001)"},
      {"older exchange, DataType", Exchange::CHNNameSetting, WithWord(goodOld, 28, 0x10004), "Invalid Data Type"},
  };
  for (const Case& c : cases) {
    m_scene.Display().Clear();
    m_agent.Push(c.reply);
    const int sock = Open(c.id);
    const std::uint32_t result =
        c.id == Exchange::MTUSetting ? m_manager.ReplyMTUSetting(sock) : m_manager.ReplyCHNNameSetting(sock);
    m_manager.CloseSocket(sock);
    EXPECT_EQ(result, 5u) << c.name;
    EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"}) << c.name;
    EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr(c.trace))) << c.name;
  }
}

TEST_F(Frame, PeerClosingMidReplyIsProtocolErrorNotTimeout) {
  const Bytes reply = MTUInfoReply(1500);
  for (const std::size_t cut : {std::size_t{10}, agent::kHeaderSize, reply.size() - 1}) {
    m_scene.Display().Clear();
    std::uint32_t mtu = 0;
    EXPECT_EQ(MTUInfo({Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(cut))}, &mtu), 5u) << cut;
    EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"}) << cut;
  }
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("recv() code=0")));
}

TEST_F(Frame, TimeOutAppliesToEachWaitNotToTheWholeReply) {
  // 22 chunks 25 ms apart: 550 ms in all against a 60-second (180 ms real) wait.
  plat::Clock::SetTimeScale(0.003);
  std::uint32_t mtu = 0;
  EXPECT_EQ(MTUInfo({MTUInfoReply(1400), 2, std::chrono::milliseconds(25)}, &mtu), 0u);
  EXPECT_EQ(mtu, 1400u);
  EXPECT_TRUE(m_scene.ShownIds().empty());
}

TEST_F(Frame, SilenceLongerThanTheTimeOutIsResultNine) {
  const Bytes reply = MTUInfoReply(1500);
  struct Case {
    const char* name;
    Bytes sent;
  };
  const Case cases[] = {{"nothing at all", {}},
                        {"header only", Bytes(reply.begin(), reply.begin() + agent::kHeaderSize)}};
  for (const Case& c : cases) {
    m_scene.Display().Clear();
    const auto start = std::chrono::steady_clock::now();
    std::uint32_t mtu = 0;
    CraftedAgent::Reply hang{c.sent};
    hang.hangAfter = true;
    EXPECT_EQ(MTUInfo(hang, &mtu), 9u) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03515E"}) << c.name;
    EXPECT_THAT(m_scene.Shown(), Contains(HasSubstr("(code = 0x00000009)"))) << c.name;
  }
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("select() timeout")));
}

TEST_F(Frame, OversizedMsgSizeIsRefusedBeforeAnyAllocation) {
  const Bytes reply = MTUInfoReply(1500);
  for (const std::uint32_t size : {agent::kMaxMsgSize + 1, 0xFFFFFFFFu}) {
    m_scene.Display().Clear();
    CraftedAgent::Reply hang{WithWord(Bytes(reply.begin(), reply.begin() + agent::kHeaderSize), 24, size)};
    hang.hangAfter = true;  // a client that tried to read the body would time out instead
    std::uint32_t mtu = 0;
    EXPECT_EQ(MTUInfo(hang, &mtu), 5u) << size;
    EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"}) << size;
  }
}

TEST_F(Frame, AgentCodesShowTheirMessages) {
  struct Case {
    std::uint32_t code;
    const char* id;
  };
  const Case cases[] = {
      {6, "[DMEN03813"},   {23, "[DMEN03557"},  {24, "[DMEN03558"},  {26, "[DMEN03557"},  {27, "[DMEN03559"},
      {31, "[DMEN03557"},  {32, "[DMEN03557"},  {34, "[DMEN03557"},  {36, "[DMEN03557"},  {37, "[DMEN03557"},
      {41, "[DMEN03560"},  {42, "[DMEN03560"},  {43, "[DMEN03560"},  {45, "[DMEN03561"},  {46, "[DMEN03561"},
      {47, "[DMEN03561"},  {60, "[DMEN03557"},  {61, "[DMEN03556"},  {65, "[DMEN03562"},  {69, "[DMEN03560"},
      {70, "[DMEN03560"},  {71, "[DMEN03560"},  {105, "[DMEN03515"}, {201, "[DMEN03588"}, {205, "[DMEN03588"},
      {206, "[DMEN03819"}, {512, "[DMEN03588"}, {515, "[DMEN03588"}, {0x600, "[DMEN03592"}, {0x900, "[DMEN03613"},
      {0x903, "[DMEN03783"}, {1, "[DMEN03556"}, {0x12345, "[DMEN03556"},
  };
  for (const Case& c : cases) {
    std::uint32_t id = 0;
    CusrNasManager::GetMsgFormat(c.code, &id);
    EXPECT_EQ("[DMEN0" + std::to_string(id), c.id) << c.code;
    m_scene.Display().Clear();
    EXPECT_EQ(MTUSetting(agent::EncodeReply(Exchange::MTUSetting, c.code)), c.code);
    const std::vector<common::RecordedBox> boxes = m_scene.Display().Boxes();
    ASSERT_EQ(boxes.size(), 1u) << c.code;
    EXPECT_EQ(boxes[0].strText.rfind(c.id, 0), 0u) << c.code << ": " << boxes[0].strText;
  }
}

TEST_F(Frame, QuietVariantsTraceButShowNothing) {
  const Bytes version = agent::EncodeReply(Exchange::Version, 0x05000100);
  Bytes badMagic = version;
  badMagic[0] = 'k';
  const Bytes command = agent::EncodeReply(Exchange::CommandIF, 3, Bytes{'a', 'b', 'c'});
  struct Case {
    const char* name;
    CraftedAgent::Reply reply;
    bool command;
    std::uint32_t result;
  };
  CraftedAgent::Reply hang{{}};
  hang.hangAfter = true;
  const Case cases[] = {
      {"version: magic", {badMagic}, false, 5},
      {"version: DataType", {WithWord(version, 28, 0x10001)}, false, 5},
      {"version: peer closes", {Bytes(version.begin(), version.begin() + 30)}, false, 5},
      {"version: silence", hang, false, 9},
      {"command: ProtoVer", {WithWord(command, 16, 0x00010000)}, true, 5},
      {"command: output longer than the reply", {WithWord(command, 32, 4)}, true, 5},
      {"command: silence", hang, true, 9},
  };
  for (const Case& c : cases) {
    m_agent.Push(c.reply);
    int sock = CusrNasManager::INVALID_SOCKET;
    ASSERT_EQ(m_manager.InitializeSocketEx(&sock), 0u);
    std::uint32_t result;
    if (c.command) {
      std::string output;
      EXPECT_EQ(m_manager.RequestCommandIF(sock, "ps"), 0u);
      result = m_manager.ReplyCommandIF(sock, &output);
    } else {
      std::uint32_t ulVersion = 0;
      EXPECT_EQ(m_manager.RequestVersion(sock), 0u);
      result = m_manager.ReplyVersion(sock, &ulVersion);
    }
    m_manager.CloseSocket(sock);
    EXPECT_EQ(result, c.result) << c.name;
  }
  EXPECT_TRUE(m_scene.ShownIds().empty());
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Invalid Data type = 0x00010001")));
}

TEST_F(Frame, ConnectionRefusedIsProtocolError) {
  // A port that was just free: nobody listens there, so connect fails at once.
  std::uint16_t port;
  {
    CraftedAgent gone;
    port = gone.Port();
  }
  const CusrNasManager manager(CraftedAgent::kAddress, kMask, port, 0);
  int sock = 0;
  EXPECT_EQ(manager.InitializeSocketEx(&sock), 5u);
  EXPECT_EQ(sock, CusrNasManager::INVALID_SOCKET);
  EXPECT_TRUE(m_scene.ShownIds().empty());
  EXPECT_EQ(manager.InitializeSocket(&sock), 5u);
  EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"});
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("connect() error, WSAGetLastError() = 111")));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Manager IP(127.0.0.1), Port(" + std::to_string(port) + ")")));
}

TEST_F(Frame, CloseOfABadSocketFailsWithoutMessage) {
  EXPECT_EQ(m_manager.CloseSocket(-1), 5u);
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("shotdown() : WSAGetLastError = 9")));
  EXPECT_TRUE(m_scene.ShownIds().empty());
}

TEST_F(Frame, SendOnAClosedSocketIsProtocolError) {
  const std::uint8_t byte = 0;
  EXPECT_EQ(m_manager.SendMessageEx(-1, &byte, 1), 5u);
  EXPECT_TRUE(m_scene.ShownIds().empty());
  EXPECT_EQ(m_manager.SendMessage(-1, &byte, 1), 5u);
  EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"});
}

TEST(FrameThreads, ExchangesRunOnSeveralThreadsAtOnce) {
  kelptest::ClientScene scene;
  constexpr int kThreads = 4;
  constexpr int kRounds = 8;
  std::vector<std::unique_ptr<CraftedAgent>> agents;
  for (int t = 0; t < kThreads; ++t) {
    agents.push_back(std::make_unique<CraftedAgent>());
    for (int r = 0; r < kRounds; ++r) agents.back()->Push(MTUInfoReply(1000 + 100 * t + r));
  }
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      const CusrNasManager manager(CraftedAgent::kAddress, kMask, agents[t]->Port(), static_cast<std::uint32_t>(t));
      for (int r = 0; r < kRounds; ++r) {
        int sock = CusrNasManager::INVALID_SOCKET;
        std::uint32_t mtu = 0;
        const bool ok = manager.InitializeSocket(&sock) == 0 && manager.RequestMTUInfo(sock, 1) == 0 &&
                        manager.ReplyMTUInfo(sock, &mtu) == 0 && mtu == static_cast<std::uint32_t>(1000 + 100 * t + r);
        if (sock >= 0) manager.CloseSocket(sock);
        if (!ok) ++failures[t];
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
  EXPECT_TRUE(scene.ShownIds().empty());
}

}  // namespace
