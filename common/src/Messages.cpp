#include "common/Messages.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/MessageBoxStyle.h"
#include "common/MessageCatalogue.h"
#include "common/MessageDisplay.h"
#include "common/MessageIds.h"

namespace {

std::atomic<TraceProgram> g_program{TraceProgram::Kelpconf};

constexpr std::size_t kTextBufferSize = 1024;
constexpr std::size_t kMaxArgs = 5;
constexpr std::uint32_t kCreationErrorStyle = MB_TOPMOST | MB_TASKMODAL | MB_ICONHAND;  // 0x42010

thread_local std::function<bool()> t_quiet;

const MessageCatalogue& Catalogue() { return MessageCatalogue::Of(g_program.load()); }

std::string Identifier(std::uint32_t id, std::uint32_t kind) {
  char sz[40];
  std::snprintf(sz, sizeof sz, "[DMEN0%04u%s]", id, MessageKindLetter(kind));
  return sz;
}

std::string Body(std::uint32_t id, const std::vector<std::string>& args) {
  return FormatWithTextArgs(Catalogue().LoadString(id), args);
}

// Identifier and text joined and cut as the returned text is.
std::string CutText(const std::string& identifier, const std::string& body) {
  std::string text = identifier + body;
  if (text.size() > kTextBufferSize - 1) text.resize(kTextBufferSize - 1);
  return text;
}

// The box shows identifier, a blank line and the text; 0 when it cannot be shown.
int ShowBox(const std::string& identifier, const std::string& body, std::uint32_t ulStyle) {
  MessageDisplay* pDisplay = GetMessageDisplay();
  if (pDisplay == nullptr) return 0;
  return pDisplay->ShowBox(Catalogue().Title(), identifier + "\n\n" + body, ulStyle);
}

std::string ShowRow(std::uint32_t id, const std::vector<std::string>& args, int* pnButton, bool bFallback) {
  const MessageRow& row = Catalogue().Rows()[FindMessage(id)];
  const std::string identifier = Identifier(row.id, row.kind);
  const std::string body = Body(row.id, args);
  if (t_quiet && t_quiet()) {
    if (pnButton) *pnButton = ButtonsOfStyle(row.style).nDefault;
    return CutText(identifier, body);
  }

  const int nButton = ShowBox(identifier, body, row.style | MessageKindIcon(row.kind));
  if (pnButton) *pnButton = nButton != 0 ? nButton : IDCANCEL;
  if (nButton == 0 && bFallback) return ShowCreationError(row.id, 0);
  return CutText(identifier, body);
}

struct ApiErrorMessage {
  std::uint32_t code;
  std::uint32_t messageId;
};

constexpr ApiErrorMessage kApiErrorMessages[] = {
    {0, msg::kFinishedNormally},
    {1, msg::kArrayInvalidParameter},
    {2, msg::kPcInternalError},
    {4, msg::kArrayInvalidValue},
    {5, msg::kArrayUnsupported},
    {6, msg::kArrayTimeout},
    {7, msg::kNoBoardInLocation},
    {8, msg::kArraySetFailed},
    {9, msg::kArrayError},
    {0x80000001, msg::kArrayError},
    {0x83800001, msg::kArrayError},
    {0x83800012, msg::kArrayError},
    {0x83800016, msg::kArrayError},
    {0x83800017, msg::kArrayError},
    {0x84000004, msg::kArrayError},
    {0x83800006, msg::kArrayBusy},
    {0x83800013, msg::kArrayMaintenanceRunning},
    {0x83800014, msg::kBoardBlocked},
    {0x83800015, msg::kBoardStateRefused},
    {0x83800018, msg::kArrayOperationUnsupported},
    {0x8380001D, msg::kArrayRefused},
};

}  // namespace

void SetMessageProgram(TraceProgram program) { g_program.store(program); }

TraceProgram GetMessageProgram() { return g_program.load(); }

std::string ShowMessage(std::uint32_t id, const std::string& a1, const std::string& a2, int* pnButton) {
  return ShowRow(id, {a1, a2}, pnButton, true);
}

std::string ShowMessageNoCheck(std::uint32_t id, const std::string& a1, const std::string& a2, int* pnButton) {
  return ShowRow(id, {a1, a2}, pnButton, false);
}

std::string ShowMessageEx(std::uint32_t id, int* pnButton, const std::vector<std::string>& args) {
  const std::vector<std::string> used(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(std::min(args.size(), kMaxArgs)));
  return ShowRow(id, used, pnButton, true);
}

QuietMessages::QuietMessages(std::function<bool()> quiet) : m_previous(std::exchange(t_quiet, std::move(quiet))) {}

QuietMessages::~QuietMessages() { t_quiet = std::move(m_previous); }

std::size_t FindMessage(std::uint32_t id) { return Catalogue().Find(id); }

std::size_t FormatMessageText(char* pszBuffer, std::size_t nSize, std::uint32_t id, std::uint32_t kind,
                              const std::vector<std::string>& args) {
  if (pszBuffer == nullptr || nSize == 0) return 0;
  const std::string text = CutText(Identifier(id, kind), Body(id, args));
  const std::size_t n = std::min(text.size(), nSize - 1);
  std::memcpy(pszBuffer, text.data(), n);
  pszBuffer[n] = '\0';
  return n;
}

std::string MessageBody(std::uint32_t id, const std::vector<std::string>& args) { return Body(id, args); }

int ShowMessageBox(std::uint32_t id, std::uint32_t kind, std::uint32_t ulStyle, const std::vector<std::string>& args) {
  return ShowBox(Identifier(id, kind), Body(id, args), ulStyle);
}

std::string ShowCreationError(std::uint32_t id, std::uint32_t ulCode) {
  char sz[128];
  // Code 0 (the box could not be shown) is the only code that occurs; it reads as memory
  // shortage, as the system has always put it.
  std::snprintf(sz, sizeof sz, "Failed to create the message(ID: %d).\n%s", static_cast<int>(id),
                ulCode == 0 ? "Not enough memory." : "");
  if (MessageDisplay* pDisplay = GetMessageDisplay()) pDisplay->ShowBox("Kelpset Tool", sz, kCreationErrorStyle);
  return sz;
}

std::uint32_t GetApiErrorMessageId(std::uint32_t ulErrorCode) {
  for (const ApiErrorMessage& e : kApiErrorMessages)
    if (e.code == ulErrorCode) return e.messageId;
  return (ulErrorCode & 0x80000000u) ? msg::kArrayError : msg::kInternalError;
}
