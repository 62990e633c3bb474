#include "ProductFetch.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <vector>

#include "agent/AgentCodes.h"
#include "kelpftp/FtpClient.h"

namespace agentsim {
namespace {

constexpr std::uint32_t kBlockSize = 64 * 1024;
// Longer than any header kelp-mkmedia writes; a file without a header end within it is no product.
constexpr std::uint32_t kMaxHeaderSize = 4096;
constexpr plat::Millis kFetchTimeout = std::chrono::seconds(60);

FetchResult Failure(std::uint32_t code, std::string why) {
  FetchResult result;
  result.code = code;
  result.why = std::move(why);
  return result;
}

bool Connect(kelpftp::FtpClient& client, const std::string& address, std::uint16_t port, FetchResult* pFailure) {
  const kelpftp::ClientStatus status = client.Connect(address, port, kFetchTimeout);
  if (status == kelpftp::ClientStatus::Ok) return true;
  *pFailure = Failure(agent::kAgentInstallNoAccess, std::string("cannot reach the file server: ") + kelpftp::ToText(status) +
                                            " " + client.Error());
  return false;
}

}  // namespace

FetchResult FetchProductHeader(const std::string& address, std::uint16_t port, const std::string& file) {
  FetchResult result;
  kelpftp::FtpClient client;
  if (!Connect(client, address, port, &result)) return result;
  std::vector<std::uint8_t> head;
  bool more = false;
  const kelpftp::ClientStatus status = client.ReadBlock(file, 0, kMaxHeaderSize, head, more);
  if (status != kelpftp::ClientStatus::Ok)
    return Failure(agent::kAgentInstallNoAccess, "cannot read " + file + ": " + kelpftp::ToText(status) + " " + client.Error());
  client.End();
  const auto product = mkmedia::ParseProductHeader(
      std::string_view(reinterpret_cast<const char*>(head.data()), head.size()));
  if (!product) return Failure(agent::kAgentInstallBadProduct, file + " is not a product file");
  result.product = *product;
  return result;
}

FetchResult FetchProduct(const std::string& address, std::uint16_t port, const std::string& file) {
  FetchResult result;
  kelpftp::FtpClient client;
  if (!Connect(client, address, port, &result)) return result;
  std::string head;
  std::optional<mkmedia::Product> product;
  std::vector<std::uint8_t> expected;
  std::string why;
  const auto matches = [&](std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    expected.resize(bytes.size());
    mkmedia::ProductBytes(*product, offset, expected);
    if (std::equal(bytes.begin(), bytes.end(), expected.begin())) return true;
    why = file + " differs from its product's bytes in the block at " + std::to_string(offset);
    return false;
  };
  std::uint32_t size = 0;
  const kelpftp::ClientStatus status = client.FetchFile(
      file, kBlockSize,
      [&](std::uint32_t offset, std::span<const std::uint8_t> block) {
        if (product) return matches(offset, block);
        // Blocks come in order from 0; the header is read from their first bytes.
        const std::size_t taken = std::min<std::size_t>(block.size(), kMaxHeaderSize - head.size());
        head.append(reinterpret_cast<const char*>(block.data()), taken);
        product = mkmedia::ParseProductHeader(head);
        if (!product) {
          if (head.size() < kMaxHeaderSize) return true;
          why = file + " is not a product file";
          return false;
        }
        const auto* headBytes = reinterpret_cast<const std::uint8_t*>(head.data());
        return matches(0, std::span(headBytes, head.size())) &&
               matches(offset + taken, block.subspan(taken));
      },
      &size);
  if (!why.empty()) return Failure(agent::kAgentInstallBadProduct, why);
  if (status != kelpftp::ClientStatus::Ok)
    return Failure(agent::kAgentInstallNoAccess, "cannot fetch " + file + ": " + kelpftp::ToText(status) + " " + client.Error());
  if (!product) return Failure(agent::kAgentInstallBadProduct, file + " is not a product file");
  if (product->size != size)
    return Failure(agent::kAgentInstallBadProduct, file + " has " + std::to_string(size) + " bytes, its header says " +
                                           std::to_string(product->size));
  result.product = *product;
  return result;
}

}  // namespace agentsim
