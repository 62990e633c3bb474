// The board-settings and status exchanges: request bytes as the agent receives them, reply
// decoding, agent errors with the rejected field's name, and every length field of a reply
// that reaches past the bytes received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "CraftedAgent.h"
#include "agent/CusrNasManager.h"
#include "WireBytes.h"
#include "agent/Pack.h"
#include "agent/SettingsCodec.h"

namespace {

using agent::Exchange;
using agent::NewRoute;
using agent::RouteTexts;
using agent::Pack;
using kelptest::Bytes;
using kelptest::Cat;
using kelptest::CraftedAgent;
using Ids = std::vector<std::string>;
using testing::Contains;
using testing::HasSubstr;

constexpr std::uint8_t kMask[4] = {255, 255, 255, 0};

Bytes Packed(std::string_view format, std::initializer_list<agent::PackArg> values) {
  Bytes out;
  Pack(out, format, values);
  return out;
}

// One route record as the agent lays it out.
Bytes RouteRecord(std::string_view iface, std::string_view target, std::string_view netmask,
                  std::string_view gateway, std::uint32_t host, std::uint32_t route, std::uint32_t mss) {
  return Packed(agent::MakeFormat("S(9)lS(%zu)S(16)lS(%zu)lll", target.size(), gateway.size()),
                {iface, static_cast<std::uint32_t>(target.size()), target, netmask,
                 static_cast<std::uint32_t>(gateway.size()), gateway, host, route, mss});
}

// DataSize followed by the data.
Bytes Sized(const Bytes& data) { return Cat({Packed("l", {static_cast<std::uint32_t>(data.size())}), data}); }

class Settings : public ::testing::Test {
 protected:
  // Runs one exchange against the crafted agent: connect, request, reply, close.
  std::uint32_t Run(Bytes reply, const std::function<std::uint32_t(int)>& request,
                         const std::function<std::uint32_t(int)>& replyOp) {
    m_agent.Push(std::move(reply));
    return kelptest::RunExchange(m_manager, request, replyOp);
  }

