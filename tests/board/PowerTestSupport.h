// What the power operation suites share: a trace sink that stamps each line with the logical
// time it was written (and can act on a line on the writing thread), a dialog and a main window
// that record what the operations show, and the message ids of the boxes a display recorded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/PowerDialog.h"
#include "common/RecordingDisplay.h"
#include "common/TraceSink.h"
#include "plat/Clock.h"

namespace powertest {

class TimedTraceSink : public common::TraceSink {
 public:
  struct Line {
    plat::TimePoint at;
    std::string text;
  };
  // Runs on the thread that writes a line containing the pattern, before the writer goes on.
  void OnLine(std::string pattern, std::function<void()> action) {
    std::lock_guard lock(m_mutex);
    m_hooks.emplace_back(std::move(pattern), std::move(action));
  }
  void WriteLine(std::string_view line) override {
    std::vector<std::function<void()>> actions;
    {
      std::lock_guard lock(m_mutex);
      m_lines.push_back({plat::Clock::Now(), std::string(line)});
      for (auto& [pattern, action] : m_hooks)
        if (action && line.find(pattern) != std::string_view::npos) actions.push_back(std::exchange(action, nullptr));
    }
    for (auto& action : actions) action();
  }
  // The logical times of the lines that contain the text.
  std::vector<plat::TimePoint> TimesOf(std::string_view text) const {
    std::lock_guard lock(m_mutex);
    std::vector<plat::TimePoint> times;
    for (const Line& l : m_lines)
      if (l.text.find(text) != std::string::npos) times.push_back(l.at);
    return times;
  }
  bool Has(std::string_view text) const { return !TimesOf(text).empty(); }

 private:
  mutable std::mutex m_mutex;
  std::vector<Line> m_lines;
  std::vector<std::pair<std::string, std::function<void()>>> m_hooks;
};

// The dialog of a power operation: every status word it was shown, in order.
class RecordingDialog : public board::PowerDialog {
 public:
  void ShowPowerStatus(std::int32_t nStatus, int nStatusWordId) override {
    std::lock_guard lock(m_mutex);
    if (m_words.empty() || m_words.back() != nStatusWordId) m_words.push_back(nStatusWordId);
    m_statuses.push_back(nStatus);
    m_changed.notify_all();
  }
  // The distinct words in the order they came.
  std::vector<int> Words() const {
    std::lock_guard lock(m_mutex);
    return m_words;
  }
  bool WaitForWord(int nWordId) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(20), [&] {
      for (int w : m_words)
        if (w == nWordId) return true;
      return false;
    });
  }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<int> m_words;
  std::vector<std::int32_t> m_statuses;
};


// The catalogue ids of the boxes shown, in order ("[DMEN03596E]" gives 3596).
inline std::vector<std::uint32_t> MessageIds(const RecordingDisplay& display) {
  std::vector<std::uint32_t> ids;
  for (const common::RecordedBox& box : display.Boxes()) {
    const auto at = box.strText.find("[DMEN0");
    if (at != std::string::npos) ids.push_back(static_cast<std::uint32_t>(std::stoul(box.strText.substr(at + 6, 4))));
  }
  return ids;
}

}  // namespace powertest
