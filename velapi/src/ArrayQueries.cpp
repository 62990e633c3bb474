// Reads that concern the whole array or every board at once: equipment, addresses, serial
// number, model, status words, MP status, location names and shutdown progress. None of them
// runs the board gate or the Valid test; a few exports are not provided.
#include <charconv>
#include <cstring>

#include "SensedPage.h"
#include "VelArray.h"
#include "VelFrame.h"
#include "VelLog.h"
#include "corvid/NasPages.h"

namespace pages = corvid::pages;
namespace a3 = corvid::pages::a3;

namespace {

struct Board {
  short sCluster;
  short sPCB;
};
constexpr Board kBoards[pages::kBoards] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};

constexpr std::size_t EntryOf(const Board& b) { return a3::Entry(b.sCluster * 2 + b.sPCB); }

// Logs 16 slot words, eight to a line, after the two line heads, as one record.
void LogSlotWords(const char* pszHead1, const char* pszHead2, const unsigned short* us) {
  velapi::LogRecord record;
  record.Put("%s: 0x%04X,0x%04X,0x%04X,0x%04X,0x%04X,0x%04X,0x%04X,0x%04X", pszHead1, us[0], us[1], us[2],
             us[3], us[4], us[5], us[6], us[7]);
  record.Put("%s: 0x%04X,0x%04X,0x%04X,0x%04X,0x%04X,0x%04X,0x%04X,0x%04X", pszHead2, us[8], us[9], us[10],
             us[11], us[12], us[13], us[14], us[15]);
}

// ---- dsvp_GetCHNEquipment ----

bool svp_GetCHNEquipment_chkprm(VEL_PCBINF* lpPcbinf, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetCHNEquipment_chkprm", [&] {
    if (lpPcbinf == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpPcbinf=NULL");
    std::memset(lpPcbinf, 0, sizeof *lpPcbinf);
    return true;
  });
}

// The type text of a NAS board with a valid entry, e.g. "4P-4GF"; "UNKNOWN" (and a line
// naming the first bad byte) when a byte has a value not defined.
void NasTypeText(const SensedPage& page, const Board& b, char* pszText) {
  const std::size_t nEntry = EntryOf(b);
  const char cPorts = static_cast<char>(getByte(page, nEntry + a3::kUserPortNum));
  const char cCache = static_cast<char>(getByte(page, nEntry + a3::kCacheCap));
  const char cFC = static_cast<char>(getByte(page, nEntry + a3::kBadkFCExist));
  const char* pszBad = nullptr;
  if (cPorts != '4' && cPorts != '2')
    pszBad = "UserPortNum";
  else if (cCache != '4' && cCache != '2')
    pszBad = "CacheCap";
  else if (cFC != 'F' && cFC != '-')
    pszBad = "BadkFCExist";
  if (pszBad != nullptr) {
    std::strcpy(pszText, "UNKNOWN");
    vel__LogPut("CTL%d-%d -> %s UNKNOWN", b.sCluster, b.sPCB, pszBad);
    return;
  }
  const char szText[] = {cPorts, 'P', '-', cCache, 'G', cFC == 'F' ? 'F' : 'N', '\0'};
  std::memcpy(pszText, szText, sizeof szText);
  vel__LogPut("CTL%d-%d -> %s", b.sCluster, b.sPCB, pszText);
}

void BoardEquipment(const SensedPage& page, const Board& b, VEL_PCBINF* lpPcbinf) {
  const int nSlot = SlotIndex(b.sCluster, b.sPCB);
  const std::size_t nEntry = EntryOf(b);
  const std::uint8_t byValid = getByte(page, nEntry + a3::kValid);
  unsigned short& usCHN = lpPcbinf->usCHN[nSlot];
  char* pszText = lpPcbinf->cCHNType[nSlot];
  if (usCHN == VEL_KELP_TYPE_KELP && byValid == 1 &&
      getByte(page, nEntry + a3::kNasTypeFlag) == 1) {
    const std::uint8_t byType = getByte(page, nEntry + a3::kNasType);
    usCHN = byType <= VEL_KELP_TYPE_UNKNOWN ? byType : VEL_KELP_TYPE_NOTEQUIP;
  }
  switch (usCHN) {
    case VEL_KELP_TYPE_KELP:
      if (byValid == 1) {
        NasTypeText(page, b, pszText);
      } else {
        std::strcpy(pszText, "UNKNOWN");
        if (byValid == 0)
          vel__LogPut("CTL%d-%d -> INValid ", b.sCluster, b.sPCB);
        else
          vel__LogPut("CTL%d-%d -> Valid UNKNOWN", b.sCluster, b.sPCB);
      }
      break;
    case VEL_KELP_TYPE_UNKNOWN:
      std::strcpy(pszText, "UNKNOWN");
      vel__LogPut("CTL%d-%d -> VEL_KELP_TYPE_UNKNOWN", b.sCluster, b.sPCB);
      break;
    case VEL_KELP_TYPE_NOTEQUIP:
      std::strcpy(pszText, "NOTEQUIP");
      vel__LogPut("CTL%d-%d -> VEL_KELP_TYPE_NOTEQUIP", b.sCluster, b.sPCB);
      break;
    default:
      std::strcpy(pszText, "NOTKELP");
      vel__LogPut("CTL%d-%d -> VEL_KELP_TYPE_NOTKELP", b.sCluster, b.sPCB);
      break;
  }
}

