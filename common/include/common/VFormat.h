// printf-style formatting into a std::string from a va_list, for the variadic formatters of
// the modules (TraceFmt, the agent's MakeFormat).
#pragma once

#include <cstdarg>
#include <string>

std::string VFormat(const char* pszFormat, va_list args);
