#include "board/CusrStatusAgent.h"

#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"

namespace {

constexpr const char* kClass = "CusrStatusAgent";
constexpr std::uint32_t kCodeTimeout = 9;

}  // namespace

CusrStatusAgent::CusrStatusAgent(board::ArrayTables& rArray) : m_rArray(rArray) {}

CusrStatusAgent::~CusrStatusAgent() {
  if (m_thread.joinable()) Stop();
}

void CusrStatusAgent::Create(board::MainDialogLink* pMain, std::uint32_t ulPeriodMs) {
  m_pMain = pMain;
  m_ulPeriod = ulPeriodMs;
  // UpdateMyStatus waits at most for two periods and the longest check.
  m_rArray.SetStatusWaitLimit(plat::Millis(2 * static_cast<std::int64_t>(ulPeriodMs)) + kEndMessageLimit);
}

std::uint32_t CusrStatusAgent::Start() {
  CusrTraceScope trace(kClass, "Start", TRC_FUNC);
  m_bEndPosted = false;
  m_bFinished = false;
  m_thread = std::thread([this] { ThreadProcess(); });
  return 0;
}

std::uint32_t CusrStatusAgent::ThreadProcess() {
  CusrTraceScope trace(kClass, "ThreadProcess", TRC_FUNC);
  m_bAlive = true;
  while (!m_cStopEvent.Wait(plat::Millis(m_ulPeriod))) RunCheck();
  PostEndMessage();
  m_rArray.StopStatusChecks();
  m_bAlive = false;
  m_bFinished = true;
  return 0;
}

void CusrStatusAgent::PostEndMessage() {
  CusrTraceScope trace(kClass, "PostEndMessage", TRC_FUNC);
  trace.Info("Finish message send to main dialog()", TRC_INFO);
  for (int nAttempt = 1; nAttempt <= kPostAttempts; ++nAttempt) {
    if (m_pMain != nullptr && m_pMain->PostAgentFinished()) {
      trace.Info("PostMessage() Sucessful", TRC_INFO);
      m_bEndPosted = true;
      return;
    }
    trace.Error(TraceFmt("PostMessage() error (%d). code = 0x%08x", nAttempt, 0u), TRC_ERROR);
    if (nAttempt < kPostAttempts) plat::Clock::Sleep(kPostRetryWait);
  }
}

void CusrStatusAgent::RunCheck() {
  CusrTraceScope trace(kClass, "RunCheck", TRC_DEBUG);
  m_rArray.BeginStatusCheck();
  trace.Debug("--------------- START STATUS CHECK --------------- ", TRC_DEBUG);
  m_rArray.GetMPStatus();
  m_rArray.GetChnStatusKestrel(1);
  m_rArray.SetChnStatusUpdateTime();
  for (const std::uint32_t ulSlot : m_rArray.ModelSlots()) {
    CusrCHN* pBoard = m_rArray.GetCHN(ulSlot);
    if (pBoard == nullptr) continue;
    if (!pBoard->TimerMutex().IsBusy()) pBoard->SetChnStatusKestrelEX();
    if (pBoard->IsOsRunning() && pBoard->StoredAgentVersion() == CusrCHN::kUnknownAgentVersion &&
        pBoard->IsNasAgentNewer() && m_pMain != nullptr && m_pMain->MarkNewerAgent())
      trace.Error(ShowMessage(msg::kAgentNewerStopTool), TRC_ERROR);
    if (pBoard->GetStatus() == board::CHN_STATUS_INST && pBoard->StoredAgentVersion() != CusrCHN::kUnknownAgentVersion)
      pBoard->ResetAgentVersion();
    m_rArray.NotifyBoardChanged(ulSlot);
    trace.Info(TraceFmt("Main Status CHN[%u] = %s", ulSlot, pBoard->GetStatusText().c_str()), TRC_INFO);
  }
  m_rArray.EndStatusCheck();
  trace.Debug("--------------- FINISH STATUS CHECK ---------------", TRC_DEBUG);
}

void CusrStatusAgent::Stop() {
  CusrTraceScope trace(kClass, "Stop", TRC_FUNC);
  if (!m_thread.joinable()) return;
  m_cStopEvent.Set();
  trace.Info("stop agent", TRC_INFO);
  const auto finished = [this] { return m_bFinished.load(); };
  if (!m_bAlive) {
    trace.Info("Agent is dead", TRC_INFO);
    m_thread.join();
  } else {
    trace.Info("Agent is alive", TRC_INFO);
    const auto endPosted = [this] { return m_bEndPosted.load() || m_bFinished.load(); };
    const bool bEnded = m_pMain != nullptr ? m_pMain->WaitPumping(endPosted, kEndMessageLimit)
                                           : plat::Clock::PollUntil(plat::Clock::Now() + kEndMessageLimit, endPosted);
    if (bEnded && plat::Clock::PollUntil(plat::Clock::Now() + kThreadEndLimit, finished)) {
      m_thread.join();
    } else {
      if (bEnded) {
        trace.Warn(TraceFmt("Agent thread stop foucely, timeout = %d", static_cast<int>(kThreadEndLimit.count())),
                   TRC_WARN);
      } else {
        trace.Error(ShowMessage(msg::kPcInternalError, TraceFmt("0x%08x", kCodeTimeout)), TRC_ERROR);
      }
      // The thread is still inside an array or agent call; it ends by itself later.
      m_thread.detach();
      m_bAbandoned = true;
    }
  }
  trace.Info("before delete", TRC_INFO);
  trace.Info("after  delete", TRC_INFO);
  // An abandoned thread must still find the event set when it comes back to its wait.
  if (!m_bAbandoned) m_cStopEvent.Reset();
}
