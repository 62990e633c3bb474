// CusrCHN: the process-wide tables, array discovery, status refresh and the status of one board.
#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sstream>

#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/Strings.h"
#include "plat/NamedMutex.h"
#include "plat/Power.h"
#include "velapi.h"

using namespace board;

namespace {

constexpr const char* kClass = "CusrCHN";
constexpr plat::Millis kStartupRetryWait{20'000};
constexpr std::size_t kLocationBufferSize = 256;

struct ModelRow {
  std::uint16_t usWord;
  std::uint16_t usCode;
  const char* pszName;
  std::uint32_t ulBoardsPerGroup;
};
constexpr ModelRow kModels[] = {
    {0x1700, CusrCHN::kModelZQS, "ZQS", 1},
    {0x1701, CusrCHN::kModelZQXS, "ZQXS", 1},
    {0x1702, CusrCHN::kModelZQM, "ZQM", 1},
    {0x1703, CusrCHN::kModelZQH, "ZQH", 2},
};

// Written by discovery and the status refresh, read by every thread.
struct ProcessTables {
  ProcessTables() {
    for (auto& status : arrayStatus) status = CHN_STATUS_DIE;
  }
  std::atomic<board::MainDialogLink*> main{nullptr};
  std::atomic<std::uint16_t> model{0};
  std::atomic<std::uint32_t> svpAddress{0};  // most significant byte first
  std::atomic<std::uint32_t> svpMask{0};
  std::atomic<int> ftpPort{0};
  std::atomic<std::uint32_t> serialNo{0};
  std::array<std::atomic<std::int32_t>, CusrCHN::kSlots> arrayStatus{};
  std::array<std::atomic<std::uint16_t>, CusrCHN::kSlots> location{};
  std::array<std::atomic<std::uint16_t>, CusrCHN::kSlots> nncType{};
  std::array<std::atomic<CusrCHN*>, CusrCHN::kSlots> boards{};
  std::atomic<std::uint32_t> initStatus{0};
  std::mutex namesMutex;  // location names are strings: written at discovery, read for captions
  std::array<std::string, CusrCHN::kSlots> names;
};
ProcessTables g_tables;

// The poller's checks, for UpdateMyStatus: it waits for a check that started after its call.
struct StatusChecks {
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t started = 0;
  std::uint64_t completed = 0;
  bool running = false;
  plat::Millis limit{2 * 20'000 + 360'000};
};
StatusChecks g_checks;

std::atomic<std::uint64_t> g_updateTimeMs{0};

std::uint32_t PackAddress(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::array<std::uint8_t, 4> UnpackAddress(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v)};
}

std::uint64_t WallMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        plat::Clock::WallNow().time_since_epoch())
                                        .count());
}

void ShowApiError(std::uint32_t ulError) { ShowMessage(GetApiErrorMessageId(ulError), TraceFmt("0x%08x", ulError)); }

const ModelRow* FindModel(std::uint16_t usWord) {
  for (const ModelRow& row : kModels)
    if (row.usWord == usWord) return &row;
  return nullptr;
}

bool ValidSlot(std::uint32_t ulIndex) { return ulIndex < CusrCHN::kSlots; }

}  // namespace

// ---------------------------------------------------------------- process-wide tables

void CusrCHN::ResetProcessTables() {
  g_tables.main = nullptr;
  g_tables.model = 0;
  g_tables.svpAddress = 0;
  g_tables.svpMask = 0;
  g_tables.ftpPort = 0;
  g_tables.serialNo = 0;
  g_tables.initStatus = 0;
  for (std::uint32_t i = 0; i < kSlots; ++i) {
    g_tables.arrayStatus[i] = CHN_STATUS_DIE;
    g_tables.location[i] = 0;
    g_tables.nncType[i] = 0;
  }
  {
    std::lock_guard lock(g_tables.namesMutex);
    g_tables.names = {};
  }
  std::lock_guard lock(g_checks.mutex);
  g_checks.started = g_checks.completed = 0;
  g_checks.running = false;
}

CusrCHN* CusrCHN::GetCHN(std::uint32_t ulIndex) { return ValidSlot(ulIndex) ? g_tables.boards[ulIndex].load() : nullptr; }
board::MainDialogLink* CusrCHN::MainDialog() { return g_tables.main.load(); }
std::uint16_t CusrCHN::ModelCode() { return g_tables.model.load(); }

bool CusrCHN::ModelHasSlot(std::uint32_t ulIndex) {
  if (!ValidSlot(ulIndex)) return false;
  const std::uint32_t ulPerGroup = ModelCode() == kModelZQH ? 2 : 1;
  return ulIndex % 8 < ulPerGroup;
}

