// Which of the main window's buttons may be used, as a pure function of what the window knows:
// the boards' statuses, the busy codes, the selected board and the window's modes. Nothing here
// reads a board or touches a control; the window builds the snapshot and applies the plan.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include "resources/ControlIds.h"

namespace mainwindow {

// Selected board: none.
inline constexpr std::uint32_t kNoBoard = kelp::res::kBoardSlots;

// Board busy codes of the node functions; 0 is idle.
inline constexpr int kBusyProgramInstall = 1;
inline constexpr int kBusyRouting = 2;
inline constexpr int kBusyReset = 3;  // the NNC reset, and the NAS dump dialog while it runs
inline constexpr int kBusyNasDump = 4;
inline constexpr int kBusyBootManagement = 6;
// Public busy codes: the refer-configuration mode, and the inherit installation dialog.
inline constexpr int kPublicBusyReferConfig = 5;
inline constexpr int kPublicBusyInherit = 7;

// Every function button but Close.
inline constexpr int kFunctionButtons[] = {
    kelp::res::kProgramInstall, kelp::res::kRouting,       kelp::res::kNncReset,
    kelp::res::kNasDump,        kelp::res::kRestoreOsLu,   kelp::res::kDownloadDump,
    kelp::res::kRestoreCmLu,    kelp::res::kConfiguration, kelp::res::kRestoreSystemLu,
    kelp::res::kInheritInstall, kelp::res::kReferConfig,   kelp::res::kLuInitialize,
    kelp::res::kInstallDevice};

// What the main window knows when it decides its buttons. A slot without a board object has
// status CHN_STATUS_DIE.
struct MainSnapshot {
  std::array<std::int32_t, kelp::res::kBoardSlots> status{};
  std::array<bool, kelp::res::kBoardSlots> fitted{};  // the array has a NAS board in the slot
  std::array<int, kelp::res::kBoardSlots> busy{};
  int publicBusy = 0;
  std::uint32_t selected = kNoBoard;  // the slot the node rules look at; kNoBoard: none
  bool referConfig = false;
  bool restoreCmLu = false;
  bool restoreSystemLu = false;
  bool installDeviceFailed = false;
  bool mediaRootIsMP = false;  // the medium's root comes from the settings file
  bool newerAgent = false;     // a board's agent is newer than the tool: everything stays locked
  bool reading = false;        // a handler reads a board on a worker: every function button and Close off
};

struct ButtonPlan {
  // Control id -> enabled, for each button a rule decides; every other control keeps its state.
  std::map<int, bool> enabled;
  // The selected board carries a busy code no rule knows: nothing is planned, and the window
  // reports an internal error and ends.
  std::optional<int> unknownBusyCode;
};

// Any board busy code or the public busy code is set.
bool AnyWindowDisplayed(const MainSnapshot& snapshot);

// The window's rules after a selection, a status change or a dialog's opening or closing: every
// function button, Close where a mode or a busy code forbids it, and with a newer agent every
// board button as well. A selected slot of kNoBoard or more means no board.
ButtonPlan PlanButtons(const MainSnapshot& snapshot);

// The public function buttons alone ("Refer Configuration" included); with a newer agent every
// function and board button off.
ButtonPlan PlanPublicButtons(const MainSnapshot& snapshot);

// Whether "NNC Reset" may be used for a board of this status (the boot dialog offers the same).
bool IsResetAllowed(std::int32_t status);

}  // namespace mainwindow
