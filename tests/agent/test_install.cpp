// The installation exchanges: the pure request layouts and reply decoders, then every reply over
// a real loopback socket against a test-local agent sending crafted bytes (agent codes and
// their messages, hostile lengths, the caller's time-out).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CraftedAgent.h"
#include "agent/CusrNasManager.h"
#include "agent/InstallCodec.h"
#include "WireBytes.h"
#include "agent/Pack.h"
#include "common/CusrTraceScope.h"

namespace {

using agent::Decode;
using agent::Exchange;
using agent::ProductTexts;
using agent::ProductEntry;
using kelptest::Bytes;
using kelptest::Cat;
using kelptest::Of;
using kelptest::TextAt;
using kelptest::WordAt;
using kelptest::Words;
using kelptest::CraftedAgent;

constexpr std::uint8_t kMask[4] = {255, 255, 255, 0};

// ---- request layouts ----

struct FileNameCase {
  const char* name;
  const char* fileName;
  const char* sent;  // the name as it goes out
};

const FileNameCase kFileNames[] = {
    {"FiveCharactersGetThreeBlanks", "a.pkg", "a.pkg   "},
    {"EightCharactersUnchanged", "abcd.pkg", "abcd.pkg"},
    {"NineCharactersGrowToTwelve", "abcde.pkg", "abcde.pkg   "},
};

TEST(InstallRequest, FileNamePaddedToWordAndAddressToSixteen) {
  for (const FileNameCase& c : kFileNames) {
    SCOPED_TRACE(c.name);
    const Bytes r = agent::EncodeInstallRequest(4711, c.fileName, "10.0.0.1", 20021);
    const std::size_t n = std::string_view(c.sent).size();
    ASSERT_EQ(r.size(), agent::kRequestPrefixSize + n + 28);
    EXPECT_EQ(WordAt(r, 24), n + 28 + 8);  // MsgSize
    EXPECT_EQ(WordAt(r, 28), 0u);          // command
    EXPECT_EQ(WordAt(r, 32), n + 28);      // DataSize
    EXPECT_EQ(WordAt(r, 36), 4711u);
    EXPECT_EQ(WordAt(r, 40), n);
    EXPECT_EQ(TextAt(r, 44, n), c.sent);
    EXPECT_EQ(TextAt(r, 44 + n, 16), "10.0.0.1        ");
    EXPECT_EQ(WordAt(r, 60 + n), 20021u);
  }
}

TEST(InstallRequest, SutCheckCarriesTheSameFileSourceWithoutSerial) {
  for (const FileNameCase& c : kFileNames) {
    SCOPED_TRACE(c.name);
    const Bytes r = agent::EncodeSutInstallCheckRequest(c.fileName, "192.168.100.200", 21);
    const std::size_t n = std::string_view(c.sent).size();
    ASSERT_EQ(r.size(), agent::kRequestPrefixSize + n + 24);
    EXPECT_EQ(WordAt(r, 16), 0x00040000u);  // ProtoVer
    EXPECT_EQ(WordAt(r, 28), 3u);
    EXPECT_EQ(WordAt(r, 32), n + 24);
    EXPECT_EQ(WordAt(r, 36), n);
    EXPECT_EQ(TextAt(r, 40, n), c.sent);
    EXPECT_EQ(TextAt(r, 40 + n, 16), "192.168.100.200 ");
    EXPECT_EQ(WordAt(r, 56 + n), 21u);
  }
}

TEST(InstallRequest, UninstallNamesTheProductAsGiven) {
  const Bytes r = agent::EncodeUninstallRequest(77, "NAS Backup");
  ASSERT_EQ(r.size(), agent::kRequestPrefixSize + 8 + 10);
  EXPECT_EQ(WordAt(r, 32), 18u);
  EXPECT_EQ(WordAt(r, 36), 77u);
  EXPECT_EQ(WordAt(r, 40), 10u);
  EXPECT_EQ(TextAt(r, 44, 10), "NAS Backup");
}

// ---- reply decoders ----

ProductEntry Product(std::uint32_t code, std::string name, std::string version) {
  return ProductEntry{code, std::move(name), std::move(version), "2006/12/26 06:45:28 ", "PP  "};
}

// One entry: code 5, name "abc", version "1.0", date and type.
Bytes Entry(std::uint32_t nameLength, std::uint32_t versionLength) {
  return Cat(
      {Words({5, nameLength}), Of("abc"), Words({versionLength}), Of("1.0"), Of(std::string(20, 'd')), Of("PP  ")});
}

struct HostileCase {
  const char* name;
  Bytes data;
};

TEST(ProductsDecoder, LengthsReachingPastTheDataAreTruncated) {
  const Bytes good = Entry(3, 3);
  const std::uint32_t size = static_cast<std::uint32_t>(good.size());
  const HostileCase cases[] = {
      {"NoDataSize", Bytes{0, 0}},
      {"DataSizePastTheData", Cat({Words({size + 1}), good})},
      {"DataSizeHuge", Cat({Words({0xFFFFFFFF}), good})},
      {"NameLengthPastTheData", Cat({Words({size}), Entry(1000, 3)})},
      {"NameLengthHuge", Cat({Words({size}), Entry(0xFFFFFFF0, 3)})},
      {"VersionLengthPastTheData", Cat({Words({size}), Entry(3, 40)})},
      {"DateCutShort", Cat({Words({size - 10}), Bytes(good.begin(), good.end() - 10)})},
      {"EntryPastDataSizeThoughBytesFollow", Cat({Words({size - 4}), good})},
      {"SecondEntryCutShort", Cat({Words({size + 8}), good, Words({6, 3})})},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ProductEntry> products;
    EXPECT_EQ(agent::DecodeProducts(c.data, &products), Decode::Truncated);
    EXPECT_TRUE(products.empty());
  }
}

// ---- exchanges over loopback ----

class InstallExchange : public ::testing::Test {
 protected:
  void TearDown() override { CusrNasManager::SetBoardNameProvider(nullptr); }

