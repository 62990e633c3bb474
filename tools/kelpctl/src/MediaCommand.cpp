#include "MediaCommand.h"

#include <filesystem>
#include <string>

#include "media/CusrMedia.h"
#include "media/MediaRules.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace kelpctl {
namespace {

constexpr const char* kKindWords[CusrMedia::kKinds] = {"os", "sut", "req", "opt"};

}  // namespace

int RunMedia(Report& report) {
  const std::filesystem::path ini = plat::MapPath("C:\\tftp.ini");
  const std::string strNetboot = plat::GetProfileString("Parameters", "File Path", "", ini);
  if (strNetboot.empty())
    return report.Fail(PlainError("no medium is registered ([Parameters] File Path of " + ini.string() + ")"));
  const std::string strRoot = plat::MapPath(strNetboot).parent_path().string();
  CusrMedia cMedia({strRoot, false});
  if (const std::uint32_t ulError = cMedia.CreateProductArrayInMedia(); ulError != 0)
    return report.Fail(CodedError("the catalogue of " + strRoot + " cannot be built", ulError));
  std::FILE* const out = report.Lines();
  if (!report.Json()) {
    std::fprintf(out, "Medium %s, products in %s\n", strRoot.c_str(), cMedia.MediaFolder().c_str());
    std::fprintf(out, "%-4s %-32s %-11s %-12s %7s  %s\n", "KIND", "NAME", "VERSION", "BUILD", "TIMEOUT", "FILE");
  }
  common::json::Value::Array listed;
  const CusrMedia::ProductArray products = cMedia.GetProductArrayInMedia();
  for (std::size_t slot = 0; slot < CusrMedia::kKinds; ++slot) {
    if (!products[slot]) continue;
    for (const board::ProductRecord& r : *products[slot]) {
      const std::string strFile =
          std::filesystem::path(r[board::kProductFilePath]).lexically_relative(cMedia.MediaFolder()).string();
      if (!report.Json())
        std::fprintf(out, "%-4s %-32s %-11s %-12s %7s  %s\n", kKindWords[slot], r[board::kProductName].c_str(),
                     r[board::kProductVersion].c_str(), r[board::kProductBuild].c_str(),
                     r[board::kProductTimeout].c_str(), strFile.c_str());
      listed.push_back(common::json::Value::Object{
          {"kind", kKindWords[slot]},
          {"name", r[board::kProductName]},
          {"version", r[board::kProductVersion]},
          {"build", r[board::kProductBuild]},
          {"timeoutMinutes", media::ParseTimeoutMinutes(r[board::kProductTimeout])},
          {"file", strFile},
      });
    }
  }
  if (!report.Json()) std::fprintf(out, "%zu product(s)\n", listed.size());
  report.Result(common::json::Value::Object{
      {"medium", strRoot},
      {"folder", cMedia.MediaFolder()},
      {"products", std::move(listed)},
  });
  return 0;
}

}  // namespace kelpctl
