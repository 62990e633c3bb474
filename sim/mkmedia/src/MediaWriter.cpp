#include "mkmedia/MediaWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

#include "plat/Paths.h"
#include "plat/Profile.h"

namespace mkmedia {
namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr std::string_view kHeaderTitle = "KELPSET PRODUCT";
constexpr std::pair<std::string_view, bool Product::*> kRequirements[] = {
    {"node-stop", &Product::nodeStop},
    {"cluster-stop", &Product::clusterStop},
    {"service-stop", &Product::serviceStop},
    {"reboot", &Product::reboot},
};

std::uint64_t SplitMix64(std::uint64_t x) {
  std::uint64_t z = x + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Seed of a product's stream: FNV-1a over name and version.
std::uint64_t Seed(const Product& product) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (const std::string* s : {&product.name, &product.version}) {
    for (unsigned char c : *s) h = (h ^ c) * 0x100000001B3ull;
    h = (h ^ 0xFF) * 0x100000001B3ull;
  }
  return h;
}

// The stream's bytes from absolute position pos on, little-endian words of SplitMix64(seed + pos / 8).
void StreamBytes(std::uint64_t seed, std::uint64_t pos, std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    const std::uint64_t word = SplitMix64(seed + pos / 8);
    const std::size_t skip = pos % 8;
    const std::size_t take = std::min<std::size_t>(8 - skip, count);
    for (std::size_t i = 0; i < take; ++i) out[i] = static_cast<std::uint8_t>(word >> (8 * (skip + i)));
    out += take;
    pos += take;
    count -= take;
  }
}

bool WriteText(const std::filesystem::path& file, const std::string& text, std::string& error) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    error = "cannot write " + file.string();
    return false;
  }
  return true;
}

bool WriteProductFile(const std::filesystem::path& file, const Product& product, std::string& error) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot create " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(product.size, kChunk)));
  bool ok = true;
  for (std::uint64_t offset = 0; ok && offset < product.size;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(product.size - offset, chunk.size()));
    ProductBytes(product, offset, std::span(chunk.data(), n));
    std::size_t done = 0;
    while (ok && done < n) {
      const ssize_t w = ::write(fd, chunk.data() + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        error = "cannot write " + file.string() + ": " + std::strerror(errno);
        ok = false;
      } else {
        done += static_cast<std::size_t>(w);
      }
    }
    offset += n;
  }
  if (::close(fd) != 0 && ok) {
    error = "cannot write " + file.string() + ": " + std::strerror(errno);
    ok = false;
  }
  return ok;
}

}  // namespace

const char* KindExtension(ProductKind kind) {
  switch (kind) {
    case ProductKind::Os: return "os";
    case ProductKind::Sut: return "sut";
    case ProductKind::Req: return "req";
    case ProductKind::Opt: return "opt";
  }
  return "";
}

std::optional<ProductKind> KindFromText(std::string_view text) {
  for (ProductKind kind : {ProductKind::Os, ProductKind::Sut, ProductKind::Req, ProductKind::Opt})
    if (text == KindExtension(kind)) return kind;
  return std::nullopt;
}

Media DefaultMedia(std::uint64_t productSize) {
  Media media;
  media.osVersion = "05-00-01-00";
  media.products = {
      {ProductKind::Os, "NAS OS", "05-00-01-00", "0501-0100", "nasos.img", productSize, "60"},
      {ProductKind::Sut, "NAS Backup Support", "05-00-01-00", "0501-0020", "backup.img", productSize, "30"},
      {ProductKind::Req, "NAS Cluster Support", "05-00-00-00", "0500-0007", "cluster.img", productSize, "30"},
      {ProductKind::Opt, "NAS File Audit", "04-01-00-00", "0401-0003", "audit.img", productSize, "15"},
  };
  return media;
}

std::string ProductHeader(const Product& product) {
  return std::string(kHeaderTitle) + "\nName: " + product.name + "\nVersion: " + product.version + "\nKind: " +
         KindExtension(product.kind) + "\nBuild: " + product.build + "\nSize: " + std::to_string(product.size) +
         "\nRequires: " + RequirementsText(product) + "\n\n";
}