  kelptest::ClientScene m_scene;
  CraftedAgent m_agent;
  CusrNasManager m_manager{CraftedAgent::kAddress, kMask, m_agent.Port(), 5};
};

TEST_F(Settings, RequestsReachTheAgentByteForByte) {
  NewRoute route;
  route.target = std::array<std::uint8_t, 4>{10, 1, 0, 0};
  route.netmask = {255, 255, 0, 0};
  route.gateway = std::array<std::uint8_t, 4>{10, 0, 0, 254};
  route.ulRouteFlag = 1;
  route.ulMSS = 1460;
  NewRoute defaultRoute;
  defaultRoute.ulHostFlag = 1;
  const RouteTexts listed = {"eth0     ", "10.2.0.0", "255.255.0.0", "*", "Allow", "536", "Host"};
  struct Case {
    const char* name;
    std::function<std::uint32_t(const CusrNasManager&, int)> send;
    agent::Exchange id;
    Bytes params;  // after DataSize; empty for requests without parameters
  };
  const Case cases[] = {
      {"network info", [](auto& m, int s) { return m.RequestNetworkInfo(s, 0); }, Exchange::NetworkInfo,
       Packed("S(4)", {"mng0"})},
      {"network setting",
       [](auto& m, int s) { return m.RequestNetworkSetting0301(s, 0, "10.0.0.1", "255.255.255.0"); },
       Exchange::NetworkSetting0301, Packed("S(4)S(16)S(16)", {"mng0", "10.0.0.1        ", "255.255.255.0   "})},
      {"NTP info", [](auto& m, int s) { return m.RequestNTPInfo(s); }, Exchange::NTPInfo, {}},
      {"NTP setting, fourth server dropped",
       [](auto& m, int s) { return m.RequestNTPSetting(s, {"ntp1", "10.0.0.9", "n3", "n4"}); },
       Exchange::NTPSetting, Packed("lS(4)lS(8)lS(2)", {4u, "ntp1", 8u, "10.0.0.9", 2u, "n3"})},
      {"board name", [](auto& m, int s) { return m.RequestCHNName(s); }, Exchange::CHNName, {}},
      {"board name setting", [](auto& m, int s) { return m.RequestCHNNameSetting(s, "CHN-A"); },
       Exchange::CHNNameSetting, Packed("lS(5)", {5u, "CHN-A"})},
      {"MTU info", [](auto& m, int s) { return m.RequestMTUInfo(s, 1); }, Exchange::MTUInfo,
       Packed("S(4)", {"mng1"})},
      {"MTU setting", [](auto& m, int s) { return m.RequestMTUSetting(s, 1, 9000); }, Exchange::MTUSetting,
       Packed("S(4)l", {"mng1", 9000u})},
      {"routing list", [](auto& m, int s) { return m.RequestRoutingInfo(s); }, Exchange::RoutingInfo, {}},
      {"route add", [&](auto& m, int s) { return m.RequestRoutingAdd(s, route); }, Exchange::RoutingAdd,
       RouteRecord("mng1     ", "10.1.0.0", "255.255.0.0     ", "10.0.0.254  ", 0, 1, 1460)},
      {"default route add: \"default\" and a blank, length 8, no gateway",
       [&](auto& m, int s) { return m.RequestRoutingAdd(s, defaultRoute); }, Exchange::RoutingAdd,
       RouteRecord("mng1     ", "default ", "0.0.0.0         ", "", 1, 0, 0)},
      {"route delete of a listed route", [&](auto& m, int s) { return m.RequestRoutingDelete(s, listed); },
       Exchange::RoutingDelete, RouteRecord("eth0     ", "10.2.0.0", "255.255.0.0     ", "", 1, 0, 536)},
      {"command", [](auto& m, int s) { return m.RequestCommandIF(s, "ps -eo comm --sort cmd --no-headers"); },
       Exchange::CommandIF, Packed("S(35)", {"ps -eo comm --sort cmd --no-headers"})},
      {"cluster status", [](auto& m, int s) { return m.RequestClusterStatus(s); }, Exchange::ClusterStatus, {}},
      {"cluster definition", [](auto& m, int s) { return m.RequestClusterDefinedStatus(s); },
       Exchange::ClusterDefinedStatus, {}},
      {"version", [](auto& m, int s) { return m.RequestVersion(s); }, Exchange::Version,
       Packed("ll", {0x02020000u, 0x05000100u})},
  };
  std::size_t n = 0;
  for (const Case& c : cases) {
    m_agent.Push(Bytes{});
    int sock = CusrNasManager::INVALID_SOCKET;
    ASSERT_EQ(m_manager.InitializeSocket(&sock), 0u);
    EXPECT_EQ(c.send(m_manager, sock), 0u) << c.name;
    const std::optional<Bytes> got = m_agent.Request(n++);
    m_manager.CloseSocket(sock);
    const Bytes expected = c.params.empty() ? agent::EncodeBareRequest(c.id) : agent::EncodeRequest(c.id, c.params);
    EXPECT_EQ(got, expected) << c.name;
  }
  EXPECT_TRUE(m_scene.ShownIds().empty());
}

TEST_F(Settings, RoutingDeleteRefusesBeforeSendingAnything) {
  const RouteTexts good = {"mng1", "default ", "0.0.0.0", "10.0.0.1", "Reject", "0", "Network"};
  struct Case {
    const char* name;
    int field;
    std::string value;
    const char* trace;
  };
  const Case cases[] = {
      {"10-character interface", agent::kRouteInterface, "mng1234567", "Too Long Interface Name: |mng1234567|"},
      {"17-character netmask", agent::kRouteNetmask, "255.255.255.255  ", "Too Long NetMask: |255.255.255.255  |"},
      {"unknown host flag word", agent::kRouteHostFlag, "Hosts", "Invalid Host Flag: Hosts"},
      {"unknown route flag word", agent::kRouteRouteFlag, "allow", "Invalid Route Flag: allow"},
      {"MSS not a number", agent::kRouteMss, "12x", "Invalid MSS: 12x"},
  };
  std::size_t n = 0;
  for (const Case& c : cases) {
    RouteTexts route = good;
    route[c.field] = c.value;
    m_agent.Push(Bytes{});
    int sock = CusrNasManager::INVALID_SOCKET;
    ASSERT_EQ(m_manager.InitializeSocket(&sock), 0u);
    EXPECT_EQ(m_manager.RequestRoutingDelete(sock, route), 1u) << c.name;
    m_manager.CloseSocket(sock);
    EXPECT_EQ(m_agent.Request(n++), Bytes{}) << c.name << ": nothing may reach the agent";
    EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr(c.trace))) << c.name;
  }
  EXPECT_TRUE(m_scene.ShownIds().empty());
}

