#include "dialogs/MainButtonPlan.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

#include "board/BoardStatus.h"

namespace mainwindow {

namespace {

namespace res = kelp::res;
using namespace board;

// The node buttons by the selected board's status; a status not listed turns them all off.
enum NodeAllow : std::uint8_t {
  kOff,
  kOn,
  kInstall,    // on unless install-device-failed
  kNoWindows,  // on unless any window is displayed
};
struct NodeRule {
  std::int32_t status;
  NodeAllow programInstall, routing, reset, dump, download;
  bool luInitialize;
};
constexpr NodeRule kNodeRules[] = {
    {CHN_STATUS_NEW, kInstall, kOff, kOff, kOff, kOff, false},
    {CHN_STATUS_INST, kInstall, kOff, kOff, kOff, kOff, false},
    {CHN_STATUS_STOP, kInstall, kOff, kOn, kOff, kOff, false},
    {CHN_STATUS_DOWN, kInstall, kOff, kOn, kOff, kOff, false},
    {CHN_STATUS_BOOTING, kOff, kOff, kOn, kOn, kOff, false},
    {CHN_STATUS_STOPPING, kOff, kOff, kOn, kOn, kOff, false},
    {CHN_STATUS_INACTIVE, kInstall, kOn, kOn, kOn, kNoWindows, true},
    {CHN_STATUS_UP, kInstall, kOn, kOn, kOn, kNoWindows, true},
    {CHN_STATUS_WARN, kInstall, kOn, kOn, kOn, kNoWindows, true},
    {CHN_STATUS_PANIC, kOff, kOff, kOn, kOn, kOff, false},
    {CHN_STATUS_HUNGUP, kOff, kOff, kOn, kOn, kOff, false},
    {CHN_STATUS_DUMP, kOff, kOff, kOff, kOn, kOff, false},
    {CHN_STATUS_DUMPSKIP, kOff, kOff, kOff, kOn, kOff, false},
};

const NodeRule* FindNodeRule(std::int32_t status) {
  const auto* rule = std::find_if(std::begin(kNodeRules), std::end(kNodeRules),
                                  [&](const NodeRule& r) { return r.status == status; });
  return rule != std::end(kNodeRules) ? rule : nullptr;
}

// Board busy codes and the buttons each forces off (code 3 holds Close as well).
struct BusyRule {
  int code;
  bool programInstall, routing, reset, dump, close, luInitialize;
};
constexpr BusyRule kBusyRules[] = {
    {kBusyProgramInstall, false, true, true, true, false, true},
    {kBusyRouting, true, false, true, true, false, true},
    {kBusyReset, true, true, true, false, true, true},
    {kBusyNasDump, true, true, true, false, false, true},
    {kBusyBootManagement, true, true, true, true, false, false},
};

bool IsRunningPairMember(std::int32_t status) { return status == CHN_STATUS_INACTIVE || status == CHN_STATUS_UP; }

std::uint32_t Partner(std::uint32_t slot) { return slot < 8 ? slot + 8 : slot - 8; }

// The pair rule of the array-wide recoveries: every position's two nodes both running (as
// running() says) or both stopped or empty, and at least one pair running.
template <class Running>
bool PairsAllow(const MainSnapshot& snapshot, const Running& running) {
  bool anyRunning = false;
  for (std::uint32_t p = 0; p < 8; ++p) {
    const std::int32_t a = snapshot.status[p];
    const std::int32_t b = snapshot.status[p + 8];
    if (running(a) && running(b)) {
      anyRunning = true;
    } else if (!(IsStoppedOrEmptyStatus(a) && IsStoppedOrEmptyStatus(b))) {
      return false;
    }
  }
  return anyRunning;
}

void AddNodeButtons(ButtonPlan& plan, const MainSnapshot& snapshot) {
  const std::int32_t status = snapshot.status[snapshot.selected];
  const NodeRule* rule = FindNodeRule(status);
  const auto allowed = [&](NodeAllow NodeRule::*column) {
    if (rule == nullptr) return false;
    switch (rule->*column) {
      case kOn: return true;
      case kInstall: return !snapshot.installDeviceFailed;
      case kNoWindows: return !AnyWindowDisplayed(snapshot);
      default: return false;
    }
  };
  plan.enabled[res::kProgramInstall] = allowed(&NodeRule::programInstall);
  plan.enabled[res::kRouting] = allowed(&NodeRule::routing);
  plan.enabled[res::kNncReset] = allowed(&NodeRule::reset);
  plan.enabled[res::kNasDump] = allowed(&NodeRule::dump);
  plan.enabled[res::kDownloadDump] = allowed(&NodeRule::download);
  if (rule != nullptr && rule->luInitialize) plan.enabled[res::kLuInitialize] = true;
  plan.enabled[res::kRestoreOsLu] = !AnyWindowDisplayed(snapshot) && IsRunningPairMember(status) &&
                                    IsRunningPairMember(snapshot.status[Partner(snapshot.selected)]);
}

// False for a busy code the rules do not know.
bool AddBusyCode(ButtonPlan& plan, int code) {
  if (code == 0) return true;
  const auto* rule =
      std::find_if(std::begin(kBusyRules), std::end(kBusyRules), [&](const BusyRule& r) { return r.code == code; });
  if (rule == std::end(kBusyRules)) return false;
  const std::pair<int, bool> offs[] = {
      {res::kProgramInstall, rule->programInstall}, {res::kRouting, rule->routing},
      {res::kNncReset, rule->reset},                {res::kNasDump, rule->dump},
      {res::kMainClose, rule->close},               {res::kLuInitialize, rule->luInitialize}};
  for (const auto& [id, off] : offs)
    if (off) plan.enabled[id] = false;
  return true;
}

void AddPublicButtons(ButtonPlan& plan, const MainSnapshot& snapshot) {
  bool anyRunning = false;
  bool allStopped = true;
  for (std::size_t i = 0; i < snapshot.status.size(); ++i) {
    anyRunning = anyRunning || IsOsRunning(snapshot.status[i]);
    if (snapshot.fitted[i] && !IsStoppedOrEmptyStatus(snapshot.status[i])) allStopped = false;
  }
  const bool boardBusy = std::any_of(snapshot.busy.begin(), snapshot.busy.end(), [](int c) { return c != 0; });
  const bool windows = AnyWindowDisplayed(snapshot);
  plan.enabled[res::kReferConfig] =
      anyRunning && snapshot.publicBusy != kPublicBusyReferConfig && !(boardBusy && !snapshot.referConfig);
  plan.enabled[res::kRestoreCmLu] = !windows && PairsAllow(snapshot, IsRunningPairMember);
  plan.enabled[res::kRestoreSystemLu] =
      !windows && PairsAllow(snapshot, [](std::int32_t s) { return s == CHN_STATUS_INACTIVE; });
  plan.enabled[res::kConfiguration] = !snapshot.installDeviceFailed && !snapshot.mediaRootIsMP && !windows;
  plan.enabled[res::kInheritInstall] = !windows && !snapshot.installDeviceFailed && allStopped;
}

ButtonPlan WhileReading() {
  ButtonPlan plan;
  for (const int id : kFunctionButtons) plan.enabled[id] = false;
  plan.enabled[res::kMainClose] = false;
  return plan;
}

ButtonPlan LockEverything() {
  ButtonPlan plan;
  for (const int id : kFunctionButtons) plan.enabled[id] = false;
  for (int id = res::kBoardButtonFirst; id <= res::kBoardButtonLast; ++id) plan.enabled[id] = false;
  return plan;
}

}  // namespace

bool AnyWindowDisplayed(const MainSnapshot& snapshot) {
  return snapshot.publicBusy != 0 ||
         std::any_of(snapshot.busy.begin(), snapshot.busy.end(), [](int c) { return c != 0; });
}

ButtonPlan PlanButtons(const MainSnapshot& snapshot) {
  if (snapshot.newerAgent) return LockEverything();
  if (snapshot.reading) return WhileReading();
  ButtonPlan plan;
  for (const int id : kFunctionButtons) plan.enabled[id] = false;
  if (snapshot.referConfig) {
    AddPublicButtons(plan, snapshot);
  } else if (snapshot.restoreCmLu || snapshot.restoreSystemLu) {
    plan.enabled[snapshot.restoreCmLu ? res::kRestoreCmLu : res::kRestoreSystemLu] = true;
    plan.enabled[res::kMainClose] = false;
  } else if (snapshot.selected >= kNoBoard) {
    AddPublicButtons(plan, snapshot);
  } else {
    AddNodeButtons(plan, snapshot);
    if (const int code = snapshot.busy[snapshot.selected]; !AddBusyCode(plan, code)) return {{}, code};
    AddPublicButtons(plan, snapshot);
  }
  return plan;
}

ButtonPlan PlanPublicButtons(const MainSnapshot& snapshot) {
  if (snapshot.newerAgent) return LockEverything();
  if (snapshot.reading) return WhileReading();
  ButtonPlan plan;
  AddPublicButtons(plan, snapshot);
  return plan;
}

bool IsResetAllowed(std::int32_t status) {
  const NodeRule* rule = FindNodeRule(status);
  return rule != nullptr && rule->reset == kOn;
}

}  // namespace mainwindow
