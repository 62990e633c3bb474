// The board's checks of products from the installation medium.
#include "board/CusrCHN.h"
#include "board/ProductChecks.h"
#include "common/CusrTraceScope.h"

namespace {
constexpr const char* kClass = "CusrCHN";
}  // namespace

int CusrCHN::CompareProductVersion(const std::string& strName, const std::string& strVersion) const {
  CusrTraceScope trace(kClass, "CompareProductVersion", TRC_FUNC);
  return board::CompareWithInstalled(m_lstPPInfo, strName, strVersion);
}

int CusrCHN::CheckNNCType(const std::vector<std::pair<std::string, std::string>>& products) const {
  CusrTraceScope trace(kClass, "CheckNNCType", TRC_FUNC);
  return board::CheckProductTypes(LocationName(), m_rArray.NNCType(m_ulIndex), products);
}
