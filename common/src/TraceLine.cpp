#include "common/TraceLine.h"

#include <cstdarg>
#include <new>

#include "common/VFormat.h"

namespace common {

void TraceLineFmt(std::uint32_t ulLevel, const char* pszFormat, ...) {
  const std::uint32_t ulPass = ulLevel & GetTraceMask();
  if (ulPass == 0) return;
  va_list args;
  va_start(args, pszFormat);
  try {
    WriteTraceLine(VFormat(pszFormat, args), TraceTag(ulLevel), ulPass);
  } catch (const std::bad_alloc&) {
    // A line that cannot be built is dropped; tracing never fails its caller.
  }
  va_end(args);
}

}  // namespace common
