// A board's agent operations keep what failed: the code they return, the thread's LastExchange
// (step and cause) and the trace line of the failed step, for each way an exchange fails, against
// a test-local agent at the board's address sending crafted bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CraftedAgent.h"
#include "VelapiTestUnit.h"
#include "agent/FrameCodec.h"
#include "agent/Pack.h"
#include "board/CusrCHN.h"
#include "common/MemoryTraceSink.h"
#include "common/ProcessContext.h"
#include "common/RecordingDisplay.h"
#include "plat/Clock.h"
#include "plat/Socket.h"

namespace {

using ::testing::Contains;
using ::testing::IsEmpty;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSlot = 0;
constexpr std::array<std::uint8_t, 4> kBoardAddress = {127, 0, 0, 10};  // slot 0 of the preset unit

Bytes NameReply() {
  Bytes data;
  agent::Pack(data, "llS(8)", {12u, 8u, "nas-a   "});
  return agent::EncodeReply(agent::Exchange::CHNName, 0, data);
}

Bytes WithMsgSize(Bytes bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[24 + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  return bytes;
}

class BoardExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    veltest::ResetUnit(veltest::DefaultSpec());
    plat::Clock::SetTimeScale(0.001);  // the 60-second reply wait takes 60 ms
  }
  void TearDown() override { plat::Clock::SetTimeScale(0); }

  // Slot 0's board object with its agent connection to port.
  std::unique_ptr<CusrCHN> Board(std::uint16_t port) {
    auto pBoard = std::make_unique<CusrCHN>(m_array, kSlot);
    pBoard->SetAgentPort(port);
    std::uint32_t ulError = 0;
    EXPECT_TRUE(pBoard->InitManager(&ulError)) << ulError;
    return pBoard;
  }

  // The identifier of each box shown, e.g. "[DMEN03515E]".
  std::vector<std::string> ShownIds() const {
    std::vector<std::string> ids;
    for (const common::RecordedBox& box : m_display.Boxes()) ids.push_back(box.strText.substr(0, 12));
    return ids;
  }

  kelptest::CraftedAgent m_agent{kBoardAddress};
  board::ArrayTables m_array;
  common::MemoryTraceSink m_trace;
  RecordingDisplay m_display;
  common::ProcessContext m_context{{.display = &m_display, .traceSink = &m_trace, .traceMask = TRC_MASK_DEBUG}};
};

TEST_F(BoardExchange, AFailedStepReachesTheResultAndTheTraceLine) {
  const std::uint16_t closedPort = plat::FreeLoopbackPort();
  ASSERT_NE(closedPort, 0);
  const Bytes closing = NameReply();
  kelptest::CraftedAgent::Reply silence{{}};
  silence.hangAfter = true;
  const auto name = [](const CusrCHN& board) {
    std::string strName;
    return board.GetCHNName(&strName);
  };
  const auto version = [](const CusrCHN& board) {
    board.GetAgentVersion();
    return CusrCHN::LastExchange().code;
  };
  const std::string refused =
      "cannot connect to 127.0.0.10:" + std::to_string(closedPort) + ": Connection refused";
  const struct {
    const char* name;
    std::function<std::uint32_t(const CusrCHN&)> operation;
    bool bAgentListens;
    kelptest::CraftedAgent::Reply reply;
    board::ExchangeResult expected;
    std::string traced;
    std::vector<std::string> boxes;
  } cases[] = {
      {"RefusedConnection", name, false, {}, {5, "InitializeSocket", refused},
       "error InitializeSocket(), code = 0x00000005: " + refused, {"[DMEN03514E]"}},
      {"RefusedQuietConnection", version, false, {}, {5, "InitializeSocketEx", refused},
       "error InitializeSocketEx(), code = 0x00000005: " + refused, {}},
      {"ClosedBeforeTheReply", name, true, {Bytes(closing.begin(), closing.begin() + 10)},
       {5, "ReplyCHNName", "connection closed by the board"},
       "error ReplyCHNName(), code = 0x00000005: connection closed by the board", {"[DMEN03514E]"}},
      {"TimeOut", name, true, silence, {9, "ReplyCHNName", "no reply within 60 s"},
       "error ReplyCHNName(), code = 0x00000009: no reply within 60 s", {"[DMEN03515E]"}},
      {"BadFrame", name, true, {WithMsgSize(NameReply(), 0xFFFFFFF0)},
       {5, "ReplyCHNName", "Invalid MsgSize = 4294967280"},
       "error ReplyCHNName(), code = 0x00000005: Invalid MsgSize = 4294967280", {"[DMEN03514E]"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_display.Clear();
    if (c.bAgentListens) m_agent.Push(c.reply);
    const std::unique_ptr<CusrCHN> pBoard = Board(c.bAgentListens ? m_agent.Port() : closedPort);
    EXPECT_EQ(c.operation(*pBoard), c.expected.code);
    const board::ExchangeResult last = CusrCHN::LastExchange();
    EXPECT_EQ(last.code, c.expected.code);
    EXPECT_EQ(last.failedStep, c.expected.failedStep);
    EXPECT_EQ(last.cause, c.expected.cause);
    EXPECT_THAT(m_trace.TaggedTexts(), Contains(c.traced));
    EXPECT_EQ(ShownIds(), c.boxes);
  }
}

// The last exchange is the calling thread's: a good one clears it, another thread's failure
// leaves it alone, and a board without an agent connection says so.
TEST_F(BoardExchange, LastExchangeIsTheCallingThreadsOwn) {
  m_agent.Push(NameReply());
  const std::unique_ptr<CusrCHN> pBoard = Board(m_agent.Port());
  std::string strName;
  ASSERT_EQ(pBoard->GetCHNName(&strName), 0u);
  EXPECT_EQ(strName, "nas-a");
  EXPECT_EQ(CusrCHN::LastExchange().code, 0u);
  EXPECT_THAT(CusrCHN::LastExchange().failedStep, IsEmpty());

  board::ExchangeResult other;
  std::thread([&] {
    CusrCHN unconnected(m_array, 1);
    std::string strOther;
    EXPECT_EQ(unconnected.GetCHNName(&strOther), 5u);
    other = CusrCHN::LastExchange();
  }).join();
  EXPECT_EQ(other.code, 5u);
  EXPECT_EQ(board::FailureText(other), "code = 0x00000005: no agent connection");
  EXPECT_EQ(CusrCHN::LastExchange().code, 0u) << "another thread's failure is not this thread's";
  EXPECT_THAT(m_trace.TaggedTexts(), Contains("error CHN[1] has no agent connection"));
}

}  // namespace
