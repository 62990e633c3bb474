#include "Commands.h"

#include <initializer_list>

#include "ApiCall.h"
#include "ArrayView.h"
#include "board/PowerCommands.h"
#include "nas/ShutdownProgress.h"
#include "nas/StatusWord.h"
#include "velapi.h"

namespace kelpctl {
namespace {

int Fail(std::FILE* err, const ApiFailure& failure) {
  ReportFailure(err, failure);
  return 1;
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
  VEL_CURENTSTATE state{};
  std::uint8_t byProgress = 0;
  ApiFailure failure;
  if (CallApi(
          "dsvp_NasGetCurrentStatus", [&](std::uint32_t* e) { return dsvp_NasGetCurrentStatus(&state, e); },
          &failure) &&
      CallApi(
          "dsvp_NasGetShutdownStatusEx",
          [&](std::uint32_t* e) { return board::ReadShutdownByte(invocation.slot, &byProgress, e) ? 1 : 0; },
          &failure)) {
    const std::uint16_t usWord = state.usChnStat[invocation.slot];
    std::fprintf(out, "%-18s: %u %s\n", "Status word", usWord, nas::StatusWordName(usWord));
    std::fprintf(out, "%-18s: %u\n", "Shutdown progress", byProgress & nas::kProgressCodeMask);
  } else {
    status = Fail(err, failure);
  }
  return status;
}

}  // namespace kelpctl
