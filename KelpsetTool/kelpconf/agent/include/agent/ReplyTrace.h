// How much of a reply reaches the trace. A hostile reply can carry 16 MiB of one text or
// hundreds of thousands of records; the trace keeps the start of each and says what it left out.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace agent {

inline constexpr std::size_t kMaxTracedTextBytes = 1024;
inline constexpr std::size_t kMaxTracedRecords = 256;

// The text as traced: its first kMaxTracedTextBytes bytes, then "... (N more bytes)".
std::string TracedText(std::string_view text);

// Calls traceOne(i) for the first kMaxTracedRecords of nCount records, then traces one line
// "N more <what> not traced" at TRC_INFO when there were more.
void TraceRecords(std::size_t nCount, std::string_view what, const std::function<void(std::size_t)>& traceOne);

}  // namespace agent