TEST_F(Settings, RepliesAreDecoded) {
  std::string ip, mask, gateway;
  const Bytes networkData = Cat({Packed("l", {48u}), Packed("S(16)S(16)S(16)", {"10.0.0.5", "255.0.0.0", "10.0.0.1"})});
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::NetworkInfo, 0, networkData),
                     [&](int s) { return m_manager.RequestNetworkInfo(s, 0); },
                     [&](int s) { return m_manager.ReplyNetworkInfo(s, &ip, &mask, &gateway); }),
            0u);
  EXPECT_EQ(ip, "10.0.0.5");
  EXPECT_EQ(mask, "255.0.0.0");
  EXPECT_EQ(gateway, "10.0.0.1");

  std::vector<std::string> servers;
  const Bytes ntpData = Sized(Packed("lS(8)lS(4)", {8u, "ntp1    ", 4u, "a.b "}));
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::NTPInfo, 0, ntpData), [&](int s) { return m_manager.RequestNTPInfo(s); },
                     [&](int s) { return m_manager.ReplyNTPInfo(s, &servers); }),
            0u);
  EXPECT_EQ(servers, (std::vector<std::string>{"ntp1", "a.b"}));

  std::string name = "old";
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::CHNName, 0, Sized(Packed("lS(8)", {8u, "CHN-1A  "}))),
                     [&](int s) { return m_manager.RequestCHNName(s); },
                     [&](int s) { return m_manager.ReplyCHNName(s, &name); }),
            0u);
  EXPECT_EQ(name, "CHN-1A");
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::CHNName, 0, Sized({})), [&](int s) { return m_manager.RequestCHNName(s); },
                     [&](int s) { return m_manager.ReplyCHNName(s, &name); }),
            0u);
  EXPECT_EQ(name, "") << "DataSize 0: no name set";
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("No setting CHN name")));

  std::vector<RouteTexts> routes;
  const Bytes routeData = Sized(Cat({RouteRecord("mng1     ", "default ", "0.0.0.0         ", "", 0, 0, 0),
                                        RouteRecord("mng1     ", "10.1.0.0", "255.255.0.0     ", "10.0.0.254  ", 1, 1, 1460)}));
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::RoutingInfo, 0, routeData),
                     [&](int s) { return m_manager.RequestRoutingInfo(s); },
                     [&](int s) { return m_manager.ReplyRoutingInfo(s, &routes); }),
            0u);
  ASSERT_EQ(routes.size(), 2u);
  EXPECT_EQ(routes[0], (RouteTexts{"mng1     ", "default ", "0.0.0.0         ", "*", "Allow", "0", "Network"}));
  EXPECT_EQ(routes[1],
            (RouteTexts{"mng1     ", "10.1.0.0", "255.255.0.0     ", "10.0.0.254  ", "Reject", "1460", "Host"}));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Gateway = |10.0.0.254  |")));

  std::string output;
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::CommandIF, 9, Packed("S(9)", {"init\nsshd"})),
                     [&](int s) { return m_manager.RequestCommandIF(s, "ps"); },
                     [&](int s) { return m_manager.ReplyCommandIF(s, &output); }),
            0u);
  EXPECT_EQ(output, "init\nsshd");

  std::uint32_t status = 0;
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::ClusterStatus, 3), [&](int s) { return m_manager.RequestClusterStatus(s); },
                     [&](int s) { return m_manager.ReplyClusterStatus(s, &status); }),
            0u);
  EXPECT_EQ(status, 3u);
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::ClusterDefinedStatus, 2),
                     [&](int s) { return m_manager.RequestClusterDefinedStatus(s); },
                     [&](int s) { return m_manager.ReplyClusterDefinedStatus(s, &status); }),
            0u);
  EXPECT_EQ(status, 2u);

  std::uint32_t version = 0;
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::Version, 0x05000001), [&](int s) { return m_manager.RequestVersion(s); },
                     [&](int s) { return m_manager.ReplyVersion(s, &version); }),
            0u);
  EXPECT_EQ(version, 0x05000001u);
  EXPECT_TRUE(m_scene.ShownIds().empty());
}

