#include "board/ArrayTables.h"

#include <algorithm>
#include <cstring>

#include "board/BoardStatus.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "plat/NamedMutex.h"
#include "velapi.h"

namespace board {
namespace {

constexpr const char* kClass = "CusrCHN";
constexpr plat::Millis kStartupRetryWait{20'000};
constexpr std::size_t kLocationBufferSize = 256;

struct ModelRow {
  std::uint16_t usWord;
  std::uint16_t usCode;
  const char* pszName;
};
constexpr ModelRow kModels[] = {
    {0x1700, CusrCHN::kModelZQS, "ZQS"},
    {0x1701, CusrCHN::kModelZQXS, "ZQXS"},
    {0x1702, CusrCHN::kModelZQM, "ZQM"},
    {0x1703, CusrCHN::kModelZQH, "ZQH"},
};

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

bool ValidSlot(std::uint32_t ulIndex) { return ulIndex < ArrayTables::kSlots; }

// The named mutex that guards the status update time, opened once.
plat::NamedMutex& UpdateTimeMutex() {
  static plat::NamedMutex mutex("_usr_chn_status_time_");
  return mutex;
}

}  // namespace

ArrayTables::ArrayTables() {
  for (auto& status : m_nArrayStatus) status = CHN_STATUS_DIE;
}

ArrayTables::~ArrayTables() = default;

// ---------------------------------------------------------------- discovery

bool ArrayTables::Initialize(int nFtpPort, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "Initialize", TRC_FUNC);
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
  m_usModel = pModel->usCode;
  m_ulModelWord = ulModel;
  trace.Info(TraceFmt("DKC Model = %s", pModel->pszName), TRC_INFO);

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
    std::lock_guard lock(m_namesMutex);
    m_strNames[i] = std::move(name);
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
  m_nFtpPort = nFtpPort;

  std::uint32_t ulSerial = 0;
  if (!dsvp_GetDkcSerialNo(&ulSerial, pulError)) {
    ShowApiError(*pulError);
    return false;
  }
  m_ulSerialNo = ulSerial;
  return true;
}

bool ArrayTables::SetNNCLocation(int* pnCount, std::uint32_t* pulError) {
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
      m_usLocation[i] = 1;
      m_usNncType[i] = usWord;
      ++*pnCount;
    } else {
      m_usLocation[i] = usWord;
      m_usNncType[i] = usWord;
      m_nArrayStatus[i] = CHN_STATUS_DIE;
    }
  }
  return true;
}

bool ArrayTables::ModelHasSlot(std::uint32_t ulIndex) const {
  if (!ValidSlot(ulIndex)) return false;
  const std::uint32_t ulPerGroup = ModelCode() == CusrCHN::kModelZQH ? 2 : 1;
  return ulIndex % 8 < ulPerGroup;
}

std::vector<std::uint32_t> ArrayTables::ModelSlots() const {
  std::vector<std::uint32_t> slots;
  for (std::uint32_t i = 0; i < kSlots; ++i)
    if (ModelHasSlot(i)) slots.push_back(i);
  return slots;
}

std::array<std::uint8_t, 4> ArrayTables::SvpIPAddress() const { return UnpackAddress(m_ulSvpAddress.load()); }
std::array<std::uint8_t, 4> ArrayTables::SvpSubnetMask() const { return UnpackAddress(m_ulSvpMask.load()); }

void ArrayTables::SetSvpAddress(const std::uint8_t* pucIPAddress, const std::uint8_t* pucSubnetMask) {
  m_ulSvpAddress = PackAddress(pucIPAddress);
  m_ulSvpMask = PackAddress(pucSubnetMask);
}

std::string ArrayTables::LocationName(std::uint32_t ulIndex) const {
  if (!ValidSlot(ulIndex)) return {};
  std::lock_guard lock(m_namesMutex);
  return m_strNames[ulIndex];
}

bool ArrayTables::IsCHN(std::uint32_t ulIndex) const { return ValidSlot(ulIndex) && m_usLocation[ulIndex] == 1; }

