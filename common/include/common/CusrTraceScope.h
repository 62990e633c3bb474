// The object a traced method places on its stack: "enter" now, "exit_" when the method is
// left by any path, and the method's other lines in between.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/CusrTrace.h"
#include "common/TraceLine.h"

class CusrTraceScope {
 public:
  // Text "method". A null name writes nothing, not even on exit.
  CusrTraceScope(const char* pszMethod, std::uint32_t ulLevel);
  // Text "class::method". A null class or method name writes nothing, not even on exit.
  CusrTraceScope(const char* pszClass, const char* pszMethod, std::uint32_t ulLevel);
  ~CusrTraceScope();
  CusrTraceScope(const CusrTraceScope&) = delete;
  CusrTraceScope& operator=(const CusrTraceScope&) = delete;

  // Each writes the caller's text with its tag when level AND mask is non-zero.
  void Call(std::string_view text, std::uint32_t ulLevel) const { Emit(text, "call_", ulLevel); }
  void Return(std::string_view text, std::uint32_t ulLevel) const { Emit(text, "retrn", ulLevel); }
  void Info(std::string_view text, std::uint32_t ulLevel) const { Emit(text, "info_", ulLevel); }
  void Warn(std::string_view text, std::uint32_t ulLevel) const { Emit(text, "warn_", ulLevel); }
  void Error(std::string_view text, std::uint32_t ulLevel) const { Emit(text, "error", ulLevel); }
  void Fatal(std::string_view text, std::uint32_t ulLevel) const { Emit(text, "fatal", ulLevel); }
  void Debug(std::string_view text, std::uint32_t ulLevel) const { Emit(text, "debug", ulLevel); }

 private:
  static void Emit(std::string_view text, std::string_view tag, std::uint32_t ulLevel) {
    common::TraceLine(ulLevel, tag, text);
  }
  std::string Text() const;

  std::uint32_t m_ulLevel = 0;
  std::string m_strMethod;
  std::string m_strClass;
};

// printf-style formatting into a std::string for trace texts ("send() code=%d").
std::string TraceFmt(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