bool svp_GetCHNEquipment_getmodeprm(const SensedPage& page, VEL_PCBINF* lpPcbinf,
                                    std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetCHNEquipment_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, a3::kSize, "A3", lpErrInfo)) return false;
    for (const Board& b : kBoards) BoardEquipment(page, b, lpPcbinf);
    LogSlotWords("usCHN           ", "                ", lpPcbinf->usCHN);
    const auto& t = lpPcbinf->cCHNType;
    velapi::LogRecord types;
    types.Put("cCHNType        : %9s,%9s,%9s,%9s,%9s,%9s,%9s,%9s", t[0], t[1], t[2], t[3], t[4], t[5],
              t[6], t[7]);
    types.Put("                : %9s,%9s,%9s,%9s,%9s,%9s,%9s,%9s", t[8], t[9], t[10], t[11], t[12],
              t[13], t[14], t[15]);
    return true;
  });
}

bool svp_GetCHNEquipment(VEL_PCBINF* lpPcbinf, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetCHNEquipment", [&] {
    SensedPage page;
    if (!svp_GetCHNEquipment_chkprm(lpPcbinf, lpErrInfo) ||
        !vel__PortInfomation(lpPcbinf->usCHN, lpErrInfo))
      return false;
    for (char* pszText : lpPcbinf->cCHNType) std::strcpy(pszText, "NOTEQUIP");
    bool bAnyPort = false;
    for (const Board& b : kBoards)
      bAnyPort |= lpPcbinf->usCHN[SlotIndex(b.sCluster, b.sPCB)] != VEL_KELP_TYPE_NOTEQUIP;
    if (!bAnyPort) return true;
    return vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_GetCHNEquipment_getmodeprm(page, lpPcbinf, lpErrInfo);
  });
}

// ---- dsvp_GetSvpIPAddr ----

bool svp_GetSvpIPAddr_chkprm(const unsigned char* lpIpAddr, const unsigned char* lpSubnet,
                             std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetSvpIPAddr_chkprm", [&] {
    if (lpIpAddr == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpIpAddr=NULL");
    if (lpSubnet == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpSubnet=NULL");
    return true;
  });
}

bool svp_GetSvpIPAddr_getmodeprm(const SensedPage& page, unsigned char* lpIpAddr,
                                 unsigned char* lpSubnet, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetSvpIPAddr_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, a3::kEntry0, "A3", lpErrInfo)) return false;
    getBytes(page, a3::kSvpIp, lpIpAddr, VEL_IPADDR_SIZE);
    getBytes(page, a3::kSubnet, lpSubnet, VEL_IPADDR_SIZE);
    vel__LogPut("SVP IPAddr -> %d.%d.%d.%d,Subnet -> %d.%d.%d.%d", lpIpAddr[0], lpIpAddr[1],
                lpIpAddr[2], lpIpAddr[3], lpSubnet[0], lpSubnet[1], lpSubnet[2], lpSubnet[3]);
    return true;
  });
}

bool svp_GetSvpIPAddr(unsigned char* lpIpAddr, unsigned char* lpSubnet, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetSvpIPAddr", [&] {
    SensedPage page;
    return svp_GetSvpIPAddr_chkprm(lpIpAddr, lpSubnet, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_GetSvpIPAddr_getmodeprm(page, lpIpAddr, lpSubnet, lpErrInfo);
  });
}

// ---- dsvp_GetDkcSerialNo ----

bool svp_GetDkcSerialNo_chkprm(const std::uint32_t* lpSerialNo, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDkcSerialNo_chkprm", [&] {
    if (lpSerialNo == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpSerialNo=NULL");
    return true;
  });
}

