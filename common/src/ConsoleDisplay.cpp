#include "common/ConsoleDisplay.h"

#include <cctype>
#include <string>

#include "common/MessageBoxStyle.h"

namespace {

const char* IconWord(std::uint32_t ulStyle) {
  switch (ulStyle & MB_ICONMASK) {
    case MB_ICONHAND: return "Error";
    case MB_ICONEXCLAMATION: return "Warning";
    case MB_ICONASTERISK: return "Information";
    case MB_ICONQUESTION: return "Question";
    default: return "Message";
  }
}

// The button whose name starts with the answer's first letter (case-insensitive), or 0.
int ButtonFromAnswer(const MessageButtons& buttons, const std::string& answer) {
  const auto first = answer.find_first_not_of(" \t");
  if (first == std::string::npos) return 0;
  const int c = std::tolower(static_cast<unsigned char>(answer[first]));
  for (int i = 0; i < buttons.nCount; ++i)
    if (std::tolower(static_cast<unsigned char>(ButtonName(buttons.aButtons[i])[0])) == c) return buttons.aButtons[i];
  return 0;
}

}  // namespace

ConsoleDisplay::ConsoleDisplay(std::FILE* pOut, std::FILE* pIn) : m_pOut(pOut), m_pIn(pIn) {}

int ConsoleDisplay::ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) {
  std::lock_guard lock(m_mutex);
  const MessageButtons buttons = ButtonsOfStyle(ulStyle);
  std::string choices;
  for (int i = 0; i < buttons.nCount; ++i) {
    if (i) choices += " / ";
    choices += ButtonName(buttons.aButtons[i]);
    if (buttons.aButtons[i] == buttons.nDefault) choices += "*";
  }
  std::fprintf(m_pOut, "---- %s (%s) ----\n%s\n[%s]\n", strTitle.c_str(), IconWord(ulStyle), strText.c_str(),
               choices.c_str());
  int nAnswer = buttons.nDefault;
  if (m_pIn != nullptr) {
    for (;;) {
      std::fprintf(m_pOut, "> ");
      std::fflush(m_pOut);
      char szLine[64];
      if (std::fgets(szLine, sizeof szLine, m_pIn) == nullptr) break;
      const std::string line(szLine);
      if (line.find_first_not_of(" \t\r\n") == std::string::npos) break;  // Enter: the default
      if (const int n = ButtonFromAnswer(buttons, line)) {
        nAnswer = n;
        break;
      }
    }
  }
  std::fprintf(m_pOut, "-> %s\n", ButtonName(nAnswer));
  std::fflush(m_pOut);
  return nAnswer;
}
