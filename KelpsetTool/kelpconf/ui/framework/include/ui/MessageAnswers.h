// Answers queued for message boxes (the script's `answer` lines), and the words for buttons.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

namespace kelp::ui {

// Thread-safe: boxes are asked from any thread.
class MessageAnswers {
 public:
  // Queues button for the next box of messageId; nullopt stands for every box without a queued
  // answer (a later one replaces it).
  void Queue(std::optional<std::uint32_t> messageId, int button);
  // The button for a box of this id and style: the first answer queued for the id (consumed),
  // else the every-box answer. The named button when the style has it, else the box's
  // affirmative (first) button. nullopt when no answer applies.
  std::optional<int> Take(std::uint32_t messageId, std::uint32_t style);

 private:
  std::mutex m_mutex;
  std::deque<std::pair<std::uint32_t, int>> m_queued;
  std::optional<int> m_everyBox;
};

// The button of a script word "ok", "cancel", "yes", "no"; nullopt for other words.
std::optional<int> ButtonFromWord(std::string_view word);
// The script word of a button ("" for other codes).
const char* ButtonWord(int button);
// The message id in a box text's leading identifier "[DMEN0<id><letter>]"; 0 without one.
std::uint32_t MessageIdOfText(std::string_view text);

}  // namespace kelp::ui