TEST_F(Settings, ClusterStatusChecksMagicAndTypeButNotProtoVer) {
  std::uint32_t status = 0;
  const Bytes reply = agent::EncodeReply(0x00099999, 13, 0x10001, 7, {});
  EXPECT_EQ(Run(reply, [&](int s) { return m_manager.RequestClusterStatus(s); },
                     [&](int s) { return m_manager.ReplyClusterStatus(s, &status); }),
            0u);
  EXPECT_EQ(status, 7u);
  EXPECT_EQ(Run(agent::EncodeReply(0x00010001, 2, 0x10001, 7, {}), [&](int s) { return m_manager.RequestClusterStatus(s); },
                     [&](int s) { return m_manager.ReplyClusterStatus(s, &status); }),
            5u);
  EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"});
  EXPECT_THAT(m_scene.TraceLines(),
              Contains(HasSubstr("Invalid Message, Hesder(KELPAGENTMESSAGE), ReqType(0x0000000d), RepType(0x00000002)")));
}

TEST_F(Settings, SettingErrorsNameTheRejectedField) {
  struct Case {
    agent::Exchange id;
    std::uint32_t code;
    std::uint32_t result;
    const char* box;  // start of the box text; empty: no box
    const char* argument;
  };
  const Case cases[] = {
      {Exchange::NetworkSetting0301, 0x200, 0x200, "[DMEN03588", "(NIC Type)"},
      {Exchange::NetworkSetting0301, 0x201, 0x201, "[DMEN03588", "(IP Address)"},
      {Exchange::NetworkSetting0301, 0x202, 0x202, "[DMEN03588", "(Network Mask)"},
      {Exchange::NetworkSetting0301, 1, 1, "[DMEN03822", ""},
      {Exchange::NetworkSetting0301, 0xCB, 0xCB, "[DMEN03823", "0x000000cb"},
      {Exchange::NetworkSetting0301, 0xD1, 0xD1, "[DMEN03823", "0x000000d1"},
      {Exchange::NetworkSetting0301, agent::kAgentNotChanged, agent::kAgentNotChanged, "", ""},
      {Exchange::NTPSetting, 0x200, 0x200, "[DMEN03588", "(NTP Server 1)"},
      {Exchange::NTPSetting, 0x201, 0x201, "[DMEN03588", "(NTP Server 2)"},
      {Exchange::NTPSetting, 0x202, 0x202, "[DMEN03588", "(NTP Server 3)"},
      {Exchange::NTPSetting, 0x600, 0x600, "[DMEN03592", "(NTP Server)"},
      {Exchange::CHNNameSetting, 0x201, 0x201, "[DMEN03588", "(CHA Name)"},
      {Exchange::CHNNameSetting, 0x600, 0x600, "[DMEN03592", "(CHA Name)"},
      {Exchange::CHNNameSetting, 60, 60, "[DMEN03557", "0x0000003c"},
      {Exchange::RoutingAdd, 0xC9, 0xC9, "[DMEN03588", "(Interface)"},
      {Exchange::RoutingAdd, 0xCA, 0xCA, "[DMEN03588", "(Target)"},
      {Exchange::RoutingAdd, 0xCB, 0xCB, "[DMEN03588", "(NetMask)"},
      {Exchange::RoutingAdd, 0xCC, 0xCC, "[DMEN03588", "(Gateway)"},
      {Exchange::RoutingAdd, 0xD4, 0xD4, "[DMEN03833", ""},
      {Exchange::RoutingAdd, 206, 206, "[DMEN03819", ""},
      {Exchange::MTUSetting, 0x30, 0x30, "[DMEN03556", "0x00000030"},
      {Exchange::MTUInfo, 23, 23, "[DMEN03557", "0x00000017"},
      {Exchange::RoutingDelete, 201, 10, "", ""},
      {Exchange::RoutingDelete, 205, 10, "", ""},
      {Exchange::RoutingDelete, 207, 10, "", ""},
      {Exchange::RoutingDelete, 255, 10, "", ""},
      {Exchange::RoutingDelete, 206, 206, "[DMEN03819", ""},
      {Exchange::RoutingDelete, 0x40, 0x40, "[DMEN03556", "0x00000040"},
  };
  const RouteTexts route = {"mng1", "default ", "0.0.0.0", "*", "Allow", "0", "Network"};
  for (const Case& c : cases) {
    m_scene.Display().Clear();
    const std::string name = std::string(agent::Info(c.id).name) + " " + agent::MakeFormat("0x%x", c.code);
    std::uint32_t mtu = 0;
    Bytes reply = agent::EncodeReply(c.id, c.code);
    std::function<std::uint32_t(int)> replyOp;
    switch (c.id) {
      case Exchange::NetworkSetting0301:
        replyOp = [&](int s) { return m_manager.ReplyNetworkSetting0301(s, 0); };
        break;
      case Exchange::NTPSetting:
        replyOp = [&](int s) { return m_manager.ReplyNTPSetting(s); };
        break;
      case Exchange::CHNNameSetting:
        replyOp = [&](int s) { return m_manager.ReplyCHNNameSetting(s); };
        break;
      case Exchange::RoutingAdd:
        replyOp = [&](int s) { return m_manager.ReplyRoutingAdd(s); };
        break;
      case Exchange::MTUSetting:
        replyOp = [&](int s) { return m_manager.ReplyMTUSetting(s); };
        break;
      case Exchange::MTUInfo:
        replyOp = [&](int s) { return m_manager.ReplyMTUInfo(s, &mtu); };
        break;
      default:
        replyOp = [&](int s) { return m_manager.ReplyRoutingDelete(s); };
        break;
    }
    EXPECT_EQ(Run(reply, [&](int s) { return m_manager.RequestRoutingDelete(s, route); }, replyOp), c.result)
        << name;
    const std::vector<common::RecordedBox> boxes = m_scene.Display().Boxes();
    if (*c.box == 0) {
      EXPECT_TRUE(boxes.empty()) << name;
      continue;
    }
    ASSERT_EQ(boxes.size(), 1u) << name;
    EXPECT_EQ(boxes[0].strText.rfind(c.box, 0), 0u) << name << ": " << boxes[0].strText;
    EXPECT_NE(boxes[0].strText.find(c.argument), std::string::npos) << name << ": " << boxes[0].strText;
  }
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Network Information is not changed.")));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Error Code: 0x000000c9")));
}

