#include "common/TextFormats.h"

#include <array>
#include <cstdio>

namespace common {

std::string CodeText(std::uint32_t ulCode) {
  char sz[11];
  std::snprintf(sz, sizeof sz, "0x%08x", ulCode);
  return sz;
}

std::string AddressText(const std::uint8_t* pucAddress) {
  char sz[16];
  std::snprintf(sz, sizeof sz, "%u.%u.%u.%u", pucAddress[0], pucAddress[1], pucAddress[2], pucAddress[3]);
  return sz;
}

std::string AddressText(std::uint32_t ulAddress) {
  const std::array<std::uint8_t, 4> bytes{static_cast<std::uint8_t>(ulAddress >> 24),
                                          static_cast<std::uint8_t>(ulAddress >> 16),
                                          static_cast<std::uint8_t>(ulAddress >> 8),
                                          static_cast<std::uint8_t>(ulAddress)};
  return AddressText(bytes.data());
}

}  // namespace common
