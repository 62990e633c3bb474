#include "agent/InstallCodec.h"

#include <iterator>
#include <utility>

#include "agent/ByteReader.h"
#include "agent/Pack.h"

namespace agent {

namespace {

constexpr std::size_t kWordSize = 4;

Decode DecodeProduct(ByteReader& reader, ProductEntry* pEntry) {
  std::uint32_t nameLength = 0;
  std::uint32_t versionLength = 0;
  if (!reader.Word(&pEntry->code) || !reader.Word(&nameLength) || !reader.Text(nameLength, &pEntry->name) ||
      !reader.Word(&versionLength) || !reader.Text(versionLength, &pEntry->version) ||
      !reader.Text(kInstallDateWidth, &pEntry->date) || !reader.Text(kInstallTypeWidth, &pEntry->type))
    return Decode::Truncated;
  pEntry->name = TrimTrailingBlanks(pEntry->name);
  pEntry->version = TrimTrailingBlanks(pEntry->version);
  return Decode::Ok;
}

// The parameters of a request that names a product file on the maintenance PC, after the
// leading words: length, file name padded to a word, address, port.
bool PackFileSource(std::vector<std::uint8_t>& params, std::string_view fileName, std::string_view pcAddress,
                    std::uint32_t filePort) {
  const std::string paddedName = PadToWord(fileName);
  const std::string format = MakeFormat("lS(%zu)S(%zu)l", paddedName.size(), kAddressTextWidth);
  const std::size_t expected = kWordSize + paddedName.size() + kAddressTextWidth + kWordSize;
  const std::size_t packed =
      Pack(params, format,
           {static_cast<std::uint32_t>(paddedName.size()), std::string_view(paddedName), pcAddress, filePort});
  return packed == expected;
}

}  // namespace

std::vector<std::uint8_t> EncodeInstallRequest(std::uint32_t serialNo, std::string_view fileName,
                                               std::string_view pcAddress, std::uint32_t filePort) {
  std::vector<std::uint8_t> params;
  if (Pack(params, "l", {serialNo}) != kWordSize || !PackFileSource(params, fileName, pcAddress, filePort)) return {};
  return EncodeRequest(Exchange::Install, params);
}

std::vector<std::uint8_t> EncodeUninstallRequest(std::uint32_t ppCode, std::string_view name) {
  std::vector<std::uint8_t> params;
  const std::string format = MakeFormat("llS(%zu)", name.size());
  if (Pack(params, format, {ppCode, static_cast<std::uint32_t>(name.size()), name}) != 2 * kWordSize + name.size())
    return {};
  return EncodeRequest(Exchange::Uninstall, params);
}

std::vector<std::uint8_t> EncodeSutInstallCheckRequest(std::string_view fileName, std::string_view pcAddress,
                                                       std::uint32_t filePort) {
  std::vector<std::uint8_t> params;
  if (!PackFileSource(params, fileName, pcAddress, filePort)) return {};
  return EncodeRequest(Exchange::SutInstallCheck, params);
}

Decode DecodeProducts(std::span<const std::uint8_t> data, std::vector<ProductEntry>* pProducts) {
  ByteReader prefix(data);
  std::uint32_t dataSize = 0;
  if (!prefix.Word(&dataSize) || dataSize > prefix.Left()) return Decode::Truncated;
  // Entries must lie inside the announced data, so DataSize bounds them as well.
  ByteReader reader(data.subspan(prefix.Used(), dataSize));
  std::vector<ProductEntry> products;
  while (reader.Used() < dataSize) {
    ProductEntry entry;
    if (const Decode status = DecodeProduct(reader, &entry); status != Decode::Ok) return status;
    products.push_back(std::move(entry));
  }
  pProducts->insert(pProducts->end(), std::make_move_iterator(products.begin()),
                    std::make_move_iterator(products.end()));
  return Decode::Ok;
}

Decode DecodeSutCheck(std::span<const std::uint8_t> data, std::uint32_t* pDataSize, SutCheck* pCheck) {
  ByteReader reader(data);
  if (!reader.Word(pDataSize)) return Decode::Truncated;
  if (*pDataSize != kSutCheckDataSize) return Decode::BadSize;
  SutCheck check;
  if (!reader.Word(&check.nodeStop) || !reader.Word(&check.clusterStop) || !reader.Word(&check.serviceStop) ||
      !reader.Word(&check.reboot))
    return Decode::Truncated;
  *pCheck = check;
  return Decode::Ok;
}

std::vector<std::uint8_t> EncodeProducts(const std::vector<ProductEntry>& products) {
  std::vector<std::uint8_t> entries;
  for (const ProductEntry& p : products) {
    const std::string format = MakeFormat("llS(%zu)lS(%zu)S(%zu)S(%zu)", p.name.size(), p.version.size(),
                                          kInstallDateWidth, kInstallTypeWidth);
    Pack(entries, format,
         {p.code, static_cast<std::uint32_t>(p.name.size()), std::string_view(p.name),
          static_cast<std::uint32_t>(p.version.size()), std::string_view(p.version), std::string_view(p.date),
          std::string_view(p.type)});
  }
  std::vector<std::uint8_t> data;
  Pack(data, "l", {static_cast<std::uint32_t>(entries.size())});
  data.insert(data.end(), entries.begin(), entries.end());
  return data;
}

std::vector<std::uint8_t> EncodeSutCheck(const SutCheck& check) {
  std::vector<std::uint8_t> data;
  Pack(data, "lllll", {kSutCheckDataSize, check.nodeStop, check.clusterStop, check.serviceStop, check.reboot});
  return data;
}

}  // namespace agent
