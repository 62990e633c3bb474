// kelp-mkmedia: writes a demo installation medium for the setup tool, kelpftpd and the tests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mkmedia/MediaWriter.h"

namespace {

const char kUsage[] =
    "usage: kelp-mkmedia [options] ROOT\n"
    "\n"
    "Writes an installation medium under ROOT: MP/ with product files and their description\n"
    "files (*.os, *.sut, *.req, *.opt), and netboot/MediaInfo.ini.\n"
    "\n"
    "  --size SIZE        size of each default product file (default 1M); K, M, G suffixes\n"
    "  --product KIND,NAME,VERSION,FILE,SIZE[,TIMEOUT[,REQUIRES]]\n"
    "                     a product instead of the default set (repeatable); KIND is os, sut,\n"
    "                     req or opt; TIMEOUT in minutes (default 30); REQUIRES is none (the\n"
    "                     default) or what installing it requires, words joined by '+':\n"
    "                     node-stop, cluster-stop, service-stop, reboot (written into the\n"
    "                     product file's header, where the simulated agents read it)\n"
    "                     several products of one kind need different FILE names;\n"
    "                     VERSION - makes a patch\n"
    "  --envfile NAME KEY=VALUE[;KEY=VALUE...]\n"
    "                     also writes MP/NAME as a description file holding exactly these\n"
    "                     keys (Name, Version, Build, File; Timeout), values unchecked, so\n"
    "                     that broken entries can be tried (repeatable)\n"
    "  --os-version V     NAS OS version in MediaInfo.ini (default: the first os product's)\n"
    "  --register         record ROOT/netboot as the TFTP root in C:\\tftp.ini\n"
    "                     (under $KELP_SYSTEM_ROOT), where kelpftpd finds the medium\n"
    "  --pxelinux         make netboot/ bootable by a PXE firmware: pxelinux.0 and\n"
    "                     ldlinux.c32 from the system's syslinux files, and a\n"
    "                     pxelinux.cfg/default naming the installer\n"
    "  --help             this text\n";

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool ParseProduct(const std::string& text, mkmedia::Product& product) {
  const std::vector<std::string> parts = Split(text, ',');
  if (parts.size() < 5 || parts.size() > 7) return false;
  const auto kind = mkmedia::KindFromText(parts[0]);
  const auto size = mkmedia::ParseSize(parts[4]);
  if (!kind || !size || parts[1].empty() || parts[2].empty() || parts[3].empty()) return false;
  product.kind = *kind;
  product.name = parts[1];
  product.version = parts[2];
  product.build = parts[2];
  product.file = parts[3];
  product.size = *size;
  if (parts.size() >= 6) product.timeout = parts[5];
  return parts.size() < 7 || mkmedia::ParseRequirements(parts[6], product);
}

int Usage(const char* problem) {
  std::fprintf(stderr, "kelp-mkmedia: %s\n\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t size = 1 << 20;
  std::vector<mkmedia::Product> products;
  std::vector<mkmedia::RawDescription> rawDescriptions;
  std::string osVersion;
  std::string root;
  bool bRegister = false;
  bool bPxelinux = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--size" && hasValue) {
      const auto parsed = mkmedia::ParseSize(argv[++i]);
      if (!parsed) return Usage("bad --size");
      size = *parsed;
    } else if (arg == "--product" && hasValue) {
      mkmedia::Product product;
      if (!ParseProduct(argv[++i], product)) return Usage("bad --product");
      products.push_back(product);
    } else if (arg == "--envfile" && i + 2 < argc) {
      const std::string name = argv[++i];
      const auto text = mkmedia::RawDescriptionText(argv[++i]);
      if (!text) return Usage("bad --envfile");
      rawDescriptions.push_back({name, *text});
    } else if (arg == "--os-version" && hasValue) {
      osVersion = argv[++i];
    } else if (arg == "--register") {
      bRegister = true;
    } else if (arg == "--pxelinux") {
      bPxelinux = true;
    } else if (!arg.empty() && arg[0] != '-' && root.empty()) {
      root = arg;
    } else {
      return Usage(("unexpected argument " + arg).c_str());
    }
  }
  if (root.empty()) return Usage("ROOT is missing");

  mkmedia::Media media = mkmedia::DefaultMedia(size);
  if (!products.empty()) {
    media.products = products;
    for (const mkmedia::Product& p : products) {
      if (p.kind == mkmedia::ProductKind::Os) {
        media.osVersion = p.version;
        break;
      }
    }
  }
  if (!osVersion.empty()) media.osVersion = osVersion;
  media.rawDescriptions = rawDescriptions;

  std::string error;
  if (!mkmedia::WriteMedia(root, media, error) || (bPxelinux && !mkmedia::AddPxelinux(root, {}, error)) ||
      (bRegister && !mkmedia::RegisterTftpRoot(root, error))) {
    std::fprintf(stderr, "kelp-mkmedia: %s\n", error.c_str());
    return 1;
  }
  for (const mkmedia::Product& p : media.products)
    std::printf("%s/MP/%s  %s %s (%llu bytes), %s\n", root.c_str(), p.file.c_str(), p.name.c_str(), p.version.c_str(),
                static_cast<unsigned long long>(p.size), mkmedia::DescriptionFileName(p).c_str());
  for (const mkmedia::RawDescription& raw : media.rawDescriptions)
    std::printf("%s/MP/%s  (description only)\n", root.c_str(), raw.name.c_str());
  return 0;
}
