// The transcript of script mode: one line per event, in stable formats other programs read.
// Texts are quoted with C escapes for '"', '\', newline, carriage return and tab so that every
// event stays on one line. Every line is kept in memory (waits match against them) and, when
// a stream is given, written and flushed to it. Thread-safe.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelp::ui {

class Transcript {
 public:
  // out is not owned and may be null (memory only).
  explicit Transcript(std::FILE* out = nullptr);

  void Window(int templateId, std::string_view title);  // window TEMPLATE "TITLE"
  void Title(int templateId, std::string_view title);   // title TEMPLATE "TITLE"
  // message MSGID ANSWER "TEXT", with " default" when the box's default button was taken;
  // MSGID is 0 for a box without message identifier
  void Message(std::uint32_t messageId, std::string_view answer, std::string_view text, bool byDefault);
  void Text(int controlId, std::string_view text);  // text ID "TEXT"
  void Enable(int controlId, bool enabled);         // enable ID 0|1
  void Show(int controlId, bool visible);           // show ID 0|1
  void Busy(int slot, int code);                    // busy SLOT CODE; slot -1 is "public"
  // result SLOT CODE "REASON": one board's outcome of a several-board run; CODE "0x%08x",
  // 0xffffffff for a board that was not started
  void Result(int slot, std::uint32_t code, std::string_view reason);
  void Ready();                                     // ready
  void Exit(int code);                              // exit CODE
  void ScriptError(int line, std::string_view reason);  // script-error LINE REASON

  std::vector<std::string> Lines() const;
  // Index of the first line at or after from that satisfies match.
  std::optional<std::size_t> Find(std::size_t from, const std::function<bool(const std::string&)>& match) const;

  static std::string Quote(std::string_view text);

 private:
  void Write(std::string line);

  std::FILE* m_out;
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

}  // namespace kelp::ui