std::vector<std::uint32_t> CusrCHN::ModelSlots() {
  std::vector<std::uint32_t> slots;
  for (std::uint32_t i = 0; i < kSlots; ++i)
    if (ModelHasSlot(i)) slots.push_back(i);
  return slots;
}

std::array<std::uint8_t, 4> CusrCHN::SvpIPAddress() { return UnpackAddress(g_tables.svpAddress.load()); }
std::array<std::uint8_t, 4> CusrCHN::SvpSubnetMask() { return UnpackAddress(g_tables.svpMask.load()); }

void CusrCHN::SetSvpAddress(const std::uint8_t* pucIPAddress, const std::uint8_t* pucSubnetMask) {
  g_tables.svpAddress = PackAddress(pucIPAddress);
  g_tables.svpMask = PackAddress(pucSubnetMask);
}

int CusrCHN::FtpPort() { return g_tables.ftpPort.load(); }
std::uint32_t CusrCHN::SerialNo() { return g_tables.serialNo.load(); }

std::string CusrCHN::LocationName(std::uint32_t ulIndex) {
  if (!ValidSlot(ulIndex)) return {};
  std::lock_guard lock(g_tables.namesMutex);
  return g_tables.names[ulIndex];
}

bool CusrCHN::IsCHN(std::uint32_t ulIndex) { return ValidSlot(ulIndex) && g_tables.location[ulIndex] == 1; }
std::uint16_t CusrCHN::NNCType(std::uint32_t ulIndex) { return ValidSlot(ulIndex) ? g_tables.nncType[ulIndex].load() : 0; }

std::int32_t CusrCHN::ArrayStatus(std::uint32_t ulIndex) {
  return ValidSlot(ulIndex) ? g_tables.arrayStatus[ulIndex].load() : CHN_STATUS_DIE;
}

void CusrCHN::SetArrayStatus(std::uint32_t ulIndex, std::int32_t nStatus) {
  if (ValidSlot(ulIndex)) g_tables.arrayStatus[ulIndex] = nStatus;
}

bool CusrCHN::IsAllNew() {
  for (const auto& board : g_tables.boards) {
    const CusrCHN* p = board.load();
    if (p != nullptr && p->GetStatus() != CHN_STATUS_DIE && p->GetStatus() != CHN_STATUS_NEW) return false;
  }
  return true;
}

void CusrCHN::AddInitStatus(std::uint32_t ulBits) { g_tables.initStatus.fetch_or(ulBits); }
void CusrCHN::SubInitStatus(std::uint32_t ulBits) { g_tables.initStatus.fetch_and(~ulBits); }
std::uint32_t CusrCHN::GetInitStatus() { return g_tables.initStatus.load(); }

bool CusrCHN::GetBatteryStatus() {
  CusrTraceScope trace(kClass, "GetBatteryStatus", TRC_FUNC);
  // Only a battery that reports discharging stops the tool; a machine that says nothing is on AC.
  const plat::AcLineStatus acLine = plat::GetSystemPowerStatus().acLine;
  if (acLine != plat::AcLineStatus::Online) trace.Info(TraceFmt("AC line : %s", plat::ToText(acLine)), TRC_INFO);
  return acLine != plat::AcLineStatus::Offline;
}

// ---------------------------------------------------------------- discovery

