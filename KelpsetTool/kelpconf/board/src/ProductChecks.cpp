#include "board/ProductChecks.h"

#include "common/CusrTraceScope.h"
#include "common/TraceLine.h"

namespace board {
namespace {

constexpr std::string_view kFirstType1Version = "04-00-00-00";
constexpr std::string_view kFirstType2Version = "05-00-00-00";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void Trace(std::uint32_t ulLevel, const std::string& strText) { common::TraceLine(ulLevel, strText); }

std::string InvalidVersionText(const std::string& strName, const std::string& strVersion) {
  return TraceFmt("Invalid version : PP Name = %s | PP Version = %s", strName.c_str(), strVersion.c_str());
}

}  // namespace

bool IsVersionText(std::string_view version) {
  if (version.size() != 11) return false;
  for (std::size_t i = 0; i < version.size(); ++i) {
    const bool bDash = i % 3 == 2;
    if (bDash ? version[i] != '-' : !IsDigit(version[i])) return false;
  }
  return true;
}

bool IsValidVersion(std::string_view version) { return version == kPatchVersion || IsVersionText(version); }

std::optional<std::uint16_t> RequiredNNCType(std::string_view version) {
  if (version == kPatchVersion) return 0;
  if (!IsVersionText(version) || version < kFirstType1Version) return std::nullopt;
  return version < kFirstType2Version ? 1 : 2;
}

int CompareWithInstalled(const std::vector<agent::ProductTexts>& installed, const std::string& strName,
                         const std::string& strVersion) {
  Trace(TRC_INFO, TraceFmt("Install Product - %s", strName.c_str()));
  if (!IsValidVersion(strVersion)) {
    Trace(TRC_ERROR, InvalidVersionText(strName, strVersion));
    return 0;
  }
  bool bMatched = false;
  std::string strGreatest;
  for (const agent::ProductTexts& product : installed) {
    if (strName.find(product[agent::kProductName]) == std::string::npos) continue;
    bMatched = true;
    if (product[agent::kProductVersion] > strGreatest) strGreatest = product[agent::kProductVersion];
  }
  if (!bMatched) {
    Trace(TRC_INFO, "Not installed");
    return 1;
  }
  Trace(TRC_INFO, TraceFmt("Media Product Version     = %s", strVersion.c_str()));
  Trace(TRC_INFO, TraceFmt("Installed Product Version = %s", strGreatest.c_str()));
  if (strVersion > strGreatest) {
    Trace(TRC_INFO, "Version UP");
    return 1;
  }
  Trace(TRC_INFO, "Down or Same Version");
  return 0;
}

int CheckProductTypes(const std::string& strBoardName, std::uint16_t usNNCType,
                      const std::vector<ProductVersion>& products) {
  for (const auto& [strName, strVersion] : products) {
    const std::optional<std::uint16_t> required = RequiredNNCType(strVersion);
    if (!required) {
      Trace(TRC_ERROR, InvalidVersionText(strName, strVersion));
      return 0;
    }
    if (*required == 0) continue;
    if (*required != usNNCType) {
      Trace(TRC_ERROR, TraceFmt("%s Incorrect Type. NNC Type = 0x%04x | PP Name = %s | PP Version = %s",
                                strBoardName.c_str(), static_cast<unsigned>(usNNCType), strName.c_str(),
                                strVersion.c_str()));
      return 0;
    }
  }
  return 1;
}

}  // namespace board
