// Shows message boxes as text on a stream. With an input stream it asks which button to press;
// without one (or at end of input) it takes the box's default button, so scripts never hang.
#pragma once

#include <cstdio>
#include <mutex>

#include "common/MessageDisplay.h"

class ConsoleDisplay : public MessageDisplay {
 public:
  // The streams are not owned and must outlive the display.
  explicit ConsoleDisplay(std::FILE* pOut, std::FILE* pIn = nullptr);
  int ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) override;

 private:
  std::FILE* m_pOut;
  std::FILE* m_pIn;
  std::mutex m_mutex;  // one box at a time on the console
};
