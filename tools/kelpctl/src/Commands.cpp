#include "Commands.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

#include "ApiCall.h"
#include "ArrayView.h"
#include "corvid/NasPages.h"
#include "plat/Clock.h"
#include "velapi.h"

namespace kelpctl {
namespace {

namespace pg = corvid::pages;

// Array commands to one board are paced 20 seconds apart, as the setup tool paces them.
constexpr plat::Millis kPollPace{20'000};

struct PowerOp {
  Command command;
  const char* name;
  std::uint32_t dwOption;
  std::int64_t limitSeconds;            // the setup tool's overall time-out
  std::vector<std::uint8_t> running;    // progress codes that mean "still going"
};

const std::vector<PowerOp>& PowerOps() {
  static const std::vector<PowerOp> ops = {
      {Command::Shutdown, "shutdown", VEL_NAS_SHUTDOWN, 3720, {pg::kProgressShutdownRunning}},
      {Command::Reboot, "reboot", VEL_NAS_REBOOT, 5520,
       {pg::kProgressRebootShutdownRunning, pg::kProgressBootRunning}},
      {Command::Boot, "boot", VEL_NAS_BOOT, 1920, {pg::kProgressBootRunning}},
  };
  return ops;
}


int Fail(std::FILE* err, const ApiFailure& failure) {
  ReportFailure(err, failure);
  return 1;
}

// The board's status word and its progress code (low four bits of its shutdown-status byte).
bool ReadPowerState(int slot, std::uint16_t* pStatus, std::uint8_t* pCode, ApiFailure* pFailure) {
  VEL_CURENTSTATE state{};
  std::array<unsigned char, VEL_SHUTDOWN_PROGRESS_SIZE> byBoard{}, bySlot{};
  if (!CallApi("dsvp_NasGetCurrentStatus", [&](std::uint32_t* e) { return dsvp_NasGetCurrentStatus(&state, e); },
               pFailure) ||
      !CallApi("dsvp_NasGetShutdownStatusEx",
               [&](std::uint32_t* e) {
                 return dsvp_NasGetShutdownStatusEx(ClusterOf(slot), PcbOf(slot), byBoard.data(), bySlot.data(), e);
               },
               pFailure))
    return false;
  *pStatus = state.usChnStat[slot];
  *pCode = bySlot[slot] & 0x0F;
  return true;
}

int Watch(const PowerOp& op, int slot, std::FILE* out, std::FILE* err) {
  const plat::TimePoint start = plat::Clock::Now();
  int lastStatus = -1, lastCode = -1;
  for (;;) {
    plat::Clock::Sleep(kPollPace);
    std::uint16_t status = 0;
    std::uint8_t code = 0;
    ApiFailure failure;
    if (!ReadPowerState(slot, &status, &code, &failure)) return Fail(err, failure);
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(plat::Clock::Now() - start).count();
    if (status != lastStatus || code != lastCode) {
      std::fprintf(out, "  +%5llds  status %u %s, progress code %u\n", static_cast<long long>(elapsed), status,
                   pg::StatusWordName(status), code);
      std::fflush(out);
      lastStatus = status;
      lastCode = code;
    }
    const bool running = std::find(op.running.begin(), op.running.end(), code) != op.running.end();
    if (!running) {
      if (code == pg::kProgressDone) {
        std::fprintf(out, "%s of slot %d finished\n", op.name, slot);
        return 0;
      }
      std::fprintf(err, "kelpctl: %s of slot %d ended with progress code %u\n", op.name, slot, code);
      return 1;
    }
    if (elapsed > op.limitSeconds) {
      std::fprintf(err, "kelpctl: %s of slot %d did not end within %lld seconds\n", op.name, slot,
                   static_cast<long long>(op.limitSeconds));
      return 1;
    }
  }
}

}  // namespace

int RunBoards(const CommandLine& line, std::FILE* out, std::FILE* err) {
  ArrayView view;
  ApiFailure failure;
  if (!ReadArrayView(&view, &failure)) return Fail(err, failure);
  PrintArrayView(out, line.unit, view);
  int status = 0;
  for (const BoardRow& row : view.rows)
    for (const ApiFailure& f : row.failures) {
      std::fprintf(err, "slot %d: ", row.slot);
      ReportFailure(err, f);
      status = 1;
    }
  return status;
}

int RunProgress(const CommandLine& line, std::FILE* out, std::FILE* err) {
  const short sCluster = ClusterOf(line.slot);
  const short sPCB = PcbOf(line.slot);
  int status = 0;
  struct Item {
    const char* label;
    std::uint32_t option;
  };
  for (const Item& item : {Item{"Install status", VEL_PROGRESS_INSTALL}, Item{"HibDump status", VEL_PROGRESS_HIBDUMP}}) {
    std::uint32_t value = 0;
    ApiFailure failure;
    if (CallApi("dsvp_NasGetProgress",
                [&](std::uint32_t* e) { return dsvp_NasGetProgress(sCluster, sPCB, item.option, &value, e); },
                &failure)) {
      std::fprintf(out, "%-18s: 0x%08X\n", item.label, value);
    } else {
      status = Fail(err, failure);
    }
  }
  std::uint16_t word = 0;
  std::uint8_t code = 0;
  ApiFailure failure;
  if (ReadPowerState(line.slot, &word, &code, &failure)) {
    std::fprintf(out, "%-18s: %u %s\n", "Status word", word, pg::StatusWordName(word));
    std::fprintf(out, "%-18s: %u\n", "Shutdown progress", code);
  } else {
    status = Fail(err, failure);
  }
  return status;
}

int RunPower(const CommandLine& line, std::FILE* out, std::FILE* err) {
  const auto op = std::find_if(PowerOps().begin(), PowerOps().end(),
                               [&](const PowerOp& o) { return o.command == line.command; });
  const char* bootOpt = line.bootOption ? line.bootOption->c_str() : nullptr;
  if (op->command != Command::Boot) bootOpt = "";
  ApiFailure failure;
  if (!CallApi("dsvp_NasShutdown",
               [&](std::uint32_t* e) {
                 return dsvp_NasShutdown(ClusterOf(line.slot), PcbOf(line.slot), op->dwOption, bootOpt, e);
               },
               &failure))
    return Fail(err, failure);
  std::fprintf(out, "%s of slot %d accepted\n", op->name, line.slot);
  std::fflush(out);
  return line.watch ? Watch(*op, line.slot, out, err) : 0;
}

}  // namespace kelpctl
