// Reads of one NAS board: each passes the board gate, senses its page and fails with
// VEL_ERR_NNC_INVALID unless the board's entry is valid, before anything reaches the caller.
#include <cstring>

#include "SensedPage.h"
#include "VelArray.h"
#include "VelFrame.h"
#include "VelLog.h"
#include "corvid/NasPages.h"

namespace pages = corvid::pages;
namespace a3 = corvid::pages::a3;
namespace a6 = corvid::pages::a6;
namespace aa = corvid::pages::aa;
namespace ac = corvid::pages::ac;

namespace {

std::size_t A3Entry(short sCluster, short sPCB) { return a3::Entry(BoardIndex(sCluster, sPCB)); }

// The sense-and-check prologue of every A3 board read: page long enough, entry valid.
bool CheckA3Entry(const SensedPage& page, short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return velapi::CheckPageSize(page, a3::kSize, "A3", lpErrInfo) &&
         velapi::CheckValidFlag(getByte(page, A3Entry(sCluster, sPCB) + a3::kValid), "A3", sCluster, sPCB,
                                lpErrInfo);
}

bool CheckPointer(const void* p, const char* pszLine, std::uint32_t* lpErrInfo) {
  return p != nullptr || velapi::InvalidParameter(lpErrInfo, "%s", pszLine);
}

// ---- dsvp_NasGetIoPInf / dsvp_NasGetComInf ----

bool svp_NasGetIoPInf_chkprm(short sCluster, short sPCB, const unsigned char* lpiop,
                             std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetIoPInf_chkprm", [&] {
    return velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo) &&
           CheckPointer(lpiop, "Invalid Parameter lpiop=NULL", lpErrInfo);
  });
}

bool svp_NasGetIoPInf_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                 unsigned char* lpiop, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetIoPInf_getmodeprm", [&] {
    if (!CheckA3Entry(page, sCluster, sPCB, lpErrInfo)) return false;
    getBytes(page, A3Entry(sCluster, sPCB) + a3::kIoPInfo, lpiop, a3::kInfoSize);
    return true;
  });
}

bool svp_NasGetIoPInf(short sCluster, short sPCB, unsigned char* lpiop, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetIoPInf", [&] {
    SensedPage page;
    return svp_NasGetIoPInf_chkprm(sCluster, sPCB, lpiop, lpErrInfo) &&
           velapi::RequireNasBoard(sCluster, sPCB, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_NasGetIoPInf_getmodeprm(page, sCluster, sPCB, lpiop, lpErrInfo);
  });
}

bool svp_NasGetComInf_chkprm(short sCluster, short sPCB, const unsigned char* lpCom,
                             std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetComInf_chkprm", [&] {
    return velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo) &&
           CheckPointer(lpCom, "Invalid Parameter lpCom=NULL", lpErrInfo);
  });
}

bool svp_NasGetComInf_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                 unsigned char* lpCom, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetComInf_getmodeprm", [&] {
    if (!CheckA3Entry(page, sCluster, sPCB, lpErrInfo)) return false;
    getBytes(page, A3Entry(sCluster, sPCB) + a3::kComInfo, lpCom, a3::kInfoSize);
    return true;
  });
}

bool svp_NasGetComInf(short sCluster, short sPCB, unsigned char* lpCom, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetComInf", [&] {
    SensedPage page;
    return svp_NasGetComInf_chkprm(sCluster, sPCB, lpCom, lpErrInfo) &&
           velapi::RequireNasBoard(sCluster, sPCB, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_NasGetComInf_getmodeprm(page, sCluster, sPCB, lpCom, lpErrInfo);
  });
}

// ---- dsvp_NasGetP4IPAddr ----

bool svp_NasGetP4IPAddr_chkprm(short sCluster, short sPCB, const unsigned char* lpIpAddr,
                               const unsigned char* lpSubnet, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetP4IPAddr_chkprm", [&] {
    return velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo) &&
           CheckPointer(lpIpAddr, "Invalid Parameter lpIpAddr=NULL", lpErrInfo) &&
           CheckPointer(lpSubnet, "Invalid Parameter lpSubnet=NULL", lpErrInfo);
  });
}

bool svp_NasGetP4IPAddr_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                   unsigned char* lpIpAddr, unsigned char* lpSubnet,
                                   std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetP4IPAddr_getmodeprm", [&] {
    if (!CheckA3Entry(page, sCluster, sPCB, lpErrInfo)) return false;
    getBytes(page, A3Entry(sCluster, sPCB) + a3::kIp, lpIpAddr, VEL_IPADDR_SIZE);
    getBytes(page, a3::kSubnet, lpSubnet, VEL_IPADDR_SIZE);
    vel__LogPut("CTL%d-%d IPAddr -> %d.%d.%d.%d,Subnet -> %d.%d.%d.%d", sCluster, sPCB, lpIpAddr[0],
                lpIpAddr[1], lpIpAddr[2], lpIpAddr[3], lpSubnet[0], lpSubnet[1], lpSubnet[2],
                lpSubnet[3]);
    return true;
  });
}

