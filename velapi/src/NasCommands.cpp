// Board commands: sense the command page, store the board address and the command's fields in
// the sensed image, select it back. Bytes not listed for a page go back as they were sensed.
// None of the commands runs the board gate.
#include <cstring>
#include <exception>
#include <string>

#include "SensedPage.h"
#include "VelArray.h"
#include "VelFrame.h"
#include "VelLog.h"
#include "corvid/NasPages.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace pages = corvid::pages;
namespace cmd = corvid::pages::cmd;
namespace a1 = corvid::pages::a1;
namespace a2 = corvid::pages::a2;
namespace a4 = corvid::pages::a4;
namespace a7 = corvid::pages::a7;

namespace {

// The array library's install refusal (a request for a new RetryInfo), as converted.
constexpr std::uint32_t kInheritRefused = 0x83800000u;
constexpr char kNoVersion[] = "--------";
constexpr std::uint32_t kPathChars = 255;
constexpr std::uint32_t kVersionChars = 31;

// The command frame: check, sense, store, select; the sensed buffer is released on every path.
template <class Check, class Store>
bool RunCommand(const char* pszSvp, int nSubPage, std::uint32_t* lpErrInfo, Check&& chkprm,
                Store&& setmodeprm) {
  return velapi::Traced(pszSvp, [&] {
    SensedPage page;
    return chkprm() && vel__ModeSense(nSubPage, &page, lpErrInfo) && setmodeprm(page) &&
           vel__ModeSelect(nSubPage, page, lpErrInfo);
  });
}

// The board address every command page starts with; the field names go into the failure line.
bool StoreAddress(SensedPage& page, short sCluster, short sPCB, const char* pszCluster,
                  const char* pszPcb, std::uint32_t* lpErrInfo) {
  return velapi::StoreShort(page, cmd::kCluster, static_cast<std::uint32_t>(sCluster), pszCluster,
                            lpErrInfo) &&
         velapi::StoreShort(page, cmd::kPcb, static_cast<std::uint32_t>(sPCB), pszPcb, lpErrInfo);
}

// ---- Commands with no fields besides the address (A7 blockade/restore store one constant) ----

struct AddressCommand {
  const char* pszExport;
  const char* pszSvp;
  const char* pszChkprm;
  const char* pszSetmodeprm;
  int nSubPage;
  const char* pszClusterField;
  const char* pszPcbField;
  const char* pszOptionField;  // null: no option to store
  std::uint32_t ulOption;
};

constexpr AddressCommand kHibDump = {
    "dsvp_NasGetHibDump", "svp_NasGetHibDump", "svp_NasGetHibDump_chkprm",
    "svp_NasGetHibDump_setmodeprm", pages::kA5HibDump, "A5->Cluster", "A5->Pcb", nullptr, 0};
constexpr AddressCommand kBlockade = {
    "dsvp_NasBlockadeForce", "svp_NasBlockadeForce", "svp_NasBlockadeForce_chkprm",
    "svp_NasBlockadeForce_setmodeprm", pages::kA7Power, "A7->Cluster", "A7->Pcb",
    "A7->VEL_NAS_BLOCKADE", VEL_NAS_BLOCKADE};
constexpr AddressCommand kRestore = {
    "dsvp_NasRestoreForce", "svp_NasRestoreForce", "svp_NasRestoreForce_chkprm",
    "svp_NasRestoreForce_setmodeprm", pages::kA7Power, "A7->Cluster", "A7->Pcb",
    "A7->VEL_NAS_RESTORE", VEL_NAS_RESTORE};
constexpr AddressCommand kSetDumpInformation = {
    "dsvp_SetDumpInformation", "svp_SetDumpInformation", "svp_SetDumpInformation_chkprm",
    "svp_SetDumpInformation_setmodeprm", pages::kA9DumpPrepare, "A9->Cluster", "A9->Pcb",
    nullptr, 0};
constexpr AddressCommand kDownloadDump = {
    "dsvp_DownloadDump", "svp_DownloadDump", "svp_DownloadDump_chkprm",
    "svp_DownloadDump_setmodeprm", pages::kABDownload, "AB->Cluster", "AB->Pcb", nullptr, 0};

bool RunAddressCommand(const AddressCommand& c, short sCluster, short sPCB,
                       std::uint32_t* lpErrInfo) {
  vel__LogPut("START %s", c.pszExport);
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport(c.pszExport, lpErrInfo, [&] {
    return RunCommand(
        c.pszSvp, c.nSubPage, lpErrInfo,
        [&] {
          return velapi::Traced(c.pszChkprm,
                             [&] { return velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo); });
        },
        [&](SensedPage& page) {
          return velapi::Traced(c.pszSetmodeprm, [&] {
            return StoreAddress(page, sCluster, sPCB, c.pszClusterField, c.pszPcbField,
                                lpErrInfo) &&
                   (c.pszOptionField == nullptr ||
                    velapi::StoreLong(page, a7::kOption, c.ulOption, c.pszOptionField, lpErrInfo));
          });
        });
  });
}