bool CusrCHN::Initialize(board::MainDialogLink* pMain, int nFtpPort, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "Initialize", TRC_FUNC);
  g_tables.main = pMain;
  std::uint32_t ulModel = 0;
  if (!dsvp_GetDkcModelType(&ulModel, pulError)) {
    ShowApiError(*pulError);
    return false;
  }
  const auto usWord = static_cast<std::uint16_t>(ulModel & 0xFFFF);
  const ModelRow* pModel = FindModel(usWord);
  if (pModel == nullptr) {
    ShowMessage(msg::kUnsupportedDevice);
    trace.Error(TraceFmt("dsvp_GetDkcModelType() : 0x%04x", usWord), TRC_ERROR);
    return false;
  }
  g_tables.model = pModel->usCode;
  trace.Info(TraceFmt("DKC Model = %s", pModel->pszName), TRC_INFO);
  if (pMain != nullptr && !pMain->OnInitDialogW(ulModel)) return false;

  for (std::uint32_t i = 0; i < kSlots; ++i) {
    std::string name;
    if (ModelHasSlot(i)) {
      std::array<char, kLocationBufferSize> buffer{};
      if (!dsvp_GetChaLocationName(static_cast<short>(i / 8), static_cast<short>(i % 8), buffer.data(),
                                   static_cast<short>(buffer.size()), pulError)) {
        ShowApiError(*pulError);
        return false;
      }
      name.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    }
    std::lock_guard lock(g_tables.namesMutex);
    g_tables.names[i] = std::move(name);
  }

  int nCount = 0;
  if (!SetNNCLocation(&nCount, pulError)) return false;
  if (nCount == 0) {
    trace.Error("Nas Boads are not located", TRC_ERROR);
    ShowMessage(msg::kNoBoardFitted);
    *pulError = VEL_ERR_NOT_NAS_SLOT;
    return false;
  }
  const auto ip = SvpIPAddress();
  const auto mask = SvpSubnetMask();
  trace.Info(TraceFmt("SVP IP = %d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]), TRC_INFO);
  trace.Info(TraceFmt("SVP Subnet Mask = %d.%d.%d.%d", mask[0], mask[1], mask[2], mask[3]), TRC_INFO);
  g_tables.ftpPort = nFtpPort;

  std::uint32_t ulSerial = 0;
  if (!dsvp_GetDkcSerialNo(&ulSerial, pulError)) {
    ShowApiError(*pulError);
    return false;
  }
  g_tables.serialNo = ulSerial;
  return true;
}

bool CusrCHN::SetNNCLocation(int* pnCount, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "SetNNCLocation", TRC_FUNC);
  *pnCount = 0;
  VEL_PCBINF equipment{};
  if (!dsvp_GetCHNEquipment(&equipment, pulError)) {
    trace.Error(TraceFmt("dsvp_GetCHNEquipment() : 0x%08x", *pulError), TRC_ERROR);
    return false;
  }
  for (std::uint32_t i = 0; i < kSlots; ++i) {
    const std::uint16_t usWord = equipment.usCHN[i];
    if (usWord == 1 || usWord == 2) {
      g_tables.location[i] = 1;
      g_tables.nncType[i] = usWord;
      ++*pnCount;
    } else {
      g_tables.location[i] = usWord;
      g_tables.nncType[i] = usWord;
      g_tables.arrayStatus[i] = CHN_STATUS_DIE;
    }
  }
  return true;
}

// ---------------------------------------------------------------- status refresh

void CusrCHN::GetChnStatusKestrel(int nMode) {
  CusrTraceScope trace(kClass, "GetChnStatusKestrel", TRC_FUNC);
  VEL_CURENTSTATE state{};
  std::uint32_t ulError = 0;
  bool bOk = dsvp_NasGetCurrentStatus(&state, &ulError);
  if (!bOk && nMode == 0 && ulError == VEL_ERR_SVP_TIMEOUT) {
    trace.Warn("dsvp_NasGetCurrentStatus() Time out. retry", TRC_WARN);
    plat::Clock::Sleep(kStartupRetryWait);
    state = {};
    ulError = 0;
    bOk = dsvp_NasGetCurrentStatus(&state, &ulError);
  }
  if (!bOk && nMode == 1 && ulError == VEL_ERR_SVP_TIMEOUT) {
    trace.Warn("dsvp_NasGetCurrentStatus() Time out. CHN Status not change", TRC_WARN);
    return;
  }
  if (!bOk) {
    trace.Error(TraceFmt("dsvp_NasGetCurrentStatus(): 0x%08x", ulError), TRC_ERROR);
    for (std::uint32_t i = 0; i < kSlots; ++i)
      if (IsCHN(i) && ArrayStatus(i) != CHN_STATUS_FATAL) SetArrayStatus(i, CHN_STATUS_UNKN);
    return;
  }
  const std::uint64_t ullNow = WallMs();
  for (std::uint32_t i : ModelSlots()) {
    if (!IsCHN(i) || ArrayStatus(i) == CHN_STATUS_FATAL) continue;
    bool bKnown = true;
    SetArrayStatus(i, ChnStatusOfWord(state.usChnStat[i], &bKnown));
    if (!bKnown) trace.Warn(TraceFmt("Unknown Status: 0x%04x", state.usChnStat[i]), TRC_WARN);
    if (CusrCHN* pBoard = GetCHN(i)) pBoard->m_ullLastSeenMs = ullNow;
  }
}

