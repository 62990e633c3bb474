// CusrCHN: the status of one board.
#include <algorithm>
#include <charconv>
#include <mutex>
#include <sstream>

#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/Strings.h"
#include "plat/Power.h"

using namespace board;

namespace {

constexpr const char* kClass = "CusrCHN";

}  // namespace

bool CusrCHN::GetBatteryStatus() {
  CusrTraceScope trace(kClass, "GetBatteryStatus", TRC_FUNC);
  // Only a battery that reports discharging stops the tool; a machine that says nothing is on AC.
  const plat::AcLineStatus acLine = plat::GetSystemPowerStatus().acLine;
  if (acLine != plat::AcLineStatus::Online) trace.Info(TraceFmt("AC line : %s", plat::ToText(acLine)), TRC_INFO);
  return acLine != plat::AcLineStatus::Offline;
}

// ---------------------------------------------------------------- one board

CusrCHN::CusrCHN(board::ArrayTables& rArray, std::uint32_t ulIndex)
    : m_rArray(rArray), m_nAgentPort(agent::kDefaultAgentPort), m_cTimerMutex(ulIndex), m_ulIndex(ulIndex) {
  m_rArray.Register(this);
}

CusrCHN::~CusrCHN() { m_rArray.Unregister(this); }

std::string CusrCHN::LocationName() const { return m_rArray.LocationName(m_ulIndex); }

void CusrCHN::SetStatus(std::int32_t nStatus) {
  m_nStatus = nStatus;
  m_rArray.NotifyBoardChanged(m_ulIndex);
}

bool CusrCHN::IsExistLinux() const {
  CusrTraceScope trace(kClass, "IsExistLinux", TRC_FUNC);
  const std::int32_t nStatus = GetStatus();
  trace.Info(TraceFmt("CusrCHN[%u]'s status = %d", m_ulIndex, nStatus), TRC_INFO);
  return board::IsOsInstalled(nStatus);
}

void CusrCHN::SetChnStatusKestrel() {
  const std::int32_t nStatus = m_rArray.ArrayStatus(m_ulIndex);
  m_nStatus = nStatus == CHN_STATUS_EX_OS_UP ? GetNodeStatus() : nStatus;
}

void CusrCHN::SetChnStatusKestrelEX() {
  if (!m_cTimerMutex.TryLock()) return;
  SetChnStatusKestrel();
  m_cTimerMutex.Unlock();
}

bool CusrCHN::UpdateMyStatus() {
  CusrTraceScope trace(kClass, "UpdateMyStatus", TRC_FUNC);
  const bool bFresh = m_rArray.WaitForStatusCheck();
  if (!bFresh) trace.Warn("status check did not complete; status read as it stands", TRC_WARN);
  SetChnStatusKestrel();
  m_rArray.NotifyBoardChanged(m_ulIndex);
  return bFresh;
}

std::string CusrCHN::StatusText(std::int32_t nStatus) {
  const char* pszName = ChnStatusName(nStatus);
  return pszName != nullptr ? pszName : TraceFmt("Invalid status : %d", nStatus);
}

std::string CusrCHN::StatusWord(std::int32_t nStatus) {
  return HasWord(nStatus) ? LoadString(kStatusWordString + static_cast<std::uint32_t>(nStatus)) : "-";
}

CusrCHN::NodeState CusrCHN::GetNodeStatus() const { return GetNodeStatusByPs(); }

CusrCHN::NodeState CusrCHN::NodeStateOfPs(const std::string& strOutput) {
  std::istringstream lines(strOutput);
  for (std::string line; std::getline(lines, line, '\n');)
    if (line.rfind("ha_", 0) == 0) return CHN_STATUS_UP;
  return CHN_STATUS_INACTIVE;
}

namespace {

// A decimal text of a command result; false when it is not one.
bool ParseDecimal(const std::string& text, long long* pValue) {
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, *pValue);
  return ec == std::errc() && ptr == last;
}

}  // namespace

CusrCHN::NodeState CusrCHN::GetNodeStatusByPs() const {
  CusrTraceScope trace(kClass, "GetNodeStatusByPs", TRC_FUNC);
  std::vector<CommandResult> results;
  if (ExecCommList({std::string(agent::kPsCommandLine)}, &results) != 0 || results.size() != 1)
    return CHN_STATUS_WARN;
  const CommandResult& result = results.front();
  long long llCode = 0;
  long long llLength = 0;
  if (!ParseDecimal(result[1], &llCode) || !ParseDecimal(result[2], &llLength) || llLength < 0) {
    trace.Error("Unknown Status", TRC_ERROR);
    return CHN_STATUS_WARN;
  }
  if (llCode != 0) {
    trace.Error(TraceFmt("output length = %s", result[2].c_str()), TRC_ERROR);
    trace.Error(TraceFmt("output = %s", result[3].c_str()), TRC_ERROR);
    return CHN_STATUS_WARN;
  }
  // The board gives the length; never read past what arrived.
  const std::size_t nLength = std::min<std::size_t>(static_cast<std::size_t>(llLength), result[3].size());
  const NodeState nState = NodeStateOfPs(result[3].substr(0, nLength));
  if (nState != CHN_STATUS_UP && nState != CHN_STATUS_INACTIVE) {
    trace.Warn("Unknown Status", TRC_WARN);
    return CHN_STATUS_WARN;
  }
  return nState;
}

std::string CusrCHN::StageText() const {
  std::lock_guard lock(m_stageMutex);
  return m_strStage;
}

void CusrCHN::SetStageText(std::string strStage) {
  std::lock_guard lock(m_stageMutex);
  m_strStage = std::move(strStage);
}

bool CusrCHN::IsNasAgentNewer() {
  m_ulAgentVersion = IsOsRunning() ? GetAgentVersion() : kUnknownAgentVersion;
  return CusrNasManager::IsNewerAgent(m_ulAgentVersion);
}
