#include "VelLog.h"

#include <unistd.h>

#include <cstdio>

#include "corvid.h"

namespace {

constexpr const char* kLogName = "velapilog";
constexpr const char* kDebugFlagFile = "velapi.dbg";
constexpr int kLineSize = 256;

}  // namespace

void velapi::VLogPut(const char* pszFormat, va_list args) {
  char szLine[kLineSize];
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
