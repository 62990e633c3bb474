#include "dialogs/RestoreDialogBase.h"

#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "ui/Host.h"

namespace recovery {
namespace {

constexpr const char* kClass = "RestoreDialogBase";

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

}  // namespace

RestoreDialogBase::RestoreDialogBase(kelp::ui::Host& host, int nTemplateId, session::ArraySession& rSession,
                                     RestoreControls controls)
    : Dialog(host, nTemplateId), m_rSession(rSession), m_controls(controls) {
  if (m_controls.nRebootAll != 0) OnCommand(m_controls.nRebootAll, [this] { OnAllReboot(); });
  OnCommand(m_controls.nClose, [this] { OnOK(); });
}

RestoreDialogBase::~RestoreDialogBase() {
  m_clock.Stop();
  JoinWorkers();
}

void RestoreDialogBase::StartWork(std::function<void()> work) {
  m_bWorking = true;
  for (const int id : {m_controls.nRebootAll, m_controls.nRestore, m_controls.nClose})
    if (id != 0) GetDlgItem(id).EnableWindow(false);
  GetHost().SetWaitCursor(true);
  StartWorker([this, work = std::move(work)] {
    work();
    Post([this] {
      m_bWorking = false;
      StopBlinking();
      GetHost().SetWaitCursor(false);
      if (m_bRebooting) {
        m_bRebooting = false;
        SetFieldCaption(false);
      } else {
        WorkFinished();
      }
    });
  });
}

void RestoreDialogBase::Flash(bool bOn) {
  Post([this, bOn] {
    if (!bOn) {
      StopBlinking();
    } else if (!m_bBlinking) {
      m_bBlinking = true;
      SetTimer(kBlinkTimer, kBlinkPeriod);
    }
  });
}

void RestoreDialogBase::StopBlinking() {
  KillTimer(kBlinkTimer);
  m_bBlinking = false;
  GetDlgItem(m_controls.nStatusText).ShowWindow(true);
}

void RestoreDialogBase::OnTimer(int id) {
  if (id != kBlinkTimer) return;
  kelp::ui::Control text = GetDlgItem(m_controls.nStatusText);
  text.ShowWindow(!text.IsWindowVisible());
}

BoardOf RestoreDialogBase::MainBoards() const {
  return [this](std::uint32_t ulSlot) -> const CusrCHN* { return m_rSession.Board(ulSlot); };
}

std::string RestoreDialogBase::BoardName(std::uint32_t ulSlot) const { return m_rSession.Array().LocationName(ulSlot); }

void RestoreDialogBase::SetDateText(const std::string& strDate) {
  GetDlgItem(m_controls.nDateText).SetWindowText(strDate);
}

void RestoreDialogBase::OnAllReboot() {
  CusrTraceScope trace(kClass, "OnAllReboot", TRC_FUNC);
  if (m_bWorking || m_rSession.IsFunctionDisable()) return;
  if (!Confirmed(msg::kRebootAllQuestion)) return;
  std::array<std::int32_t, CusrCHN::kSlots> statuses{};
  for (std::uint32_t s = 0; s < CusrCHN::kSlots; ++s) {
    const CusrCHN* pBoard = m_rSession.Board(s);
    statuses[s] = m_rSession.Array().IsCHN(s) && pBoard != nullptr ? pBoard->GetStatus() : kNoNasPackage;
  }
  const RebootPlan plan = PlanRebootAll(statuses);
  if (!plan.bAnyMarked) {
    trace.Warn(ShowMessage(msg::kNoNodeToRestart), TRC_WARN);
    return;
  }
  if (plan.bActiveNode && !Confirmed(msg::kFatalDamage)) return;
  m_bRebooting = true;
  SetFieldCaption(true);
  StartWork([this, plan] { WakeUpThread(plan); });
}

void RestoreDialogBase::WakeUpThread(const RebootPlan& plan) {
  CusrTraceScope trace(kClass, "WakeUpThread", TRC_FUNC);
  const RebootOutcome outcome = RebootAll(
      plan, [this](std::uint32_t ulSlot) { return BoardName(ulSlot); },
      [this](int nMode, const board::RebootMarks& marks, board::RebootResults& results) {
        return board::MultiReboot(m_rSession.Array(), nMode, marks, results);
      });
  if (outcome.bSucceeded)
    trace.Info(ShowMessage(msg::kRebootAllDone), TRC_INFO);
  else
    trace.Error(ShowMessage(msg::kRebootAllFailed, outcome.strFailed, outcome.strNotRestarted), TRC_ERROR);
}

void RestoreDialogBase::OnCancel() {
  if (m_bWorking) {
    WriteTraceLine("The recovery runs: the dialog stays open", "info_", TRC_INFO & GetTraceMask());
    return;
  }
  OnOK();
}

}  // namespace recovery
