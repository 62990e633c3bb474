// Showing catalogue messages. Every shown message carries its identifier "[DMEN0<id><letter>]",
// e.g. [DMEN03514E]; the functions return the identifier and text (without the blank line the
// box puts between them) so that the caller can trace it. They never fail their caller: a
// missing string gives an empty body, a missing id the terminating row (shown as
// [DMEN04294967295W]), and a box that cannot be shown a fallback box and button IDCANCEL.
//
// Arguments are plain text; callers format codes beforehand as "0x%08x".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/TraceLevels.h"

// Process-wide: which program's catalogue messages come from (kelpconf by default). Set once
// at start-up.
void SetMessageProgram(TraceProgram program);
TraceProgram GetMessageProgram();

// Shows message id with up to two arguments; *pnButton (may be null) receives the pressed
// button, or IDCANCEL when the box could not be shown.
std::string ShowMessage(std::uint32_t id, const std::string& a1 = {}, const std::string& a2 = {},
                        int* pnButton = nullptr);
// The same, but shows no fallback box when the box cannot be shown.
std::string ShowMessageNoCheck(std::uint32_t id, const std::string& a1 = {}, const std::string& a2 = {},
                               int* pnButton = nullptr);
// Shows message id with up to five arguments (more are ignored).
std::string ShowMessageEx(std::uint32_t id, int* pnButton, const std::vector<std::string>& args = {});

// Index of the row of id in the active catalogue, or of the terminating row.
std::size_t FindMessage(std::uint32_t id);
// The formatted text of message id alone, without identifier (result tables, transcripts).
std::string MessageBody(std::uint32_t id, const std::vector<std::string>& args);
// Writes identifier and formatted text into the buffer, cut to nSize - 1 bytes and
// NUL-terminated; returns the length written.
std::size_t FormatMessageText(char* pszBuffer, std::size_t nSize, std::uint32_t id, std::uint32_t kind,
                              const std::vector<std::string>& args);
// Shows the box (identifier, blank line, text) without owner; returns the pressed button, or 0
// when it could not be shown.
int ShowMessageBox(std::uint32_t id, std::uint32_t kind, std::uint32_t ulStyle, const std::vector<std::string>& args);
// Shows the fallback box for a message that could not be shown and returns its text.
std::string ShowCreationError(std::uint32_t id, std::uint32_t ulCode);

// For the life of the object, on the thread that made it: while quiet() holds (a worker whose
// result nobody waits for any more), a message is not shown. The caller still gets its text to
// trace, and a question takes its default button, so the work behind it stops as a closed box
// would stop it.
class QuietMessages {
 public:
  explicit QuietMessages(std::function<bool()> quiet);
  ~QuietMessages();
  QuietMessages(const QuietMessages&) = delete;
  QuietMessages& operator=(const QuietMessages&) = delete;

 private:
  std::function<bool()> m_previous;
};

// The message that explains an error code of the VELAPI library.
std::uint32_t GetApiErrorMessageId(std::uint32_t ulErrorCode);
