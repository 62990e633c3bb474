// Replies a hostile board could send: every length a reply carries, raised past the bytes that
// follow it, must end the exchange with 5 and hand no value to the caller; huge replies must not
// flood the trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "CraftedAgent.h"
#include "agent/CusrNasManager.h"
#include "agent/InstallCodec.h"
#include "agent/Pack.h"
#include "agent/RecoveryCodec.h"
#include "agent/ReplyTrace.h"

namespace {

using agent::Exchange;
using Bytes = std::vector<std::uint8_t>;
using kelptest::CraftedAgent;
using testing::Contains;
using testing::HasSubstr;

constexpr std::uint8_t kMask[4] = {255, 255, 255, 0};
constexpr std::size_t kMsgSizeOffset = 24;
constexpr std::size_t kSecondWordOffset = agent::kHeaderSize + 4;
constexpr std::size_t kDataOffset = agent::kHeaderSize + agent::kBodyPrefixSize;
constexpr std::uint32_t kSentinel = 0xDEADBEEF;

// The data of a reply after DataType and Result, with the offsets (in the whole reply) of every
// length word it holds.
class ReplyData {
 public:
  ReplyData& Word(std::uint32_t value) {
    agent::Pack(m_bytes, "l", {value});
    return *this;
  }
  ReplyData& Length(std::uint32_t value) {
    m_lengths.push_back(kDataOffset + m_bytes.size());
    return Word(value);
  }
  ReplyData& Text(std::string_view text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
  }
  // A text with its length word before it.
  ReplyData& Counted(std::string_view text) { return Length(static_cast<std::uint32_t>(text.size())).Text(text); }
  ReplyData& Append(const ReplyData& other) {
    for (const std::size_t offset : other.m_lengths) m_lengths.push_back(offset + m_bytes.size());
    m_bytes.insert(m_bytes.end(), other.m_bytes.begin(), other.m_bytes.end());
    return *this;
  }
  ReplyData& Raw(const Bytes& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  // The same data behind a DataSize word that counts it.
  ReplyData Sized() const {
    ReplyData sized;
    sized.Length(static_cast<std::uint32_t>(m_bytes.size()));
    sized.Append(*this);
    return sized;
  }
  const Bytes& bytes() const { return m_bytes; }
  const std::vector<std::size_t>& lengths() const { return m_lengths; }

 private:
  Bytes m_bytes;
  std::vector<std::size_t> m_lengths;
};

struct Outcome {
  std::uint32_t result = 0;
  bool handedOut = false;  // an out value differs from what the caller put there
};

using ReplyCall = std::function<Outcome(const CusrNasManager&, int)>;

struct HostileCase {
  ReplyData data;
  std::uint32_t second = 0;                  // Result, or the value a reply carries in its place
  std::vector<std::size_t> wordLengths;      // length words before the data
  ReplyCall reply;
};

using WordReply = std::uint32_t (CusrNasManager::*)(int, std::uint32_t*) const;
using NoValueReply = std::uint32_t (CusrNasManager::*)(int) const;

ReplyCall WordOut(WordReply call) {
  return [call](const CusrNasManager& m, int s) {
    std::uint32_t word = kSentinel;
    const std::uint32_t result = (m.*call)(s, &word);
    return Outcome{result, word != kSentinel};
  };
}

ReplyCall NoValue(NoValueReply call) {
  return [call](const CusrNasManager& m, int s) { return Outcome{(m.*call)(s), false}; };
}

ReplyCall TextOut(std::function<std::uint32_t(const CusrNasManager&, int, std::string*)> call) {
  return [call](const CusrNasManager& m, int s) {
    std::string text = "unset";
    const std::uint32_t result = call(m, s, &text);
    return Outcome{result, text != "unset"};
  };
}

// Backup information: handed out when the field set to the sentinel changed.
template <typename Info>
ReplyCall InfoOut(std::uint32_t (CusrNasManager::*call)(int, Info*) const, std::uint32_t Info::*field) {
  return [call, field](const CusrNasManager& m, int s) {
    Info info;
    info.*field = kSentinel;
    const std::uint32_t result = (m.*call)(s, &info);
    return Outcome{result, info.*field != kSentinel};
  };
}

template <typename Item>
ReplyCall ListOut(std::uint32_t (CusrNasManager::*call)(int, std::vector<Item>*) const) {
  return [call](const CusrNasManager& m, int s) {
    std::vector<Item> items(1);
    const std::uint32_t result = (m.*call)(s, &items);
    return Outcome{result, items.size() != 1};
  };
}

ReplyData RouteRecord(std::string_view target, std::string_view gateway) {
  ReplyData record;
  record.Text("mng1     ").Counted(target).Text("255.255.0.0     ").Counted(gateway).Word(0).Word(1).Word(1400);
  return record;
}

ReplyData Product(std::uint32_t code, std::string_view name, std::string_view version) {
  ReplyData entry;
  entry.Word(code).Counted(name).Counted(version).Text("2026/12/09 03:00:00 ").Text("PP  ");
  return entry;
}

// A well-formed reply of each exchange and how its Reply operation hands values out. The switch
// has no default, so an exchange added to the table without a case here is a compiler warning
// and an empty case below.
HostileCase CaseOf(Exchange id) {
  using M = CusrNasManager;
  switch (id) {
    case Exchange::Install:
      return {{}, 0, {}, [](const M& m, int s) {
                std::uint32_t verdict = kSentinel;
                const std::uint32_t result = m.ReplyInstall(s, agent::kReplyTimeoutSec, &verdict);
                return Outcome{result, verdict != kSentinel};
              }};
    case Exchange::UninstInfo:
      return {ReplyData().Append(Product(7, "NAS Backup", "04-00-00-00")).Append(Product(9, "NAS Sync", "05-01")).Sized(),
              0, {}, ListOut(&M::ReplyUninstInfo)};
    case Exchange::Uninstall:
      return {{}, 0, {}, NoValue(&M::ReplyUninstall)};
    case Exchange::SutInstallCheck:
      // The Result word is stored as soon as the body is read; the requirements are the values.
      return {ReplyData().Word(1).Word(0).Word(1).Word(1).Sized(), 0, {}, [](const M& m, int s) {
                std::uint32_t flags = 0, reboot = kSentinel, agentResult = 0;
                const std::uint32_t result = m.ReplySutInstallCheck(s, &flags, &reboot, &agentResult);
                return Outcome{result, flags != 0 || reboot != kSentinel};
              }};
    case Exchange::NetworkInfo:
      return {ReplyData().Text("192.168.0.5     ").Text("255.255.255.0   ").Text("192.168.0.1     ").Sized(), 0, {},
              TextOut([](const M& m, int s, std::string* ip) {
                std::string mask = "unset", gateway = "unset";
                const std::uint32_t result = m.ReplyNetworkInfo(s, ip, &mask, &gateway);
                if (mask != "unset" || gateway != "unset") *ip = "handed out";
                return result;
              })};
    case Exchange::NTPInfo:
      return {ReplyData().Counted("ntp1").Counted("10.0.0.1").Sized(), 0, {}, ListOut(&M::ReplyNTPInfo)};
    case Exchange::NTPSetting:
      return {{}, 0, {}, NoValue(&M::ReplyNTPSetting)};
    case Exchange::CHNName:
      return {ReplyData().Counted("node-a").Sized(), 0, {},
              TextOut([](const M& m, int s, std::string* name) { return m.ReplyCHNName(s, name); })};
    case Exchange::CHNNameSetting:
      return {{}, 0, {}, NoValue(&M::ReplyCHNNameSetting)};
    case Exchange::MTUInfo:
      return {ReplyData().Word(1500).Sized(), 0, {}, WordOut(&M::ReplyMTUInfo)};
    case Exchange::MTUSetting:
      return {{}, 0, {}, NoValue(&M::ReplyMTUSetting)};
    case Exchange::RoutingInfo:
      return {ReplyData().Append(RouteRecord("10.1.0.0", "10.0.0.254  ")).Append(RouteRecord("default ", "")).Sized(),
              0, {}, ListOut(&M::ReplyRoutingInfo)};
    case Exchange::RoutingAdd:
      return {{}, 0, {}, NoValue(&M::ReplyRoutingAdd)};
    case Exchange::RoutingDelete:
      return {{}, 0, {}, NoValue(&M::ReplyRoutingDelete)};
    case Exchange::NetworkSetting0301:
      return {{}, 0, {}, [](const M& m, int s) { return Outcome{m.ReplyNetworkSetting0301(s, 0), false}; }};
    case Exchange::CommandIF:
      // The second word is the length of the output that follows.
      return {ReplyData().Text("init\nnfsd\n"), 10, {kSecondWordOffset},
              TextOut([](const M& m, int s, std::string* output) { return m.ReplyCommandIF(s, output); })};
    case Exchange::ClusterStatus:
      return {{}, 1, {}, WordOut(&M::ReplyClusterStatus)};
    case Exchange::ClusterDefinedStatus:
      return {{}, 1, {}, WordOut(&M::ReplyClusterDefinedStatus)};
    // The backup's Data Size counts the LU, not bytes of the reply: only MsgSize is a length here.
    case Exchange::NasOsLuBackupInfo:
      return {ReplyData().Raw(agent::EncodeLuBackupInfo({0x4000, 1, "2026/12/09 03:00"})), 0, {},
              InfoOut(&M::ReplyNasOsLuBackupInfo, &agent::LuBackupInfo::ulDataSize)};
    case Exchange::NasSharedLuBackupInfo:
      return {ReplyData().Raw(agent::EncodeLuBackupInfo({0x40, 1, "2026/12/09 03:00"})), 0, {},
              InfoOut(&M::ReplyNasSharedLuBackupInfo, &agent::LuBackupInfo::ulDataSize)};
    case Exchange::NasSystemLuBackupInfo:
      return {ReplyData().Raw(agent::EncodeSystemLuBackupInfo({1, 2, "system.tgz", "2026/12/09 03:00"})), 0, {},
              InfoOut(&M::ReplyNasSystemLuBackupInfo, &agent::SystemLuBackupInfo::ulExecuteStatus)};
    case Exchange::NasOsLuRestore:
      return {{}, 0, {}, NoValue(&M::ReplyNasOsLuRestore)};
    case Exchange::NasSharedLuRestore:
      return {{}, 0, {}, NoValue(&M::ReplyNasSharedLuRestore)};
    case Exchange::InitializeCluster:
      return {{}, 0, {}, NoValue(&M::ReplyInitializeCluster)};
    case Exchange::StopCluster:
      return {{}, 0, {}, NoValue(&M::ReplyStopCluster)};
    case Exchange::NasSystemLuExtract:
      return {{}, 0, {}, NoValue(&M::ReplyNasSystemLuExtract)};
    case Exchange::NasSystemLuRestore:
      return {{}, 0, {}, NoValue(&M::ReplyNasSystemLuRestore)};
    case Exchange::NasOsLuRestoreStat:
      return {{}, agent::kStatRunning, {}, WordOut(&M::ReplyNasOsLuRestoreStat)};
    case Exchange::NasSharedLuRestoreStat:
      return {{}, agent::kStatRunning, {}, WordOut(&M::ReplyNasSharedLuRestoreStat)};
    case Exchange::StopClusterStat:
      return {{}, agent::kStatRunning, {}, WordOut(&M::ReplyStopClusterStat)};
    case Exchange::InitializeClusterStat:
      return {{}, agent::kStatRunning, {}, WordOut(&M::ReplyInitializeClusterStat)};
    case Exchange::NasSystemLuExtractStat:
      return {{}, agent::kStatRunning, {}, WordOut(&M::ReplyNasSystemLuExtractStat)};
    case Exchange::NasSystemLuRestoreStat:
      return {{}, agent::kStatRunning, {}, WordOut(&M::ReplyNasSystemLuRestoreStat)};
    case Exchange::Version:
      return {{}, 0x05000000, {}, WordOut(&M::ReplyVersion)};
  }
  return {};
}

Bytes WithWord(Bytes bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  return bytes;
}

class Hostile : public ::testing::Test {
 protected:
  // Connects, sends the bare request of the exchange, runs its Reply operation on the reply.
  Outcome RunReply(const agent::ExchangeInfo& info, const ReplyCall& reply, Bytes bytes) {
    m_agent.Push(std::move(bytes));
    int sock = CusrNasManager::INVALID_SOCKET;
    EXPECT_EQ(m_manager.InitializeSocket(&sock), 0u);
    EXPECT_EQ(m_manager.SendHeader(sock, info.protoVer, info.msgType, 4, info.command), 0u);
    const Outcome outcome = reply(m_manager, sock);
    m_manager.CloseSocket(sock);
    return outcome;
  }

