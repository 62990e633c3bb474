// The logs behind ZQ_LogPut: <system root>/log/<name>.log, appended one whole line at a time.
#pragma once

#include <string>
#include <string_view>

namespace corvid::detail {

// Appends line and a line feed with one write, so lines of several processes never interleave.
// The file stays open between calls (the library logs several lines per VELAPI call); it is
// reopened when the system root changes or the file was removed. False when the
// file cannot be opened or written.
bool AppendLogLine(const std::string& logName, std::string_view line);

}  // namespace corvid::detail