  std::vector<std::string> Shown() const { return m_scene.Shown(); }

  int Connect() {
    int sock = CusrNasManager::INVALID_SOCKET;
    EXPECT_EQ(m_manager.InitializeSocket(&sock), 0u);
    return sock;
  }

  std::uint32_t Install(std::uint32_t ulTimeoutSec, std::uint32_t* pulResult, bool bNasOsWording = false) {
    const int sock = Connect();
    EXPECT_EQ(m_manager.RequestInstall(sock, 4711, "nasbase.pkg", "10.0.0.1", 20021), 0u);
    const std::uint32_t r = m_manager.ReplyInstall(sock, ulTimeoutSec, pulResult, bNasOsWording);
    m_manager.CloseSocket(sock);
    return r;
  }

  std::uint32_t UninstInfo(std::vector<ProductTexts>* pProducts) {
    const int sock = Connect();
    EXPECT_EQ(m_manager.RequestUninstInfo(sock), 0u);
    const std::uint32_t r = m_manager.ReplyUninstInfo(sock, pProducts);
    m_manager.CloseSocket(sock);
    return r;
  }

  std::uint32_t SutCheck(std::uint32_t* pulFlags, std::uint32_t* pulReboot, std::uint32_t* pulResult) {
    const int sock = Connect();
    EXPECT_EQ(m_manager.RequestSutInstallCheck(sock, "nasbase.pkg", "10.0.0.1", 20021), 0u);
    const std::uint32_t r = m_manager.ReplySutInstallCheck(sock, pulFlags, pulReboot, pulResult);
    m_manager.CloseSocket(sock);
    return r;
  }

