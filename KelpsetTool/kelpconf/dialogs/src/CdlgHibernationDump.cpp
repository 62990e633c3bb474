#include "dialogs/CdlgHibernationDump.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "board/CusrCHN.h"
#include "board/DumpTransfer.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "board/DumpDownload.h"
#include "common/TextFormats.h"
#include "dialogs/MainButtonPlan.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"

namespace res = kelp::res;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgHibernationDump";

// The Dump and Cancel buttons by board status; a status not listed leaves both off ("Nothing").
struct DumpButtons {
  std::int32_t nStatus;
  const char* pszTrace;  // null: no trace
  bool bDump;
  bool bStop;
};
constexpr DumpButtons kDumpButtons[] = {
    {CHN_STATUS_BOOTING, "CHN BOOTING or STOPPING", true, false},
    {CHN_STATUS_STOPPING, "CHN BOOTING or STOPPING", true, false},
    {CHN_STATUS_INACTIVE, nullptr, true, false},
    {CHN_STATUS_UP, nullptr, true, false},
    {CHN_STATUS_WARN, nullptr, true, false},
    {CHN_STATUS_HUNGUP, nullptr, true, false},
    {CHN_STATUS_PANIC, "CHN PANIC", true, false},
    {CHN_STATUS_DUMP, "CHN DUMP", false, true},
    {CHN_STATUS_DUMPSKIP, "CHN DUMP", false, true},
};

bool IsDumpRunning(std::int32_t nStatus) { return nStatus == CHN_STATUS_DUMP || nStatus == CHN_STATUS_DUMPSKIP; }

bool Confirmed(std::uint32_t ulQuestion, const std::string& strArg = {}) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, strArg, {}, &nButton);
  return nButton == IDOK;
}

}  // namespace

CdlgHibernationDump::CdlgHibernationDump(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed)
    : BoardDialog(host, res::kTemplateHibernationDump, rSession, rBoard, "operation", std::move(onClosed)) {
  OnCommand(res::kDumpDump, [this] { OnDump(); });
  OnCommand(res::kDumpStop, [this] { OnStopDump(); });
  OnCommand(res::kDumpClose, [this] { OnOK(); });
}

CdlgHibernationDump::~CdlgHibernationDump() { JoinWorkers(); }

void CdlgHibernationDump::SetShowStatus() {
  CusrTraceScope trace(kClass, "SetShowStatus", TRC_FUNC);
  const std::int32_t nStatus = Board().GetStatus();
  GetDlgItem(res::kDumpBoardLabel).SetWindowText(Board().LocationName());
  if (HasWord(nStatus)) GetDlgItem(res::kDumpStatusText).SetWindowText(StatusWord(nStatus));
  if (IsWorking() || IsReading()) {
    for (const int id : {res::kDumpDump, res::kDumpStop}) GetDlgItem(id).EnableWindow(false);
    GetDlgItem(res::kDumpClose).EnableWindow(!IsWorking());
    return;
  }
  const auto* pRow = std::find_if(std::begin(kDumpButtons), std::end(kDumpButtons),
                                  [&](const DumpButtons& row) { return row.nStatus == nStatus; });
  const bool bKnown = pRow != std::end(kDumpButtons);
  if (!bKnown) trace.Info("Nothing", TRC_INFO);
  else if (pRow->pszTrace != nullptr) trace.Info(pRow->pszTrace, TRC_INFO);
  GetDlgItem(res::kDumpDump).EnableWindow(bKnown && pRow->bDump);
  GetDlgItem(res::kDumpStop).EnableWindow(bKnown && pRow->bStop);
  GetDlgItem(res::kDumpClose).EnableWindow(true);
  GetDlgItem(res::kDumpClose).SetFocus();
}

void CdlgHibernationDump::OnDump() {
  CusrTraceScope trace(kClass, "OnDump", TRC_FUNC);
  if (IsWorking() || IsReading() || IsFunctionDisable()) return;
  // A download still filling the PC from the last dump would lose it to the new one.
  StartRead([&board = Board()] { return board::CheckDownloadMark(board, nullptr); },
            [this](bool bDownloading) { DownloadChecked(bDownloading); });
  SetShowStatus();
}

void CdlgHibernationDump::DownloadChecked(bool bDownloading) {
  CusrTraceScope trace(kClass, "OnDump", TRC_FUNC);
  SetShowStatus();
  if (bDownloading) {
    trace.Warn(ShowMessage(msg::kNasOsBusy, common::CodeText(kDumpDownloading)), TRC_WARN);
    return;
  }
  if (!Confirmed(msg::kDumpDeleteQuestion)) {
    trace.Info("selected [Cancel] button", TRC_INFO);
    return;
  }
  if (!Confirmed(msg::kDumpTimeQuestion, std::to_string(kDumpMinutes)) || !Confirmed(msg::kForcedStopQuestion) ||
      !Confirmed(msg::kFatalDamage))
    return;
  StartOperation(true);
}

void CdlgHibernationDump::OnStopDump() {
  CusrTraceScope trace(kClass, "OnStopDump", TRC_FUNC);
  if (IsWorking() || IsReading() || IsFunctionDisable()) return;
  if (!IsDumpRunning(Board().GetStatus())) {
    trace.Warn(ShowMessage(msg::kNotInThisState), TRC_WARN);
    GetDlgItem(res::kDumpDump).EnableWindow(false);
    GetDlgItem(res::kDumpStop).EnableWindow(false);
    GetDlgItem(res::kDumpClose).EnableWindow(true);
    return;
  }
  if (!Confirmed(msg::kDumpStopQuestion)) return;
  StartOperation(false);
}

void CdlgHibernationDump::StartOperation(bool bDump) {
  SetWorking(true);
  if (!bDump) GetHost().SetWaitCursor(true);
  Session().SetBoardBusy(Slot(), mainwindow::kBusyReset);
  SetShowStatus();
  CusrCHN* pBoard = &Board();
  StartWorker([this, pBoard, bDump] {
    CusrTraceScope trace(kClass, bDump ? "StartDump" : "CancelHibernationDump", TRC_FUNC);
    std::uint32_t ulError = 0;
    if (bDump) {
      if (!pBoard->StartDump(&ulError))
        trace.Error(TraceFmt("m_pcCHN->StartDump() Error, code = 0x%08x", ulError), TRC_ERROR);
      trace.Info(TraceFmt("StartDump() return code : 0x%08x", ulError), TRC_INFO);
    } else if (pBoard->CancelHibernationDump(&ulError)) {
      ShowMessage(msg::kFinishedNormally);
    } else {
      trace.Error(TraceFmt("function failed, code = 0x%08x", ulError), TRC_ERROR);
    }
    Post([this] { OperationFinished(); });
  });
}

void CdlgHibernationDump::OperationFinished() {
  SetWorking(false);
  GetHost().SetWaitCursor(false);
  Session().SetBoardBusy(Slot(), mainwindow::kBusyNasDump);
  SetShowStatus();
}
