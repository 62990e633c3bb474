// CusrCHN: the board power operations through the array. The watched commands poll the board's
// progress code every 20 seconds (the board lock's pace) until the board reports the end, a
// failure, a blocked processor, a reset or dump that takes the board over, or the time-out.
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>

#include "agent/AgentCodes.h"
#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "board/PowerCommands.h"
#include "common/CusrTraceScope.h"
#include "common/MessageCatalogue.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "velapi.h"

using namespace board;

namespace {

constexpr const char* kClass = "CusrCHN";
constexpr plat::Millis kResetSettle{60'000};
constexpr plat::Millis kResetGap{1'000};
constexpr int kBootRebootBootMode = 1;
constexpr std::uint32_t kErrorBadInitStatus = 4;
constexpr std::uint32_t kInheritRetryFailed = VEL_ERR_INHERIT_UPDATED;
constexpr std::uint32_t kWordDown = 308;

// The trace text of a progress row: "%s" is the command's word ("Boot", "Reboot").
std::string RowText(const ProgressRow& row, const PowerCommandRow& command) {
  return FormatWithTextArgs(row.trace, {command.name});
}

// The watched command (the body of StartShutdown, StartReboot, StartBoot and StartBootReboot).
// A multi-board command (StartBootReboot) has no dialog, no flag checks, no messages.
class PowerWatch {
 public:
  PowerWatch(CusrCHN& board, const PowerCommandRow& command, const CusrTraceScope& trace)
      : m_board(board), m_command(command), m_trace(trace),
        m_bMulti(command.command == PowerCommand::MultiBoot || command.command == PowerCommand::MultiReboot) {}

  bool Run(PowerDialog* pDialog, const char* pszBootOpt, std::int64_t llTimeout, std::uint32_t* pulError);

 private:
  // True (and traced) when a CHA reset or a NAS dump runs on the board; *pbDump tells which.
  bool TakenOver(bool* pbDump) const;
  bool Watch(PowerDialog* pDialog, std::int64_t llTimeout, plat::TimePoint start, bool* pbDump,
             std::uint32_t* pulError);
  void Show(std::uint32_t ulMessageId, const std::string& strArg) const {
    if (!m_bMulti) m_trace.Error(ShowMessage(ulMessageId, strArg), TRC_ERROR);
  }

  CusrCHN& m_board;
  const PowerCommandRow& m_command;
  const CusrTraceScope& m_trace;
  const bool m_bMulti;
};

bool PowerWatch::TakenOver(bool* pbDump) const {
  const bool bReset = m_board.ChaResetFlag() != 0;
  *pbDump = m_board.NasDumpFlag() != 0;
  if (bReset) m_trace.Info("CHA Reset is on.", TRC_INFO);
  if (*pbDump) m_trace.Info("NAS Dump is on.", TRC_INFO);
  return bReset || *pbDump;
}

bool PowerWatch::Run(PowerDialog* pDialog, const char* pszBootOpt, std::int64_t llTimeout, std::uint32_t* pulError) {
  const int nSlot = static_cast<int>(m_board.GetIndex());
  m_trace.Info(TraceFmt("CHN[%d] sCluster = %d, sPCB = %d, dwOption = 0x%08x", nSlot, ClusterOf(nSlot),
                        PcbOf(nSlot), m_command.dwOption),
               TRC_INFO);
  m_trace.Info(TraceFmt("Timeout : %d minutes", static_cast<int>(llTimeout / 60)), TRC_INFO);
  const plat::TimePoint start = plat::Clock::Now();

  bool bDump = false;
  if (!m_bMulti && TakenOver(&bDump)) {
    if (bDump) m_trace.Warn(ShowMessage(msg::kPowerCanceledByDump), TRC_WARN);
    m_trace.Error(TraceFmt("%s() cannot start.", m_command.operation), TRC_ERROR);
    *pulError = kPowerErrorResetOrDump;
    return false;
  }

  BoardLock& lock = m_board.TimerMutex();
  lock.Lock();
  const bool bSent = SendBoardCommand(
      m_board, m_trace, "dsvp_NasShutdown", CallText(m_board, "dsvp_NasShutdown"),
      [&](std::uint32_t* e) {
        return dsvp_NasShutdown(ClusterOf(nSlot), PcbOf(nSlot), m_command.dwOption, pszBootOpt, e);
      },
      pulError);
  if (!bSent) {
    lock.Unlock();
    m_trace.Error("dsvp_NasShutDown() is failure", TRC_ERROR);
    m_trace.Error(TraceFmt("ErrInfo = 0x%08x", *pulError), TRC_ERROR);
    m_board.UpdateMyStatus();
    if (!m_bMulti) ShowApiError(m_trace, *pulError);
    return false;
  }

  const bool bResult = Watch(pDialog, llTimeout, start, &bDump, pulError);
  lock.Unlock();
  m_trace.Info("Exit the while( TRUE ) loop", TRC_INFO);
  m_board.UpdateMyStatus();
  if (bDump)
    Show(msg::kPowerCanceledByDump, {});
  else if (m_board.MpBlockadeFlag() == 1)
    Show(msg::kPowerHardwareError, {});
  return bResult;
}

bool PowerWatch::Watch(PowerDialog* pDialog, std::int64_t llTimeout, plat::TimePoint start, bool* pbDump,
                       std::uint32_t* pulError) {
  const int nSlot = static_cast<int>(m_board.GetIndex());
  BoardLock& lock = m_board.TimerMutex();
  std::uint8_t byProgress = 0;
  for (;;) {
    if (!m_bMulti && TakenOver(pbDump)) {
      m_trace.Info(TraceFmt("%s() will finish soon.", m_command.operation), TRC_INFO);
      *pulError = kPowerErrorResetOrDump;
      return false;
    }
    if (m_board.MpBlockadeFlag() == 1) {
      const std::string strLocation = m_board.LocationName();
      m_trace.Error(m_bMulti ? TraceFmt("%s StartRebootEX() finish : MP Blockade", strLocation.c_str())
                             : TraceFmt("%s %s() stop : MP Blockade", strLocation.c_str(), m_command.operation),
                    TRC_ERROR);
      *pulError = kPowerErrorMpBlockade;
      return false;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(plat::Clock::Now() - start).count();
    if (elapsed > llTimeout) {
      m_trace.Error(TraceFmt("Kelpset Tool %s Timeout", m_command.name), TRC_ERROR);
      Show(msg::kPowerTimeout, TraceFmt("0x%02x", byProgress));
      if (m_bMulti) *pulError = agent::kResultTimeout;
      return false;
    }
    if (!m_bMulti) m_trace.Debug(TraceFmt("Sleep( %d )", static_cast<int>(BoardLock::kPace.count())), TRC_DEBUG);
    lock.Pace();
    std::uint32_t ulError = 0;
    const bool bRead = ReadShutdownByte(nSlot, &byProgress, &ulError);
    lock.Stamp();
    if (!bRead) {
      m_trace.Error(TraceFmt("dsvp_NasGetShutdownStatusEx(): 0x%08x", ulError), TRC_ERROR);
      if (ulError == VEL_ERR_SVP_TIMEOUT) {
        m_trace.Warn("VEL_ERR_SVP_TIMEOUT retry", TRC_WARN);
        continue;
      }
      *pulError = ulError;
      if (!m_bMulti) ShowApiError(m_trace, ulError);
      return false;
    }
    if (!m_bMulti && ulError != 0) {
      *pulError = ulError;
      ShowApiError(m_trace, ulError);
      return false;
    }
    const ProgressRow& row = ProgressRowOf(m_command, byProgress & nas::kProgressCodeMask);
    m_trace.Info(TraceFmt("%s (0x%02x)", RowText(row, m_command).c_str(), byProgress), TRC_INFO);
    switch (row.end) {
      case ProgressEnd::Running:
        m_board.SetStatus(row.status);
        if (pDialog != nullptr && row.wordId != 0) pDialog->ShowPowerStatus(row.status, row.wordId);
        continue;
      case ProgressEnd::Finished:
        return true;
      case ProgressEnd::Failed:
        if (row.messageId != 0) Show(row.messageId, TraceFmt("0x%02x", byProgress));
        if (row.error != 0) *pulError = row.error;
        return false;
    }
  }
}

// The overall time-out of StartShutdown and StartReboot: shorter for a board whose NAS OS runs
// inactive at the start.
std::int64_t TimeoutFor(const CusrCHN& board, const PowerCommandRow& command) {
  return board.GetNodeStatus() == CHN_STATUS_INACTIVE ? command.inactiveTimeoutSeconds : command.timeoutSeconds;
}

// A failed reset step: settle, refresh, clear the flag and tell the user.
bool ResetFailed(CusrCHN& board, const CusrTraceScope& trace, std::atomic<std::uint32_t>& flag,
                 std::uint32_t ulError) {
  trace.Error(TraceFmt("function failed, code = 0x%08x", ulError), TRC_ERROR);
  plat::Clock::Sleep(kResetSettle);
  board.UpdateMyStatus();
  flag = 0;
  ShowApiError(trace, ulError);
  return false;
}

// The install progress words, their texts and whether they end the installation.
struct InstallRow {
  std::uint16_t usWord;
  std::uint32_t ulTextId;
  bool bRunning;
};
constexpr InstallRow kInstallRows[] = {
    {0x0000, 501, true}, {0x0001, 502, true}, {0x0002, 503, true}, {0x0003, 504, true}, {0x0004, 505, true},
    {0x0105, 506, true}, {0x0205, 507, true}, {0x0305, 508, true}, {0x0405, 509, true}, {0x0505, 510, true},
    {0x0605, 511, true}, {0x0705, 512, true}, {0x0805, 513, true}, {0x0905, 514, true}, {0x0A05, 515, true},
    {0x0006, 516, true}, {0x0007, 517, true}, {0x00FF, 518, false},
};
constexpr std::uint16_t kInstallFailed = 0x00FE;
constexpr std::uint16_t kInstallFailedOnNas = 0x05FE;

std::string FailedText(std::uint32_t ulCode) {
  char sz[64];
  std::snprintf(sz, sizeof sz, LoadString(str::kFailedCode).c_str(), ulCode);
  return sz;
}

// The message of a failure that the board's NAS OS reports in bits 16-23 of the progress word:
// the installation's agent code (an install verdict without its kInstallErrorBit).
std::uint32_t NasSideMessage(std::uint32_t ulProgress) {
  const agent::AgentCode* row = agent::FindAgentCode(agent::CodeScope::Install, (ulProgress & 0xFF0000) >> 16);
  return row != nullptr ? row->messageId : msg::kNasOsError;
}

}  // namespace

bool CusrCHN::StartShutdown(board::PowerDialog* pDialog, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "StartShutdown", TRC_FUNC);
  const PowerCommandRow& command = PowerCommandOf(PowerCommand::Shutdown);
  return PowerWatch(*this, command, trace).Run(pDialog, "", TimeoutFor(*this, command), pulError);
}

bool CusrCHN::StartReboot(board::PowerDialog* pDialog, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "StartReboot", TRC_FUNC);
  const PowerCommandRow& command = PowerCommandOf(PowerCommand::Reboot);
  return PowerWatch(*this, command, trace).Run(pDialog, "", TimeoutFor(*this, command), pulError);
}

bool CusrCHN::StartBoot(board::PowerDialog* pDialog, const std::string& strBootOpt, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "StartBoot", TRC_FUNC);
  const PowerCommandRow& command = PowerCommandOf(PowerCommand::Boot);
  return PowerWatch(*this, command, trace).Run(pDialog, strBootOpt.c_str(), command.timeoutSeconds, pulError);
}