// ---- dsvp_NasInstallLinux (A1) ----

bool svp_NasInstallLinux_chkprm(short sCluster, short sPCB, std::uint32_t ulOption,
                                std::uint32_t ulOption2, std::uint32_t ulOption3,
                                const std::uint32_t* lpInherit, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasInstallLinux_chkprm", [&] {
    if (!velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo)) return false;
    if (ulOption > 2)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter ulOption=0x%08X", ulOption);
    if (ulOption2 > 1)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter ulOption2=0x%08X", ulOption2);
    if (ulOption != 2 && ulOption3 > 1)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter ulOption3=0x%08X", ulOption3);
    if (lpInherit == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpInherit=NULL");
    return true;
  });
}

bool svp_NasInstallLinux_setmodeprm(SensedPage& page, short sCluster, short sPCB,
                                    std::uint32_t ulOption, std::uint32_t ulOption2,
                                    std::uint32_t ulOption3, std::uint32_t ulInherit,
                                    std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasInstallLinux_setmodeprm", [&] {
    return StoreAddress(page, sCluster, sPCB, "A1->Cluster", "A1->Pcb", lpErrInfo) &&
           velapi::StoreLong(page, a1::kInstallType, ulOption, "A1->InstallType", lpErrInfo) &&
           velapi::StoreLong(page, a1::kComLUInit, ulOption2, "A1->ComLUInit", lpErrInfo) &&
           // Install type 2 keeps the array's own AlertLUInit.
           (ulOption == 2 ||
            velapi::StoreLong(page, a1::kAlertLUInit, ulOption3, "A1->AlertLUInit", lpErrInfo)) &&
           velapi::StoreLong(page, a1::kRetryInfo, ulInherit, "A1->RetryInfo", lpErrInfo);
  });
}

bool svp_NasInstallLinux(short sCluster, short sPCB, std::uint32_t ulOption,
                         std::uint32_t ulOption2, std::uint32_t ulOption3, std::uint32_t* lpInherit,
                         std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasInstallLinux", [&] {
    SensedPage page;
    const bool bResult = svp_NasInstallLinux_chkprm(sCluster, sPCB, ulOption, ulOption2, ulOption3,
                                                    lpInherit, lpErrInfo) &&
                         vel__ModeSense(pages::kA1Install, &page, lpErrInfo) &&
                         svp_NasInstallLinux_setmodeprm(page, sCluster, sPCB, ulOption, ulOption2,
                                                        ulOption3, *lpInherit, lpErrInfo) &&
                         vel__ModeSelect(pages::kA1Install, page, lpErrInfo);
    // The array wants the install again with the next retry count.
    if (!bResult && *lpErrInfo == kInheritRefused) {
      *lpErrInfo = VEL_ERR_INHERIT_UPDATED;
      ++*lpInherit;
      vel__LogPut("Update Inherit = %d", static_cast<int>(*lpInherit));
    }
    return bResult;
  });
}

// ---- dsvp_NasChangeInstallInf (A2) ----

bool svp_NasChangeInstallInf_chkprm(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasChangeInstallInf_chkprm",
                     [&] { return velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo); });
}

// The NAS OS version of the medium that C:\tftp.ini points the network boot at, zero-padded;
// "--------" when either file or key is missing. False only when the files could not be read
// for want of memory.
bool ReadNasOsVersion(char (&szVersion)[a2::kNasOSVersionSize]) {
  try {
    char szBuf[kPathChars + 1] = {};
    plat::GetPrivateProfileString("Parameters", "File Path", kNoVersion, szBuf, sizeof szBuf,
                                  plat::MapPath("c:\\tftp.ini"));
    if (std::strcmp(szBuf, kNoVersion) != 0) {
      // "%s\%s": the mapping accepts either separator in the recorded folder.
      const std::string strMediaInfo = std::string(szBuf) + "\\MediaInfo.ini";
      std::memset(szBuf, 0, sizeof szBuf);
      plat::GetPrivateProfileString("Product", "Version", kNoVersion, szBuf, kVersionChars + 1,
                                    plat::MapPath(strMediaInfo));
    }
    std::memcpy(szVersion, szBuf, sizeof szVersion);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool svp_NasChangeInstallInf_setmodeprm(SensedPage& page, short sCluster, short sPCB,
                                        std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasChangeInstallInf_setmodeprm", [&] {
    // A short image has no version flag to read: it is refused, not taken as "no version wanted".
    if (!velapi::CheckPageSize(page, a2::kSize, "A2", lpErrInfo) ||
        !StoreAddress(page, sCluster, sPCB, "A2->Cluster", "A2->Pcb", lpErrInfo))
      return false;
    if (getByte(page, a2::kVersionFlag) != 1) return true;
    char szVersion[a2::kNasOSVersionSize] = {};
    if (ReadNasOsVersion(szVersion)) {
      vel__LogPut("    NAS OS Version = %.*s", static_cast<int>(sizeof szVersion), szVersion);
      return velapi::StoreBytes(page, a2::kNasOSVersion, szVersion, sizeof szVersion,
                                "A2->NasOSVersion", lpErrInfo);
    }
    vel__LogPut("Mode Param set failed [A2->NasOSVersion]");
    *lpErrInfo = VEL_ERR_MODE_PARAM;
    return false;
  });
}

