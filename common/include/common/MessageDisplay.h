// The door through which message boxes reach the user. The dialog framework's host implements
// it for the GUI; ConsoleDisplay and RecordingDisplay serve command-line programs and tests.
#pragma once

#include <cstdint>
#include <string>

class MessageDisplay {
 public:
  virtual ~MessageDisplay() = default;
  // Shows one box with the style's buttons and icon, blocking the calling thread until it is
  // answered. Returns the pressed button (IDOK, IDCANCEL, IDYES, IDNO), or 0 when the box could
  // not be shown. Callable from any thread.
  virtual int ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) = 0;
};

// Process-wide display, installed at start-up (null: no box can be shown).
void SetMessageDisplay(MessageDisplay* pDisplay);
MessageDisplay* GetMessageDisplay();
