#include "Commands.h"

#include <initializer_list>

#include "ApiCall.h"
#include "ArrayView.h"
#include "board/BoardStatus.h"
#include "board/PowerOperation.h"
#include "velapi.h"

namespace kelpctl {
namespace {

int Fail(std::FILE* err, const ApiFailure& failure) {
  ReportFailure(err, failure);
  return 1;
}

board::PowerCommand PowerCommandOf(Command command) {
  switch (command) {
    case Command::Shutdown: return board::PowerCommand::Shutdown;
    case Command::Reboot: return board::PowerCommand::Reboot;
    default: return board::PowerCommand::Boot;
  }
}

int Watch(const board::PowerOperation& op, int slot, std::FILE* out, std::FILE* err) {
  const board::WatchResult result = board::WatchPowerOperation(op, slot, [out](const board::WatchStep& step) {
    if (!step.changed) return;
    std::fprintf(out, "  +%5llds  status %u %s, progress code %u\n", static_cast<long long>(step.elapsedSeconds),
                 step.state.statusWord, board::StatusWordName(step.state.statusWord), step.state.progressCode);
    std::fflush(out);
  });
  switch (result.end) {
    case board::WatchEnd::Finished: std::fprintf(out, "%s of slot %d finished\n", op.name, slot); return 0;
    case board::WatchEnd::Failed:
      std::fprintf(err, "kelpctl: %s of slot %d ended with progress code %u\n", op.name, slot, result.progressCode);
      return 1;
    case board::WatchEnd::TimedOut:
      std::fprintf(err, "kelpctl: %s of slot %d did not end within %lld seconds\n", op.name, slot,
                   static_cast<long long>(op.limitSeconds));
      return 1;
    case board::WatchEnd::ReadFailed: break;
  }
  return Fail(err, result.failure);
}

}  // namespace

int RunBoards(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  ArrayView view;
  ApiFailure failure;
  if (!ReadArrayView(&view, &failure)) return Fail(err, failure);
  PrintArrayView(out, invocation.unit, view);
  int status = 0;
  for (const BoardRow& row : view.rows)
    for (const ApiFailure& f : row.failures) {
      std::fprintf(err, "slot %d: ", row.slot);
      ReportFailure(err, f);
      status = 1;
    }
  return status;
}

int RunProgress(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  const short sCluster = board::ClusterOf(invocation.slot);
  const short sPCB = board::PcbOf(invocation.slot);
  int status = 0;
  struct Item {
    const char* label;
    std::uint32_t option;
  };
  for (const Item& item :
       {Item{"Install status", VEL_PROGRESS_INSTALL}, Item{"HibDump status", VEL_PROGRESS_HIBDUMP}}) {
    std::uint32_t value = 0;
    ApiFailure failure;
    if (CallApi(
            "dsvp_NasGetProgress",
            [&](std::uint32_t* e) { return dsvp_NasGetProgress(sCluster, sPCB, item.option, &value, e); }, &failure)) {
      std::fprintf(out, "%-18s: 0x%08X\n", item.label, value);
    } else {
      status = Fail(err, failure);
    }
  }
  board::PowerState state;
  ApiFailure failure;
  if (board::ReadPowerState(invocation.slot, &state, &failure)) {
    std::fprintf(out, "%-18s: %u %s\n", "Status word", state.statusWord, board::StatusWordName(state.statusWord));
    std::fprintf(out, "%-18s: %u\n", "Shutdown progress", state.progressCode);
  } else {
    status = Fail(err, failure);
  }
  return status;
}

int RunPower(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  const board::PowerOperation& op = board::PowerOperationOf(PowerCommandOf(invocation.command));
  ApiFailure failure;
  if (!board::SendPowerCommand(op, invocation.slot, invocation.bootOption ? invocation.bootOption->c_str() : nullptr,
                               &failure))
    return Fail(err, failure);
  std::fprintf(out, "%s of slot %d accepted\n", op.name, invocation.slot);
  std::fflush(out);
  return invocation.watch ? Watch(op, invocation.slot, out, err) : 0;
}

}  // namespace kelpctl