  kelptest::ClientScene m_scene;
  CraftedAgent m_agent;
  CusrNasManager m_manager{CraftedAgent::kAddress, kMask, m_agent.Port(), 3};
};

TEST_F(Hostile, EveryLengthPastTheBytesSentIsProtocolErrorWithNoValueHandedOut) {
  for (const agent::ExchangeInfo& info : agent::kExchanges) {
    const HostileCase c = CaseOf(info.id);
    ASSERT_TRUE(c.reply) << info.name << " has no case";
    const Bytes good = agent::EncodeReply(info.id, c.second, c.data.bytes());
    EXPECT_EQ(RunReply(info, c.reply, good).result, 0u) << info.name << ": the well-formed reply";
    std::vector<std::size_t> lengths{kMsgSizeOffset};
    lengths.insert(lengths.end(), c.wordLengths.begin(), c.wordLengths.end());
    lengths.insert(lengths.end(), c.data.lengths().begin(), c.data.lengths().end());
    for (const std::size_t offset : lengths) {
      const auto after = static_cast<std::uint32_t>(good.size() - offset - 4);
      for (const std::uint32_t raised : {after + 1, 0x7FFFFFF0u}) {
        m_scene.Display().Clear();
        const Outcome outcome = RunReply(info, c.reply, WithWord(good, offset, raised));
        const std::string what = std::string(info.name) + ", length at " + std::to_string(offset) + " raised to " +
                                 std::to_string(raised);
        EXPECT_EQ(outcome.result, 5u) << what;
        EXPECT_FALSE(outcome.handedOut) << what;
        for (const std::string& id : m_scene.ShownIds()) EXPECT_EQ(id, "[DMEN03514E") << what;
      }
    }
  }
}

TEST_F(Hostile, AHugeReplyTracesItsFirstRecordsWithTextsCut) {
  const std::string longText(4 * agent::kMaxTracedTextBytes, 't');
  ReplyData routes, products;
  for (int i = 0; i < 1000; ++i) routes.Append(RouteRecord(longText, "10.0.0.254  "));
  for (int i = 0; i < 300; ++i) products.Append(Product(i, longText, "04-00-00-00"));
  std::vector<agent::RouteTexts> routeList;
  std::vector<agent::ProductTexts> productList;
  struct Case {
    Exchange id;
    ReplyData data;
    ReplyCall reply;
    const char* recordLine;  // a line each traced record writes once
    std::string summary;
    std::size_t handedOut;
  };
  const Case cases[] = {
      {Exchange::RoutingInfo, routes.Sized(),
       [&](const CusrNasManager& m, int s) { return Outcome{m.ReplyRoutingInfo(s, &routeList), true}; },
       "Target = |", "744 more routes not traced", 1000},
      {Exchange::UninstInfo, products.Sized(),
       [&](const CusrNasManager& m, int s) { return Outcome{m.ReplyUninstInfo(s, &productList), true}; },
       "PP Code = ", "44 more products not traced", 300},
  };
  for (const Case& c : cases) {
    const std::size_t before = m_scene.TraceLines().size();
    const agent::ExchangeInfo& info = agent::Info(c.id);
    EXPECT_EQ(RunReply(info, c.reply, agent::EncodeReply(c.id, 0, c.data.bytes())).result, 0u) << info.name;
    EXPECT_EQ(routeList.size() + productList.size(), c.handedOut) << info.name << ": every record is handed out";
    routeList.clear();
    productList.clear();
    const std::vector<std::string> all = m_scene.TraceLines();
    const std::vector<std::string> lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    const auto records = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(c.recordLine) != std::string::npos;
    });
    EXPECT_EQ(static_cast<std::size_t>(records), agent::kMaxTracedRecords) << info.name;
    EXPECT_THAT(lines, Contains(HasSubstr(c.summary))) << info.name;
    EXPECT_THAT(lines, Contains(HasSubstr("t... (3072 more bytes)"))) << info.name;
    EXPECT_LT(lines.size(), 8 * agent::kMaxTracedRecords) << info.name;
    for (const std::string& line : lines) ASSERT_LT(line.size(), agent::kMaxTracedTextBytes + 100) << info.name;
  }
}

}  // namespace
