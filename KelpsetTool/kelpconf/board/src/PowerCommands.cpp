#include "board/PowerCommands.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "agent/AgentWire.h"
#include "board/BoardStatus.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "velapi.h"

namespace board {
namespace {

using enum nas::ShutdownProgress;

constexpr ProgressEnd kRun = ProgressEnd::Running;
constexpr ProgressEnd kDone = ProgressEnd::Finished;
constexpr ProgressEnd kFail = ProgressEnd::Failed;
constexpr int kWordBoot = 303;
constexpr int kWordShutdown = 306;

constexpr ProgressRow kShutdownRows[] = {
    {kProgressDone, "Shutdown finished", kDone, 0, 0, 0, 0},
    {kProgressShutdownRunning, "Shutdown running", kRun, CHN_STATUS_STOPPING, kWordShutdown, 0, 0},
    {kProgressShutdownTimeout, "Shutdown Timeout", kFail, 0, 0, msg::kPowerProgressTimeout, 0},
    {kOtherCode, "Unknown progress code", kFail, 0, 0, msg::kInternalError, 0},
};
constexpr ProgressRow kRebootRows[] = {
    {kProgressDone, "Reboot finished", kDone, 0, 0, 0, 0},
    {kProgressBootRunning, "Boot running", kRun, CHN_STATUS_BOOTING, kWordBoot, 0, 0},
    {kProgressRebootShutdownRunning, "Shutdown running", kRun, CHN_STATUS_STOPPING, kWordShutdown, 0, 0},
    {kProgressRebootShutdownTimeout, "Shutdown Timeout", kFail, 0, 0, msg::kPowerProgressTimeout, 0},
    {kProgressBootTimeout, "Reboot Timeout", kFail, 0, 0, msg::kPowerProgressTimeout, 0},
    {kProgressBootTimeoutNoDump, "Boot Timeout (No NASDump)", kFail, 0, 0, msg::kPowerTimeout, 0},
    {kOtherCode, "Unknown progress code", kFail, 0, 0, msg::kInternalError, 0},
};
constexpr ProgressRow kBootRows[] = {
    {kProgressDone, "Boot finished", kDone, 0, 0, 0, 0},
    {kProgressBootRunning, "Boot running", kRun, CHN_STATUS_BOOTING, kWordBoot, 0, 0},
    {kProgressBootTimeout, "Boot Timeout", kFail, 0, 0, msg::kPowerProgressTimeout, 0},
    {kProgressBootTimeoutNoDump, "Boot Timeout (No NASDump)", kFail, 0, 0, msg::kPowerTimeout, 0},
    {kOtherCode, "Unknown progress code", kFail, 0, 0, msg::kInternalError, 0},
};
// StartBootReboot shows no dialog and no message: its failures are error words.
constexpr ProgressRow kMultiBootRows[] = {
    {kProgressDone, "%s Finished", kDone, 0, 0, 0, 0},
    {kProgressBootRunning, "Boot running", kRun, CHN_STATUS_BOOTING, 0, 0, 0},
    {kProgressBootTimeout, "%s Timeout", kFail, 0, 0, 0, agent::kResultTimeout},
    {kProgressBootTimeoutNoDump, "%s Timeout (No NASDump)", kFail, 0, 0, 0, agent::kResultTimeout},
    {kOtherCode, "Internal error", kFail, 0, 0, 0, kPowerErrorInternal},
};
constexpr ProgressRow kMultiRebootRows[] = {
    {kProgressDone, "%s Finished", kDone, 0, 0, 0, 0},
    {kProgressBootRunning, "Boot running", kRun, CHN_STATUS_BOOTING, 0, 0, 0},
    {kProgressRebootShutdownRunning, "Shutdown running", kRun, CHN_STATUS_STOPPING, 0, 0, 0},
    {kProgressRebootShutdownTimeout, "Shutdown Timeout", kFail, 0, 0, 0, agent::kResultTimeout},
    {kProgressBootTimeout, "%s Timeout", kFail, 0, 0, 0, agent::kResultTimeout},
    {kProgressBootTimeoutNoDump, "%s Timeout (No NASDump)", kFail, 0, 0, 0, agent::kResultTimeout},
    {kOtherCode, "Internal error", kFail, 0, 0, 0, kPowerErrorInternal},
};

constexpr std::int64_t kMinutes = 60;

constexpr PowerCommandRow kCommands[] = {
    {PowerCommand::Shutdown, "Shutdown", "StartShutdown", VEL_NAS_SHUTDOWN, 62 * kMinutes, 12 * kMinutes,
     kShutdownRows},
    {PowerCommand::Reboot, "Reboot", "StartReboot", VEL_NAS_REBOOT, 92 * kMinutes, 42 * kMinutes, kRebootRows},
    {PowerCommand::Boot, "Boot", "StartBoot", VEL_NAS_BOOT, 32 * kMinutes, 32 * kMinutes, kBootRows},
    {PowerCommand::MultiBoot, "Boot", "StartRebootEX", VEL_NAS_BOOT, 32 * kMinutes, 32 * kMinutes, kMultiBootRows},
    {PowerCommand::MultiReboot, "Reboot", "StartRebootEX", VEL_NAS_REBOOT, 92 * kMinutes, 92 * kMinutes,
     kMultiRebootRows},
};

constexpr bool EndsWithOtherRow(std::span<const ProgressRow> rows) {
  return !rows.empty() && rows.back().code == kOtherCode;
}
static_assert(std::all_of(std::begin(kCommands), std::end(kCommands),
                          [](const PowerCommandRow& c) { return EndsWithOtherRow(c.rows); }),
              "every command ends its progress rows with the row of other codes");

}  // namespace

const PowerCommandRow& PowerCommandOf(PowerCommand command) {
  return *std::find_if(std::begin(kCommands), std::end(kCommands),
                       [&](const PowerCommandRow& row) { return row.command == command; });
}

const ProgressRow& ProgressRowOf(const PowerCommandRow& command, std::uint8_t code) {
  const auto found = std::find_if(command.rows.begin(), command.rows.end(),
                                  [&](const ProgressRow& row) { return row.code == code; });
  return found != command.rows.end() ? *found : command.rows.back();
}

bool ReadShutdownByte(int slot, std::uint8_t* pbyProgress, std::uint32_t* pulError) {
  std::array<unsigned char, VEL_SHUTDOWN_PROGRESS_SIZE> byBoard{}, bySlot{};
  common::TraceLine(TRC_FUNC, "call_", TraceFmt("CHN[%d] = dsvp_NasGetShutdownStatusEx", slot));
  if (!dsvp_NasGetShutdownStatusEx(ClusterOf(slot), PcbOf(slot), byBoard.data(), bySlot.data(), pulError))
    return false;
  *pbyProgress = bySlot[static_cast<std::size_t>(slot)];
  return true;
}

}  // namespace board