  // 60 logical seconds are 600 ms: ample on a loaded machine, short enough to run out in a test.
  kelptest::ClientScene m_scene{0.01};
  CraftedAgent m_agent;
  CusrNasManager m_manager{CraftedAgent::kAddress, kMask, m_agent.Port(), 3};
};

TEST_F(InstallExchange, RequestGoesOutAsEncodedAndSuccessClearsTheVerdict) {
  m_agent.Push(agent::EncodeReply(Exchange::Install, 0));
  std::uint32_t verdict = 0xDEAD;
  EXPECT_EQ(Install(600, &verdict), 0u);
  EXPECT_EQ(verdict, 0u);
  EXPECT_EQ(m_agent.Request(0), agent::EncodeInstallRequest(4711, "nasbase.pkg", "10.0.0.1", 20021));
  EXPECT_TRUE(Shown().empty());
}

struct InstallErrorCase {
  const char* name;
  std::uint32_t code;
  bool nasOsWording;
  const char* identifier;
};

TEST_F(InstallExchange, EveryAgentCodeShowsItsMessageAndTheExchangeSucceeds) {
  const InstallErrorCase cases[] = {
      {"Code1", 0x001, false, "[DMEN03531"},
      {"Code2", 0x002, false, "[DMEN03514"},
      {"Code3", 0x003, false, "[DMEN03533"},
      {"Code4", 0x004, false, "[DMEN03534"},
      {"Code5", 0x005, false, "[DMEN03535"},
      {"Code6", 0x006, false, "[DMEN03536"},
      {"Code17", 0x017, false, "[DMEN03557"},
      {"Code1A", 0x01A, false, "[DMEN03557"},
      {"Code3C", 0x03C, false, "[DMEN03557"},
      {"Code18", 0x018, false, "[DMEN03558"},
      {"Code501", 0x501, false, "[DMEN03597"},
      {"Code700", 0x700, false, "[DMEN03597"},
      {"Code503", 0x503, false, "[DMEN04008"},
      {"Code504", 0x504, false, "[DMEN03556"},
      {"Code504KeepsItsRowUnderNasOsWording", 0x504, true, "[DMEN03556"},
      {"Code505", 0x505, false, "[DMEN04013"},
      {"UnknownCode", 0x099, false, "[DMEN03556"},
      {"UnknownCodeUnderNasOsWording", 0x099, true, "[DMEN03516"},
  };
  for (const InstallErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_scene.Display().Clear();
    m_agent.Push(agent::EncodeReply(Exchange::Install, c.code));
    std::uint32_t verdict = 0;
    EXPECT_EQ(Install(600, &verdict, c.nasOsWording), 0u);
    EXPECT_EQ(verdict, c.code | agent::kInstallErrorBit);
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(c.identifier, 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find(TraceFmt("0x%08x", verdict)), std::string::npos) << shown[0];
  }
}

TEST_F(InstallExchange, CodeThreeBNamesTheBoardInsteadOfTheCode) {
  m_agent.Push(agent::EncodeReply(Exchange::Install, 0x3b));
  m_agent.Push(agent::EncodeReply(Exchange::Install, 0x3b));
  std::uint32_t verdict = 0;
  EXPECT_EQ(Install(600, &verdict), 0u);
  EXPECT_EQ(verdict, 0x1000003bu);
  CusrNasManager::SetBoardNameProvider([](std::uint32_t index) { return "NAS board " + std::to_string(index); });
  EXPECT_EQ(Install(600, &verdict), 0u);
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].rfind("[DMEN03653", 0), 0u);
  EXPECT_NE(shown[0].find("CHN-3"), std::string::npos) << shown[0];
  EXPECT_NE(shown[1].find("NAS board 3"), std::string::npos) << shown[1];
  EXPECT_EQ(shown[1].find("0x1000003b"), std::string::npos) << shown[1];
}