bool CusrCHN::StartBootReboot(int nMode, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "StartBootReboot", TRC_FUNC);
  const PowerCommandRow& command =
      PowerCommandOf(nMode == kBootRebootBootMode ? PowerCommand::MultiBoot : PowerCommand::MultiReboot);
  return PowerWatch(*this, command, trace).Run(nullptr, "", command.timeoutSeconds, pulError);
}

bool CusrCHN::StartP4Reset(board::PowerDialog* pDialog, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "StartP4Reset", TRC_FUNC);
  const short sCluster = ClusterOf(static_cast<int>(m_ulIndex));
  const short sPCB = PcbOf(static_cast<int>(m_ulIndex));
  m_ulChaResetFlag = 1;
  m_cTimerMutex.Lock();
  if (!SendBoardCommand(
          *this, trace, "dsvp_NasBlockadeForce", CallText(*this, "dsvp_NasBlockadeForce"),
          [&](std::uint32_t* e) { return dsvp_NasBlockadeForce(sCluster, sPCB, e); }, pulError)) {
    m_cTimerMutex.Unlock();
    return ResetFailed(*this, trace, m_ulChaResetFlag, *pulError);
  }
  trace.Debug(TraceFmt("Sleep(%d)", static_cast<int>(kResetGap.count())), TRC_DEBUG);
  m_cTimerMutex.Pace();
  const bool bRestored = SendBoardCommand(
      *this, trace, "dsvp_NasRestoreForce", CallText(*this, "dsvp_NasRestoreForce"),
      [&](std::uint32_t* e) { return dsvp_NasRestoreForce(sCluster, sPCB, e); }, pulError);
  // The one release of the lock, whatever the restore answered.
  m_cTimerMutex.UnlockAndStamp();
  if (!bRestored) return ResetFailed(*this, trace, m_ulChaResetFlag, *pulError);

  if (pDialog != nullptr) {
    SetStatus(CHN_STATUS_DOWN);
    pDialog->ShowPowerStatus(CHN_STATUS_DOWN, static_cast<int>(kWordDown));
  }
  plat::Clock::Sleep(kResetSettle);
  UpdateMyStatus();
  m_ulChaResetFlag = 0;
  return true;
}

