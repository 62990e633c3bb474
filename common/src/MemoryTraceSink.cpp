#include "common/MemoryTraceSink.h"

#include <algorithm>

#include "common/CusrTrace.h"

namespace common {

void MemoryTraceSink::WriteLine(std::string_view line) {
  std::lock_guard lock(m_mutex);
  m_lines.emplace_back(line);
}

std::vector<std::string> MemoryTraceSink::Lines() const {
  std::lock_guard lock(m_mutex);
  return m_lines;
}

std::vector<std::string> MemoryTraceSink::TaggedTexts() const {
  std::vector<std::string> texts = Lines();
  for (std::string& text : texts) text.erase(0, std::min(text.size(), kTraceLinePrefixSize));
  return texts;
}

}  // namespace common
