#include "dialogs/NetworkRules.h"

#include <algorithm>

#include "board/BoardStatus.h"
#include "common/TextFormats.h"

namespace network {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Digits only, at most kMaxNumberDigits of them, converted.
std::optional<std::uint32_t> ParseDigits(std::string_view text) {
  if (text.empty() || text.size() > kMaxNumberDigits || !std::all_of(text.begin(), text.end(), IsDigit))
    return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) value = value * 10 + static_cast<std::uint32_t>(c - '0');
  return value;
}

std::optional<std::uint32_t> InRange(std::optional<std::uint32_t> value, std::uint32_t low, std::uint32_t high) {
  return value && *value >= low && *value <= high ? value : std::nullopt;
}

}  // namespace

bool IsValidBoardName(std::string_view name) {
  if (name.empty() || !IsLetter(name.front()) || name.back() == '-') return false;
  return std::all_of(name.begin(), name.end(), [](char c) { return IsLetter(c) || IsDigit(c) || c == '-'; });
}

std::optional<std::uint32_t> ParseMtu(std::string_view text) { return InRange(ParseDigits(text), kMinMtu, kMaxMtu); }

std::optional<std::uint32_t> ParseMss(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  return InRange(ParseDigits(text), kMinMss, kMaxMss);
}

bool IsPrintable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::optional<Address> ParseAddress(std::string_view text) {
  Address address{};
  for (std::size_t part = 0; part < address.size(); ++part) {
    const std::size_t dot = part + 1 < address.size() ? text.find('.') : text.size();
    if (dot == std::string_view::npos || dot == 0 || dot > 3) return std::nullopt;
    const std::optional<std::uint32_t> value = ParseDigits(text.substr(0, dot));
    if (!value || *value > 255) return std::nullopt;
    address[part] = static_cast<std::uint8_t>(*value);
    text.remove_prefix(std::min(text.size(), dot + 1));
  }
  return address;
}

std::string AddressText(const Address& address) { return common::AddressText(address.data()); }

std::string ControlAddressText(std::string_view text) {
  const std::optional<Address> address = ParseAddress(text);
  return address ? AddressText(*address) : std::string();
}

bool UsesGateway(const RouteFields& fields) { return fields.kind == TargetKind::Default || fields.gatewayTicked; }

ClusterChange ClusterChangeFor(std::int32_t nStatus, std::int32_t nPartnerStatus) {
  const auto isNode = [](std::int32_t s) { return s == board::CHN_STATUS_UP || s == board::CHN_STATUS_INACTIVE; };
  if (!isNode(nStatus) || !isNode(nPartnerStatus)) return ClusterChange::Refused;
  const bool bServing = nStatus == board::CHN_STATUS_UP || nPartnerStatus == board::CHN_STATUS_UP;
  return bServing ? ClusterChange::AskAndStop : ClusterChange::Ask;
}

bool HasRequiredRouteFields(const RouteFields& fields) {
  if (UsesGateway(fields) && !ParseAddress(fields.gateway)) return false;
  return fields.kind == TargetKind::Default || (ParseAddress(fields.target) && ParseAddress(fields.netmask));
}

}  // namespace network
