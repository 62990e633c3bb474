#include "dialogs/BoardFunctions.h"

#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "dialogs/CdlgBootManagement.h"
#include "dialogs/CdlgHibernationDump.h"
#include "dialogs/CdlgNetworkSetting.h"
#include "dialogs/CdlgProgramInstall.h"
#include "dialogs/MainButtonPlan.h"

namespace dialogs {

namespace {

constexpr const char* kClass = "CdlgMain";

template <class T>
T* At(const std::array<std::unique_ptr<T>, CusrCHN::kSlots>& dialogs, std::uint32_t ulSlot) {
  return ulSlot < CusrCHN::kSlots ? dialogs[ulSlot].get() : nullptr;
}

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

}  // namespace

BoardFunctions::BoardFunctions(kelp::ui::Host& host, kelp::ui::Dialog& owner, session::ArraySession& rSession,
                               Released released, ResetAsked resetAsked)
    : m_rHost(host),
      m_rOwner(owner),
      m_rSession(rSession),
      m_released(std::move(released)),
      m_resetAsked(std::move(resetAsked)) {}

BoardFunctions::~BoardFunctions() {
  for (auto& dialog : m_pdlgBoot) dialog.reset();
  for (auto& dialog : m_pdlgNetwork) dialog.reset();
}

void BoardFunctions::Create() {
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    CusrCHN& board = *m_rSession.Board(i);
    auto closed = [this](int nCode) { return [this, nCode](std::uint32_t ulSlot) { Closed(ulSlot, nCode); }; };
    m_pdlgBoot[i] = std::make_unique<CdlgBootManagement>(
        m_rHost, m_rSession, board, closed(mainwindow::kBusyBootManagement), [this, i] { m_resetAsked(i); });
    m_pdlgInstall[i] =
        std::make_unique<CdlgProgramInstall>(m_rHost, m_rSession, board, closed(mainwindow::kBusyProgramInstall));
    m_pdlgDump[i] = std::make_unique<CdlgHibernationDump>(m_rHost, m_rSession, board, closed(mainwindow::kBusyNasDump));
    m_pdlgNetwork[i] =
        std::make_unique<CdlgNetworkSetting>(m_rHost, m_rSession, board, closed(mainwindow::kBusyRouting));
    m_pdlgBoot[i]->Create();
    m_pdlgInstall[i]->Create();
    m_pdlgDump[i]->Create();
    m_pdlgNetwork[i]->Create();
  }
}

CdlgBootManagement* BoardFunctions::BootManagement(std::uint32_t ulSlot) const {
  return At(m_pdlgBoot, ulSlot);
}
CdlgHibernationDump* BoardFunctions::HibernationDump(std::uint32_t ulSlot) const {
  return At(m_pdlgDump, ulSlot);
}
CdlgNetworkSetting* BoardFunctions::NetworkSetting(std::uint32_t ulSlot) const {
  return At(m_pdlgNetwork, ulSlot);
}

void BoardFunctions::Open(std::uint32_t ulSlot, int nCode, bool bAlreadyOpen, kelp::ui::Dialog& front,
                          const std::function<void()>& open) {
  CusrTraceScope trace(kClass, "OpenBoardDialog", TRC_FUNC);
  if (bAlreadyOpen) {
    front.ShowWindow(true);
    front.BringToForeground();
    return;
  }
  if (!m_rSession.Claim(ulSlot, nCode)) {
    trace.Info(TraceFmt("CHN[%u] busy: %d", ulSlot, m_rSession.BoardBusy(ulSlot)), TRC_INFO);
    return;
  }
  open();
}

void BoardFunctions::Closed(std::uint32_t ulSlot, int nCode) {
  if (m_rSession.Release(ulSlot, nCode)) m_released(ulSlot, nCode);
}

void BoardFunctions::OpenProgramInstall(std::uint32_t ulSlot) {
  CdlgProgramInstall* pInstall = At(m_pdlgInstall, ulSlot);
  if (pInstall == nullptr) return;
  if (m_rSession.BoardBusy(ulSlot) == mainwindow::kBusyProgramInstall) {
    pInstall->BringForward();
    return;
  }
  Open(ulSlot, mainwindow::kBusyProgramInstall, false, *pInstall, [&] {
    pInstall->Open({m_rSession.MediaRoot(), m_rSession.MediaRootIsMP()});
  });
}

