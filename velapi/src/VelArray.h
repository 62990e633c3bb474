// The shared steps between the exports and the array library: the unit name, result
// conversion, sense/select/free, the unit check, port information and the board checks.
#pragma once

#include <cstdint>

#include "SensedPage.h"
#include "velapi.h"

inline constexpr int kPortSlots = VEL_SLOTS;

// 0 gives true with *lpErrInfo untouched; any other code false with the converted code.
bool vel__ConvertResult(int nResult, std::uint32_t* lpErrInfo);

// Senses sub-page nSubPage of the NAS page into page.
bool vel__ModeSense(int nSubPage, SensedPage* pPage, std::uint32_t* lpErrInfo);
// Selects the (changed) image back into the same sub-page.
bool vel__ModeSelect(int nSubPage, const SensedPage& page, std::uint32_t* lpErrInfo);
// Returns a sensed buffer to the array library; null is ignored. Always true.
bool vel__FreeMemory(unsigned char* pBuf);
// Whether the array library knows the unit name.
bool vel__CheckUnitName(const char* pszName, std::uint32_t* lpErrInfo);

// Fills usSlots (16 elements by slot) from the port information: 1 NAS board, 0 another kind
// of board, 0xFFFF nothing known.
bool vel__PortInfomation(unsigned short* usSlots, std::uint32_t* lpErrInfo);
namespace velapi {

// Fails with VEL_ERR_NOT_NAS_SLOT unless the port information shows a NAS board at the slot.
bool RequireNasBoard(short sCluster, short sPCB, std::uint32_t* lpErrInfo);
// The sCluster/sPCB check of every argument step: only 0 and 1 pass.
bool CheckBoardAddress(short sCluster, short sPCB, std::uint32_t* lpErrInfo);
// Fails with VEL_ERR_NNC_INVALID unless byValid is 1; pszPage names the page in the line.
bool CheckValidFlag(std::uint8_t byValid, const char* pszPage, short sCluster, short sPCB,
                    std::uint32_t* lpErrInfo);
// Logs the "Invalid Parameter ..." line and sets VEL_ERR_INVALID_PARAM; returns false.
bool InvalidParameter(std::uint32_t* lpErrInfo, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

}  // namespace velapi

// Board index k of the pages and slot index of the caller's arrays.
inline int BoardIndex(short sCluster, short sPCB) { return sCluster * 2 + sPCB; }
inline int SlotIndex(short sCluster, short sPCB) { return sCluster * 8 + sPCB; }
