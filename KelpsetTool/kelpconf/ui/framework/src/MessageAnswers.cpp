#include "ui/MessageAnswers.h"

#include <algorithm>
#include <charconv>

#include "common/MessageBoxStyle.h"

namespace kelp::ui {
namespace {

struct ButtonWordRow {
  int button;
  std::string_view word;
};
constexpr ButtonWordRow kButtonWords[] = {{IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};

constexpr std::string_view kIdentifierPrefix = "[DMEN0";

}  // namespace

void MessageAnswers::Queue(std::optional<std::uint32_t> messageId, int button) {
  std::lock_guard lock(m_mutex);
  if (messageId) m_queued.emplace_back(*messageId, button);
  else m_everyBox = button;
}

std::optional<int> MessageAnswers::Take(std::uint32_t messageId, std::uint32_t style) {
  std::optional<int> wanted;
  {
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_queued.begin(), m_queued.end(), [messageId](const auto& q) { return q.first == messageId; });
    if (it != m_queued.end()) {
      wanted = it->second;
      m_queued.erase(it);
    } else {
      wanted = m_everyBox;
    }
  }
  if (!wanted) return std::nullopt;
  const MessageButtons buttons = ButtonsOfStyle(style);
  const bool offered = std::find(buttons.aButtons, buttons.aButtons + buttons.nCount, *wanted) !=
                       buttons.aButtons + buttons.nCount;
  return offered ? *wanted : buttons.aButtons[0];
}

std::optional<int> ButtonFromWord(std::string_view word) {
  for (const ButtonWordRow& row : kButtonWords) {
    if (row.word == word) return row.button;
  }
  return std::nullopt;
}

const char* ButtonWord(int button) {
  for (const ButtonWordRow& row : kButtonWords) {
    if (row.button == button) return row.word.data();
  }
  return "";
}

std::uint32_t MessageIdOfText(std::string_view text) {
  if (text.substr(0, kIdentifierPrefix.size()) != kIdentifierPrefix) return 0;
  text.remove_prefix(kIdentifierPrefix.size());
  std::uint32_t id = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  return ec == std::errc() && end != text.data() ? id : 0;
}

}  // namespace kelp::ui
