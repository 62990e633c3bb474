#include "VelLog.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "corvid.h"

namespace {

constexpr const char* kLogName = "velapilog";
constexpr const char* kDebugFlagFile = "velapi.dbg";

}  // namespace

void velapi::VLogPut(const char* pszFormat, va_list args) {
  char szLine[kLogLineSize];
  szLine[0] = '\0';
  std::vsnprintf(szLine, sizeof szLine, pszFormat, args);
  ZQ_LogPut(kLogName, szLine);
}

void vel__LogPut(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  velapi::VLogPut(pszFormat, args);
  va_end(args);
}

void vel__DebugLogPut(const char* pszFormat, ...) {
  if (::access(kDebugFlagFile, F_OK) != 0) return;
  va_list args;
  va_start(args, pszFormat);
  velapi::VLogPut(pszFormat, args);
  va_end(args);
}

velapi::LogRecord::~LogRecord() { Flush(); }

// The lines are joined by line feeds; the log adds the last one.
void velapi::LogRecord::Put(const char* pszFormat, ...) {
  if (m_nLines == kMaxLines) Flush();
  if (m_nLines > 0) m_szText[m_nLength++] = '\n';
  char* pszLine = m_szText + m_nLength;
  pszLine[0] = '\0';
  va_list args;
  va_start(args, pszFormat);
  const int n = std::vsnprintf(pszLine, kLogLineSize, pszFormat, args);
  va_end(args);
  m_nLength += n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), kLogLineSize - 1);
  ++m_nLines;
}

void velapi::LogRecord::Flush() {
  if (m_nLines == 0) return;
  ZQ_LogPut(kLogName, m_szText);
  m_szText[0] = '\0';
  m_nLength = 0;
  m_nLines = 0;
}
