#include "BoardMachine.h"

#include <algorithm>

#include "corvid.h"

namespace corvid::detail {
namespace {

using namespace corvid::pages;

constexpr std::int64_t kInstallStepCount = static_cast<std::int64_t>(std::size(kInstallSteps));

// later - earlier, at least 0 and saturating, so that no time read from a state file can overflow
// the arithmetic.
std::int64_t Since(std::int64_t earlier, std::int64_t later) {
  std::int64_t elapsed = 0;
  if (__builtin_sub_overflow(later, earlier, &elapsed)) return earlier < 0 ? INT64_MAX : 0;
  return std::max<std::int64_t>(0, elapsed);
}

std::int64_t Elapsed(const BoardRuntime& b, std::int64_t start, std::int64_t now) {
  return Since(start, b.stalled ? b.stalledAt : now);
}

// Whether the NAS OS runs, or is in a state a shutdown or a dump can still stop.
bool OsRunning(std::uint16_t status) {
  return status == kStatusOsUp || status == kStatusPanic || status == kStatusHungUp;
}

}  // namespace

BoardView ViewBoard(const BoardRuntime& b, const sim::UnitSpec& unit, const sim::BoardSpec& config,
                    std::int64_t now) {
  const sim::Durations& d = unit.durations;
  BoardView v;
  v.status = b.status;
  v.mpStatus = b.mpFault >= 0 ? static_cast<std::uint16_t>(b.mpFault) : config.mpStatus;
  v.installStatus = b.installStatus;
  v.netBootResult = b.netBootResult;
  v.hibStat = b.hibStat;
  v.shutdownProgress = b.shutdownProgress;
  v.dumpStatus = b.dumpStatus;
  v.dumpSize = b.dumpSize;
  v.dumpDate = b.dumpDate;
  v.downloadStatus = b.downloadStatus;
  v.downloadFile = b.downloadFile;
  const std::int64_t e = Elapsed(b, b.activityStart, now);
  switch (b.activity) {
    case Activity::Idle:
      break;
    case Activity::Shutdown:
      v.status = kStatusStopping;
      v.shutdownProgress = kProgressShutdownRunning;
      break;
    case Activity::Reboot:
      v.status = e < d.shutdownMs ? kStatusStopping : kStatusBooting;
      v.shutdownProgress = e < d.shutdownMs ? kProgressRebootShutdownRunning : kProgressBootRunning;
      break;
    case Activity::Boot:
      v.status = kStatusBooting;
      v.shutdownProgress = kProgressBootRunning;
      break;
    case Activity::Install: {
      v.status = kStatusInstalling;
      const std::int64_t step =
          d.installMs > 0 ? std::min(e, d.installMs - 1) * kInstallStepCount / d.installMs : 0;
      v.installStatus = kInstallSteps[step];
      break;
    }
    case Activity::Dump:
      v.status = kStatusDump;
      v.hibStat = 0xFF;
      break;
    case Activity::Blockade:
    case Activity::Reset:
      v.status = kStatusDown;
      break;
  }
  if (b.downloading) {
    const std::int64_t de = Elapsed(b, b.downloadStart, now);
    v.downloadStatus = de * 2 < d.downloadMs ? kDownloadRunning : kDownloadRunningAlt;
    v.downloadFile.clear();
  }
  if (b.forceStatus >= 0) v.status = static_cast<std::uint16_t>(b.forceStatus);
  v.activity = b.activity == Activity::Idle && b.downloading ? "download" : ActivityName(b.activity);
  if (b.activity != Activity::Idle && b.downloading) v.activity += "+download";
  if (b.stalled) v.activity += " (stalled)";
  return v;
}

BoardMachine::BoardMachine(BoardRuntime& board, const sim::UnitSpec& unit, const sim::BoardSpec& config)
    : m_board(board), m_unit(unit), m_config(config) {}

std::int64_t BoardMachine::Effective(std::int64_t now) const {
  return m_board.stalled ? m_board.stalledAt : now;
}

void BoardMachine::Start(Activity activity, std::int64_t now) {
  m_board.activity = activity;
  m_board.activityStart = Effective(now);
}

bool BoardMachine::Settle(std::int64_t now, const DumpWriter& writeDump) {
  BoardRuntime& b = m_board;
  const sim::Durations& d = m_unit.durations;
  bool changed = false;
  const std::int64_t e = Elapsed(b, b.activityStart, now);
  auto finish = [&](std::uint16_t status) {
    b.status = status;
    b.shutdownProgress = kProgressDone;
    b.activity = Activity::Idle;
    changed = true;
  };
  switch (b.activity) {
    case Activity::Idle:
    case Activity::Blockade:
      break;
    case Activity::Shutdown:
      if (e >= d.shutdownMs) finish(kStatusStopped);
      break;
    case Activity::Reboot:
      if (e >= d.shutdownMs + d.bootMs) finish(kStatusOsUp);
      break;
    case Activity::Boot:
      if (e >= d.bootMs) finish(kStatusOsUp);
      break;
    case Activity::Install:
      if (e >= d.installMs) {
        b.installStatus = b.installResult;
        if (b.installResult != kInstallDone) finish(b.returnStatus);
        else finish(m_unit.autoBootAfterInstall ? kStatusOsUp : kStatusStopped);
      }
      break;
    case Activity::Dump:
      if (e >= d.dumpMs) {
        b.hibStat = 0;
        if (b.dumpSkips) {
          finish(kStatusDumpSkipped);
        } else {
          b.dumpStatus = kDumpPresent;
          b.dumpSize = m_unit.dumpSizeMb;
          b.dumpDate = b.pendingDumpDate;
          finish(kStatusDown);
        }
        b.pendingDumpDate.clear();
        b.dumpSkips = false;
      }
      break;
    case Activity::Reset:
      if (e >= d.resetMs) finish(kStatusStopped);
      break;
  }
  if (b.downloading && Elapsed(b, b.downloadStart, now) >= d.downloadMs) {
    // An injected result ends the transfer without a file.
    const std::string name = DumpFileName(b.downloadDumpDate);
    const bool delivered = b.downloadResult == kDownloadDone;
    const bool written = delivered && writeDump(name, b.downloadDumpDate);
    b.downloadStatus = !delivered ? b.downloadResult : written ? kDownloadDone : kDownloadTransferFailed;
    b.downloadFile = written ? name : "";
    b.downloading = false;
    b.downloadDumpDate.clear();
    changed = true;
  }
  return changed;
}

// Refusals: a command while another runs is kErrBoardBusy (blockade excepted: it stops anything);
// a command that does not fit the status (boot of a running or new board, shutdown of a stopped
// one, restore without blockade) is kErrBadState.
std::uint32_t BoardMachine::Power(std::uint32_t option, const std::string& bootOption, std::int64_t now) {
  BoardRuntime& b = m_board;
  switch (option) {
    case a7::kShutdown:
    case a7::kReboot:
      if (b.activity != Activity::Idle) return sim::kErrBoardBusy;
      if (!OsRunning(b.status)) return sim::kErrBadState;
      Start(option == a7::kShutdown ? Activity::Shutdown : Activity::Reboot, now);
      return 0;
    case a7::kBoot:
      if (b.activity != Activity::Idle) return sim::kErrBoardBusy;
      if (b.status != kStatusStopped && b.status != kStatusDown && b.status != kStatusDumpSkipped)
        return sim::kErrBadState;
      b.bootOption = bootOption;
      Start(Activity::Boot, now);
      return 0;
    case a7::kBlockade:
      if (b.activity == Activity::Dump) {
        b.hibStat = 0;
        b.pendingDumpDate.clear();
        b.dumpSkips = false;
      }
      b.status = kStatusDown;
      b.shutdownProgress = kProgressDone;
      Start(Activity::Blockade, now);
      return 0;
    case a7::kRestore:
      if (b.activity != Activity::Blockade) return sim::kErrBadState;
      Start(Activity::Reset, now);
      return 0;
    default:
      return ZQ_ERR_BAD_ARGUMENT;
  }
}

// The inherit protocol: a board refuses installUnit.installRefusals installs with
// ZQ_ERR_INHERIT_RETRY. Each refusal expects the next A1 to carry RetryInfo + 1; an A1 with any
// other RetryInfo is refused as well but does not count. After the last counted refusal the A1
// with the expected RetryInfo is accepted and the count starts over for the next install.
std::uint32_t BoardMachine::Install(std::uint32_t retryInfo, std::int64_t now) {
  BoardRuntime& b = m_board;
  if (b.activity != Activity::Idle) return sim::kErrBoardBusy;
  if (b.status != kStatusNew && b.status != kStatusStopped && b.status != kStatusDown)
    return sim::kErrBadState;
  const auto wanted = static_cast<std::uint32_t>(m_unit.installRefusals);
  if (b.refusals > 0 && retryInfo != b.nextRetry) return ZQ_ERR_INHERIT_RETRY;
  if (b.refusals < wanted) {
    ++b.refusals;
    b.nextRetry = retryInfo + 1;
    return ZQ_ERR_INHERIT_RETRY;
  }
  b.refusals = 0;
  b.nextRetry = 0;
  b.returnStatus = b.status;
  b.installStatus = kInstallSteps[0];
  b.netBootResult = b.netBootFault;
  b.netBootFault = 0;
  b.installResult = b.installFailureFault != 0 ? b.installFailureFault : kInstallDone;
  b.installFailureFault = 0;
  b.shutdownProgress = kProgressDone;
  // A board that cannot boot from the network never starts the installer.
  if (b.netBootResult == 0) Start(Activity::Install, now);
  return 0;
}

std::uint32_t BoardMachine::HibernationDump(const std::string& dumpDate, std::int64_t now) {
  BoardRuntime& b = m_board;
  const bool stoppable = b.activity == Activity::Shutdown || b.activity == Activity::Reboot ||
                         b.activity == Activity::Boot;
  if (b.activity != Activity::Idle && !stoppable) return sim::kErrBoardBusy;
  if (b.activity == Activity::Idle && !OsRunning(b.status)) return sim::kErrBadState;
  b.dumpStatus = kDumpAbsent;
  b.dumpSize = 0;
  b.dumpDate.clear();
  b.pendingDumpDate = dumpDate;
  b.dumpSkips = b.dumpSkippedFault;
  b.dumpSkippedFault = false;
  b.shutdownProgress = kProgressDone;
  Start(Activity::Dump, now);
  return 0;
}

std::uint32_t BoardMachine::Download(std::int64_t now) {
  BoardRuntime& b = m_board;
  if (b.downloading) return sim::kErrBoardBusy;
  if (b.dumpStatus != kDumpPresent) return sim::kErrNoDump;
  b.downloading = true;
  b.downloadStart = Effective(now);
  b.downloadDumpDate = b.dumpDate;
  b.downloadResult = b.downloadResultFault != 0 ? b.downloadResultFault : kDownloadDone;
  b.downloadResultFault = 0;
  b.downloadStatus = kDownloadRunning;
  b.downloadFile.clear();
  return 0;
}

void BoardMachine::SetStatus(std::uint16_t status) {
  m_board.activity = Activity::Idle;
  m_board.status = status;
  m_board.shutdownProgress = kProgressDone;
  m_board.hibStat = 0;
  m_board.pendingDumpDate.clear();
  m_board.dumpSkips = false;
}

void BoardMachine::Stall(bool on, std::int64_t now) {
  BoardRuntime& b = m_board;
  if (on == b.stalled) return;
  if (on) {
    b.stalled = true;
    b.stalledAt = now;
    return;
  }
  // Starts move on by the frozen time, so elapsed time picks up where it stopped.
  const std::int64_t frozen = Since(b.stalledAt, now);
  if (__builtin_add_overflow(b.activityStart, frozen, &b.activityStart)) b.activityStart = now;
  if (__builtin_add_overflow(b.downloadStart, frozen, &b.downloadStart)) b.downloadStart = now;
  b.stalled = false;
  b.stalledAt = 0;
}

std::string BoardMachine::DumpFileName(const std::string& dumpDate) const {
  std::string serial = m_unit.serial.substr(0, a3::kSerialSize);
  for (char& c : serial)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) c = '_';
  std::string name = serial + "_" + std::to_string(m_config.k) + "_" + dumpDate;
  if (name.size() > ac::kFileNameSize) name.resize(ac::kFileNameSize);
  return name;
}

}  // namespace corvid::detail
