// The LU backup, restore and cluster exchanges: the two requests with a parameter, the backup
// information decoders, then every request/reply pair over a real loopback socket against a
// test-local agent (progress states, agent codes and their messages and trace levels).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CraftedAgent.h"
#include "agent/CusrNasManager.h"
#include "WireBytes.h"
#include "agent/Pack.h"
#include "agent/RecoveryCodec.h"
#include "common/CusrTraceScope.h"

namespace {

using agent::Decode;
using agent::Exchange;
using agent::LuBackupInfo;
using agent::SystemLuBackupInfo;
using kelptest::Bytes;
using kelptest::WordAt;
using kelptest::Words;
using kelptest::CraftedAgent;
using testing::Contains;

constexpr std::uint8_t kMask[4] = {255, 255, 255, 0};

// A trace line of this tag ("error", "info_", ...) whose text contains text.
testing::Matcher<const std::string&> TaggedLine(const std::string& tag, const std::string& text) {
  return testing::AllOf(testing::StartsWith(tag + " "), testing::HasSubstr(text));
}

// ---- pure codecs ----

TEST(RecoveryRequest, StopClusterWordFollowsTheCommandWithoutDataSize) {
  const Bytes r = agent::EncodeStopClusterRequest(agent::kStopClusterWord);
  ASSERT_EQ(r.size(), agent::kHeaderSize + 8);
  EXPECT_EQ(WordAt(r, 24), 8u);   // MsgSize
  EXPECT_EQ(WordAt(r, 28), 10u);  // command
  EXPECT_EQ(WordAt(r, 32), 3u);
}

TEST(RecoveryRequest, SystemLuExtractNameIsFortyBytesAfterTheCommand) {
  const std::string longName(45, 'x');
  const struct {
    const char* name;
    std::string fileName;
    std::string sent;
  } cases[] = {
      {"ShortNamePaddedWithBlanks", "sys_20061226.tgz", "sys_20061226.tgz" + std::string(24, ' ')},
      {"LongNameCut", longName, std::string(40, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes r = agent::EncodeSystemLuExtractRequest(c.fileName);
    ASSERT_EQ(r.size(), agent::kHeaderSize + 44);
    EXPECT_EQ(WordAt(r, 16), 0x00050000u);
    EXPECT_EQ(WordAt(r, 24), 0x2Cu);
    EXPECT_EQ(WordAt(r, 28), 15u);
    EXPECT_EQ(std::string(r.begin() + 32, r.end()), c.sent);
  }
}

TEST(BackupInfoDecoder, DataShorterThanItsLayoutIsTruncated) {
  const Bytes lu = agent::EncodeLuBackupInfo({1, 2, "2006122606452812"});
  const Bytes system = agent::EncodeSystemLuBackupInfo({1, 2, "file", "date"});
  ASSERT_EQ(lu.size(), 24u);
  ASSERT_EQ(system.size(), 64u);
  for (std::size_t n = 0; n < lu.size(); ++n) {
    LuBackupInfo info{7, 7, "kept"};
    EXPECT_EQ(agent::DecodeLuBackupInfo(std::span(lu).first(n), &info), Decode::Truncated) << n;
    EXPECT_EQ(info.strDate, "kept");
  }
  for (std::size_t n = 0; n < system.size(); ++n) {
    SystemLuBackupInfo info;
    EXPECT_EQ(agent::DecodeSystemLuBackupInfo(std::span(system).first(n), &info), Decode::Truncated) << n;
  }
}

// ---- exchanges over loopback ----

class Recovery : public ::testing::Test {
 protected:
  std::vector<std::string> Shown() const { return m_scene.Shown(); }
  std::vector<std::string> TraceLines() const { return m_scene.TraceLines(); }

  // One exchange: connect, request, reply, close; returns the reply's result.
  std::uint32_t Run(const std::function<std::uint32_t(int)>& request, const std::function<std::uint32_t(int)>& reply) {
    return kelptest::RunExchange(m_manager, request, reply);
  }

  std::uint32_t OsRestoreStat(std::uint32_t* pulStatus) {
    return Run([&](int s) { return m_manager.RequestNasOsLuRestoreStat(s); },
               [&](int s) { return m_manager.ReplyNasOsLuRestoreStat(s, pulStatus); });
  }

  kelptest::ClientScene m_scene{0.01};  // 60 logical seconds are 600 ms
  CraftedAgent m_agent;
  CusrNasManager m_manager{CraftedAgent::kAddress, kMask, m_agent.Port(), 3};
};

// How each pair is driven; status is where a poll stores its word.
struct Pair {
  agent::Exchange id;
  std::function<std::uint32_t(const CusrNasManager&, int)> request;
  std::function<std::uint32_t(const CusrNasManager&, int, std::uint32_t*)> reply;
  bool poll;
};

std::vector<Pair> AllPairs() {
  using M = const CusrNasManager&;
  return {
      {Exchange::NasOsLuBackupInfo, [](M m, int s) { return m.RequestNasOsLuBackupInfo(s); },
       [](M m, int s, std::uint32_t*) {
         LuBackupInfo info;
         return m.ReplyNasOsLuBackupInfo(s, &info);
       },
       false},
      {Exchange::NasOsLuRestore, [](M m, int s) { return m.RequestNasOsLuResotre(s); },
       [](M m, int s, std::uint32_t*) { return m.ReplyNasOsLuRestore(s); }, false},
      {Exchange::NasSharedLuBackupInfo, [](M m, int s) { return m.RequestNasSharedLuBackupInfo(s); },
       [](M m, int s, std::uint32_t*) {
         LuBackupInfo info;
         return m.ReplyNasSharedLuBackupInfo(s, &info);
       },
       false},
      {Exchange::NasSharedLuRestore, [](M m, int s) { return m.RequestNasSharedLuResotre(s); },
       [](M m, int s, std::uint32_t*) { return m.ReplyNasSharedLuRestore(s); }, false},
      {Exchange::InitializeCluster, [](M m, int s) { return m.RequestInitializeCluster(s); },
       [](M m, int s, std::uint32_t*) { return m.ReplyInitializeCluster(s); }, false},
      {Exchange::NasOsLuRestoreStat, [](M m, int s) { return m.RequestNasOsLuRestoreStat(s); },
       [](M m, int s, std::uint32_t* st) { return m.ReplyNasOsLuRestoreStat(s, st); }, true},
      {Exchange::NasSharedLuRestoreStat, [](M m, int s) { return m.RequestNasSharedLuRestoreStat(s); },
       [](M m, int s, std::uint32_t* st) { return m.ReplyNasSharedLuRestoreStat(s, st); }, true},
      {Exchange::StopCluster, [](M m, int s) { return m.RequestStopCluster(s); },
       [](M m, int s, std::uint32_t*) { return m.ReplyStopCluster(s); }, false},
      {Exchange::StopClusterStat, [](M m, int s) { return m.RequestStopClusterStat(s); },
       [](M m, int s, std::uint32_t* st) { return m.ReplyStopClusterStat(s, st); }, true},
      {Exchange::InitializeClusterStat, [](M m, int s) { return m.RequestInitializeClusterStat(s); },
       [](M m, int s, std::uint32_t* st) { return m.ReplyInitializeClusterStat(s, st); }, true},
      {Exchange::NasSystemLuBackupInfo, [](M m, int s) { return m.RequestNasSystemLuBackupInfo(s); },
       [](M m, int s, std::uint32_t*) {
         SystemLuBackupInfo info;
         return m.ReplyNasSystemLuBackupInfo(s, &info);
       },
       false},
      {Exchange::NasSystemLuExtract, [](M m, int s) { return m.RequestNasSystemLuExtract(s, "sys.tgz"); },
       [](M m, int s, std::uint32_t*) { return m.ReplyNasSystemLuExtract(s); }, false},
      {Exchange::NasSystemLuExtractStat, [](M m, int s) { return m.RequestNasSystemLuExtractStat(s); },
       [](M m, int s, std::uint32_t* st) { return m.ReplyNasSystemLuExtractStat(s, st); }, true},
      {Exchange::NasSystemLuRestore, [](M m, int s) { return m.RequestNasSystemLuResotre(s); },
       [](M m, int s, std::uint32_t*) { return m.ReplyNasSystemLuRestore(s); }, false},
      {Exchange::NasSystemLuRestoreStat, [](M m, int s) { return m.RequestNasSystemLuRestoreStat(s); },
       [](M m, int s, std::uint32_t* st) { return m.ReplyNasSystemLuRestoreStat(s, st); }, true},
  };
}

Bytes SuccessData(agent::Exchange id) {
  if (id == Exchange::NasOsLuBackupInfo || id == Exchange::NasSharedLuBackupInfo)
    return agent::EncodeLuBackupInfo({1, 0, "2006122606452812"});
  if (id == Exchange::NasSystemLuBackupInfo) return agent::EncodeSystemLuBackupInfo({0, 0, "sys.tgz", "20061226"});
  return {};
}

Bytes ExpectedRequest(agent::Exchange id) {
  if (id == Exchange::StopCluster) return agent::EncodeStopClusterRequest(agent::kStopClusterWord);
  if (id == Exchange::NasSystemLuExtract) return agent::EncodeSystemLuExtractRequest("sys.tgz");
  return agent::EncodeBareRequest(id);
}

TEST_F(Recovery, EveryPairSendsItsRequestAndAcceptsSuccess) {
  const std::vector<Pair> pairs = AllPairs();
  ASSERT_EQ(pairs.size(), 15u);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const Pair& p = pairs[i];
    SCOPED_TRACE(agent::Info(p.id).name);
    m_agent.Push(agent::EncodeReply(p.id, 0, SuccessData(p.id)));
    std::uint32_t status = 0xDEAD;
    EXPECT_EQ(
        Run([&](int s) { return p.request(m_manager, s); }, [&](int s) { return p.reply(m_manager, s, &status); }), 0u);
    EXPECT_EQ(status, p.poll ? 0u : 0xDEADu);
    EXPECT_EQ(m_agent.Request(i), ExpectedRequest(p.id));
  }
  EXPECT_TRUE(Shown().empty());
}

TEST_F(Recovery, EveryPairRejectsAnotherCommandsDataTypeAndAnotherVersion) {
  for (const Pair& p : AllPairs()) {
    SCOPED_TRACE(agent::Info(p.id).name);
    const agent::ExchangeInfo& info = agent::Info(p.id);
    m_agent.Push(agent::EncodeReply(info.protoVer, info.msgType, agent::ReplyDataType(p.id) + 1, 0, SuccessData(p.id)));
    m_agent.Push(agent::EncodeReply(info.protoVer + 1, info.msgType, agent::ReplyDataType(p.id), 0, SuccessData(p.id)));
    for (int n = 0; n < 2; ++n) {
      m_scene.Display().Clear();
      std::uint32_t status = 0xDEAD;
      EXPECT_EQ(
          Run([&](int s) { return p.request(m_manager, s); }, [&](int s) { return p.reply(m_manager, s, &status); }),
          agent::kResultProtocol);
      EXPECT_EQ(status, 0xDEADu);
      ASSERT_EQ(Shown().size(), 1u);
      EXPECT_EQ(Shown()[0].rfind("[DMEN03514", 0), 0u);
    }
  }
}

TEST_F(Recovery, OsLuRestoreStatRunningAndUnrecoverable) {
  const struct {
    const char* name;
    std::uint32_t result;
    std::uint32_t expected;
    const char* identifier;  // null: no box
  } cases[] = {
      {"RunningIsAState", 101, 0, nullptr},
      {"EightIsUnrecoverable", 8, 8, "[DMEN03828"},
      {"NinetySixIsUnrecoverable", 0x60, 0x60, "[DMEN03828"},
      {"OtherCodeGoesToTheRestoreMessages", 4, 4, "[DMEN03637"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_scene.Display().Clear();
    m_agent.Push(agent::EncodeReply(Exchange::NasOsLuRestoreStat, c.result));
    std::uint32_t status = 0;
    EXPECT_EQ(OsRestoreStat(&status), c.expected);
    EXPECT_EQ(status, c.result);
    if (c.identifier == nullptr) {
      EXPECT_TRUE(Shown().empty());
      continue;
    }
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].rfind(c.identifier, 0), 0u) << Shown()[0];
  }
  EXPECT_THAT(TraceLines(), Contains(TaggedLine("error", "API ERROR")));
  EXPECT_NE(Shown()[0].find("0x01000004"), std::string::npos);
}

TEST_F(Recovery, UnrecoverableMessageOnlyForTheOsLu) {
  m_agent.Push(agent::EncodeReply(Exchange::NasOsLuRestore, 8));
  m_agent.Push(agent::EncodeReply(Exchange::NasSharedLuRestore, 8));
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasOsLuResotre(s); },
                [&](int s) { return m_manager.ReplyNasOsLuRestore(s); }),
            8u);
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasSharedLuResotre(s); },
                [&](int s) { return m_manager.ReplyNasSharedLuRestore(s); }),
            8u);
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].rfind("[DMEN03828", 0), 0u);
  EXPECT_NE(shown[0].find("0x00000008"), std::string::npos);
  EXPECT_EQ(shown[1].rfind("[DMEN03556", 0), 0u);
  EXPECT_NE(shown[1].find("0x01000008"), std::string::npos);
}

