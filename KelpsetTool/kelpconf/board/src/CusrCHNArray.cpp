// CusrCHN: array calls that address one board through VELAPI.
#include <array>

#include "board/BoardPorts.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "velapi.h"

namespace {

constexpr const char* kClass = "CusrCHN";
constexpr std::size_t kCommonInfoSize = 128;

}  // namespace

bool CusrCHN::InitManager(std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "InitManager", TRC_FUNC);
  std::array<std::uint8_t, 4> ip{};
  std::array<std::uint8_t, 4> mask{};
  trace.Call(TraceFmt("CHN[%u] = dsvp_NasGetP4IPAddr", m_ulIndex), TRC_FUNC);
  const bool bOk = dsvp_NasGetP4IPAddr(static_cast<short>(m_ulIndex / 8), static_cast<short>(m_ulIndex % 8),
                                       ip.data(), mask.data(), pulError);
  if (!bOk) {
    trace.Error("dsvp_NasGetP4IPAddr() failed", TRC_ERROR);
    trace.Error(TraceFmt("Error code : 0x%08x", *pulError), TRC_ERROR);
    m_rArray.SetArrayStatus(m_ulIndex, board::CHN_STATUS_FATAL);
    return false;
  }
  trace.Info("dsvp_NasGetP4IPAddr() successed", TRC_INFO);
  auto pManager = std::make_shared<const CusrNasManager>(ip.data(), mask.data(),
                                                         static_cast<std::uint32_t>(m_nAgentPort), m_ulIndex);
  std::lock_guard lock(m_managerMutex);
  m_pcNasManager = std::move(pManager);
  return true;
}

std::shared_ptr<const CusrNasManager> CusrCHN::NasManager() const {
  std::lock_guard lock(m_managerMutex);
  return m_pcNasManager;
}

bool CusrCHN::GetMacAddress(std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "GetMacAddress", TRC_FUNC);
  std::array<unsigned char, kCommonInfoSize> info{};
  trace.Call(TraceFmt("CHN[%u] = dsvp_NasGetComInf", m_ulIndex), TRC_FUNC);
  if (!dsvp_NasGetComInf(static_cast<short>(m_ulIndex / 8), static_cast<short>(m_ulIndex % 8), info.data(),
                         pulError)) {
    trace.Error(TraceFmt("dsvp_NasGetComInf(): 0x%08x", *pulError), TRC_ERROR);
    m_rArray.SetArrayStatus(m_ulIndex, board::CHN_STATUS_FATAL);
    return false;
  }
  std::copy_n(info.begin(), m_ucMacAddress.size(), m_ucMacAddress.begin());
  const auto& m = m_ucMacAddress;
  trace.Info(TraceFmt("CHN[%u] = %02X-%02X-%02X-%02X-%02X-%02X", m_ulIndex, m[0], m[1], m[2], m[3], m[4], m[5]),
             TRC_INFO);
  return true;
}

CusrCHN::AgentAccess CusrCHN::PrepareAgentAccess(const std::filesystem::path& settingsFile, std::uint32_t* pulError) {
  if (!GetMacAddress(pulError)) return AgentAccess::NoMacAddress;
  m_nAgentPort = static_cast<int>(board::ResolveAgentPort(LocationName(), settingsFile));
  return InitManager(pulError) ? AgentAccess::Ready : AgentAccess::NoConnection;
}
