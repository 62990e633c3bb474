#include "ArrayUnitName.h"

#include <atomic>
#include <cstring>

namespace {

enum NameState : int { kEmpty, kSetting, kSet };

char g_szArrayUnitName[kUnitNameMax + 1];
std::atomic<int> g_nState{kEmpty};

}  // namespace

const char* ArrayUnitName() {
  return g_nState.load(std::memory_order_acquire) == kSet ? g_szArrayUnitName : "";
}

bool IsArrayUnitNameTaken() { return g_nState.load(std::memory_order_acquire) != kEmpty; }

bool ClaimArrayUnitName() {
  int nExpected = kEmpty;
  return g_nState.compare_exchange_strong(nExpected, kSetting, std::memory_order_acq_rel);
}

void CommitArrayUnitName(const char* pszName) {
  std::strncpy(g_szArrayUnitName, pszName, kUnitNameMax);
  g_szArrayUnitName[kUnitNameMax] = '\0';
  g_nState.store(kSet, std::memory_order_release);
}

void AbandonArrayUnitName() { g_nState.store(kEmpty, std::memory_order_release); }
