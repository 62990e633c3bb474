// Where formatted trace lines go. The process installs one sink (SetTrace); WriteTraceLine
// builds "date time pid tid tag text" and hands it over. CusrTrace is the file sink,
// MemoryTraceSink keeps lines for tests.
#pragma once

#include <string_view>

namespace common {

class TraceSink {
 public:
  // A sink still installed when it is destroyed is removed first, so no line reaches it.
  virtual ~TraceSink();
  // Takes one whole line without line end. Called from any thread; never fails its caller.
  virtual void WriteLine(std::string_view line) = 0;
};

}  // namespace common