TEST_F(InstallExchange, HeaderWaitIsTheCallersTimeOut) {
  // At scale 0.01: 150 ms are 15 logical seconds, 800 ms are 80, beyond the usual 60.
  m_agent.Push(CraftedAgent::Reply{agent::EncodeReply(Exchange::Install, 0), 0, std::chrono::milliseconds(150)});
  m_agent.Push(CraftedAgent::Reply{agent::EncodeReply(Exchange::Install, 0), 0, std::chrono::milliseconds(800)});
  std::uint32_t verdict = 0xDEAD;
  EXPECT_EQ(Install(5, &verdict), agent::kResultTimeout);
  EXPECT_EQ(verdict, 0xDEADu);
  EXPECT_EQ(Install(600, &verdict), 0u);
  EXPECT_EQ(verdict, 0u);
}

TEST_F(InstallExchange, FrameFaultsAreProtocolErrors) {
  const Bytes reply = agent::EncodeReply(Exchange::Install, 0);
  const HostileCase cases[] = {
      {"DataTypeOfAnotherCommand", agent::EncodeReply(0x00010000, 1, 0x10001, 0, {})},
      {"BodyWithoutResult", Cat({Bytes(reply.begin(), reply.begin() + 24), Words({4, 0x10000})})},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_scene.Display().Clear();
    m_agent.Push(c.data);
    std::uint32_t verdict = 0xDEAD;
    EXPECT_EQ(Install(600, &verdict), agent::kResultProtocol);
    EXPECT_EQ(verdict, 0xDEADu);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].rfind("[DMEN03514", 0), 0u);
  }
}

TEST_F(InstallExchange, UninstInfoHandsOverTextsInWireOrder) {
  m_agent.Push(agent::EncodeReply(
      Exchange::UninstInfo, 0,
      agent::EncodeProducts({Product(7, "NAS Base  ", "01-00"), Product(31, "NAS Antivirus", "03-02  ")})));
  m_agent.Push(agent::EncodeReply(Exchange::UninstInfo, 0, Words({0})));
  std::vector<ProductTexts> products;
  EXPECT_EQ(UninstInfo(&products), 0u);
  ASSERT_EQ(products.size(), 2u);
  EXPECT_EQ(products[0], (ProductTexts{"NAS Base", "01-00", "2006/12/26 06:45:28 ", "PP  ", "7"}));
  EXPECT_EQ(products[1][agent::kProductName], "NAS Antivirus");
  EXPECT_EQ(products[1][agent::kProductVersion], "03-02");
  EXPECT_EQ(products[1][agent::kProductCode], "31");
  EXPECT_EQ(m_agent.Request(0), agent::EncodeBareRequest(Exchange::UninstInfo));

  products.clear();
  EXPECT_EQ(UninstInfo(&products), 0u);
  EXPECT_TRUE(products.empty());
  EXPECT_TRUE(Shown().empty());
}

TEST_F(InstallExchange, UninstInfoAgentErrorIsSixWithTheCodesMessage) {
  m_agent.Push(agent::EncodeReply(Exchange::UninstInfo, 24));
  std::vector<ProductTexts> products;
  EXPECT_EQ(UninstInfo(&products), agent::kResultAgentInfo);
  EXPECT_TRUE(products.empty());
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].rfind("[DMEN03558", 0), 0u);
  EXPECT_NE(Shown()[0].find("0x00000018"), std::string::npos);
}

TEST_F(InstallExchange, UninstInfoWithHostileLengthsIsAProtocolError) {
  const Bytes good = Entry(3, 3);
  const std::uint32_t size = static_cast<std::uint32_t>(good.size());
  const HostileCase cases[] = {
      {"NameLengthPastTheData", Cat({Words({size}), Entry(0x7FFFFFFF, 3)})},
      {"NoDataSize", Bytes{}},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_scene.Display().Clear();
    m_agent.Push(agent::EncodeReply(Exchange::UninstInfo, 0, c.data));
    std::vector<ProductTexts> products;
    EXPECT_EQ(UninstInfo(&products), agent::kResultProtocol);
    EXPECT_TRUE(products.empty());
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].rfind("[DMEN03514", 0), 0u);
  }
}