bool svp_GetDkcSerialNo_getmodeprm(const SensedPage& page, std::uint32_t* lpSerialNo,
                                   std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDkcSerialNo_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, a3::kEntry0, "A3", lpErrInfo)) return false;
    char szSerial[a3::kSerialSize + 1];
    getBytes(page, a3::kSerial, szSerial, a3::kSerialSize);
    szSerial[a3::kSerialSize] = '\n';
    // Decimal only, no blanks or signs: a leading zero is a digit like any other.
    std::uint32_t ulSerial = 0;
    const auto [pEnd, ec] = std::from_chars(szSerial, szSerial + sizeof szSerial, ulSerial, 10);
    if (ec != std::errc{} || pEnd != szSerial + a3::kSerialSize) {
      vel__LogPut("Micro Parameter Error");
      *lpErrInfo = VEL_ERR_INVALID_PARAM;
      return false;
    }
    *lpSerialNo = ulSerial;
    vel__LogPut("lpSerialNo -> =%10d ", static_cast<int>(ulSerial));
    return true;
  });
}

bool svp_GetDkcSerialNo(std::uint32_t* lpSerialNo, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDkcSerialNo", [&] {
    SensedPage page;
    return svp_GetDkcSerialNo_chkprm(lpSerialNo, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_GetDkcSerialNo_getmodeprm(page, lpSerialNo, lpErrInfo);
  });
}

// ---- dsvp_GetDkcModelType ----

bool svp_GetDkcModelType_chkprm(const std::uint32_t* lpModel, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDkcModelType_chkprm", [&] {
    if (lpModel == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter *lpModel=NULL");
    return true;
  });
}

bool svp_GetDkcModelType_getmodeprm(const SensedPage& page, std::uint32_t* lpModel,
                                    std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDkcModelType_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, a3::kEntry0, "A3", lpErrInfo)) return false;
    *lpModel = getShort(page, a3::kModel);
    vel__LogPut("*lpModel -> =0x%10X", *lpModel);
    return true;
  });
}

bool svp_GetDkcModelType(std::uint32_t* lpModel, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetDkcModelType", [&] {
    SensedPage page;
    return svp_GetDkcModelType_chkprm(lpModel, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_GetDkcModelType_getmodeprm(page, lpModel, lpErrInfo);
  });
}

// ---- dsvp_NasGetCurrentStatus ----

bool svp_NasGetCurrentStatus_chkprm(VEL_CURENTSTATE* lpCurentState, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetCurrentStatus_chkprm", [&] {
    if (lpCurentState == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpCurentState=NULL");
    std::memset(lpCurentState, 0, sizeof *lpCurentState);
    return true;
  });
}

bool svp_NasGetCurrentStatus_getmodeprm(const SensedPage& page, VEL_CURENTSTATE* lpCurentState,
                                        std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetCurrentStatus_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, a3::kSize, "A3", lpErrInfo)) return false;
    for (const Board& b : kBoards)
      lpCurentState->usChnStat[SlotIndex(b.sCluster, b.sPCB)] =
          static_cast<unsigned short>(getLong(page, EntryOf(b) + a3::kStatus));
    LogSlotWords("usChnStat      ", "                ", lpCurentState->usChnStat);
    return true;
  });
}

bool svp_NasGetCurrentStatus(VEL_CURENTSTATE* lpCurentState, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetCurrentStatus", [&] {
    SensedPage page;
    return svp_NasGetCurrentStatus_chkprm(lpCurentState, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_NasGetCurrentStatus_getmodeprm(page, lpCurentState, lpErrInfo);
  });
}

// ---- dsvp_GetCHNMPStatus ----

bool svp_GetCHNMPStatus_chkprm(VEL_MPSTINF* lpMpStinf, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetCHNMPStatus_chkprm", [&] {
    if (lpMpStinf == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpMpStinf=NULL");
    std::memset(lpMpStinf, 0, sizeof *lpMpStinf);
    return true;
  });
}

bool svp_GetCHNMPStatus_getmodeprm(const SensedPage& page, VEL_MPSTINF* lpMpStinf,
                                   std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetCHNMPStatus_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, a3::kSize, "A3", lpErrInfo)) return false;
    for (const Board& b : kBoards)
      lpMpStinf->stMp[SlotIndex(b.sCluster, b.sPCB)].usMpST =
          getShort(page, EntryOf(b) + a3::kMpStatus);
    unsigned short usMpST[VEL_SLOTS];
    for (int i = 0; i < VEL_SLOTS; ++i) usMpST[i] = lpMpStinf->stMp[i].usMpST;
    LogSlotWords("usMpST           ", "usMpST           ", usMpST);
    return true;
  });
}

bool svp_GetCHNMPStatus(VEL_MPSTINF* lpMpStinf, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetCHNMPStatus", [&] {
    SensedPage page;
    return svp_GetCHNMPStatus_chkprm(lpMpStinf, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_GetCHNMPStatus_getmodeprm(page, lpMpStinf, lpErrInfo);
  });
}

