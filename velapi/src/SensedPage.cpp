#include "SensedPage.h"

#include <cstring>

#include "VelArray.h"
#include "VelLog.h"

SensedPage::~SensedPage() { vel__FreeMemory(m_pBuf); }

void SensedPage::Adopt(unsigned char* pBuf, int nSize) {
  m_pBuf = pBuf;
  m_nSize = pBuf != nullptr && nSize > 0 ? nSize : 0;
}

bool SensedPage::Has(std::size_t nPos, std::size_t nLength) const {
  const auto nSize = static_cast<std::size_t>(m_nSize);
  return nPos <= nSize && nLength <= nSize - nPos;
}

bool velapi::CheckPageSize(const SensedPage& page, std::size_t nNeeded, const char* pszPage,
                           std::uint32_t* lpErrInfo) {
  if (page.Has(0, nNeeded)) return true;
  vel__LogPut("Mode Param size error [%s->size=%d]", pszPage, page.Size());
  *lpErrInfo = VEL_ERR_MODE_PARAM;
  return false;
}

std::uint8_t getByte(const SensedPage& page, std::size_t nPos) {
  return page.Has(nPos, 1) ? page.Data()[nPos] : 0;
}

std::uint16_t getShort(const SensedPage& page, std::size_t nPos) {
  if (!page.Has(nPos, 2)) return 0;
  const unsigned char* p = page.Data() + nPos;
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t getLong(const SensedPage& page, std::size_t nPos) {
  if (!page.Has(nPos, 4)) return 0;
  const unsigned char* p = page.Data() + nPos;
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t getLongLE(const SensedPage& page, std::size_t nPos) {
  if (!page.Has(nPos, 4)) return 0;
  const unsigned char* p = page.Data() + nPos;
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

bool getBytes(const SensedPage& page, std::size_t nPos, void* pOut, std::size_t nLength) {
  if (!page.Has(nPos, nLength)) return false;
  std::memcpy(pOut, page.Data() + nPos, nLength);
  return true;
}

bool setShort(SensedPage& page, std::size_t nPos, std::uint32_t ulValue) {
  if (ulValue > 0xFFFFu) {
    vel__LogPut("setShort Error value=0x%08X", ulValue);
    return false;
  }
  if (!page.Has(nPos, 2)) {
    vel__LogPut("setShort Error position=%zu", nPos);
    return false;
  }
  unsigned char* p = page.Data() + nPos;
  p[0] = static_cast<unsigned char>(ulValue >> 8);
  p[1] = static_cast<unsigned char>(ulValue);
  return true;
}

bool setLong(SensedPage& page, std::size_t nPos, std::uint32_t ulValue) {
  if (!page.Has(nPos, 4)) {
    vel__LogPut("setLong Error position=%zu", nPos);
    return false;
  }
  unsigned char* p = page.Data() + nPos;
  p[0] = static_cast<unsigned char>(ulValue >> 24);
  p[1] = static_cast<unsigned char>(ulValue >> 16);
  p[2] = static_cast<unsigned char>(ulValue >> 8);
  p[3] = static_cast<unsigned char>(ulValue);
  return true;
}

bool setBytes(SensedPage& page, std::size_t nPos, const void* pData, std::size_t nLength) {
  if (!page.Has(nPos, nLength)) {
    vel__LogPut("setBytes Error position=%zu,length=%zu", nPos, nLength);
    return false;
  }
  std::memcpy(page.Data() + nPos, pData, nLength);
  return true;
}

namespace {

bool StoreFailed(const char* pszField, std::uint32_t* lpErrInfo) {
  vel__LogPut("Mode Param set failed [%s]", pszField);
  *lpErrInfo = VEL_ERR_MODE_PARAM;
  return false;
}

}  // namespace

bool velapi::StoreShort(SensedPage& page, std::size_t nPos, std::uint32_t ulValue,
                        const char* pszField, std::uint32_t* lpErrInfo) {
  return setShort(page, nPos, ulValue) || StoreFailed(pszField, lpErrInfo);
}

bool velapi::StoreLong(SensedPage& page, std::size_t nPos, std::uint32_t ulValue, const char* pszField,
                       std::uint32_t* lpErrInfo) {
  return setLong(page, nPos, ulValue) || StoreFailed(pszField, lpErrInfo);
}

bool velapi::StoreBytes(SensedPage& page, std::size_t nPos, const void* pData, std::size_t nLength,
                        const char* pszField, std::uint32_t* lpErrInfo) {
  return setBytes(page, nPos, pData, nLength) || StoreFailed(pszField, lpErrInfo);
}
