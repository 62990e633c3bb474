// The two log channels of VELAPI. Both format one line (printf rules, at most 255 characters)
// into a stack buffer and hand it to the array library's log "velapilog" without time stamp,
// prefix or line end. The debug channel writes only while a file "velapi.dbg" exists in the
// current directory, tested again for every line. A LogRecord hands several lines over at once.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "velapi.h"

// The always channel: START/END and parameter lines, argument and store failures, value dumps.
void vel__LogPut(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
// The debug channel: start/end lines of the inner layers and the memory lines.
void vel__DebugLogPut(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

namespace velapi {

// vel__LogPut with the arguments already collected.
void VLogPut(const char* pszFormat, va_list args);

inline constexpr std::size_t kLogLineSize = 256;  // a line and its terminating NUL

// A record of several lines on the always channel (slot words, board types, time-out words),
// written in one append when it goes out of scope, so that lines of other threads cannot come
// between them. Each Put formats one line as vel__LogPut does.
class LogRecord {
 public:
  LogRecord() = default;
  ~LogRecord();
  LogRecord(const LogRecord&) = delete;
  LogRecord& operator=(const LogRecord&) = delete;

  void Put(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

 private:
  static constexpr std::size_t kMaxLines = 3;
  void Flush();

  char m_szText[kMaxLines * kLogLineSize] = "";
  std::size_t m_nLength = 0;
  std::size_t m_nLines = 0;
};

// Runs one inner layer or step between its "start NAME" and "end   NAME(result)" debug lines.
template <class Body>
bool Traced(const char* pszName, Body&& body) {
  vel__DebugLogPut("start %s", pszName);
  const bool bResult = body();
  vel__DebugLogPut("end   %s(%d)", pszName, bResult);
  return bResult;
}

}  // namespace velapi