TEST_F(Recovery, ClusterPollsStatesAndErrors) {
  const struct {
    const char* name;
    agent::Exchange id;
    std::uint32_t result;
    std::uint32_t expected;
  } cases[] = {
      {"InitStateFifteen", Exchange::InitializeClusterStat, 15, 0},
      {"InitStateSixteen", Exchange::InitializeClusterStat, 16, 0},
      {"InitStateSeventeen", Exchange::InitializeClusterStat, 17, 0},
      {"InitRunning", Exchange::InitializeClusterStat, 101, 0},
      {"StopRunning", Exchange::StopClusterStat, 101, 0},
      {"StopSixteenIsAnError", Exchange::StopClusterStat, 16, 16},
  };
  const std::vector<Pair> pairs = AllPairs();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_scene.Display().Clear();
    const Pair& p = *std::find_if(pairs.begin(), pairs.end(), [&](const Pair& x) { return x.id == c.id; });
    m_agent.Push(agent::EncodeReply(c.id, c.result));
    std::uint32_t status = 0;
    EXPECT_EQ(
        Run([&](int s) { return p.request(m_manager, s); }, [&](int s) { return p.reply(m_manager, s, &status); }),
        c.expected);
    EXPECT_EQ(status, c.result);
    EXPECT_EQ(Shown().size(), c.expected == 0 ? 0u : 1u);
  }
}

