#include "Commands.h"

#include <initializer_list>

#include "ApiCall.h"
#include "ArrayView.h"
#include "board/PowerCommands.h"
#include "nas/ShutdownProgress.h"
#include "nas/StatusWord.h"
#include "velapi.h"

namespace kelpctl {

int RunBoards(const Invocation& invocation, Report& report) {
  ArrayView view;
  ApiFailure failure;
  if (!ReadArrayView(&view, &failure)) return report.Fail(ApiError(failure));
  if (report.Json())
    report.Result(ArrayViewDocument(invocation.unit, view));
  else
    PrintArrayView(report.Lines(), invocation.unit, view);
  int status = 0;
  for (const BoardRow& row : view.rows)
    for (const ApiFailure& f : row.failures) {
      Failure board = ApiError(f);
      board.text = "slot " + std::to_string(row.slot) + ": " + board.text;
      status = report.Fail(board);
    }
  return status;
}

int RunProgress(const Invocation& invocation, Report& report) {
  const short sCluster = board::ClusterOf(invocation.slot);
  const short sPCB = board::PcbOf(invocation.slot);
  int status = 0;
  struct Item {
    const char* label;
    const char* field;
    std::uint32_t option;
  };
  common::json::Value::Object document{{"slot", invocation.slot}};
  for (const Item& item : {Item{"Install status", "installStatus", VEL_PROGRESS_INSTALL},
                           Item{"HibDump status", "hibDumpStatus", VEL_PROGRESS_HIBDUMP}}) {
    std::uint32_t value = 0;
    ApiFailure failure;
    if (CallApi(
            "dsvp_NasGetProgress",
            [&](std::uint32_t* e) { return dsvp_NasGetProgress(sCluster, sPCB, item.option, &value, e); }, &failure)) {
      if (!report.Json()) std::fprintf(report.Lines(), "%-18s: 0x%08X\n", item.label, value);
      document.push_back({item.field, value});
    } else {
      status = report.Fail(ApiError(failure));
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
    const unsigned shutdownProgress = byProgress & nas::kProgressCodeMask;
    if (!report.Json()) {
      std::fprintf(report.Lines(), "%-18s: %u %s\n", "Status word", usWord, nas::StatusWordName(usWord));
      std::fprintf(report.Lines(), "%-18s: %u\n", "Shutdown progress", shutdownProgress);
    }
    document.push_back({"status", usWord});
    document.push_back({"statusName", StatusNameValue(usWord)});
    document.push_back({"shutdownProgress", shutdownProgress});
  } else {
    status = report.Fail(ApiError(failure));
  }
  report.Result(std::move(document));
  return status;
}

}  // namespace kelpctl
