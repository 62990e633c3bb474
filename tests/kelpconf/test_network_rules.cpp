// The input rules of the network dialogs: board names, MTU, MSS, NTP servers, address texts and
// the fields each target kind of a new route needs, and what a clustered node's change needs.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "board/BoardStatus.h"
#include "dialogs/NetworkRules.h"

namespace {

using network::RouteFields;
using network::TargetKind;

TEST(NetworkRules, BoardNames) {
  const struct {
    const char* name;
    bool valid;
  } cases[] = {
      {"node-a", true},  {"N1", true},     {"a", true},         {"ab-12-c", true}, {"1node", false},
      {"node-", false},  {"-node", false}, {"", false},         {"no de", false},  {"node_a", false},
      {"n\xe9", false},  {"A-b-C9", true}, {"node.a", false},
  };
  for (const auto& c : cases) EXPECT_EQ(network::IsValidBoardName(c.name), c.valid) << "\"" << c.name << "\"";
}

TEST(NetworkRules, NumbersOfMtuAndMss) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> mtu;
    std::optional<std::uint32_t> mss;
  } cases[] = {
      {"1499", std::nullopt, 1499}, {"1500", 1500, 1500},          {"16110", 16110, 16110},
      {"16111", std::nullopt, 16111}, {"9000", 9000, 9000},        {"", std::nullopt, 0},
      {"   ", std::nullopt, 0},     {" 64 ", std::nullopt, 64},    {"64", std::nullopt, 64},
      {"63", std::nullopt, std::nullopt}, {"65536", std::nullopt, 65536}, {"65537", std::nullopt, std::nullopt},
      {"1500a", std::nullopt, std::nullopt}, {"+1500", std::nullopt, std::nullopt}, {"-64", std::nullopt, std::nullopt},
      {"6 4", std::nullopt, std::nullopt}, {"001500", std::nullopt, std::nullopt},  // six digits: refused unconverted
      {"4294967297", std::nullopt, std::nullopt}, {"01500", 1500, 1500},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(network::ParseMtu(c.text), c.mtu) << "MTU \"" << c.text << "\"";
    EXPECT_EQ(network::ParseMss(c.text), c.mss) << "MSS \"" << c.text << "\"";
  }
}

TEST(NetworkRules, PrintableNtpServers) {
  EXPECT_TRUE(network::IsPrintable(""));
  EXPECT_TRUE(network::IsPrintable("ntp1.example.com"));
  EXPECT_TRUE(network::IsPrintable(" ~!"));
  EXPECT_FALSE(network::IsPrintable("ntp\t1"));
  EXPECT_FALSE(network::IsPrintable("ntp\x7f"));
  EXPECT_FALSE(network::IsPrintable("n\xe9"));
}

TEST(NetworkRules, AddressTexts) {
  const struct {
    const char* text;
    const char* shown;  // "" when refused
  } cases[] = {
      {"192.168.0.10", "192.168.0.10"}, {"0.0.0.0", "0.0.0.0"},  {"255.255.255.255", "255.255.255.255"},
      {"010.1.2.3", "10.1.2.3"},        {"256.1.1.1", ""},       {"1.2.3", ""},
      {"1.2.3.4.5", ""},                {"1..2.3", ""},          {"", ""},
      {"1.2.3.4 ", ""},                 {"1.2.3.1000", ""},      {"a.b.c.d", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(network::ControlAddressText(c.text), c.shown) << "\"" << c.text << "\"";
}

TEST(NetworkRules, FieldsEachTargetKindNeeds) {
  const struct {
    RouteFields fields;
    bool filled;
  } cases[] = {
      {{TargetKind::Network, "10.1.0.0", "255.255.0.0", "", false}, true},
      {{TargetKind::Network, "10.1.0.0", "", "", false}, false},
      {{TargetKind::Network, "", "255.255.0.0", "", false}, false},
      {{TargetKind::Network, "10.1.0.0", "255.255.0.0", "", true}, false},  // ticked gateway left blank
      {{TargetKind::Network, "10.1.0.0", "255.255.0.0", "10.0.0.1", true}, true},
      {{TargetKind::Default, "", "", "", false}, false},
      {{TargetKind::Default, "", "", "10.0.0.1", false}, true},
      {{TargetKind::Default, "1.2.3", "", "10.0.0.1", false}, true},  // the target is not used
  };
  for (const auto& c : cases)
    EXPECT_EQ(network::HasRequiredRouteFields(c.fields), c.filled)
        << c.fields.target << " / " << c.fields.netmask << " / " << c.fields.gateway;
  EXPECT_FALSE(network::UsesGateway({TargetKind::Network, "", "", "10.0.0.1", false}));
  EXPECT_TRUE(network::UsesGateway({TargetKind::Default, "", "", "", false}));
}

}  // namespace

namespace {

// A clustered board's address, netmask or MTU change, over the statuses of the board and its
// partner: a node ACTIVE stops the cluster first (after 3816 and 3742); both INACTIVE serve
// nothing, so only 3816 is asked and nothing is stopped; any other status refuses (3822).
TEST(NetworkRules, ClusterChangeByNodeStatuses) {
  using network::ClusterChange;
  using namespace board;
  const struct {
    std::int32_t board;
    std::int32_t partner;
    ClusterChange need;
  } cases[] = {
      {CHN_STATUS_UP, CHN_STATUS_UP, ClusterChange::AskAndStop},
      {CHN_STATUS_UP, CHN_STATUS_INACTIVE, ClusterChange::AskAndStop},
      {CHN_STATUS_INACTIVE, CHN_STATUS_UP, ClusterChange::AskAndStop},
      {CHN_STATUS_INACTIVE, CHN_STATUS_INACTIVE, ClusterChange::Ask},
      {CHN_STATUS_WARN, CHN_STATUS_UP, ClusterChange::Refused},
      {CHN_STATUS_UP, CHN_STATUS_STOP, ClusterChange::Refused},
      {CHN_STATUS_INACTIVE, CHN_STATUS_DIE, ClusterChange::Refused},
      {CHN_STATUS_BOOTING, CHN_STATUS_INACTIVE, ClusterChange::Refused},
      {CHN_STATUS_EX_OS_UP, CHN_STATUS_UP, ClusterChange::Refused},
  };
  for (const auto& c : cases)
    EXPECT_EQ(network::ClusterChangeFor(c.board, c.partner), c.need) << c.board << " " << c.partner;
}

}  // namespace