void CusrCHN::GetMPStatus() {
  CusrTraceScope trace(kClass, "GetMPStatus", TRC_FUNC);
  VEL_MPSTINF info{};
  std::uint32_t ulError = 0;
  if (!dsvp_GetCHNMPStatus(&info, &ulError)) {
    trace.Error(TraceFmt("dsvp_GetCHNMPStatus() faild. ErrInfo = 0x%08x", ulError), TRC_ERROR);
    return;
  }
  for (std::uint32_t i = 0; i < kSlots; ++i) {
    if (!IsCHN(i) || ArrayStatus(i) == CHN_STATUS_FATAL) continue;
    const std::uint16_t usWord = info.stMp[i].usMpST;
    if (usWord == VEL_CHP_NORMAL) continue;
    SetArrayStatus(i, CHN_STATUS_FATAL);
    if (CusrCHN* pBoard = GetCHN(i)) pBoard->m_ulMpBlockadeFlag = 1;
    if (usWord == VEL_CHP_BLOCKADE)
      trace.Warn(TraceFmt("NNC[%u] MP[0] = 0x%04x ", i, usWord), TRC_WARN);
    else
      trace.Error(TraceFmt("Unknown Status: CHN[%u] MP[0] = 0x%04x", i, usWord), TRC_ERROR);
  }
}

// The named mutex that guards the status update time, opened once.
static plat::NamedMutex& UpdateTimeMutex() {
  static plat::NamedMutex mutex("_usr_chn_status_time_");
  return mutex;
}

void CusrCHN::SetChnStatusUpdateTime() {
  plat::NamedMutexLock lock(UpdateTimeMutex());
  g_updateTimeMs = WallMs();
}

std::uint64_t CusrCHN::GetChnStatusUpdateTime() {
  plat::NamedMutexLock lock(UpdateTimeMutex());
  return g_updateTimeMs.load();
}

void CusrCHN::BeginStatusCheck() {
  std::lock_guard lock(g_checks.mutex);
  g_checks.running = true;
  ++g_checks.started;
}

void CusrCHN::EndStatusCheck() {
  {
    std::lock_guard lock(g_checks.mutex);
    g_checks.completed = g_checks.started;
  }
  g_checks.changed.notify_all();
}

void CusrCHN::StopStatusChecks() {
  {
    std::lock_guard lock(g_checks.mutex);
    g_checks.running = false;
  }
  g_checks.changed.notify_all();
}

void CusrCHN::SetStatusWaitLimit(plat::Millis limit) {
  std::lock_guard lock(g_checks.mutex);
  g_checks.limit = limit;
  g_checks.running = true;
}

// ---------------------------------------------------------------- one board

CusrCHN::CusrCHN(std::uint32_t ulIndex)
    : m_nAgentPort(agent::kDefaultAgentPort), m_cTimerMutex(ulIndex), m_ulIndex(ulIndex) {
  if (ValidSlot(ulIndex)) g_tables.boards[ulIndex] = this;
}

CusrCHN::~CusrCHN() {
  if (ValidSlot(m_ulIndex)) {
    CusrCHN* self = this;
    g_tables.boards[m_ulIndex].compare_exchange_strong(self, nullptr);
  }
}

void CusrCHN::SetStatus(std::int32_t nStatus) {
  m_nStatus = nStatus;
  if (board::MainDialogLink* pMain = MainDialog()) pMain->RefreshBoard(m_ulIndex);
}

bool CusrCHN::IsExistLinux() const {
  CusrTraceScope trace(kClass, "IsExistLinux", TRC_FUNC);
  const std::int32_t nStatus = GetStatus();
  trace.Info(TraceFmt("CusrCHN[%u]'s status = %d", m_ulIndex, nStatus), TRC_INFO);
  return board::IsOsInstalled(nStatus);
}

void CusrCHN::SetChnStatusKestrel() {
  const std::int32_t nStatus = ArrayStatus(m_ulIndex);
  m_nStatus = nStatus == CHN_STATUS_EX_OS_UP ? GetNodeStatus() : nStatus;
}

void CusrCHN::SetChnStatusKestrelEX() {
  if (!m_cTimerMutex.TryLock()) return;
  SetChnStatusKestrel();
  m_cTimerMutex.Unlock();
}

bool CusrCHN::UpdateMyStatus() {
  CusrTraceScope trace(kClass, "UpdateMyStatus", TRC_FUNC);
  bool bFresh = false;
  {
    std::unique_lock lock(g_checks.mutex);
    const std::uint64_t ullTarget = g_checks.started + 1;
    const plat::TimePoint deadline = plat::Clock::Now() + g_checks.limit;
    bFresh = plat::Clock::WaitUntil(g_checks.changed, lock, deadline, [&] {
      return g_checks.completed >= ullTarget || !g_checks.running;
    }) && g_checks.completed >= ullTarget;
  }
  if (!bFresh) trace.Warn("status check did not complete; status read as it stands", TRC_WARN);
  SetChnStatusKestrel();
  if (board::MainDialogLink* pMain = MainDialog()) pMain->RefreshBoard(m_ulIndex);
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
