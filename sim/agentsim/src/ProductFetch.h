// A board fetching a product file from the maintenance PC's kelpftpd, as an install makes it do:
// the file's header must be a product header and every byte must be the product's (so a file
// that was cut, padded or altered is caught), or just the header for an install check.
#pragma once

#include <cstdint>
#include <string>

#include "mkmedia/MediaWriter.h"

namespace agentsim {

// Agent codes of a failed fetch (ReplyInstall ORs them with 0x10000000).
inline constexpr std::uint32_t kInstallFailed = 1;
inline constexpr std::uint32_t kInstallNoAccess = 3;    // server not reachable, file missing, transfer broken
inline constexpr std::uint32_t kInstallBadProduct = 5;  // not a product file, or its bytes or size are wrong

struct FetchResult {
  std::uint32_t code = 0;  // 0 or one of the codes above
  mkmedia::Product product;
  std::string why;         // for the simulator's stderr
};

// Whole file, verified.
FetchResult FetchProduct(const std::string& address, std::uint16_t port, const std::string& file);
// Only the header.
FetchResult FetchProductHeader(const std::string& address, std::uint16_t port, const std::string& file);

}  // namespace agentsim