TEST_F(Settings, InformationRepliesWithAnAgentErrorGiveSix) {
  std::string text;
  std::vector<std::string> list;
  std::vector<RouteTexts> routes;
  struct Case {
    agent::Exchange id;
    std::function<std::uint32_t(int)> reply;
    const char* trace;
  };
  const Case cases[] = {
      {Exchange::NetworkInfo, [&](int s) { return m_manager.ReplyNetworkInfo(s, &text, &text, &text); },
       "Cannot get Network info"},
      {Exchange::NTPInfo, [&](int s) { return m_manager.ReplyNTPInfo(s, &list); }, "Cannot get NTP info"},
      {Exchange::CHNName, [&](int s) { return m_manager.ReplyCHNName(s, &text); }, "Cannot get CHN name"},
      {Exchange::RoutingInfo, [&](int s) { return m_manager.ReplyRoutingInfo(s, &routes); }, "Cannot get Routing info"},
  };
  for (const Case& c : cases) {
    m_scene.Display().Clear();
    EXPECT_EQ(Run(agent::EncodeReply(c.id, 24), [&](int s) { return m_manager.RequestNTPInfo(s); }, c.reply), 6u)
        << c.trace;
    EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03558W"}) << c.trace;
    EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr(c.trace)));
  }
}

TEST_F(Settings, NetworkInfoOfAnotherDataSizeIsProtocolError) {
  Bytes data = Cat({Packed("l", {47u}), Bytes(48, ' ')});
  std::string ip, mask, gateway;
  EXPECT_EQ(Run(agent::EncodeReply(Exchange::NetworkInfo, 0, data), [&](int s) { return m_manager.RequestNetworkInfo(s, 0); },
                     [&](int s) { return m_manager.ReplyNetworkInfo(s, &ip, &mask, &gateway); }),
            5u);
  EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"});
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Invalid Data size : 47")));
}

