// The values the agent exchanges hand over: routes, installed products and LU backup
// information. Plain data shared by the codecs, the client and its callers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "agent/AgentWire.h"

namespace agent {

// A listed route, its texts in RouteField order.
using RouteTexts = std::array<std::string, kRouteFieldCount>;
// An installed product, its texts in ProductField order.
using ProductTexts = std::array<std::string, kProductFieldCount>;

// A route to add; the interface is always "mng1".
struct NewRoute {
  std::optional<std::array<std::uint8_t, 4>> target;   // none: the default route, "default"
  std::array<std::uint8_t, 4> netmask{};
  std::optional<std::array<std::uint8_t, 4>> gateway;  // none: Gateway Length 0
  std::uint32_t ulHostFlag = 0;   // 0 Network, 1 Host
  std::uint32_t ulRouteFlag = 0;  // 0 Allow, 1 Reject
  std::uint32_t ulMSS = 0;
};

struct LuBackupInfo {
  std::uint32_t ulDataSize = 0;
  std::uint32_t ulBackupStatus = 0;
  std::string strDate;  // 16 characters
};

struct SystemLuBackupInfo {
  std::uint32_t ulExecuteStatus = 0;
  std::uint32_t ulUploadStatus = 0;
  std::string strFileName;  // 40 characters
  std::string strDate;      // 16 characters
};

}  // namespace agent
