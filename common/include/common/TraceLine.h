// Lines written outside a CusrTraceScope: the level picks the tag and is ANDed with the process
// mask, so a line the mask rejects costs one load and an AND and builds no text.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/CusrTrace.h"

namespace common {

// The tag of a line of this level: "fatal", "error", "warn_", "info_", else "debug".
constexpr std::string_view TraceTag(std::uint32_t ulLevel) {
  switch (ulLevel) {
    case TRC_FATAL:
      return "fatal";
    case TRC_ERROR:
      return "error";
    case TRC_WARN:
      return "warn_";
    case TRC_INFO:
      return "info_";
    default:
      return "debug";
  }
}

// Writes text with the given tag when level AND mask is non-zero.
inline void TraceLine(std::uint32_t ulLevel, std::string_view tag, std::string_view text) {
  if (const std::uint32_t ulPass = ulLevel & GetTraceMask()) WriteTraceLine(text, tag, ulPass);
}

// Writes text with the level's tag when level AND mask is non-zero.
inline void TraceLine(std::uint32_t ulLevel, std::string_view text) { TraceLine(ulLevel, TraceTag(ulLevel), text); }

// The same with a printf-style text, formatted only when the line passes the mask.
void TraceLineFmt(std::uint32_t ulLevel, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

}  // namespace common
