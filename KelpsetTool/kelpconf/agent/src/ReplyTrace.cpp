#include "agent/ReplyTrace.h"

#include <algorithm>

#include "common/CusrTraceScope.h"
#include "common/TraceLine.h"

namespace agent {

std::string TracedText(std::string_view text) {
  if (text.size() <= kMaxTracedTextBytes) return std::string(text);
  return std::string(text.substr(0, kMaxTracedTextBytes)) +
         TraceFmt("... (%zu more bytes)", text.size() - kMaxTracedTextBytes);
}

void TraceRecords(std::size_t nCount, std::string_view what, const std::function<void(std::size_t)>& traceOne) {
  for (std::size_t i = 0; i < std::min(nCount, kMaxTracedRecords); ++i) traceOne(i);
  if (nCount > kMaxTracedRecords)
    common::TraceLineFmt(TRC_INFO, "%zu more %.*s not traced", nCount - kMaxTracedRecords,
                         static_cast<int>(what.size()), what.data());
}

}  // namespace agent