TEST_F(Settings, RouteFlagOutsideItsValuesEndsTheListWithTwentyOne) {
  for (const bool hostFlag : {true, false}) {
    m_scene.Display().Clear();
    std::vector<RouteTexts> routes;
    const Bytes data = Sized(Cat({RouteRecord("mng1     ", "default ", "0.0.0.0         ", "", 0, 0, 0),
                                     RouteRecord("mng1     ", "10.0.0.0", "255.0.0.0       ", "", hostFlag ? 2 : 0,
                                                 hostFlag ? 0 : 2, 0)}));
    EXPECT_EQ(Run(agent::EncodeReply(Exchange::RoutingInfo, 0, data), [&](int s) { return m_manager.RequestRoutingInfo(s); },
                       [&](int s) { return m_manager.ReplyRoutingInfo(s, &routes); }),
              21u);
    ASSERT_EQ(m_scene.Display().Boxes().size(), 1u);
    EXPECT_EQ(m_scene.Display().Boxes()[0].strText.rfind("[DMEN03556E]", 0), 0u);
    EXPECT_NE(m_scene.Display().Boxes()[0].strText.find("0x00000015"), std::string::npos);
    EXPECT_EQ(routes.size(), 1u);
  }
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Invalid Host Flag: 0x00000002")));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Invalid Route Flag: 0x00000002")));
}

TEST_F(Settings, NetworkSettingWaitsLongOnlyWhenAsked) {
  // The agent answers after 200 logical seconds: past the normal wait, within the long one.
  const Bytes reply = agent::EncodeReply(Exchange::NetworkSetting0301, 0);
  for (const std::uint32_t flag : {1u, 0u}) {
    m_agent.Push(CraftedAgent::Reply{reply, 0, std::chrono::milliseconds(200)});
    int sock = CusrNasManager::INVALID_SOCKET;
    ASSERT_EQ(m_manager.InitializeSocket(&sock), 0u);
    EXPECT_EQ(m_manager.RequestNetworkSetting0301(sock, 0, "10.0.0.2", "255.0.0.0"), 0u);
    EXPECT_EQ(m_manager.ReplyNetworkSetting0301(sock, flag), flag == 1 ? 0u : 9u) << flag;
    m_manager.CloseSocket(sock);
  }
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Recv Size:36")));
  EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr("Result Code        : 0x00000000")));
}