std::string RequirementsText(const Product& product) {
  std::string text;
  for (const auto& [word, member] : kRequirements) {
    if (!(product.*member)) continue;
    if (!text.empty()) text += '+';
    text += word;
  }
  return text.empty() ? "none" : text;
}

bool ParseRequirements(std::string_view text, Product& product) {
  Product parsed = product;
  for (const auto& requirement : kRequirements) parsed.*requirement.second = false;
  if (text != "none") {
    for (std::size_t start = 0;;) {
      const std::size_t end = std::min(text.find('+', start), text.size());
      const std::string_view word = text.substr(start, end - start);
      const auto* match = std::find_if(std::begin(kRequirements), std::end(kRequirements),
                                       [&](const auto& requirement) { return word == requirement.first; });
      if (match == std::end(kRequirements)) return false;
      parsed.*match->second = true;
      if (end == text.size()) break;
      start = end + 1;
    }
  }
  product = parsed;
  return true;
}

std::optional<Product> ParseProductHeader(std::string_view bytes, std::size_t* pHeaderSize) {
  const std::size_t end = bytes.find("\n\n");
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view rest = bytes.substr(0, end + 1);
  // The lines in the order ProductHeader writes them; anything else is not a product header.
  const auto line = [&rest](std::string_view prefix) -> std::optional<std::string_view> {
    const std::size_t eol = rest.find('\n');
    if (eol == std::string_view::npos || rest.substr(0, prefix.size()) != prefix) return std::nullopt;
    const std::string_view value = rest.substr(prefix.size(), eol - prefix.size());
    rest.remove_prefix(eol + 1);
    return value;
  };
  Product product;
  const auto title = line(kHeaderTitle);
  const auto name = line("Name: ");
  const auto version = line("Version: ");
  const auto kind = line("Kind: ");
  const auto build = line("Build: ");
  const auto size = line("Size: ");
  const auto requires_ = line("Requires: ");
  if (!title || !title->empty() || !name || name->empty() || !version || !kind || !build || !size ||
      !requires_ || !rest.empty())
    return std::nullopt;
  const auto parsedKind = KindFromText(*kind);
  const auto [sizeEnd, sizeError] = std::from_chars(size->data(), size->data() + size->size(), product.size);
  if (!parsedKind || size->empty() || sizeError != std::errc() || sizeEnd != size->data() + size->size() ||
      !ParseRequirements(*requires_, product))
    return std::nullopt;
  product.kind = *parsedKind;
  product.name = std::string(*name);
  product.version = std::string(*version);
  product.build = std::string(*build);
  if (pHeaderSize) *pHeaderSize = end + 2;
  return product;
}

void ProductBytes(const Product& product, std::uint64_t offset, std::span<std::uint8_t> out) {
  const std::string header = ProductHeader(product);
  std::size_t done = 0;
  if (offset < header.size()) {
    done = std::min<std::size_t>(header.size() - static_cast<std::size_t>(offset), out.size());
    std::memcpy(out.data(), header.data() + offset, done);
  }
  StreamBytes(Seed(product), offset + done, out.data() + done, out.size() - done);
}

std::string DescriptionFileName(const Product& product) {
  const std::string stem = std::filesystem::path(product.file).stem().string();
  return stem + "." + KindExtension(product.kind);
}

std::string DescriptionText(const Product& product) {
  return "[Product]\nName=" + product.name + "\nVersion=" + product.version + "\nBuild=" + product.build +
         "\nFile=" + product.file + "\n\n[Install]\nTimeout=" + product.timeout + "\n";
}

std::optional<std::string> RawDescriptionText(std::string_view items) {
  std::string product = "[Product]\n";
  std::string install = "[Install]\n";
  for (std::size_t start = 0; start <= items.size();) {
    const std::size_t end = std::min(items.find(';', start), items.size());
    const std::string_view item = items.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = item.substr(0, eq);
    const std::string line = std::string(item) + "\n";
    if (key == "Name" || key == "Version" || key == "Build" || key == "File") product += line;
    else if (key == "Timeout") install += line;
    else return std::nullopt;
  }
  return product + "\n" + install;
}