// ---- dsvp_GetChaLocationName ----

bool svp_GetChaLocationName_chkprm(short sCluster, short sPCB, const char* lpLocationName,
                                   short sSize, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetChaLocationName_chkprm", [&] {
    if (!velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo)) return false;
    if (lpLocationName == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpLocationName=NULL");
    if (sSize <= static_cast<short>(a3::kLocationSize))
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter sSize -> %d\n", sSize);
    return true;
  });
}

bool svp_GetChaLocationName_getmodeprm(const SensedPage& page, short sCluster, short sPCB,
                                       char* lpLocationName, short sSize,
                                       std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetChaLocationName_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, a3::kSize, "A3", lpErrInfo)) return false;
    // The copy never reaches past the 13-byte field; sSize > 13 leaves room for the NUL.
    char szName[a3::kLocationSize];
    getBytes(page, a3::Entry(BoardIndex(sCluster, sPCB)) + a3::kLocation, szName, sizeof szName);
    const std::size_t nLength = strnlen(szName, sizeof szName);
    std::memcpy(lpLocationName, szName, nLength);
    std::memset(lpLocationName + nLength, 0, static_cast<std::size_t>(sSize) - nLength);
    vel__LogPut("CTL[%d][%d] lpLocationName -> %s ", sCluster, sPCB, lpLocationName);
    return true;
  });
}

bool svp_GetChaLocationName(short sCluster, short sPCB, char* lpLocationName, short sSize,
                            std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_GetChaLocationName", [&] {
    SensedPage page;
    return svp_GetChaLocationName_chkprm(sCluster, sPCB, lpLocationName, sSize, lpErrInfo) &&
           vel__ModeSense(pages::kA3Config, &page, lpErrInfo) &&
           svp_GetChaLocationName_getmodeprm(page, sCluster, sPCB, lpLocationName, sSize,
                                             lpErrInfo);
  });
}

// ---- dsvp_NasGetShutdownStatusEx ----

bool svp_NasGetShutdownStatusEx_chkprm(short sCluster, short sPCB, unsigned char* lpProgress,
                                       unsigned char* lpVELAPIProgress, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetShutdownStatusEx_chkprm", [&] {
    if (!velapi::CheckBoardAddress(sCluster, sPCB, lpErrInfo)) return false;
    if (lpProgress == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpProgress=NULL");
    std::memset(lpProgress, 0, VEL_SHUTDOWN_PROGRESS_SIZE);
    if (lpVELAPIProgress == nullptr)
      return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter lpVELAPIProgress=NULL");
    std::memset(lpVELAPIProgress, 0, VEL_SHUTDOWN_PROGRESS_SIZE);
    return true;
  });
}

void LogProgressBytes(velapi::LogRecord& record, const char* pszHead, const unsigned char* by) {
  record.Put("%s: 0x%02X,0x%02X,0x%02X,0x%02X,0x%02X,0x%02X,0x%02X,0x%02X", pszHead, by[0], by[1], by[2],
             by[3], by[4], by[5], by[6], by[7]);
}

bool svp_NasGetShutdownStatusEx_getmodeprm(const SensedPage& page, unsigned char* lpProgress,
                                           unsigned char* lpVELAPIProgress,
                                           std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetShutdownStatusEx_getmodeprm", [&] {
    if (!velapi::CheckPageSize(page, pages::a8::kSize, "A8", lpErrInfo)) return false;
    for (const Board& b : kBoards) {
      const std::uint8_t byStatus = getByte(
          page, pages::a8::kStatus0 + static_cast<std::size_t>(BoardIndex(b.sCluster, b.sPCB)));
      lpProgress[b.sCluster * 4 + b.sPCB] = byStatus;
      lpVELAPIProgress[SlotIndex(b.sCluster, b.sPCB)] = byStatus;
    }
    velapi::LogRecord record;
    LogProgressBytes(record, "lpProgress      ", lpProgress);
    LogProgressBytes(record, "lpVELAPIProgress", lpVELAPIProgress);
    return true;
  });
}

bool svp_NasGetShutdownStatusEx(short sCluster, short sPCB, unsigned char* lpProgress,
                                unsigned char* lpVELAPIProgress, std::uint32_t* lpErrInfo) {
  return velapi::Traced("svp_NasGetShutdownStatusEx", [&] {
    SensedPage page;
    return svp_NasGetShutdownStatusEx_chkprm(sCluster, sPCB, lpProgress, lpVELAPIProgress,
                                             lpErrInfo) &&
           vel__ModeSense(pages::kA8Shutdown, &page, lpErrInfo) &&
           svp_NasGetShutdownStatusEx_getmodeprm(page, lpProgress, lpVELAPIProgress, lpErrInfo);
  });
}