bool svp_NasGetP4IPAddr(short sCluster, short sPCB, unsigned char* lpIpAddr,
                        unsigned char* lpSubnet, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetP4IPAddr", [&] {
    SensedPage page;
    return svp_NasGetP4IPAddr_chkprm(sCluster, sPCB, lpIpAddr, lpSubnet, lpErrInfo) &&
           velapi::RequireNasBoard(sCluster, sPCB, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_NasGetP4IPAddr_getmodeprm(page, sCluster, sPCB, lpIpAddr, lpSubnet, lpErrInfo);
  });
}

// ---- dsvp_NasGetTimeOutinf ----

bool svp_NasGetTimeOutinf_chkprm(short sCluster, short sPCB, const VEL_TIMECTLE* lpTimeCtle,
                                 std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetTimeOutinf_chkprm", [&] {
    return velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo) &&
           CheckPointer(lpTimeCtle, "Invalid Parameter lpTimeCtle=NULL", lpErrInfo);
  });
}

bool svp_NasGetTimeOutinf_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                     VEL_TIMECTLE* lpTimeCtle, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetTimeOutinf_getmodeprm", [&] {
    if (!CheckA3Entry(page, sCluster, sPCB, lpErrInfo)) return false;
    std::uint32_t* dw = lpTimeCtle->dwTimeCtle;
    for (int i = 0; i < VEL_TIMECTLE_COUNT; ++i)
      dw[i] = i < a3::kTimeOutCount ? getLong(page, A3Entry(sCluster, sPCB) + a3::kTimeOuts +
                                                        4u * static_cast<unsigned>(i))
                                    : 0xFFFFFFFFu;
    velapi::LogRecord record;
    record.Put("lpTimeCtle[0..3] -> 0x%08X,0x%08X,0x%08X,0x%08X", dw[0], dw[1], dw[2], dw[3]);
    record.Put("lpTimeCtle[4..7] -> 0x%08X,0x%08X,0x%08X,0x%08X", dw[4], dw[5], dw[6], dw[7]);
    record.Put("lpTimeCtle[8..9] -> 0x%08X,0x%08X", dw[8], dw[9]);
    return true;
  });
}

bool svp_NasGetTimeOutinf(short sCluster, short sPCB, VEL_TIMECTLE* lpTimeCtle,
                          std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetTimeOutinf", [&] {
    SensedPage page;
    return svp_NasGetTimeOutinf_chkprm(sCluster, sPCB, lpTimeCtle, lpErrInfo) &&
           velapi::RequireNasBoard(sCluster, sPCB, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_NasGetTimeOutinf_getmodeprm(page, sCluster, sPCB, lpTimeCtle, lpErrInfo);
  });
}

// ---- dsvp_NasGetProgress ----

bool svp_NasGetProgress_chkprm(short sCluster, short sPCB, std::uint32_t dwOption,
                               std::uint32_t* lpProgress, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetProgress_chkprm", [&] {
    if (!velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo)) return false;
    if (dwOption != VEL_PROGRESS_INSTALL && dwOption != VEL_PROGRESS_HIBDUMP)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter dwOption=0x%08X", dwOption);
    if (lpProgress == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpProgress=NULL");
    *lpProgress = 0;
    return true;
  });
}

bool InstallProgress(const SensedPage& page, short sCluster, short sPCB, std::size_t nEntry,
                     std::uint32_t* lpProgress, std::uint32_t* lpErrInfo) {
  const std::uint32_t ulNetBoot = getLong(page, nEntry + a6::kNetBootResult);
  if (ulNetBoot != 0) {
    vel__LogPut("Net Boot failed [A6[%d][%d]->NetBootResult=0x%08X]", sCluster, sPCB, ulNetBoot);
    *lpErrInfo = ulNetBoot;
    return false;
  }
  *lpProgress = getLongLE(page, nEntry + a6::kInstallStatus);
  vel__LogPut("Install Status = 0x%08X", *lpProgress);
  return true;
}

bool HibDumpProgress(const SensedPage& page, short sCluster, short sPCB, std::size_t nEntry,
                     std::uint32_t* lpProgress, std::uint32_t* lpErrInfo) {
  const std::uint8_t byHibStat = getByte(page, nEntry + a6::kHibStat);
  if (byHibStat != 0 && byHibStat != 0xFF) {
    vel__LogPut("HibDump Status is incorrect [A6[%d][%d]->HibStat=0x%02X]", sCluster, sPCB,
                byHibStat);
    *lpErrInfo = VEL_ERR_NNC_INVALID;
    return false;
  }
  *lpProgress = byHibStat == 0 ? 0 : 0xFFFFFFFFu;
  vel__LogPut("HibDump Status = 0x%08X", *lpProgress);
  return true;
}

