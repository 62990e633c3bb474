// The C interface of the array-management library over the simulated units.
#include "corvid.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "CommandPages.h"
#include "Export.h"
#include "LogFiles.h"
#include "PageImage.h"
#include "RecordStore.h"
#include "TextCodec.h"
#include "UnitSession.h"
#include "plat/Paths.h"

namespace {

using namespace corvid::detail;

int ToResult(std::uint32_t code) { return static_cast<int>(code); }

// Ends a session: its code when it failed on the way, else result (or the save failure).
int Finish(UnitSession& session, std::uint32_t result) {
  if (!session.Save()) return ToResult(session.code());
  return ToResult(result);
}

}  // namespace

extern "C" {

CORVID_API int ZQ_GUIInitialize(ZQ_GUI_INIT* pInit) {
  return pInit == nullptr ? ZQ_ERR_BAD_ARGUMENT : 0;
}

CORVID_API int ZQ_LogPut(const char* pszLogName, const char* pszLine) {
  if (!NameArgOk(pszLogName) || pszLine == nullptr) return ZQ_ERR_BAD_ARGUMENT;
  return AppendLogLine(pszLogName, pszLine) ? 0 : ZQ_ERR_STATE;
}

// The unit-parameter record: bytes 0..63 the unit name (NUL-padded), 64..65 the model code
// (big-endian), 66..73 the serial number, 74 the device type, 75 the number of boards, 76..79 the
// SVP address, 80..83 the subnet mask; the rest zero.
CORVID_API int ZQ_GetUnitParam(const char* pszUnitName, ZQ_UNIT_PARAM* pParam) {
  if (pParam == nullptr || !NameArgOk(pszUnitName)) return ZQ_ERR_BAD_ARGUMENT;
  UnitSession session(pszUnitName);
  if (!session.ok()) return ToResult(session.code());
  if (const std::uint32_t fault = TakeCallFault(session, "GetUnitParam", -1, -1)) return Finish(session, fault);
  const corvid::sim::UnitSpec& scenario = session.scenario();
  std::span<std::uint8_t> record(pParam->data, sizeof pParam->data);
  std::memset(pParam->data, 0, sizeof pParam->data);
  PutText(record, 0, 64, session.name());
  Put16(record, 64, static_cast<std::uint16_t>(scenario.model));
  PutText(record, 66, 8, scenario.serial);
  Put8(record, 74, scenario.deviceType);
  Put8(record, 75, static_cast<std::uint8_t>(scenario.boards.size()));
  for (std::size_t i = 0; i < 4; ++i) {
    Put8(record, 76 + i, scenario.svpIp[i]);
    Put8(record, 80 + i, scenario.subnet[i]);
  }
  return Finish(session, 0);
}

CORVID_API int ZQ_ModeSenseonMemory(const char* pszUnitName, int nPage, int nSubPage, int nOption,
                                    unsigned char** ppBuf, int* pSize) {
  if (ppBuf == nullptr || pSize == nullptr) return ZQ_ERR_BAD_ARGUMENT;
  *ppBuf = nullptr;
  *pSize = 0;
  if (!NameArgOk(pszUnitName) || nOption != -1) return ZQ_ERR_BAD_ARGUMENT;
  UnitSession session(pszUnitName);
  if (!session.ok()) return ToResult(session.code());
  if (const std::uint32_t fault = TakeCallFault(session, "ModeSense", nPage, nSubPage))
    return Finish(session, fault);
  const auto image = SensePage(nPage, nSubPage, session.scenario(), session.state(), session.now());
  if (!image) return Finish(session, ZQ_ERR_NO_PAGE);
  auto* buffer = static_cast<unsigned char*>(std::malloc(image->size()));
  if (buffer == nullptr) return Finish(session, ZQ_ERR_NO_MEMORY);
  std::memcpy(buffer, image->data(), image->size());
  const int result = Finish(session, 0);
  if (result != 0) {
    std::free(buffer);
    return result;
  }
  *ppBuf = buffer;
  *pSize = static_cast<int>(image->size());
  return 0;
}

CORVID_API int ZQ_ModeSelectonMemory(const char* pszUnitName, int nPage, int nSubPage, int nOption,
                                     const unsigned char* pBuf, int nSize) {
  if (pBuf == nullptr || nSize < 0 || !NameArgOk(pszUnitName) || nOption != -1) return ZQ_ERR_BAD_ARGUMENT;
  UnitSession session(pszUnitName);
  if (!session.ok()) return ToResult(session.code());
  if (const std::uint32_t fault = TakeCallFault(session, "ModeSelect", nPage, nSubPage))
    return Finish(session, fault);
  const std::uint32_t result =
      SelectPage(session, nPage, nSubPage, std::span<const std::uint8_t>(pBuf, static_cast<std::size_t>(nSize)));
  return Finish(session, result);
}

CORVID_API int ZQ_FreeMemory(void* pBuf) {
  if (pBuf == nullptr) return ZQ_ERR_BAD_ARGUMENT;
  std::free(pBuf);
  return 0;
}

}  // extern "C"
