#include "media/MediaRules.h"

#include <algorithm>

namespace media {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::optional<std::uint32_t> ParseTimeoutMinutes(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t ullValue = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    // Anything above the limit is refused anyway; stopping there keeps the sum far from overflow.
    ullValue = std::min<std::uint64_t>(ullValue * 10 + static_cast<std::uint64_t>(c - '0'), kMaxTimeoutMinutes + 1ull);
  }
  if (ullValue < kMinTimeoutMinutes || ullValue > kMaxTimeoutMinutes) return std::nullopt;
  return static_cast<std::uint32_t>(ullValue);
}

bool IsSafeProductFileName(std::string_view file) {
  if (file.empty() || IsSeparator(file.front())) return false;
  if (file.size() >= 2 && file[1] == ':') return false;
  for (std::size_t start = 0; start <= file.size();) {
    std::size_t end = start;
    while (end < file.size() && !IsSeparator(file[end])) ++end;
    if (file.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string GetVersionString(const std::string& strVersion, bool bDetailed) {
  if (bDetailed) return strVersion;
  std::size_t pos = std::string::npos;
  for (int n = 0; n < 3; ++n) {
    pos = strVersion.find('-', pos == std::string::npos ? 0 : pos + 1);
    if (pos == std::string::npos) return strVersion;
  }
  return strVersion.substr(0, pos);
}

void InsertByEnvFileName(std::vector<board::ProductRecord>& list, board::ProductRecord record) {
  const auto greater = std::find_if(list.begin(), list.end(), [&](const board::ProductRecord& r) {
    return r[board::kProductEnvFile] > record[board::kProductEnvFile];
  });
  list.insert(greater, std::move(record));
}

}  // namespace media