TEST_F(Recovery, SystemLuRepliesUseTheSystemLuTable) {
  m_agent.Push(agent::EncodeReply(Exchange::NasSystemLuRestoreStat, 20));
  m_agent.Push(agent::EncodeReply(Exchange::NasSystemLuExtract, 23));
  m_agent.Push(agent::EncodeReply(Exchange::NasOsLuRestore, 20));
  std::uint32_t status = 0;
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasSystemLuRestoreStat(s); },
                [&](int s) { return m_manager.ReplyNasSystemLuRestoreStat(s, &status); }),
            20u);
  EXPECT_EQ(status, 20u);
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasSystemLuExtract(s, "sys.tgz"); },
                [&](int s) { return m_manager.ReplyNasSystemLuExtract(s); }),
            23u);
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasOsLuResotre(s); },
                [&](int s) { return m_manager.ReplyNasOsLuRestore(s); }),
            20u);
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].rfind("[DMEN04028", 0), 0u);
  EXPECT_EQ(shown[1].rfind("[DMEN03556", 0), 0u);  // GetMsgFormat(20) for the other LUs
}

TEST_F(Recovery, BackupInformationReachesTheCaller) {
  m_agent.Push(agent::EncodeReply(Exchange::NasSharedLuBackupInfo, 0,
                                  agent::EncodeLuBackupInfo({0x4000, 2, "2006122606452812"})));
  m_agent.Push(agent::EncodeReply(Exchange::NasSystemLuBackupInfo, 0,
                                  agent::EncodeSystemLuBackupInfo({1, 2, "sys_20061226.tgz", "2006/12/26 06:45"})));
  LuBackupInfo lu;
  SystemLuBackupInfo system;
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasSharedLuBackupInfo(s); },
                [&](int s) { return m_manager.ReplyNasSharedLuBackupInfo(s, &lu); }),
            0u);
  EXPECT_EQ(lu.ulDataSize, 0x4000u);
  EXPECT_EQ(lu.ulBackupStatus, 2u);
  EXPECT_EQ(lu.strDate, "2006122606452812");
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasSystemLuBackupInfo(s); },
                [&](int s) { return m_manager.ReplyNasSystemLuBackupInfo(s, &system); }),
            0u);
  EXPECT_EQ(system.ulExecuteStatus, 1u);
  EXPECT_EQ(system.ulUploadStatus, 2u);
  EXPECT_EQ(system.strFileName, "sys_20061226.tgz" + std::string(24, ' '));
  EXPECT_EQ(system.strDate, "2006/12/26 06:45");
  EXPECT_THAT(TraceLines(),
              Contains(TaggedLine("info_", "Data Size = 0x00004000, Backup Status = 0x00000002, Date = 2006122606452812")));
}

