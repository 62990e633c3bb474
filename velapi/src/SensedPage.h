// One page image sensed from the array, and the field accessors of every page operation.
// Multi-byte fields are big-endian except where getLongLE is used. Every access is checked
// against the sensed size; reads outside it yield 0 and stores fail.
#pragma once

#include <cstddef>
#include <cstdint>

#include "velapi.h"

// The buffer the array library returned for one sense. It goes back to the library (through
// vel__FreeMemory) when the object leaves scope, so every path of an operation releases it.
class SensedPage {
 public:
  SensedPage() = default;
  ~SensedPage();
  SensedPage(const SensedPage&) = delete;
  SensedPage& operator=(const SensedPage&) = delete;

  // Takes over a buffer from a successful sense.
  void Adopt(unsigned char* pBuf, int nSize);

  unsigned char* Data() const { return m_pBuf; }
  int Size() const { return m_nSize; }
  // Whether nLength bytes from nPos lie inside the image.
  bool Has(std::size_t nPos, std::size_t nLength) const;

 private:
  unsigned char* m_pBuf = nullptr;
  int m_nSize = 0;
};

// Fails with VEL_ERR_MODE_PARAM, logging "Mode Param size error [PAGE->size=N]", when the image
// is shorter than the layout the operation reads or writes.
namespace velapi {
bool CheckPageSize(const SensedPage& page, std::size_t nNeeded, const char* pszPage, std::uint32_t* lpErrInfo);
}  // namespace velapi

std::uint8_t getByte(const SensedPage& page, std::size_t nPos);
std::uint16_t getShort(const SensedPage& page, std::size_t nPos);
std::uint32_t getLong(const SensedPage& page, std::size_t nPos);
std::uint32_t getLongLE(const SensedPage& page, std::size_t nPos);
// Copies nLength bytes out of the image; false (nothing copied) when they are not all inside.
bool getBytes(const SensedPage& page, std::size_t nPos, void* pOut, std::size_t nLength);

// Stores 16 bits; fails (logging "setShort Error value=0x%08X") when the value is wider.
bool setShort(SensedPage& page, std::size_t nPos, std::uint32_t ulValue);
bool setLong(SensedPage& page, std::size_t nPos, std::uint32_t ulValue);
bool setBytes(SensedPage& page, std::size_t nPos, const void* pData, std::size_t nLength);

// The store steps of a setmodeprm: on failure log "Mode Param set failed [FIELD]" and set
// VEL_ERR_MODE_PARAM.
namespace velapi {

bool StoreShort(SensedPage& page, std::size_t nPos, std::uint32_t ulValue, const char* pszField,
                std::uint32_t* lpErrInfo);
bool StoreLong(SensedPage& page, std::size_t nPos, std::uint32_t ulValue, const char* pszField,
               std::uint32_t* lpErrInfo);
bool StoreBytes(SensedPage& page, std::size_t nPos, const void* pData, std::size_t nLength, const char* pszField,
                std::uint32_t* lpErrInfo);

}  // namespace velapi