bool WriteMedia(const std::filesystem::path& root, const Media& media, std::string& error) {
  const std::filesystem::path mp = root / "MP";
  const std::filesystem::path netboot = root / plat::kMediaNetbootFolder;
  std::error_code ec;
  std::filesystem::create_directories(mp, ec);
  if (!ec) std::filesystem::create_directories(netboot, ec);
  if (ec) {
    error = "cannot create the folders under " + root.string() + ": " + ec.message();
    return false;
  }
  for (const Product& product : media.products) {
    if (product.file.empty() || std::filesystem::path(product.file).has_parent_path()) {
      error = "product file name must be a plain name: \"" + product.file + "\"";
      return false;
    }
    if (!WriteProductFile(mp / product.file, product, error)) return false;
    if (!WriteText(mp / DescriptionFileName(product), DescriptionText(product), error)) return false;
  }
  for (const RawDescription& raw : media.rawDescriptions) {
    if (raw.name.empty() || std::filesystem::path(raw.name).has_parent_path()) {
      error = "description file name must be a plain name: \"" + raw.name + "\"";
      return false;
    }
    if (!WriteText(mp / raw.name, raw.text, error)) return false;
  }
  return WriteText(netboot / "MediaInfo.ini", "[Product]\nVersion=" + media.osVersion + "\n", error);
}

bool RegisterTftpRoot(const std::filesystem::path& root, std::string& error) {
  const std::filesystem::path ini = plat::MapPath("C:\\tftp.ini");
  std::error_code ec;
  std::filesystem::create_directories(ini.parent_path(), ec);
  const std::string netboot = std::filesystem::absolute(root / plat::kMediaNetbootFolder, ec).lexically_normal().string();
  if (ec || !plat::WritePrivateProfileString("Parameters", "File Path", netboot.c_str(), ini)) {
    error = "cannot write " + ini.string();
    return false;
  }
  return true;
}

bool AddPxelinux(const std::filesystem::path& root, const PxelinuxFiles& from, std::string& error) {
  const std::filesystem::path netboot = root / plat::kMediaNetbootFolder;
  const std::pair<const std::filesystem::path*, const char*> files[] = {{&from.pxelinux, "pxelinux"},
                                                                        {&from.ldlinux, "syslinux-common"}};
  std::error_code ec;
  std::filesystem::create_directories(netboot / "pxelinux.cfg", ec);
  if (ec) {
    error = "cannot create " + (netboot / "pxelinux.cfg").string() + ": " + ec.message();
    return false;
  }
  for (const auto& [file, package] : files) {
    if (!std::filesystem::is_regular_file(*file)) {
      error = file->string() + " is missing (Debian package " + package + ")";
      return false;
    }
    std::filesystem::copy_file(*file, netboot / file->filename(), std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      error = "cannot copy " + file->string() + ": " + ec.message();
      return false;
    }
  }
  return WriteText(netboot / "pxelinux.cfg" / "default",
                   "# Written by kelp-mkmedia: the board boots the NAS OS installer.\n"
                   "DEFAULT nasinstall\nPROMPT 0\nTIMEOUT 10\nLABEL nasinstall\n  KERNEL nasinstall.krn\n",
                   error);
}

std::optional<std::uint64_t> ParseSize(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return std::nullopt;
  const std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
  unsigned shift = 0;
  if (suffix == "K" || suffix == "k") {
    shift = 10;
  } else if (suffix == "M" || suffix == "m") {
    shift = 20;
  } else if (suffix == "G" || suffix == "g") {
    shift = 30;
  } else if (!suffix.empty()) {
    return std::nullopt;
  }
  if (shift > 0 && value > (UINT64_MAX >> shift)) return std::nullopt;
  return value << shift;
}

}  // namespace mkmedia
