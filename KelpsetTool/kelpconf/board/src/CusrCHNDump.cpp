// CusrCHN: the board's NAS dump information and the download of its last dump, through the array.
#include <array>

#include "board/ArrayCall.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "velapi.h"

using namespace board;

namespace {

constexpr const char* kClass = "CusrCHN";

}  // namespace

bool CusrCHN::GetDumpInfo(std::uint32_t* pulStatus, std::string* pstrDate, std::uint32_t* pulSize,
                          std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "GetDumpInfo", TRC_FUNC);
  const short sCluster = ClusterOf(static_cast<int>(m_ulIndex));
  const short sPCB = PcbOf(static_cast<int>(m_ulIndex));
  std::array<char, VEL_DUMP_DATE_SIZE> szDate{};
  const char* pszFailed = "dsvp_SetDumpInformation";
  m_cTimerMutex.Lock();
  bool bOk = SendBoardCommand(
      *this, trace, "dsvp_SetDumpInformation", CallText(*this, "dsvp_SetDumpInformation"),
      [&](std::uint32_t* e) { return dsvp_SetDumpInformation(sCluster, sPCB, e); }, pulError);
  if (bOk) {
    pszFailed = "dsvp_GetDumpInformation";
    m_cTimerMutex.Pace();
    bOk = SendBoardCommand(
        *this, trace, "dsvp_GetDumpInformation", CallText(*this, "dsvp_GetDumpInformation"),
        [&](std::uint32_t* e) { return dsvp_GetDumpInformation(sCluster, sPCB, pulStatus, szDate.data(), pulSize, e); },
        pulError);
  }
  m_cTimerMutex.Unlock();
  if (!bOk) {
    trace.Error(TraceFmt("%s(): 0x%08x", pszFailed, *pulError), TRC_ERROR);
    ShowApiError(trace, *pulError);
    return false;
  }
  szDate.back() = '\0';
  *pstrDate = szDate.data();
  return true;
}

bool CusrCHN::DownloadDump(std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "DownloadDump", TRC_FUNC);
  const short sCluster = ClusterOf(static_cast<int>(m_ulIndex));
  const short sPCB = PcbOf(static_cast<int>(m_ulIndex));
  m_cTimerMutex.Pace();
  if (SendBoardCommand(
          *this, trace, "dsvp_DownloadDump", CallText(*this, "dsvp_DownloadDump"),
          [&](std::uint32_t* e) { return dsvp_DownloadDump(sCluster, sPCB, e); }, pulError))
    return true;
  trace.Error(TraceFmt("dsvp_DownloadDump(): 0x%08x", *pulError), TRC_ERROR);
  ShowApiError(trace, *pulError);
  return false;
}

bool CusrCHN::GetDownloadDumpStatus(std::uint32_t* pulStatus, std::string* pstrFile, std::uint32_t* pulError) {
  CusrTraceScope trace(kClass, "GetDownloadDumpStatus", TRC_FUNC);
  std::array<char, VEL_DWNL_FILE_SIZE> szFile{};
  m_cTimerMutex.Pace();
  trace.Call(CallText(*this, "dsvp_GetDownloadDumpStatus"), TRC_FUNC);
  *pulError = 0;
  const bool bOk = dsvp_GetDownloadDumpStatus(ClusterOf(static_cast<int>(m_ulIndex)),
                                              PcbOf(static_cast<int>(m_ulIndex)), pulStatus, szFile.data(),
                                              pulError) != 0;
  m_cTimerMutex.Stamp();
  if (!bOk) {
    trace.Error(TraceFmt("dsvp_GetDownloadDumpStatus(): 0x%08x", *pulError), TRC_ERROR);
    ShowApiError(trace, *pulError);
    return false;
  }
  szFile.back() = '\0';
  *pstrFile = szFile.data();
  return true;
}
