#include "common/VFormat.h"

#include <cstdio>

std::string VFormat(const char* pszFormat, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
  va_end(copy);
  std::string s;
  if (n > 0) {
    s.resize(static_cast<std::size_t>(n));
    std::vsnprintf(s.data(), s.size() + 1, pszFormat, args);
  }
  return s;
}