bool svp_NasChangeInstallInf(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return RunCommand(
      "svp_NasChangeInstallInf", pages::kA2InstallInfo, lpErrInfo,
      [&] { return svp_NasChangeInstallInf_chkprm(sCluster, sPCB, lpErrInfo); },
      [&](SensedPage& page) {
        return svp_NasChangeInstallInf_setmodeprm(page, sCluster, sPCB, lpErrInfo);
      });
}

// ---- dsvp_NasSetTimeOutinf (A4) ----

bool svp_NasSetTimeOutinf_chkprm(short sCluster, short sPCB, const VEL_TIMECTLE* lpTimeCtle,
                                 std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasSetTimeOutinf_chkprm", [&] {
    if (!velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo)) return false;
    if (lpTimeCtle == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpTimeCtle=NULL");
    return true;
  });
}

bool svp_NasSetTimeOutinf_setmodeprm(SensedPage& page, short sCluster, short sPCB,
                                     const VEL_TIMECTLE* lpTimeCtle, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasSetTimeOutinf_setmodeprm", [&] {
    static constexpr const char* kFields[pages::a3::kTimeOutCount] = {
        "A4->TimeOut[0]", "A4->TimeOut[1]", "A4->TimeOut[2]",
        "A4->TimeOut[3]", "A4->TimeOut[4]", "A4->TimeOut[5]"};
    if (!StoreAddress(page, sCluster, sPCB, "A4->Cluster", "A4->Pcb", lpErrInfo)) return false;
    for (int i = 0; i < pages::a3::kTimeOutCount; ++i) {
      // 0 means "no time-out" to the array.
      const std::uint32_t ulValue =
          lpTimeCtle->dwTimeCtle[i] == 0 ? 0xFFFFFFFFu : lpTimeCtle->dwTimeCtle[i];
      if (!velapi::StoreLong(page, a4::kTimeOut0 + 4u * static_cast<unsigned>(i), ulValue, kFields[i],
                             lpErrInfo))
        return false;
    }
    unsigned char byReserved[a4::kSize - a4::kReserved];
    std::memset(byReserved, 0xFF, sizeof byReserved);
    return velapi::StoreBytes(page, a4::kReserved, byReserved, sizeof byReserved, "A4->Reserved",
                              lpErrInfo);
  });
}

bool svp_NasSetTimeOutinf(short sCluster, short sPCB, const VEL_TIMECTLE* lpTimeCtle,
                          std::uint32_t* lpErrInfo) {
  return RunCommand(
      "svp_NasSetTimeOutinf", pages::kA4TimeOut, lpErrInfo,
      [&] { return svp_NasSetTimeOutinf_chkprm(sCluster, sPCB, lpTimeCtle, lpErrInfo); },
      [&](SensedPage& page) {
        return svp_NasSetTimeOutinf_setmodeprm(page, sCluster, sPCB, lpTimeCtle, lpErrInfo);
      });
}

// ---- dsvp_NasShutdown (A7) ----

bool svp_NasShutdown_chkprm(short sCluster, short sPCB, std::uint32_t dwOption,
                            const char* lpBootOpt, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasShutdown_chkprm", [&] {
    if (!velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo)) return false;
    if (dwOption != VEL_NAS_SHUTDOWN && dwOption != VEL_NAS_REBOOT && dwOption != VEL_NAS_BOOT)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter dwOption=0x%08X", dwOption);
    if (lpBootOpt != nullptr && std::strlen(lpBootOpt) > a7::kBootOptMax)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpBootOpt over max length=%d",
                                      static_cast<int>(std::strlen(lpBootOpt)));
    return true;
  });
}

