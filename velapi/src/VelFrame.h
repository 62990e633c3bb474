// The outer layer every page export shares: after the export has logged "START dsvp_X" and its
// parameter lines, a null lpErrInfo ends the call at once; otherwise the error info starts at 0,
// the svp_ layer runs, and the END line carries result and error info.
#pragma once

#include <cstdint>

#include "VelLog.h"

namespace velapi {

template <class Body>
bool RunExport(const char* pszExport, std::uint32_t* lpErrInfo, Body&& svp) {
  if (lpErrInfo == nullptr) {
    vel__LogPut("lpErrInfo = NULL");
    vel__LogPut("END   %s(%d)", pszExport, false);
    return false;
  }
  *lpErrInfo = 0;
  const bool bResult = svp();
  vel__LogPut("END   %s(%d:0x%08X)", pszExport, bResult, *lpErrInfo);
  return bResult;
}

// The parameter line of an export whose only parameters are the board address.
inline void LogBoardParams(short sCluster, short sPCB) {
  vel__LogPut(" +- sCluster=%d,sPCB=%d", sCluster, sPCB);
}

}  // namespace velapi