bool CusrCHN::CancelHibernationDump(std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "CancelHibernationDump", TRC_FUNC);
  return StartP4Reset(nullptr, pulError);
}

bool CusrCHN::StartDump(std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "StartDump", TRC_FUNC);
  const short sCluster = ClusterOf(static_cast<int>(m_ulIndex));
  const short sPCB = PcbOf(static_cast<int>(m_ulIndex));
  m_ulNasDumpFlag = 1;
  m_cTimerMutex.Lock();
  const bool bOk = SendBoardCommand(
      *this, trace, "dsvp_NasGetHibDump", CallText(*this, "dsvp_NasGetHibDump"),
      [&](std::uint32_t* e) { return dsvp_NasGetHibDump(sCluster, sPCB, e); }, pulError);
  m_cTimerMutex.UnlockAndStamp();
  if (bOk)
    trace.Info("dsvp_NasGetHibDump() successed", TRC_INFO);
  else
    trace.Error(TraceFmt("dsvp_NasGetHibDump() : 0x%08x", *pulError), TRC_ERROR);
  UpdateMyStatus();
  m_ulNasDumpFlag = 0;
  if (!bOk) ShowApiError(trace, *pulError);
  return bOk;
}

bool CusrCHN::StartInstallBoot(std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "StartInstallBoot", TRC_FUNC);
  const short sCluster = ClusterOf(static_cast<int>(m_ulIndex));
  const short sPCB = PcbOf(static_cast<int>(m_ulIndex));
  const auto fail = [&](const char* pszCall) {
    trace.Error(TraceFmt("%s : 0x%08x", pszCall, *pulError), TRC_ERROR);
    UpdateMyStatus();
    ShowApiError(trace, *pulError);
    return false;
  };
  m_cTimerMutex.Pace();
  if (!SendBoardCommand(
          *this, trace, "dsvp_NasChangeInstallInf", CallText(*this, "dsvp_NasChangeInstallInf"),
          [&](std::uint32_t* e) { return dsvp_NasChangeInstallInf(sCluster, sPCB, e); }, pulError))
    return fail("dsvp_NasChangeInstallInf");
  m_cTimerMutex.Pace();
  if (!SendBoardCommand(
          *this, trace, "dsvp_NasShutdown", CallText(*this, "dsvp_NasShutdown(VEL_NAS_BOOT)"),
          [&](std::uint32_t* e) {
            return dsvp_NasShutdown(sCluster, sPCB, PowerCommandOf(PowerCommand::Boot).dwOption, nullptr, e);
          },
          pulError))
    return fail("dsvp_NasShutdown");
  return true;
}