void BoardFunctions::OpenNetworkSetting(std::uint32_t ulSlot, bool bReferConfig) {
  CdlgNetworkSetting* pNetwork = At(m_pdlgNetwork, ulSlot);
  if (pNetwork == nullptr) return;
  Open(ulSlot, mainwindow::kBusyRouting, m_rSession.BoardBusy(ulSlot) == mainwindow::kBusyRouting, *pNetwork,
       [&] { pNetwork->ShowNetSetDialog(bReferConfig); });
}

void BoardFunctions::OpenNasDump(std::uint32_t ulSlot) {
  CdlgHibernationDump* pDump = At(m_pdlgDump, ulSlot);
  if (pDump == nullptr) return;
  // While the dump runs its dialog holds the board under the reset's code.
  const int nBusy = m_rSession.BoardBusy(ulSlot);
  const bool bOpen = nBusy == mainwindow::kBusyNasDump || (nBusy == mainwindow::kBusyReset && pDump->IsWorking());
  Open(ulSlot, mainwindow::kBusyNasDump, bOpen, *pDump, [&] {
    pDump->SetShowStatus();
    pDump->ShowWindow(true);
    pDump->BringToForeground();
  });
}

void BoardFunctions::OpenBootManagement(std::uint32_t ulSlot) {
  CdlgBootManagement* pBoot = At(m_pdlgBoot, ulSlot);
  if (pBoot == nullptr) return;
  // Its own dialog may be hidden while its operation runs.
  const bool bOpen = m_rSession.BoardBusy(ulSlot) == mainwindow::kBusyBootManagement;
  Open(ulSlot, mainwindow::kBusyBootManagement, bOpen, *pBoot, [&] {
    pBoot->Prepare();
    pBoot->ShowWindow(true);
    pBoot->BringToForeground();
  });
}

void BoardFunctions::BoardChanged(std::uint32_t ulSlot) {
  if (CdlgBootManagement* pBoot = BootManagement(ulSlot); pBoot && pBoot->IsWindowVisible()) pBoot->SetLinuxStatus();
  if (CdlgHibernationDump* pDump = HibernationDump(ulSlot); pDump && pDump->IsWindowVisible()) pDump->SetShowStatus();
}

void BoardFunctions::Reset(std::uint32_t ulSlot, int nOwnerCode) {
  CusrTraceScope trace(kClass, "OnP4Reset", TRC_FUNC);
  if (ulSlot >= CusrCHN::kSlots) return;
  if (m_rSession.BoardBusy(ulSlot) != nOwnerCode) {
    // Another operation holds the board: its mark stays.
    trace.Info(TraceFmt("CHN[%u] busy: %d", ulSlot, m_rSession.BoardBusy(ulSlot)), TRC_INFO);
    return;
  }
  m_rSession.SetBoardBusy(ulSlot, mainwindow::kBusyReset);
  for (const std::uint32_t ulQuestion : {msg::kNncResetQuestion, msg::kForcedStopQuestion, msg::kFatalDamage}) {
    if (!Confirmed(ulQuestion)) {
      m_rSession.SetBoardBusy(ulSlot, nOwnerCode);
      return;
    }
  }
  CusrCHN* pBoard = m_rSession.Board(ulSlot);
  m_rOwner.StartWorker([this, pBoard, ulSlot, nOwnerCode] {
    CusrTraceScope worker(kClass, "P4ResetThread", TRC_FUNC);
    std::uint32_t ulError = 0;
    if (pBoard->StartP4Reset(nullptr, &ulError))
      ShowMessage(msg::kFinishedNormally);
    else
      worker.Error(TraceFmt("function failed, code = 0x%08x", ulError), TRC_ERROR);
    m_rOwner.Post([this, ulSlot, nOwnerCode] { FinishReset(ulSlot, nOwnerCode); });
  });
}

void BoardFunctions::FinishReset(std::uint32_t ulSlot, int nOwnerCode) {
  CdlgBootManagement* pBoot = BootManagement(ulSlot);
  // The boot dialog that asked for the reset gets its board back only while it
  // is open.
  const bool bOwnerOpen = nOwnerCode == mainwindow::kBusyBootManagement && pBoot && pBoot->IsWindowVisible();
  m_rSession.SetBoardBusy(ulSlot, bOwnerOpen ? nOwnerCode : 0);
  if (bOwnerOpen) pBoot->SetLinuxStatus();
}

}  // namespace dialogs
