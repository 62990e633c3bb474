#include "dialogs/CdlgRestoreNasOsLu.h"

#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "common/TraceLine.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;
using namespace recovery;

namespace {

constexpr const char* kClass = "CdlgRestoreNasOsLu";
constexpr PollTexts kRestoreTexts{nullptr, nullptr, "GetNasOsLuRestoreStatus(): 0x%08x"};
constexpr RestoreControls kControls{res::kOsLuStatusText, res::kOsLuDateText, 0, res::kOsLuRestore,
                                    res::kOsLuClose};

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

}  // namespace

CdlgRestoreNasOsLu::CdlgRestoreNasOsLu(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& board, std::string strName,
                                       std::uint32_t ulStatus, std::string strDate,
                                       std::filesystem::path settingsFile)
    : RestoreDialogBase(host, res::kTemplateRestoreOsLu, rSession, kControls),
      m_board(board),
      m_strName(std::move(strName)),
      m_ulStatus(ulStatus),
      m_strDate(std::move(strDate)),
      m_settingsFile(std::move(settingsFile)) {
  OnCommand(res::kOsLuRestore, [this] { OnRestore(); });
}

CdlgRestoreNasOsLu::~CdlgRestoreNasOsLu() {
  Clock().Stop();
  JoinWorkers();
}

bool CdlgRestoreNasOsLu::OnInitDialog() {
  GetDlgItem(res::kOsLuBoardLabel).SetWindowText(m_strName);
  SetShowStatus(m_ulStatus);
  return true;
}

void CdlgRestoreNasOsLu::SetShowStatus(std::uint32_t ulStatus) {
  m_ulStatus = ulStatus;
  bool bKnown = false;
  const std::string strText = LuStatusText(ulStatus, false, &bKnown);
  if (!bKnown) WriteTraceLine(TraceFmt("backup status : 0x%08x", ulStatus), "info_", TRC_INFO & GetTraceMask());
  GetDlgItem(res::kOsLuStatusText).SetWindowText(strText);
  SetDateText(ulStatus == kLuFailed ? kNoBackupDate : m_strDate);
}

void CdlgRestoreNasOsLu::OnRestore() {
  CusrTraceScope trace(kClass, "OnRestore", TRC_FUNC);
  if (IsWorking() || Session().IsFunctionDisable()) return;
  if (m_ulStatus != kLuNormal) {
    trace.Warn(ShowMessage(msg::kRecoveryNotPossibleNow), TRC_WARN);
    return;
  }
  for (const std::uint32_t ulQuestion : {msg::kOsLuCheckFirst, msg::kFatalDamage})
    if (!Confirmed(ulQuestion)) return;
  StartWork([this] { m_ulResult = StartRestore(); });
}

std::uint32_t CdlgRestoreNasOsLu::StartRestore() {
  CusrTraceScope trace(kClass, "StartRestore", TRC_FUNC);
  // A refusal of the agent or of the connection has shown its own message; a board that never
  // got its agent connection has not.
  if (const std::uint32_t ulCode = m_board.RestoreNasOsLU(); ulCode != 0) {
    trace.Error(TraceFmt("RestoreNasOsLU(): 0x%08x", ulCode), TRC_ERROR);
    if (m_board.NasManager() == nullptr)
      trace.Error(ShowMessage(msg::kCommunication, common::CodeText(ulCode)), TRC_ERROR);
    return ulCode;
  }
  Post([this] { SetShowStatus(kLuRestoring); });
  BoardRuns runs{};
  const std::uint32_t ulSlot = m_board.GetIndex();
  runs[ulSlot] = {kRequested, false, 0};
  std::uint32_t ulFailed = 0;
  const std::chrono::seconds limit = board::ReadLimit(m_settingsFile, board::kOsLuRestoreLimit);
  switch (WaitForBoards(Clock(), *this, limit, runs, OnlyBoard(m_board),
                        &CusrCHN::GetNasOsLuRestoreStatus, kRestoreTexts, true, &ulFailed)) {
    case WaitEnd::Finished:
      common::TraceLine(TRC_INFO, ShowMessage(msg::kOsLuRecovered, m_strName, m_strName));
      return 0;
    case WaitEnd::Failed: return runs[ulSlot].ulResult;
    case WaitEnd::TimedOut:
      trace.Error(ShowMessage(msg::kNasManagerError, common::CodeText(agent::kResultTimeout)), TRC_ERROR);
      return agent::kResultTimeout;
    case WaitEnd::Stopped: break;
  }
  return agent::kResultTimeout;
}

void CdlgRestoreNasOsLu::WorkFinished() {
  if (m_ulResult != 0)
    WriteTraceLine(TraceFmt("StartRestore(): 0x%08x", m_ulResult), "error", TRC_ERROR & GetTraceMask());
  SetShowStatus(m_ulResult == 0 ? kLuNormal : kLuFailed);
  GetDlgItem(res::kOsLuRestore).EnableWindow(true);
  GetDlgItem(res::kOsLuClose).EnableWindow(true);
}

void CdlgRestoreNasOsLu::OnOK() {
  if (IsWorking()) return;
  EndDialog(IDOK);
}