TEST_F(Settings, NetworkSettingChecksItsOnePieceReply) {
  const Bytes good = agent::EncodeReply(Exchange::NetworkSetting0301, 0);
  auto with = [&](std::size_t offset, std::uint32_t value) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    return b;
  };
  Bytes magic = good;
  magic[3] = '-';
  struct Case {
    Bytes reply;
    const char* trace;
  };
  const Case cases[] = {
      {magic, "Invalid header: |KEL-AGENTMESSAGE|"},
      {with(16, 0x00010000), "Invalid Protocol Version: 0x00010000"},
      {with(20, 1), "Invalid Message Type: 0x00000001"},
      {with(28, 0x10000), "Invalid Data Type"},
  };
  for (const Case& c : cases) {
    m_scene.Display().Clear();
    EXPECT_EQ(Run(c.reply, [&](int s) { return m_manager.RequestNetworkSetting0301(s, 0, "1.2.3.4", "255.0.0.0"); },
                       [&](int s) { return m_manager.ReplyNetworkSetting0301(s, 0); }),
              5u)
        << c.trace;
    EXPECT_EQ(m_scene.ShownIds(), Ids{"[DMEN03514E"}) << c.trace;
    EXPECT_THAT(m_scene.TraceLines(), Contains(HasSubstr(c.trace))) << c.trace;
  }
}

TEST_F(Settings, HostileLengthsAreProtocolErrors) {
  const Bytes route = RouteRecord("mng1     ", "10.1.0.0", "255.255.0.0     ", "10.0.0.254  ", 0, 0, 0);
  Bytes targetPast = route;
  targetPast[12] = 0x7F;  // Target Length 0x7F000008
  Bytes gatewayPast = route;
  gatewayPast[9 + 4 + 8 + 16] = 0x10;  // Gateway Length 0x1000000C
  struct Case {
    const char* name;
    agent::Exchange id;
    Bytes data;
    std::uint32_t second = 0;  // the word after DataType
  };
  const Case cases[] = {
      {"NTP DataSize past the data", Exchange::NTPInfo, Cat({Packed("l", {100u}), Packed("lS(4)", {4u, "ntp1"})})},
      {"NTP length past the data", Exchange::NTPInfo, Sized(Packed("lS(4)", {5u, "ntp1"}))},
      {"NTP length past DataSize", Exchange::NTPInfo,
       Cat({Packed("l", {8u}), Packed("lS(8)", {8u, "ntp1ntp2"})})},
      {"NTP huge length", Exchange::NTPInfo, Sized(Packed("lS(4)", {0xFFFFFFF0u, "ntp1"}))},
      {"name DataSize past the data", Exchange::CHNName, Cat({Packed("l", {9u}), Packed("lS(4)", {4u, "name"})})},
      {"name length past the data", Exchange::CHNName, Sized(Packed("lS(4)", {40u, "name"}))},
      {"name length field cut", Exchange::CHNName, Sized(Bytes{0, 0})},
      {"routes DataSize past the data", Exchange::RoutingInfo, Cat({Packed("l", {200u}), route})},
      {"route target length past the data", Exchange::RoutingInfo, Sized(targetPast)},
      {"route gateway length past the data", Exchange::RoutingInfo, Sized(gatewayPast)},
      {"route record cut short", Exchange::RoutingInfo, Sized(Bytes(route.begin(), route.end() - 2))},
      {"network info texts cut short", Exchange::NetworkInfo, Cat({Packed("l", {48u}), Bytes(40, ' ')})},
      {"MTU missing", Exchange::MTUInfo, Packed("l", {4u})},
      {"command output past the data", Exchange::CommandIF, Packed("S(4)", {"abcd"}), 5},
      {"command output huge", Exchange::CommandIF, {}, 0xFFFFFFFF},
  };
  std::string text;
  std::vector<std::string> list;
  std::vector<RouteTexts> routes;
  std::uint32_t word = 0;
  for (const Case& c : cases) {
    m_scene.Display().Clear();
    std::function<std::uint32_t(int)> replyOp;
    switch (c.id) {
      case Exchange::NTPInfo:
        replyOp = [&](int s) { return m_manager.ReplyNTPInfo(s, &list); };
        break;
      case Exchange::CHNName:
        replyOp = [&](int s) { return m_manager.ReplyCHNName(s, &text); };
        break;
      case Exchange::RoutingInfo:
        replyOp = [&](int s) { return m_manager.ReplyRoutingInfo(s, &routes); };
        break;
      case Exchange::NetworkInfo:
        replyOp = [&](int s) { return m_manager.ReplyNetworkInfo(s, &text, &text, &text); };
        break;
      case Exchange::MTUInfo:
        replyOp = [&](int s) { return m_manager.ReplyMTUInfo(s, &word); };
        break;
      default:
        replyOp = [&](int s) { return m_manager.ReplyCommandIF(s, &text); };
        break;
    }
    EXPECT_EQ(Run(agent::EncodeReply(c.id, c.second, c.data), [&](int s) { return m_manager.RequestNTPInfo(s); },
                       replyOp),
              5u)
        << c.name;
    const Ids expected = c.id == Exchange::CommandIF ? Ids{} : Ids{"[DMEN03514E"};
    EXPECT_EQ(m_scene.ShownIds(), expected) << c.name;
  }
}

