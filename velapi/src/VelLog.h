// The two log channels of VELAPI. Both format one line (printf rules, at most 255 characters)
// into a stack buffer and hand it to the array library's log "velapilog" without time stamp,
// prefix or line end. The debug channel writes only while a file "velapi.dbg" exists in the
// current directory, tested again for every line.
#pragma once

#include <cstdarg>

#include "velapi.h"

// The always channel: START/END and parameter lines, argument and store failures, value dumps.
void vel__LogPut(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
// The debug channel: start/end lines of the inner layers and the memory lines.
void vel__DebugLogPut(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

namespace velapi {

// vel__LogPut with the arguments already collected.
void VLogPut(const char* pszFormat, va_list args);

// Runs one inner layer or step between its "start NAME" and "end   NAME(result)" debug lines.
template <class Body>
bool Traced(const char* pszName, Body&& body) {
  vel__DebugLogPut("start %s", pszName);
  const bool bResult = body();
  vel__DebugLogPut("end   %s(%d)", pszName, bResult);
  return bResult;
}

}  // namespace velapi
