// Fuzz target: arbitrary text as the description files of an installation medium, read by the
// catalogue (CusrMedia::CreateProductArrayInMedia) from a medium whose MP folder holds a few
// product files, with one file outside it. The first byte names the kinds of up to four
// description files; the rest, split at lines "%%", is their text. Every record the catalogue
// keeps must be its file read whole and valid, naming a product file inside MP; every file it
// refuses must be traced with message 3507.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "common/CusrTrace.h"
#include "common/TraceLevels.h"
#include "common/TraceSink.h"
#include "media/CusrMedia.h"
#include "media/MediaRules.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;
using fuzz::WriteFile;

namespace {

const char* const kExtensions[] = {".os", ".sut", ".req", ".opt"};
constexpr std::size_t kMaxValue = 259;

class ErrorLines : public common::TraceSink {
 public:
  void WriteLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

std::vector<std::string_view> SplitFiles(std::string_view text) {
  std::vector<std::string_view> files;
  while (files.size() < 3) {
    const std::size_t mark = text.find("\n%%\n");
    if (mark == std::string_view::npos) break;
    files.push_back(text.substr(0, mark + 1));
    text.remove_prefix(mark + 4);
  }
  files.push_back(text);
  return files;
}

bool Inside(const fs::path& folder, const fs::path& file) {
  std::error_code ec;
  const fs::path real = fs::canonical(file, ec);
  if (ec) return false;
  const fs::path base = fs::canonical(folder);
  const auto [end, rest] = std::mismatch(base.begin(), base.end(), real.begin(), real.end());
  return end == base.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const fuzz::ScratchFolder scratch("media");
  static const fs::path root = [] {
    const fs::path& r = scratch.Path();
    fs::create_directories(r / "MP" / "sub");
    WriteFile(r / "MP" / "nasos.img", "os");
    WriteFile(r / "MP" / "Product.PKG", "pp");
    WriteFile(r / "MP" / "sub" / "patch.pkg", "patch");
    WriteFile(r / "outside.pkg", "not on the medium's product folder");
    ::setenv("KELP_SYSTEM_ROOT", r.c_str(), 1);
    return r;
  }();
  static ErrorLines trace;
  static std::once_flag installed;
  std::call_once(installed, [] { SetTrace(&trace, TRC_ERROR); });
  trace.lines.clear();

  const fs::path mp = root / "MP";
  for (std::size_t i = 0; i < 4; ++i)
    for (const char* extension : kExtensions) fs::remove(mp / ("d" + std::to_string(i) + extension));

  const std::vector<std::string_view> texts =
      SplitFiles(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  std::vector<fs::path> envFiles;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const char* extension = kExtensions[(data[0] >> (2 * i)) & 3];
    envFiles.push_back(mp / ("d" + std::to_string(i) + extension));
    WriteFile(envFiles.back(), texts[i]);
  }

  CusrMedia media({root.string(), false});
  FUZZ_CHECK(media.CreateProductArrayInMedia() == 0);

  std::set<std::string> kept;
  for (const media::CatalogueEntry& entry : media.GetCatalogueEntries()) {
    const board::ProductRecord& record = entry.record;
    const fs::path envFile = mp / record[board::kProductEnvFile];
    FUZZ_CHECK(kept.insert(record[board::kProductEnvFile]).second);
    FUZZ_CHECK(envFile.extension() == kExtensions[entry.key.nKind]);
    // Read whole: each field is the file's own value, not a cut or default in its place. The
    // buffer is one longer than the field, so a longer value in the file shows as a mismatch.
    const auto same = [&](const std::string& field, const char* section, const char* key) {
      return field == plat::GetProfileString(section, key, "", envFile, static_cast<std::uint32_t>(field.size() + 2));
    };
    FUZZ_CHECK(same(record[board::kProductName], "Product", "Name") && !record[board::kProductName].empty());
    FUZZ_CHECK(same(record[board::kProductVersion], "Product", "Version") &&
          media::IsValidVersion(record[board::kProductVersion]));
    FUZZ_CHECK(same(record[board::kProductBuild], "Product", "Build"));
    for (const std::string& field : record) FUZZ_CHECK(field.size() <= kMaxValue + mp.string().size() + 1);
    const std::string timeout = plat::GetProfileString("Install", "Timeout", "", envFile);
    FUZZ_CHECK(media::ParseTimeoutMinutes(timeout.empty() ? "1" : timeout) ==
          media::ParseTimeoutMinutes(record[board::kProductTimeout]));
    // The product file: a regular file inside MP.
    const fs::path product = record[board::kProductFilePath];
    FUZZ_CHECK(record[board::kProductFilePath].find('\0') == std::string::npos);
    FUZZ_CHECK(fs::is_regular_file(product) && Inside(mp, product));
  }
  for (const fs::path& envFile : envFiles) {
    if (kept.count(envFile.filename().string()) != 0) continue;
    const std::string refused = "File name: " + envFile.string();
    FUZZ_CHECK(std::any_of(trace.lines.begin(), trace.lines.end(),
                      [&](const std::string& line) { return line.find(refused) != std::string::npos; }));
  }
  return 0;
}
