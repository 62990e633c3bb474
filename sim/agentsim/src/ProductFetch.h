// A board fetching a product file from the maintenance PC's kelpftpd, as an install makes it do:
// the file's header must be a product header and every byte must be the product's (so a file
// that was cut, padded or altered is caught), or just the header for an install check.
#pragma once

#include <cstdint>
#include <string>

#include "mkmedia/MediaWriter.h"

namespace agentsim {

struct FetchResult {
  std::uint32_t code = 0;  // 0, agent::kAgentInstallNoAccess or agent::kAgentInstallBadProduct
  mkmedia::Product product;
  std::string why;         // for the simulator's stderr
};

// Whole file, verified.
FetchResult FetchProduct(const std::string& address, std::uint16_t port, const std::string& file);
// Only the header.
FetchResult FetchProductHeader(const std::string& address, std::uint16_t port, const std::string& file);

}  // namespace agentsim
