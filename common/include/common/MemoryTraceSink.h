// A trace sink that keeps every line in memory, for tests that assert on what was traced.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/TraceSink.h"

namespace common {

class MemoryTraceSink : public TraceSink {
 public:
  void WriteLine(std::string_view line) override;
  // The whole lines so far, prefix included, in the order they arrived.
  std::vector<std::string> Lines() const;
  // The lines without their "date time pid tid " prefix: "tag text".
  std::vector<std::string> TaggedTexts() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

}  // namespace common
