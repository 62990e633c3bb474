// The input rules of a board's network settings and of a new route, as pure functions over the
// texts the dialogs hold, and what a clustered board's change needs by the boards' statuses.
// Nothing here talks to a board.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace network {

using Address = std::array<std::uint8_t, 4>;

inline constexpr std::uint32_t kMinMtu = 1500;
inline constexpr std::uint32_t kMaxMtu = 16110;
inline constexpr std::uint32_t kMinMss = 64;
inline constexpr std::uint32_t kMaxMss = 65536;
// A number of more digits is refused before it is converted.
inline constexpr std::size_t kMaxNumberDigits = 5;

// Letters, digits and "-" only; a letter first; not "-" last.
bool IsValidBoardName(std::string_view name);
// Decimal digits only, kMinMtu..kMaxMtu; nothing for anything else.
std::optional<std::uint32_t> ParseMtu(std::string_view text);
// Blanks around the digits are dropped; empty means no MSS (0); else kMinMss..kMaxMss. Nothing
// for anything else.
std::optional<std::uint32_t> ParseMss(std::string_view text);
// Every character printable ASCII (blank to "~"); the empty text too.
bool IsPrintable(std::string_view text);

// An address control's text "a.b.c.d", each part 0..255 in at most three digits; nothing for a
// blank or incomplete control.
std::optional<Address> ParseAddress(std::string_view text);
// "%d.%d.%d.%d".
std::string AddressText(const Address& address);
// A board's address text as the address control shows it: "%d.%d.%d.%d" of what it parses to,
// "" when it is not an address.
std::string ControlAddressText(std::string_view text);

// What a new route names as its target.
enum class TargetKind { Network, Default };

// The address fields of a new route.
struct RouteFields {
  TargetKind kind = TargetKind::Network;
  std::string target;
  std::string netmask;
  std::string gateway;
  bool gatewayTicked = false;  // a network route's gateway box
};

// True when every address the target kind needs is a complete address: a network route its
// target and netmask (and its gateway when ticked), the default route its gateway.
bool HasRequiredRouteFields(const RouteFields& fields);
// Whether the route carries a gateway.
bool UsesGateway(const RouteFields& fields);

// What a change of a clustered board's address, netmask or MTU needs, from the board's status and
// its partner's (board statuses of CusrCHN).
enum class ClusterChange {
  Refused,     // a node is neither ACTIVE nor INACTIVE: message 3822
  Ask,         // both INACTIVE: question 3816; the cluster serves nothing and is not stopped
  AskAndStop,  // a node is ACTIVE: questions 3816 and 3742, then the cluster stops first
};
ClusterChange ClusterChangeFor(std::int32_t nStatus, std::int32_t nPartnerStatus);

}  // namespace network