// The exports that are not provided.
bool NotSupported(const char* pszExport, std::uint32_t* lpErrInfo) {
  vel__LogPut("START %s", pszExport);
  if (lpErrInfo == nullptr) {
    vel__LogPut("END   %s(%d)", pszExport, false);
    return false;
  }
  *lpErrInfo = VEL_ERR_NOT_SUPPORTED;
  vel__LogPut("END   %s(%d:0x%08X)", pszExport, false, *lpErrInfo);
  return false;
}

}  // namespace

extern "C" {

BOOL dsvp_GetCHNEquipment(VEL_PCBINF* lpPcbinf, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetCHNEquipment");
  return velapi::RunExport("dsvp_GetCHNEquipment", lpErrInfo,
                           [&] { return svp_GetCHNEquipment(lpPcbinf, lpErrInfo); });
}

BOOL dsvp_GetSvpIPAddr(unsigned char* lpIpAddr, unsigned char* lpSubnet, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetSvpIPAddr");
  return velapi::RunExport("dsvp_GetSvpIPAddr", lpErrInfo,
                           [&] { return svp_GetSvpIPAddr(lpIpAddr, lpSubnet, lpErrInfo); });
}

BOOL dsvp_GetDkcSerialNo(std::uint32_t* lpSerialNo, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetDkcSerialNo");
  return velapi::RunExport("dsvp_GetDkcSerialNo", lpErrInfo,
                           [&] { return svp_GetDkcSerialNo(lpSerialNo, lpErrInfo); });
}

BOOL dsvp_GetDkcModelType(std::uint32_t* lpModel, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetDkcModelType");
  return velapi::RunExport("dsvp_GetDkcModelType", lpErrInfo,
                           [&] { return svp_GetDkcModelType(lpModel, lpErrInfo); });
}

BOOL dsvp_NasGetCurrentStatus(VEL_CURENTSTATE* lpCurentState, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasGetCurrentStatus");
  return velapi::RunExport("dsvp_NasGetCurrentStatus", lpErrInfo,
                           [&] { return svp_NasGetCurrentStatus(lpCurentState, lpErrInfo); });
}

BOOL dsvp_GetCHNMPStatus(VEL_MPSTINF* lpMpStinf, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetCHNMPStatus");
  return velapi::RunExport("dsvp_GetCHNMPStatus", lpErrInfo,
                           [&] { return svp_GetCHNMPStatus(lpMpStinf, lpErrInfo); });
}

BOOL dsvp_GetChaLocationName(short sCluster, short sPCB, char* lpLocationName, short sSize,
                             std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_GetChaLocationName");
  vel__LogPut(" +- sCluster=%d,sPCB=%d,sSize=%d", sCluster, sPCB, sSize);
  return velapi::RunExport("dsvp_GetChaLocationName", lpErrInfo, [&] {
    return svp_GetChaLocationName(sCluster, sPCB, lpLocationName, sSize, lpErrInfo);
  });
}

BOOL dsvp_NasGetShutdownStatusEx(short sCluster, short sPCB, unsigned char* lpProgress,
                                 unsigned char* lpVELAPIProgress, std::uint32_t* lpErrInfo) {
  vel__LogPut("START dsvp_NasGetShutdownStatusEx");
  velapi::LogBoardParams(sCluster, sPCB);
  return velapi::RunExport("dsvp_NasGetShutdownStatusEx", lpErrInfo, [&] {
    return svp_NasGetShutdownStatusEx(sCluster, sPCB, lpProgress, lpVELAPIProgress, lpErrInfo);
  });
}

BOOL dsvp_GetInstallLinuxStatus(void*, std::uint32_t* lpErrInfo) {
  return NotSupported("dsvp_GetInstallLinuxStatus", lpErrInfo);
}

BOOL dsvp_NasGetIPAddrFromSVP(void*, std::uint32_t* lpErrInfo) {
  return NotSupported("dsvp_NasGetIPAddrFromSVP", lpErrInfo);
}

BOOL dsvp_NasGetShutdownStatus(void*, void*, std::uint32_t* lpErrInfo) {
  return NotSupported("dsvp_NasGetShutdownStatus", lpErrInfo);
}

BOOL dsvp_GetNasAllStatus(void*, void*, std::uint32_t* lpErrInfo) {
  return NotSupported("dsvp_GetNasAllStatus", lpErrInfo);
}

}  // extern "C"
