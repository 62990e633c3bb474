// The cause of a failed agent operation in plain words ("connection closed by the board",
// "no reply within 60 s", "Invalid MsgSize = 4294967280"), for a caller that reports failures
// itself rather than through the catalogue's boxes. The client keeps no state: a caller puts a
// FailureCause on its stack, and the first failure of the operations this thread runs while it
// lives is recorded in it. Captures nest; the innermost one records.
#pragma once

#include <string>
#include <string_view>

namespace agent {

class FailureCause {
 public:
  FailureCause();
  ~FailureCause();
  FailureCause(const FailureCause&) = delete;
  FailureCause& operator=(const FailureCause&) = delete;

  // Empty while nothing failed.
  const std::string& Text() const { return m_text; }

  // Called by the client where an operation fails; does nothing without a capture.
  static void Note(std::string_view cause);

 private:
  FailureCause* m_previous;
  std::string m_text;
};

}  // namespace agent
