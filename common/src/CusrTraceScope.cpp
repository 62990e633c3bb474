#include "common/CusrTraceScope.h"

#include <cstdarg>
#include <cstdio>

#include "common/CusrTrace.h"
#include "common/VFormat.h"

CusrTraceScope::CusrTraceScope(const char* pszMethod, std::uint32_t ulLevel) {
  if (pszMethod == nullptr) return;
  m_strMethod = pszMethod;
  m_ulLevel = ulLevel & GetTraceMask();
  WriteTraceLine(Text(), "enter", m_ulLevel);
}

CusrTraceScope::CusrTraceScope(const char* pszClass, const char* pszMethod, std::uint32_t ulLevel) {
  if (pszClass == nullptr || pszMethod == nullptr) return;
  m_strClass = pszClass;
  m_strMethod = pszMethod;
  m_ulLevel = ulLevel & GetTraceMask();
  WriteTraceLine(Text(), "enter", m_ulLevel);
}

CusrTraceScope::~CusrTraceScope() {
  if (m_ulLevel != 0) WriteTraceLine(Text(), "exit_", m_ulLevel);
}

std::string CusrTraceScope::Text() const {
  return m_strClass.empty() ? m_strMethod : m_strClass + "::" + m_strMethod;
}

std::string TraceFmt(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  std::string s = VFormat(pszFormat, args);
  va_end(args);
  return s;
}
