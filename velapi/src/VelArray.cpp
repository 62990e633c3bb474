#include "VelArray.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <iterator>

#include "ArrayUnitName.h"
#include "VelLog.h"
#include "corvid.h"
#include "corvid/NasPages.h"

namespace pages = corvid::pages;

namespace {

// The page transfers pass this as the library's fourth argument.
constexpr int kModeOption = -1;
constexpr std::uint32_t kBit24 = 0x01000000u;

// Port information device types.
constexpr std::uint8_t kDeviceFourPorts = 1;

struct Port {
  const char* pszName;
  int nSlot;
};
constexpr Port kPorts[pages::kBoards] = {
    {"CTL0-0", 0}, {"CTL0-1", 1}, {"CTL1-0", 8}, {"CTL1-1", 9}};

// Attaching the library to a process sets up the array library once.
__attribute__((constructor)) void AttachLibrary() {
  ZQ_GUI_INIT stInit{};
  stInit.tarn_path[0] = '.';
  ZQ_GUIInitialize(&stInit);
}

bool SensePage(int nPage, int nSubPage, SensedPage* pPage, std::uint32_t* lpErrInfo) {
  unsigned char* pBuf = nullptr;
  int nSize = 0;
  const int nResult =
      ZQ_ModeSenseonMemory(ArrayUnitName(), nPage, nSubPage, kModeOption, &pBuf, &nSize);
  // The library owns no buffer for us unless the sense succeeded.
  if (!vel__ConvertResult(nResult, lpErrInfo)) return false;
  pPage->Adopt(pBuf, nSize);
  vel__DebugLogPut("alloc memory (0x%08" PRIXPTR ",%d)", reinterpret_cast<std::uintptr_t>(pBuf),
                   nSize);
  return true;
}

// Which ports the device type says exist (board index order); false for an unknown type.
bool ExistingPorts(std::uint8_t byType, bool (&bExists)[pages::kBoards]) {
  switch (byType) {
    case kDeviceFourPorts:
      vel__LogPut("Device Type -> 0x%X", byType);
      std::fill(std::begin(bExists), std::end(bExists), true);
      return true;
    case 0:
    case 2:
    case 4:
      vel__LogPut("Device Type ->0x%X", byType);
      bExists[0] = bExists[2] = true;
      bExists[1] = bExists[3] = false;
      return true;
    default:
      vel__LogPut("Device Type UNKNOWN");
      return false;
  }
}

void ReadPorts(const SensedPage& page, unsigned short* usSlots) {
  bool bExists[pages::kBoards] = {};
  if (!ExistingPorts(getByte(page, pages::port::kDeviceType), bExists)) return;
  for (int k = 0; k < pages::kBoards; ++k) {
    if (!bExists[k]) continue;
    const std::uint8_t byStatus = getByte(page, pages::port::kStatus[k]);
    const std::uint8_t byKind = getByte(page, pages::port::kKind[k]);
    if (byStatus == pages::port::kStatusNotInstalled) continue;
    if (byStatus != pages::port::kStatusInstalled) {
      vel__LogPut("%s PortEquipStat UNKNOWN", kPorts[k].pszName);
      continue;
    }
    if (byKind == pages::port::kKindNas) {
      usSlots[kPorts[k].nSlot] = 1;
    } else {
      if (byKind != 1 && byKind != 3) vel__LogPut("Invalid Parameter PortEquipKind->0x%X", byKind);
      usSlots[kPorts[k].nSlot] = 0;
    }
  }
}

}  // namespace

bool vel__ConvertResult(int nResult, std::uint32_t* lpErrInfo) {
  if (nResult == 0) return true;
  const auto ulCode = static_cast<std::uint32_t>(nResult);
  *lpErrInfo = (ulCode & kBit24) != 0 ? (ulCode | VEL_ERR_ARRAY_BIT24) : (ulCode | VEL_ERR_ARRAY);
  if (ulCode == ZQ_ERR_TIMEOUT_60000 || ulCode == ZQ_ERR_TIMEOUT_40000 ||
      ulCode == ZQ_ERR_TIMEOUT_70000 || ulCode == ZQ_ERR_TIMEOUT_PATH)
    *lpErrInfo = VEL_ERR_SVP_TIMEOUT;
  return false;
}