bool CusrCHN::InstallOS(const board::ProductRecord& record, std::uint32_t ulInstallType, std::uint32_t ulInitStatus,
                        std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "InstallOS", TRC_FUNC);
  trace.Info(TraceFmt("CusrCHN[%u] Install Status : %u", m_ulIndex, ulInstallType), TRC_INFO);
  trace.Info(TraceFmt("CusrCHN[%u] Initialize Status : 0x%08x", m_ulIndex, ulInitStatus), TRC_INFO);
  trace.Info(TraceFmt("Product : %s %s %s", record[kProductName].c_str(), record[kProductVersion].c_str(),
                      record[kProductFilePath].c_str()),
             TRC_INFO);
  const std::uint32_t ulOption = ulInstallType == 0 || ulInstallType == 2 ? ulInstallType : 1;
  if (ulInitStatus != 0x00 && ulInitStatus != 0x01 && ulInitStatus != 0x10 && ulInitStatus != 0x11) {
    trace.Fatal(TraceFmt("Invalid Initialize Status : 0x%08x", ulInitStatus), TRC_FATAL);
    *pulError = kErrorBadInitStatus;
    return false;
  }
  const std::uint32_t ulOption2 = (ulInitStatus & 0x10) != 0 ? 0 : 1;
  const std::uint32_t ulOption3 = (ulInitStatus & 0x01) != 0 ? 0 : 1;
  const short sCluster = ClusterOf(static_cast<int>(m_ulIndex));
  const short sPCB = PcbOf(static_cast<int>(m_ulIndex));

  std::uint32_t ulInherit = 0;
  int nRepeats = 0;
  bool bTimeoutRetried = false;
  for (;;) {
    trace.Info(TraceFmt("ulOption  : 0x%08x", ulOption), TRC_INFO);
    trace.Info(TraceFmt("ulOption2 : 0x%08x", ulOption2), TRC_INFO);
    trace.Info(TraceFmt("ulOption3 : 0x%08x", ulOption3), TRC_INFO);
    trace.Info(TraceFmt("ulInherit : 0x%08x", ulInherit), TRC_INFO);
    m_cTimerMutex.Pace();
    trace.Call(CallText(*this, "dsvp_NasInstallLinux"), TRC_FUNC);
    *pulError = 0;
    const bool bOk = dsvp_NasInstallLinux(sCluster, sPCB, ulOption, ulOption2, ulOption3, &ulInherit, pulError) != 0;
    m_cTimerMutex.Stamp();
    if (bOk) return true;
    if (*pulError == VEL_ERR_INHERIT_UPDATED) {
      if (++nRepeats > kInheritRetryLimit) {
        trace.Error(TraceFmt("Request retry limit (%d) reached", kInheritRetryLimit), TRC_ERROR);
        *pulError = kInheritRetryFailed;
        return false;
      }
      trace.Info("Request retry", TRC_INFO);
      continue;
    }
    if (*pulError == VEL_ERR_SVP_TIMEOUT && !bTimeoutRetried) {
      bTimeoutRetried = true;
      trace.Warn("VEL_ERR_SVP_TIMEOUT Retry", TRC_WARN);
      continue;
    }
    trace.Error(TraceFmt("dsvp_NasInstallLinux(): 0x%08x", *pulError), TRC_ERROR);
    return false;
  }
}