TEST_F(Recovery, BackupInformationShorterThanItsLayoutIsAProtocolError) {
  const Bytes lu = agent::EncodeLuBackupInfo({1, 2, "2006122606452812"});
  m_agent.Push(agent::EncodeReply(Exchange::NasOsLuBackupInfo, 0, std::span(lu).first(20)));
  m_agent.Push(agent::EncodeReply(Exchange::NasSystemLuBackupInfo, 0, Words({1, 2})));
  LuBackupInfo info{7, 7, "kept"};
  SystemLuBackupInfo system;
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasOsLuBackupInfo(s); },
                [&](int s) { return m_manager.ReplyNasOsLuBackupInfo(s, &info); }),
            agent::kResultProtocol);
  EXPECT_EQ(info.strDate, "kept");
  EXPECT_EQ(Run([&](int s) { return m_manager.RequestNasSystemLuBackupInfo(s); },
                [&](int s) { return m_manager.ReplyNasSystemLuBackupInfo(s, &system); }),
            agent::kResultProtocol);
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].rfind("[DMEN03514", 0), 0u);
  EXPECT_EQ(shown[1].rfind("[DMEN03514", 0), 0u);
}

TEST_F(Recovery, ShowSystemLuMessageTable) {
  const struct {
    std::uint32_t code;
    const char* identifier;  // null: nothing shown
    const char* tag;         // of the message's trace line
  } cases[] = {
      {1, "[DMEN03556", "error"},   {5, "[DMEN03556", "error"},   {10, "[DMEN03556", "error"},
      {14, "[DMEN03556", "error"},  {22, "[DMEN03556", "error"},  {99, "[DMEN03556", "error"},
      {102, "[DMEN03556", "error"}, {201, "[DMEN03556", "error"}, {3, "[DMEN03636", "warn_"},
      {4, "[DMEN03637", "warn_"},   {13, "[DMEN03650", "warn_"},  {20, "[DMEN04028", "warn_"},
      {21, "[DMEN04029", "warn_"},  {23, nullptr, nullptr},       {24, nullptr, nullptr},
      {60, "[DMEN03557", "error"},  {27, "[DMEN03559", "error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    m_scene.Display().Clear();
    EXPECT_EQ(CusrNasManager::ShowSystemLuMessage(c.code), 1u);
    const std::string code = TraceFmt("0x%08x", c.code | agent::kRestoreCodeBit);
    EXPECT_THAT(TraceLines(), Contains(TaggedLine("info_", code)));
    if (c.identifier == nullptr) {
      EXPECT_TRUE(Shown().empty());
      continue;
    }
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].rfind(c.identifier, 0), 0u) << Shown()[0];
    EXPECT_NE(Shown()[0].find(code), std::string::npos);
    EXPECT_THAT(TraceLines(), Contains(TaggedLine(c.tag, c.identifier))) << c.tag;
  }
}

TEST_F(Recovery, ShowRestoreMessageTable) {
  const struct {
    std::uint32_t code;
    const char* identifier;
  } cases[] = {
      {3, "[DMEN03636"},  {4, "[DMEN03637"},  {13, "[DMEN03650"}, {61, "[DMEN03556"},
      {20, "[DMEN03556"}, {23, "[DMEN03557"}, {60, "[DMEN03557"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    m_scene.Display().Clear();
    EXPECT_EQ(CusrNasManager::ShowRestoreMessage(c.code), 1u);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].rfind(c.identifier, 0), 0u) << Shown()[0];
    EXPECT_NE(Shown()[0].find(TraceFmt("0x%08x", c.code | agent::kRestoreCodeBit)), std::string::npos);
  }
  EXPECT_NE(Shown()[0].find("(code = 0x0100003c)"), std::string::npos) << Shown()[0];
  EXPECT_THAT(TraceLines(), Contains(TaggedLine("error", "[DMEN03557")));
}

}  // namespace
