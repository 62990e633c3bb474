#include "ui/ScriptHost.h"

#include <algorithm>

#include "common/MessageBoxStyle.h"
#include "ui/Dialog.h"

namespace kelp::ui {

ScriptHost::ScriptHost(Transcript* transcript) : Host(transcript) {}

void ScriptHost::Post(std::function<void()> call) {
  {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(std::move(call));
  }
  m_posted.notify_one();
}

void ScriptHost::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (std::function<void()> call = NextCall()) call();
    else FireDueTimers();
  }
}

std::function<void()> ScriptHost::NextCall() {
  const auto next = std::min_element(m_timers.begin(), m_timers.end(), [](const Timer& a, const Timer& b) { return a.due < b.due; });
  const plat::TimePoint deadline = next != m_timers.end() ? next->due : plat::TimePoint::max();
  std::unique_lock lock(m_mutex);
  const auto ready = [this] { return !m_calls.empty(); };
  if (deadline == plat::TimePoint::max()) m_posted.wait(lock, ready);
  else plat::Clock::WaitUntil(m_posted, lock, deadline, ready);
  if (m_calls.empty()) return {};
  std::function<void()> call = std::move(m_calls.front());
  m_calls.pop_front();
  return call;
}

void ScriptHost::FireDueTimers() {
  const plat::TimePoint now = plat::Clock::Now();
  std::vector<std::pair<Dialog*, int>> due;
  for (Timer& t : m_timers) {
    if (t.due > now) continue;
    t.due = now + t.period;
    due.emplace_back(t.dialog, t.id);
  }
  for (const std::pair<Dialog*, int>& fire : due) {
    // Plain names rather than a structured binding, so that the lambda below can capture them.
    Dialog* const dialog = fire.first;
    const int id = fire.second;
    // An earlier handler may have killed this timer or destroyed its dialog.
    const bool alive = std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.dialog == dialog && t.id == id; });
    if (alive) dialog->TimerElapsed(id);
  }
}

void ScriptHost::StartTimer(Dialog& dialog, int id, plat::Millis period) {
  StopTimer(dialog, id);
  m_timers.push_back({&dialog, id, period, plat::Clock::Now() + period});
}

void ScriptHost::StopTimer(Dialog& dialog, int id) {
  std::erase_if(m_timers, [&](const Timer& t) { return t.dialog == &dialog && t.id == id; });
}

void ScriptHost::SetWaitCursor(bool on) { m_waitCursor = on; }

std::string ScriptHost::Screenshot(Dialog&, const std::string&) { return "screenshot is not supported by the headless host"; }

int ScriptHost::ShowBox(const std::string&, const std::string& strText, std::uint32_t ulStyle) {
  const std::optional<int> answer = Answers().Take(MessageIdOfText(strText), ulStyle);
  const int button = answer ? *answer : ButtonsOfStyle(ulStyle).nDefault;
  RecordBox(strText, button, !answer);
  return button;
}

}  // namespace kelp::ui