bool CusrCHN::GetOSInstallStatus(std::string* pstrProgress, bool bTimeoutFatal, bool* pbFailed,
                                 std::uint32_t* pulCode) {
  CusrTraceScope trace(kClass, "GetOSInstallStatus", TRC_FUNC);
  std::uint32_t ulProgress = 0;
  m_cTimerMutex.Pace();
  trace.Call(CallText(*this, "dsvp_NasGetProgress"), TRC_FUNC);
  *pulCode = 0;
  const bool bOk = dsvp_NasGetProgress(ClusterOf(static_cast<int>(m_ulIndex)), PcbOf(static_cast<int>(m_ulIndex)),
                                       VEL_PROGRESS_INSTALL, &ulProgress, pulCode) != 0;
  m_cTimerMutex.Stamp();
  if (!bOk) {
    *pbFailed = true;
    if (!bTimeoutFatal && *pulCode == VEL_ERR_SVP_TIMEOUT) {
      *pbFailed = false;
      return false;
    }
    trace.Error(TraceFmt("dsvp_NasGetProgress(): 0x%08x", *pulCode), TRC_ERROR);
    UpdateMyStatus();
    const std::uint32_t ulMessage = (*pulCode & 0x80000000u) != 0 ? msg::kArrayError : GetApiErrorMessageId(*pulCode);
    trace.Error(ShowMessage(ulMessage, common::CodeText(*pulCode)), TRC_ERROR);
    *pstrProgress = FailedText(*pulCode);
    return true;
  }
  trace.Info(TraceFmt("dProgress : 0x%08x", ulProgress), TRC_INFO);
  const auto usWord = static_cast<std::uint16_t>(ulProgress & 0xFFFF);
  trace.Info(TraceFmt("wProgress : 0x%04x", usWord), TRC_INFO);
  for (const InstallRow& row : kInstallRows) {
    if (row.usWord != usWord) continue;
    *pstrProgress = LoadString(row.ulTextId);
    if (!row.bRunning) *pbFailed = false;
    return !row.bRunning;
  }
  // Every other word is a failed installation.
  *pbFailed = true;
  *pstrProgress = FailedText(ulProgress);
  *pulCode = ulProgress;
  std::uint32_t ulMessage = msg::kNasOsError;
  if (usWord == kInstallFailedOnNas)
    ulMessage = NasSideMessage(ulProgress);
  else if (usWord != kInstallFailed)
    trace.Error(TraceFmt("dProgress : 0x%08x", ulProgress), TRC_ERROR);
  UpdateMyStatus();
  trace.Error(ShowMessage(ulMessage, common::CodeText(ulProgress)), TRC_ERROR);
  return true;
}
