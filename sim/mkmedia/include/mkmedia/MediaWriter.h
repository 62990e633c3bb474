// Demo installation media: an "MP" folder with product files and their description files, and a
// "netboot" folder with "MediaInfo.ini", laid out as the setup tool and kelpftpd expect them.
//
// A product file starts with a short text header naming the product (name, version, kind, build,
// size, what its installation requires) and goes on with a deterministic byte stream that depends on the product name and the
// position, so a reader can check any block of it without the file (ProductBytes).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mkmedia {

enum class ProductKind { Os, Sut, Req, Opt };

// The description file extension of a kind: "os", "sut", "req", "opt".
const char* KindExtension(ProductKind kind);
std::optional<ProductKind> KindFromText(std::string_view text);

struct Product {
  ProductKind kind = ProductKind::Os;
  std::string name;         // [Product] Name
  std::string version;      // [Product] Version, e.g. "05-00-01-00"
  std::string build;        // [Product] Build
  std::string file;         // [Product] File: the product file's name in MP
  std::uint64_t size = 0;   // bytes of the product file, header included
  std::string timeout = "30";  // [Install] Timeout, minutes
  // What installing it requires of the board ("Requires:" line of the header).
  bool nodeStop = false;
  bool clusterStop = false;
  bool serviceStop = false;
  bool reboot = false;
};

// A description file written as given, for media with broken or unusual entries.
struct RawDescription {
  std::string name;  // file name in MP, e.g. "broken.os"
  std::string text;
};

struct Media {
  std::vector<Product> products;
  std::vector<RawDescription> rawDescriptions;
  std::string osVersion;  // netboot/MediaInfo.ini [Product] Version
};

// One product of each kind, every product file of productSize bytes.
Media DefaultMedia(std::uint64_t productSize);

// The header text a product file starts with: "KELPSET PRODUCT", then "Name:", "Version:",
// "Kind:", "Build:", "Size:" and "Requires:" lines, then an empty line.
std::string ProductHeader(const Product& product);
// The requirements as the header names them: "none", or words of "node-stop", "cluster-stop",
// "service-stop", "reboot" joined by '+'.
std::string RequirementsText(const Product& product);
// Sets the requirement flags from such a text; false when a word is unknown.
bool ParseRequirements(std::string_view text, Product& product);
// Reads a header back from the first bytes of a product file (file and timeout stay default).
// Empty when the bytes do not start with a complete, well-formed header; *pHeaderSize gets the
// header's length.
std::optional<Product> ParseProductHeader(std::string_view bytes, std::size_t* pHeaderSize = nullptr);
// The bytes of the product file from offset on (out.size() of them; past the end they go on
// with the same stream).
void ProductBytes(const Product& product, std::uint64_t offset, std::span<std::uint8_t> out);
// The description file's name: the product file's stem and the kind's extension ("nasos.os").
std::string DescriptionFileName(const Product& product);
// The description file's text.
std::string DescriptionText(const Product& product);

// A description file's text from "KEY=VALUE;KEY=VALUE...": Name, Version, Build and File go to
// [Product], Timeout to [Install], in the order given; values may be empty or anything else
// (such as "../x" or "10m"). Empty for an unknown key or an item without '='.
std::optional<std::string> RawDescriptionText(std::string_view items);

// Writes root/MP (product and description files) and root/netboot/MediaInfo.ini, creating the
// folders; existing files of the same names are replaced. False with error set on failure.
bool WriteMedia(const std::filesystem::path& root, const Media& media, std::string& error);

// Records root/netboot as the TFTP root ("File Path" of [Parameters] in C:\tftp.ini, under the
// system root), as the setup tool does when it selects a medium.
bool RegisterTftpRoot(const std::filesystem::path& root, std::string& error);

// The system's syslinux files a bootable medium needs: the PXE boot program and its first module.
struct PxelinuxFiles {
  std::filesystem::path pxelinux = "/usr/lib/PXELINUX/pxelinux.0";
  std::filesystem::path ldlinux = "/usr/lib/syslinux/modules/bios/ldlinux.c32";
};
// Makes root/netboot bootable by a PXE firmware: copies pxelinux.0 and ldlinux.c32 there and
// writes pxelinux.cfg/default, which names the installer's kernel (nasinstall.krn, not
// written). False with error set (naming the missing file and its Debian package) on failure.
bool AddPxelinux(const std::filesystem::path& root, const PxelinuxFiles& from, std::string& error);

// "512M", "64K", "1G" or plain bytes; empty when not a size.
std::optional<std::uint64_t> ParseSize(std::string_view text);

}  // namespace mkmedia
