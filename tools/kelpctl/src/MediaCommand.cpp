#include "MediaCommand.h"

#include <filesystem>
#include <string>

#include "media/CusrMedia.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace kelpctl {
namespace {

constexpr const char* kKindWords[CusrMedia::kKinds] = {"os", "sut", "req", "opt"};

}  // namespace

int RunMedia(std::FILE* out, std::FILE* err) {
  const std::filesystem::path ini = plat::MapPath("C:\\tftp.ini");
  const std::string strNetboot = plat::GetProfileString("Parameters", "File Path", "", ini);
  if (strNetboot.empty()) {
    std::fprintf(err, "kelpctl: no medium is registered ([Parameters] File Path of %s)\n", ini.c_str());
    return 1;
  }
  const std::string strRoot = plat::MapPath(strNetboot).parent_path().string();
  CusrMedia cMedia({strRoot, false});
  if (const std::uint32_t ulError = cMedia.CreateProductArrayInMedia(); ulError != 0) {
    std::fprintf(err, "kelpctl: the catalogue of %s cannot be built: 0x%08x\n", strRoot.c_str(), ulError);
    return 1;
  }
  std::fprintf(out, "Medium %s, products in %s\n", strRoot.c_str(), cMedia.MediaFolder().c_str());
  std::fprintf(out, "%-4s %-32s %-11s %-12s %7s  %s\n", "KIND", "NAME", "VERSION", "BUILD", "TIMEOUT", "FILE");
  int nCount = 0;
  const CusrMedia::ProductArray products = cMedia.GetProductArrayInMedia();
  for (std::size_t slot = 0; slot < CusrMedia::kKinds; ++slot) {
    if (!products[slot]) continue;
    for (const board::ProductRecord& r : *products[slot]) {
      const std::string strFile =
          std::filesystem::path(r[board::kProductFilePath]).lexically_relative(cMedia.MediaFolder()).string();
      std::fprintf(out, "%-4s %-32s %-11s %-12s %7s  %s\n", kKindWords[slot], r[board::kProductName].c_str(),
                   r[board::kProductVersion].c_str(), r[board::kProductBuild].c_str(),
                   r[board::kProductTimeout].c_str(), strFile.c_str());
      ++nCount;
    }
  }
  std::fprintf(out, "%d product(s)\n", nCount);
  return 0;
}

}  // namespace kelpctl