bool vel__ModeSense(int nSubPage, SensedPage* pPage, std::uint32_t* lpErrInfo) {
  return velapi::Traced("vel__ModeSense",
                        [&] { return SensePage(pages::kNasPage, nSubPage, pPage, lpErrInfo); });
}

bool vel__ModeSelect(int nSubPage, const SensedPage& page, std::uint32_t* lpErrInfo) {
  return velapi::Traced("vel__ModeSelect", [&] {
    return vel__ConvertResult(ZQ_ModeSelectonMemory(ArrayUnitName(), pages::kNasPage, nSubPage,
                                                    kModeOption, page.Data(), page.Size()),
                              lpErrInfo);
  });
}

bool vel__FreeMemory(unsigned char* pBuf) {
  return velapi::Traced("vel__FreeMemory", [&] {
    if (pBuf != nullptr) {
      vel__DebugLogPut("free  memory (0x%08" PRIXPTR ")", reinterpret_cast<std::uintptr_t>(pBuf));
      ZQ_FreeMemory(pBuf);
    }
    return true;
  });
}

bool vel__CheckUnitName(const char* pszName, std::uint32_t* lpErrInfo) {
  return velapi::Traced("vel__CheckUnitName", [&] {
    ZQ_UNIT_PARAM stParam{};
    return vel__ConvertResult(ZQ_GetUnitParam(pszName, &stParam), lpErrInfo);
  });
}

bool vel__PortInfomation(unsigned short* usSlots, std::uint32_t* lpErrInfo) {
  return velapi::Traced("vel__PortInfomation", [&] {
    std::fill_n(usSlots, kPortSlots, VEL_KELP_TYPE_NOTEQUIP);
    SensedPage page;
    if (!SensePage(pages::kPortInfoPage, pages::kPortInfoSubPage, &page, lpErrInfo) ||
        !velapi::CheckPageSize(page, pages::port::kSize, "33", lpErrInfo))
      return false;
    ReadPorts(page, usSlots);
    vel__LogPut("CTL0-0 -> 0x%04X,CTL0-1 -> 0x%04X,CTL1-0 -> 0x%04X,CTL1-1 -> 0x%04X", usSlots[0],
                usSlots[1], usSlots[8], usSlots[9]);
    return true;
  });
}

bool velapi::RequireNasBoard(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  unsigned short usSlots[kPortSlots];
  if (!vel__PortInfomation(usSlots, lpErrInfo)) return false;
  if (usSlots[SlotIndex(sCluster, sPCB)] == VEL_KELP_TYPE_KELP) return true;
  *lpErrInfo = VEL_ERR_NOT_NAS_SLOT;
  return false;
}

bool velapi::CheckBoardAddress(short sCluster, short sPCB, std::uint32_t* lpErrInfo) {
  if (sCluster < 0 || sCluster > 1)
    return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter sCluster=%d", sCluster);
  if (sPCB < 0 || sPCB > 1)
    return velapi::InvalidParameter(lpErrInfo, "Invalid Parameter sPCB=%d", sPCB);
  return true;
}

bool velapi::CheckValidFlag(std::uint8_t byValid, const char* pszPage, short sCluster, short sPCB,
                            std::uint32_t* lpErrInfo) {
  if (byValid == 1) return true;
  if (byValid == 0)
    vel__LogPut("NNC NotEquip [%s[%d][%d]->Valid=0x%02X]", pszPage, sCluster, sPCB, byValid);
  else
    vel__LogPut("Vaid is incorrect [%s[%d][%d]->Valid=0x%02X]", pszPage, sCluster, sPCB, byValid);
  *lpErrInfo = VEL_ERR_NNC_INVALID;
  return false;
}

bool velapi::InvalidParameter(std::uint32_t* lpErrInfo, const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  velapi::VLogPut(pszFormat, args);
  va_end(args);
  *lpErrInfo = VEL_ERR_INVALID_PARAM;
  return false;
}