TEST(SettingsCodec, DecodersStayWithinTheirSpan) {
  // Every prefix of valid data: the decoders either accept it or say Truncated, never reading
  // past the (exactly sized, heap-allocated) span.
  const Bytes routes = Sized(RouteRecord("mng1     ", "10.1.0.0", "255.255.0.0     ", "10.0.0.254  ", 1, 0, 9));
  const Bytes ntp = Sized(Packed("lS(4)lS(8)", {4u, "ntp1", 8u, "10.0.0.1"}));
  const Bytes name = Sized(Packed("lS(3)", {3u, "abc"}));
  for (std::size_t n = 0; n < routes.size(); ++n) {
    const Bytes cut(routes.begin(), routes.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<RouteTexts> out;
    std::string error;
    EXPECT_EQ(agent::DecodeRoutingInfo(cut, &out, &error), agent::Decode::Truncated) << n;
  }
  for (std::size_t n = 0; n < ntp.size(); ++n) {
    std::vector<std::string> out;
    EXPECT_EQ(agent::DecodeNTPInfo(Bytes(ntp.begin(), ntp.begin() + static_cast<std::ptrdiff_t>(n)), &out),
              agent::Decode::Truncated)
        << n;
  }
  for (std::size_t n = 0; n < name.size(); ++n) {
    std::string out;
    EXPECT_EQ(agent::DecodeCHNName(Bytes(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(n)), &out),
              agent::Decode::Truncated)
        << n;
  }
  agent::NetworkSettingReply reply;
  EXPECT_EQ(agent::DecodeNetworkSetting0301Reply(Bytes(35, 0), &reply), agent::Decode::Truncated);
}

TEST(SettingsVersion, ToolWordAndNewerAgents) {
  EXPECT_EQ(CusrNasManager::ToolVersionWord(), 0x05000100u);
  EXPECT_EQ(agent::VersionWord("5, 0, 1, 0"), 0x05000100u);
  EXPECT_EQ(agent::VersionWord("1, 2, 3, 4"), 0x01020304u);
  EXPECT_EQ(agent::VersionWord("5, 0, 1"), 0xFFFFFFFFu);
  EXPECT_EQ(agent::VersionWord(""), 0xFFFFFFFFu);
  EXPECT_TRUE(CusrNasManager::IsNewerAgent(0x05000001));
  EXPECT_TRUE(CusrNasManager::IsNewerAgent(0x06000000));
  EXPECT_FALSE(CusrNasManager::IsNewerAgent(0x05000000));
  EXPECT_FALSE(CusrNasManager::IsNewerAgent(0x01000000));
}

}  // namespace
