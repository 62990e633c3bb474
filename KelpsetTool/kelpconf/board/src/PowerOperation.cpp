#include "board/PowerOperation.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "board/PowerProgress.h"
#include "velapi.h"

namespace board {
namespace {

const std::vector<PowerOperation>& PowerOperations() {
  static const std::vector<PowerOperation> ops = {
      {PowerCommand::Shutdown, "shutdown", VEL_NAS_SHUTDOWN, 3720, {kProgressShutdownRunning}},
      {PowerCommand::Reboot, "reboot", VEL_NAS_REBOOT, 5520, {kProgressRebootShutdownRunning, kProgressBootRunning}},
      {PowerCommand::Boot, "boot", VEL_NAS_BOOT, 1920, {kProgressBootRunning}},
  };
  return ops;
}

bool SameState(const PowerState& a, const PowerState& b) {
  return a.statusWord == b.statusWord && a.progressCode == b.progressCode;
}

}  // namespace

const PowerOperation& PowerOperationOf(PowerCommand command) {
  return *std::find_if(PowerOperations().begin(), PowerOperations().end(),
                       [&](const PowerOperation& op) { return op.command == command; });
}

bool ReadPowerState(int slot, PowerState* pState, ApiFailure* pFailure) {
  VEL_CURENTSTATE state{};
  std::array<unsigned char, VEL_SHUTDOWN_PROGRESS_SIZE> byBoard{}, bySlot{};
  if (!CallApi(
          "dsvp_NasGetCurrentStatus", [&](std::uint32_t* e) { return dsvp_NasGetCurrentStatus(&state, e); },
          pFailure) ||
      !CallApi(
          "dsvp_NasGetShutdownStatusEx",
          [&](std::uint32_t* e) {
            return dsvp_NasGetShutdownStatusEx(ClusterOf(slot), PcbOf(slot), byBoard.data(), bySlot.data(), e);
          },
          pFailure))
    return false;
  pState->statusWord = state.usChnStat[slot];
  pState->progressCode = bySlot[slot] & kProgressCodeMask;
  return true;
}

bool SendPowerCommand(const PowerOperation& op, int slot, const char* pszBootOpt, ApiFailure* pFailure) {
  const char* pszSent = op.command == PowerCommand::Boot ? pszBootOpt : "";
  return CallApi(
      "dsvp_NasShutdown",
      [&](std::uint32_t* e) { return dsvp_NasShutdown(ClusterOf(slot), PcbOf(slot), op.dwOption, pszSent, e); },
      pFailure);
}

WatchResult WatchPowerOperation(const PowerOperation& op, int slot,
                                const std::function<void(const WatchStep&)>& onReading) {
  const plat::TimePoint start = plat::Clock::Now();
  WatchResult result;
  bool first = true;
  PowerState last;
  for (;;) {
    plat::Clock::Sleep(kCommandPace);
    PowerState state;
    if (!ReadPowerState(slot, &state, &result.failure)) {
      result.end = WatchEnd::ReadFailed;
      return result;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(plat::Clock::Now() - start).count();
    onReading(WatchStep{elapsed, state, first || !SameState(state, last)});
    first = false;
    last = state;
    result.progressCode = state.progressCode;
    if (std::find(op.running.begin(), op.running.end(), state.progressCode) == op.running.end()) {
      result.end = state.progressCode == kProgressDone ? WatchEnd::Finished : WatchEnd::Failed;
      return result;
    }
    if (elapsed > op.limitSeconds) {
      result.end = WatchEnd::TimedOut;
      return result;
    }
  }
}

}  // namespace board
