#include "install/InstallRules.h"

#include <algorithm>
#include <cstdio>

#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TraceLine.h"
#include "media/MediaRules.h"

namespace install {
namespace {

void Trace(std::uint32_t ulLevel, const std::string& strText) { common::TraceLine(ulLevel, strText); }

}  // namespace

bool IsPatch(const board::ProductRecord& record) { return record[board::kProductVersion] == media::kPatchVersion; }

bool BootsByItself(const board::ProductRecord& record) {
  return std::string_view(record[board::kProductVersion]).starts_with("01-");
}

plat::Millis InstallLimit(const board::ProductRecord& record) {
  const std::uint64_t ullMinutes =
      media::ParseTimeoutMinutes(record[board::kProductTimeout]).value_or(media::kMinTimeoutMinutes);
  return plat::Millis(static_cast<std::int64_t>(ullMinutes * 60 * 1000));
}

Necessity IsInstallNecessary(const BoardFacts& board, ProductList list, std::size_t nOsCount, bool bForcibly) {
  Necessity result;
  if (!board.IsExistLinux()) {
    Trace(TRC_INFO, "OS is not exist -> All Product Install");
    result.bGoOn = true;
    result.nOsCount = nOsCount;
    result.list = std::move(list);
    return result;
  }
  if (!board.IsOsRunning()) {
    if (bForcibly) {
      Trace(TRC_INFO, "NAS OS Stoped ( [Forcibly Install] Checked ) -> Focibly Install");
      result.bGoOn = true;
      result.nOsCount = nOsCount;
      result.list = std::move(list);
    } else {
      Trace(TRC_INFO, "NAS OS Stoped ( [Forcibly Install] Unchecked ) -> Cancel Install");
      result.ulMessage = msg::kInstallNasOsStopped;
    }
    return result;
  }
  std::size_t nOsKept = 0;
  ProductList kept;
  for (std::size_t i = 0; i < list.size(); ++i) {
    board::ProductRecord& record = list[i];
    if (!bForcibly && !IsPatch(record) && board.CompareProductVersion(record) != 1) continue;
    if (i < nOsCount) ++nOsKept;
    kept.push_back(std::move(record));
  }
  const bool bHasOs = nOsKept > 0;
  ProductList checked;
  for (board::ProductRecord& record : kept) {
    if (!IsPatch(record)) {
      checked.push_back(std::move(record));
      continue;
    }
    std::uint32_t ulFlags = 0, ulResult = 0;
    if (const std::uint32_t ulError = board.SutInstallCheck(record, &ulFlags, &ulResult); ulError != 0) {
      Trace(TRC_ERROR, TraceFmt("SutInstallCheck() = 0x%08x", ulError));
      return result;
    }
    Trace(TRC_INFO, TraceFmt("SutInstallCheck() Result = 0x%08x", ulResult));
    if (ulResult == kPatchWrongNasOs && !bHasOs) {
      result.ulMessage = msg::kPatchWrongNasOs;
      return result;
    }
    if (ulResult == kPatchNotNeeded && !bForcibly) continue;
    result.ulPreOps |= ulFlags & (kPreStopCluster | kPreStopNode | kPreStopService);
    checked.push_back(std::move(record));
  }
  if (checked.empty()) {
    result.ulMessage = msg::kNothingToInstall;
    return result;
  }
  result.bGoOn = true;
  result.nOsCount = nOsKept;
  result.list = std::move(checked);
  return result;
}

std::string PreOperationLines(std::uint32_t ulPreOps) {
  std::string strLines;
  const auto add = [&](std::uint32_t ulId) { strLines += "- " + LoadString(ulId) + "\n"; };
  if ((ulPreOps & kPreStopCluster) != 0) {
    add(str::kStopClusterOperation);
    return strLines;
  }
  if ((ulPreOps & kPreStopNode) != 0) add(str::kStopNodeOperation);
  if ((ulPreOps & kPreStopService) != 0) add(str::kStopServiceOperation);
  return strLines;
}

ProductList KeepFirstNasOs(ProductList list, std::size_t* pnOsCount, ProductList* pRefused) {
  if (*pnOsCount <= 1) return list;
  pRefused->assign(list.begin() + 1, list.begin() + static_cast<std::ptrdiff_t>(*pnOsCount));
  list.erase(list.begin() + 1, list.begin() + static_cast<std::ptrdiff_t>(*pnOsCount));
  *pnOsCount = 1;
  return list;
}

namespace {

std::string Clock(plat::Millis value) {
  const long long seconds = value.count() / 1000;
  char sz[32];
  if (seconds >= 3600)
    std::snprintf(sz, sizeof sz, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  else
    std::snprintf(sz, sizeof sz, "%lld:%02lld", seconds / 60, seconds % 60);
  return sz;
}

}  // namespace

std::string ElapsedText(plat::Millis elapsed, plat::Millis limit) {
  return "[" + Clock(std::max(elapsed, plat::Millis{0})) + " of " + Clock(limit) + "]";
}

InheritLimits GetInheritLimits(const ProductList& products) {
  InheritLimits limits;
  for (const board::ProductRecord& r : products) limits.total += InstallLimit(r);
  limits.total += kBootLimit;
  limits.wait = limits.total + plat::Millis{300'000};
  return limits;
}

ProductList InheritProducts(const std::vector<media::CatalogueEntry>& catalogue, std::size_t* pnOsCount) {
  ProductList list;
  const board::ProductRecord* pOs = nullptr;
  for (const media::CatalogueEntry& entry : catalogue) {
    if (entry.key.nKind == media::kKindNasOs) {
      // Versions "NN-NN-NN-NN" order byte-wise.
      if (pOs == nullptr || entry.record[board::kProductVersion] > (*pOs)[board::kProductVersion])
        pOs = &entry.record;
    } else {
      list.push_back(entry.record);
    }
  }
  *pnOsCount = pOs != nullptr ? 1 : 0;
  if (pOs != nullptr) list.insert(list.begin(), *pOs);
  return list;
}

Selection SelectProducts(const std::vector<media::CatalogueEntry>& rows, const std::vector<bool>& checked) {
  Selection selection;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i >= checked.size() || !checked[i]) {
      selection.bSomeLeftOut = true;
      continue;
    }
    if (rows[i].key.nKind == media::kKindNasOs) ++selection.nOsCount;
    selection.products.push_back(rows[i].record);
  }
  return selection;
}

}  // namespace install