bool svp_NasGetProgress_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                   std::uint32_t dwOption, std::uint32_t* lpProgress,
                                   std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetProgress_getmodeprm", [&] {
    const std::size_t nEntry = a6::Entry(BoardIndex(sCluster, sPCB));
    if (!velapi::CheckPageSize(page, a6::kSize, "A6", lpErrInfo) ||
        !velapi::CheckValidFlag(getByte(page, nEntry + a6::kValid), "A6", sCluster, sPCB, lpErrInfo))
      return false;
    return dwOption == VEL_PROGRESS_INSTALL
               ? InstallProgress(page, sCluster, sPCB, nEntry, lpProgress, lpErrInfo)
               : HibDumpProgress(page, sCluster, sPCB, nEntry, lpProgress, lpErrInfo);
  });
}

bool svp_NasGetProgress(short sCluster, short sPCB, std::uint32_t dwOption,
                        std::uint32_t* lpProgress, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetProgress", [&] {
    SensedPage page;
    return svp_NasGetProgress_chkprm(sCluster, sPCB, dwOption, lpProgress, lpErrInfo) &&
           velapi::RequireNasBoard(sCluster, sPCB, lpErrInfo) &&
           vel__ModeSense(pages::kA6Progress, &page, lpErrInfo) &&
           svp_NasGetProgress_getmodeprm(page, sCluster, sPCB, dwOption, lpProgress, lpErrInfo);
  });
}

// ---- dsvp_GetDumpInformation ----

bool svp_GetDumpInformation_chkprm(short sCluster, short sPCB, std::uint32_t* lpdwStatus,
                                   const char* lpszDate, std::uint32_t* lpdwSize,
                                   std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDumpInformation_chkprm", [&] {
    if (!velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo)) return false;
    if (lpdwStatus == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpdwStatus=NULL");
    *lpdwStatus = 0;
    if (lpszDate == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpszDate=NULL");
    if (lpdwSize == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpdwSize=NULL");
    *lpdwSize = 0;
    return true;
  });
}

bool svp_GetDumpInformation_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                       std::uint32_t* lpdwStatus, char* lpszDate,
                                       std::uint32_t* lpdwSize, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDumpInformation_getmodeprm", [&] {
    const std::size_t nEntry = aa::Entry(BoardIndex(sCluster, sPCB));
    if (!velapi::CheckPageSize(page, aa::kSize, "AA", lpErrInfo) ||
        !velapi::CheckValidFlag(getByte(page, nEntry + aa::kValid), "AA", sCluster, sPCB, lpErrInfo))
      return false;
    *lpdwStatus = getLong(page, nEntry + aa::kStatus);
    getBytes(page, nEntry + aa::kDate, lpszDate, aa::kDateSize);
    lpszDate[aa::kDateSize] = '\0';
    *lpdwSize = getLong(page, nEntry + aa::kDumpSize);
    vel__LogPut("Status=0x%08X,Size=%d,Date=%s", *lpdwStatus, static_cast<int>(*lpdwSize),
                lpszDate);
    return true;
  });
}

bool svp_GetDumpInformation(short sCluster, short sPCB, std::uint32_t* lpdwStatus, char* lpszDate,
                            std::uint32_t* lpdwSize, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDumpInformation", [&] {
    SensedPage page;
    return svp_GetDumpInformation_chkprm(sCluster, sPCB, lpdwStatus, lpszDate, lpdwSize,
                                         lpErrInfo) &&
           velapi::RequireNasBoard(sCluster, sPCB, lpErrInfo) &&
           vel__ModeSense(pages::kAADumpInfo, &page, lpErrInfo) &&
           svp_GetDumpInformation_getmodeprm(page, sCluster, sPCB, lpdwStatus, lpszDate, lpdwSize,
                                             lpErrInfo);
  });
}

// ---- dsvp_GetDownloadDumpStatus ----

bool svp_GetDownloadDumpStatus_chkprm(short sCluster, short sPCB,
                                      const std::uint32_t* lpdwDwnlStatus, const char* lpszDwnlFile,
                                      std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDownloadDumpStatus_chkprm", [&] {
    return velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo) &&
           CheckPointer(lpdwDwnlStatus, "Invalid Parameter lpdwDwnlStatus=NULL", lpErrInfo) &&
           CheckPointer(lpszDwnlFile, "Invalid Parameter lpszDwnlFile=NULL", lpErrInfo);
  });
}