std::uint16_t ArrayTables::NNCType(std::uint32_t ulIndex) const {
  return ValidSlot(ulIndex) ? m_usNncType[ulIndex].load() : 0;
}

std::int32_t ArrayTables::ArrayStatus(std::uint32_t ulIndex) const {
  return ValidSlot(ulIndex) ? m_nArrayStatus[ulIndex].load() : CHN_STATUS_DIE;
}

void ArrayTables::SetArrayStatus(std::uint32_t ulIndex, std::int32_t nStatus) {
  if (ValidSlot(ulIndex)) m_nArrayStatus[ulIndex] = nStatus;
}

// ---------------------------------------------------------------- boards and observers

void ArrayTables::Register(CusrCHN* pBoard) {
  if (ValidSlot(pBoard->GetIndex())) m_pcBoards[pBoard->GetIndex()] = pBoard;
}

void ArrayTables::Unregister(CusrCHN* pBoard) {
  if (!ValidSlot(pBoard->GetIndex())) return;
  CusrCHN* pExpected = pBoard;
  m_pcBoards[pBoard->GetIndex()].compare_exchange_strong(pExpected, nullptr);
}

CusrCHN* ArrayTables::GetCHN(std::uint32_t ulIndex) const {
  return ValidSlot(ulIndex) ? m_pcBoards[ulIndex].load() : nullptr;
}

bool ArrayTables::IsAllNew() const {
  return std::all_of(m_pcBoards.begin(), m_pcBoards.end(), [](const std::atomic<CusrCHN*>& board) {
    const CusrCHN* p = board.load();
    return p == nullptr || p->GetStatus() == CHN_STATUS_DIE || p->GetStatus() == CHN_STATUS_NEW;
  });
}

void ArrayTables::Subscribe(BoardObserver* pObserver) {
  std::lock_guard lock(m_observersMutex);
  m_observers.push_back(pObserver);
}

void ArrayTables::Unsubscribe(BoardObserver* pObserver) {
  std::lock_guard lock(m_observersMutex);
  std::erase(m_observers, pObserver);
}

void ArrayTables::NotifyBoardChanged(std::uint32_t ulSlot) {
  // Called under the lock, so that an observer that unsubscribes is never called afterwards.
  std::lock_guard lock(m_observersMutex);
  for (BoardObserver* pObserver : m_observers) pObserver->BoardChanged(ulSlot);
}

// ---------------------------------------------------------------- status refresh

void ArrayTables::GetChnStatusKestrel(int nMode) {
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

void ArrayTables::GetMPStatus() {
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

void ArrayTables::SetChnStatusUpdateTime() {
  plat::NamedMutexLock lock(UpdateTimeMutex());
  m_ullUpdateTimeMs = WallMs();
}

std::uint64_t ArrayTables::GetChnStatusUpdateTime() const {
  plat::NamedMutexLock lock(UpdateTimeMutex());
  return m_ullUpdateTimeMs.load();
}

void ArrayTables::BeginStatusCheck() {
  std::lock_guard lock(m_checksMutex);
  m_bChecksRunning = true;
  ++m_ullStarted;
}

void ArrayTables::EndStatusCheck() {
  {
    std::lock_guard lock(m_checksMutex);
    m_ullCompleted = m_ullStarted;
  }
  m_checksChanged.notify_all();
}

void ArrayTables::StopStatusChecks() {
  {
    std::lock_guard lock(m_checksMutex);
    m_bChecksRunning = false;
  }
  m_checksChanged.notify_all();
}

void ArrayTables::SetStatusWaitLimit(plat::Millis limit) {
  std::lock_guard lock(m_checksMutex);
  m_checksLimit = limit;
  m_bChecksRunning = true;
}

bool ArrayTables::WaitForStatusCheck() {
  std::unique_lock lock(m_checksMutex);
  const std::uint64_t ullTarget = m_ullStarted + 1;
  const plat::TimePoint deadline = plat::Clock::Now() + m_checksLimit;
  return plat::Clock::WaitUntil(m_checksChanged, lock, deadline, [&] {
           return m_ullCompleted >= ullTarget || !m_bChecksRunning;
         }) && m_ullCompleted >= ullTarget;
}

}  // namespace board