bool svp_NasShutdown_setmodeprm(SensedPage& page, short sCluster, short sPCB,
                                std::uint32_t dwOption, const char* lpBootOpt,
                                std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasShutdown_setmodeprm", [&] {
    return StoreAddress(page, sCluster, sPCB, "A7->Cluster", "A7->Pcb", lpErrInfo) &&
           velapi::StoreLong(page, a7::kOption, dwOption, "A7->dwOption", lpErrInfo) &&
           // Without a boot option the array keeps the one it has.
           (lpBootOpt == nullptr ||
            velapi::StoreBytes(page, a7::kBootOpt, lpBootOpt, std::strlen(lpBootOpt) + 1,
                               "A7->BootOpt", lpErrInfo));
  });
}

bool svp_NasShutdown(short sCluster, short sPCB, std::uint32_t dwOption, const char* lpBootOpt,
                     std::uint32_t* lpErrInfo) {
  return RunCommand(
      "svp_NasShutdown", pages::kA7Power, lpErrInfo,
      [&] { return svp_NasShutdown_chkprm(sCluster, sPCB, dwOption, lpBootOpt, lpErrInfo); },
      [&](SensedPage& page) {
        return svp_NasShutdown_setmodeprm(page, sCluster, sPCB, dwOption, lpBootOpt, lpErrInfo);
      });
}

}  // namespace

extern "C" {

BOOL dsvp_NasInstallLinux(short sCluster, short sPCB, std::uint32_t ulOption,
                          std::uint32_t ulOption2, std::uint32_t ulOption3,
                          std::uint32_t* lpInherit, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasInstallLinux");
  vel__LogPut(" +- sCluster=%d,sPCB=%d,ulOption=0x%08X,ulOption2=0x%08X,ulOption3=0x%08X", sCluster,
              sPCB, ulOption, ulOption2, ulOption3);
  if (lpInherit != nullptr) vel__LogPut(" +- lpInherit=0x%08X", *lpInherit);
  return velapi::RunExport("dsvp_NasInstallLinux", lpErrInfo, [&] {
    return svp_NasInstallLinux(sCluster, sPCB, ulOption, ulOption2, ulOption3, lpInherit,
                               lpErrInfo);
  });
}

BOOL dsvp_NasChangeInstallInf(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasChangeInstallInf");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_NasChangeInstallInf", lpErrInfo,
                           [&] { return svp_NasChangeInstallInf(sCluster, sPCB, lpErrInfo); });
}

BOOL dsvp_NasSetTimeOutinf(short sCluster, short sPCB, const VEL_TIMECTLE* lpTimeCtle,
                           std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasSetTimeOutinf");
  velapi::LogBoardParams(sCluster, sPCB);
  if (lpTimeCtle != nullptr) {
    const std::uint32_t* dw = lpTimeCtle->dwTimeCtle;
    for (int i = 0; i < VEL_TIMECTLE_COUNT; i += 2)
      vel__LogPut("lpTimeCtle[%d]->%8d,lpTimeCtle[%d]->%8d", i, static_cast<int>(dw[i]), i + 1,
                  static_cast<int>(dw[i + 1]));
  }
  return velapi::RunExport("dsvp_NasSetTimeOutinf", lpErrInfo,
                           [&] { return svp_NasSetTimeOutinf(sCluster, sPCB, lpTimeCtle, lpErrInfo); });
}

BOOL dsvp_NasGetHibDump(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return RunAddressCommand(kHibDump, sCluster, sPCB, lpErrInfo);
}

BOOL dsvp_NasShutdown(short sCluster, short sPCB, std::uint32_t dwOption, const char* lpBootOpt,
                      std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasShutdown");
  vel__LogPut(" +- sCluster=%d,sPCB=%d,dwOption=0x%08X", sCluster, sPCB, dwOption);
  if (lpBootOpt != nullptr)
    vel__LogPut(" +- lpBootOpt=%s", lpBootOpt);
  else
    vel__LogPut(" +- lpBootOpt=NULL");
  return velapi::RunExport("dsvp_NasShutdown", lpErrInfo, [&] {
    return svp_NasShutdown(sCluster, sPCB, dwOption, lpBootOpt, lpErrInfo);
  });
}

BOOL dsvp_NasBlockadeForce(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return RunAddressCommand(kBlockade, sCluster, sPCB, lpErrInfo);
}

BOOL dsvp_NasRestoreForce(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return RunAddressCommand(kRestore, sCluster, sPCB, lpErrInfo);
}

BOOL dsvp_SetDumpInformation(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return RunAddressCommand(kSetDumpInformation, sCluster, sPCB, lpErrInfo);
}

BOOL dsvp_DownloadDump(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  return RunAddressCommand(kDownloadDump, sCluster, sPCB, lpErrInfo);
}

}  // extern "C"