TEST_F(InstallExchange, UninstallReturnsTheAgentsCode) {
  m_agent.Push(agent::EncodeReply(Exchange::Uninstall, 0));
  m_agent.Push(agent::EncodeReply(Exchange::Uninstall, 27));
  m_agent.Push(agent::EncodeReply(0x00010000, 1, 0x10000, 0, {}));
  const std::uint32_t expected[] = {0, 27, agent::kResultProtocol};
  for (std::uint32_t want : expected) {
    const int sock = Connect();
    EXPECT_EQ(m_manager.RequestUninstall(sock, 77, "NAS Backup"), 0u);
    EXPECT_EQ(m_manager.ReplyUninstall(sock), want);
    m_manager.CloseSocket(sock);
  }
  EXPECT_EQ(m_agent.Request(0), agent::EncodeUninstallRequest(77, "NAS Backup"));
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].rfind("[DMEN03559", 0), 0u);
  EXPECT_NE(shown[0].find("0x0000001b"), std::string::npos);
  EXPECT_EQ(shown[1].rfind("[DMEN03514", 0), 0u);
}

TEST_F(InstallExchange, SutCheckNoticeWithRebootIsNoError) {
  m_agent.Push(agent::EncodeReply(Exchange::SutInstallCheck, 0x500, agent::EncodeSutCheck({0, 0, 0, 1})));
  std::uint32_t flags = 0;
  std::uint32_t reboot = 0;
  std::uint32_t result = 0;
  EXPECT_EQ(SutCheck(&flags, &reboot, &result), 0u);
  EXPECT_EQ(reboot, 1u);
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(result, 0x500u);
  EXPECT_EQ(m_agent.Request(0), agent::EncodeSutInstallCheckRequest("nasbase.pkg", "10.0.0.1", 20021));
  EXPECT_TRUE(Shown().empty());
}

TEST_F(InstallExchange, SutCheckFlagsAreOnlyOredIn) {
  m_agent.Push(agent::EncodeReply(Exchange::SutInstallCheck, 0x502, agent::EncodeSutCheck({1, 1, 0, 0})));
  std::uint32_t flags = agent::kNeedServiceStop | 0x100;
  std::uint32_t reboot = 0;
  std::uint32_t result = 0;
  EXPECT_EQ(SutCheck(&flags, &reboot, &result), 0u);
  EXPECT_EQ(flags, agent::kNeedNodeStop | agent::kNeedClusterStop | agent::kNeedServiceStop | 0x100);
  EXPECT_EQ(reboot, 0u);
  EXPECT_EQ(result, 0x502u);
}

TEST_F(InstallExchange, SutCheckFaults) {
  struct Case {
    const char* name;
    Bytes reply;
    std::uint32_t expected;
    const char* identifier;
  };
  const Case cases[] = {
      {"AgentErrorUsesTheInstallationTable", agent::EncodeReply(Exchange::SutInstallCheck, 0x503), 6, "[DMEN04008"},
      {"DataSizeTwelve", agent::EncodeReply(Exchange::SutInstallCheck, 0, Words({12, 1, 1, 1})), 5, "[DMEN03514"},
      {"WordsMissing", agent::EncodeReply(Exchange::SutInstallCheck, 0, Words({16, 1, 1})), 5, "[DMEN03514"},
      {"DataTypeOfInstall", agent::EncodeReply(0x00040000, 1, 0x10000, 0, agent::EncodeSutCheck({1, 1, 1, 1})), 5,
       "[DMEN03514"},
      {"OldProtoVer", agent::EncodeReply(0x00010000, 1, 0x10003, 0, agent::EncodeSutCheck({1, 1, 1, 1})), 5,
       "[DMEN03514"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_scene.Display().Clear();
    m_agent.Push(c.reply);
    std::uint32_t flags = 0;
    std::uint32_t reboot = 0;
    std::uint32_t result = 0;
    EXPECT_EQ(SutCheck(&flags, &reboot, &result), c.expected);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(reboot, 0u);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0].rfind(c.identifier, 0), 0u) << Shown()[0];
  }
}

}  // namespace