bool svp_GetDownloadDumpStatus_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                          std::uint32_t* lpdwDwnlStatus, char* lpszDwnlFile,
                                          std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDownloadDumpStatus_getmodeprm", [&] {
    const std::size_t nEntry = ac::Entry(BoardIndex(sCluster, sPCB));
    if (!velapi::CheckPageSize(page, ac::kSize, "AC", lpErrInfo) ||
        !velapi::CheckValidFlag(getByte(page, nEntry + ac::kValid), "AC", sCluster, sPCB, lpErrInfo))
      return false;
    *lpdwDwnlStatus = getLong(page, nEntry + ac::kStatus);
    // The bound is the 26-byte field: a name that fills it is not terminated.
    char szFile[ac::kFileNameSize];
    getBytes(page, nEntry + ac::kFileName, szFile, sizeof szFile);
    const std::size_t nLength = strnlen(szFile, sizeof szFile);
    std::memcpy(lpszDwnlFile, szFile, nLength);
    std::memset(lpszDwnlFile + nLength, 0, sizeof szFile - nLength);
    vel__LogPut("DwnlStatus=0x%08X,DwnlFile=%.26s", *lpdwDwnlStatus, lpszDwnlFile);
    return true;
  });
}

bool svp_GetDownloadDumpStatus(short sCluster, short sPCB, std::uint32_t* lpdwDwnlStatus,
                               char* lpszDwnlFile, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDownloadDumpStatus", [&] {
    SensedPage page;
    return svp_GetDownloadDumpStatus_chkprm(sCluster, sPCB, lpdwDwnlStatus, lpszDwnlFile,
                                            lpErrInfo) &&
           velapi::RequireNasBoard(sCluster, sPCB, lpErrInfo) &&
           vel__ModeSense(pages::kACDownloadStatus, &page, lpErrInfo) &&
           svp_GetDownloadDumpStatus_getmodeprm(page, sCluster, sPCB, lpdwDwnlStatus, lpszDwnlFile,
                                                lpErrInfo);
  });
}

}  // namespace

extern "C" {

BOOL dsvp_NasGetIoPInf(short sCluster, short sPCB, unsigned char* lpiop, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasGetIoPInf");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_NasGetIoPInf", lpErrInfo,
                           [&] { return svp_NasGetIoPInf(sCluster, sPCB, lpiop, lpErrInfo); });
}

BOOL dsvp_NasGetComInf(short sCluster, short sPCB, unsigned char* lpCom, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasGetComInf");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_NasGetComInf", lpErrInfo,
                           [&] { return svp_NasGetComInf(sCluster, sPCB, lpCom, lpErrInfo); });
}

BOOL dsvp_NasGetP4IPAddr(short sCluster, short sPCB, unsigned char* lpIpAddr,
                         unsigned char* lpSubnet, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasGetP4IPAddr");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_NasGetP4IPAddr", lpErrInfo, [&] {
    return svp_NasGetP4IPAddr(sCluster, sPCB, lpIpAddr, lpSubnet, lpErrInfo);
  });
}

BOOL dsvp_NasGetTimeOutinf(short sCluster, short sPCB, VEL_TIMECTLE* lpTimeCtle,
                           std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasGetTimeOutinf");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_NasGetTimeOutinf", lpErrInfo,
                           [&] { return svp_NasGetTimeOutinf(sCluster, sPCB, lpTimeCtle, lpErrInfo); });
}

BOOL dsvp_NasGetProgress(short sCluster, short sPCB, std::uint32_t dwOption,
                         std::uint32_t* lpProgress, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasGetProgress");
  vel__LogPut(" +- sCluster=%d,sPCB=%d,dwOption=0x%08X", sCluster, sPCB, dwOption);
  return velapi::RunExport("dsvp_NasGetProgress", lpErrInfo, [&] {
    return svp_NasGetProgress(sCluster, sPCB, dwOption, lpProgress, lpErrInfo);
  });
}

BOOL dsvp_GetDumpInformation(short sCluster, short sPCB, std::uint32_t* lpdwStatus, char* lpszDate,
                             std::uint32_t* lpdwSize, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetDumpInformation");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_GetDumpInformation", lpErrInfo, [&] {
    return svp_GetDumpInformation(sCluster, sPCB, lpdwStatus, lpszDate, lpdwSize, lpErrInfo);
  });
}

BOOL dsvp_GetDownloadDumpStatus(short sCluster, short sPCB, std::uint32_t* lpdwDwnlStatus,
                                char* lpszDwnlFile, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetDownloadDumpStatus");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_GetDownloadDumpStatus", lpErrInfo, [&] {
    return svp_GetDownloadDumpStatus(sCluster, sPCB, lpdwDwnlStatus, lpszDwnlFile, lpErrInfo);
  });
}

}  // extern "C"
