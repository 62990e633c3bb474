// The headless host: no toolkit, no screen. The UI thread is whichever thread runs a dialog's
// loop (DoModal, RunUntil). Posted calls and timers run there in order; message boxes are
// answered at once from the queued answers, else with the box's default button.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "ui/Host.h"

namespace kelp::ui {

class ScriptHost : public Host {
 public:
  explicit ScriptHost(Transcript* transcript);

  void Post(std::function<void()> call) override;
  void RunUntil(const std::function<bool()>& done) override;
  void StartTimer(Dialog& dialog, int id, plat::Millis period) override;
  void StopTimer(Dialog& dialog, int id) override;
  void SetWaitCursor(bool on) override;
  std::string Screenshot(Dialog& dialog, const std::string& path) override;
  int ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) override;

  bool WaitCursor() const { return m_waitCursor; }

 private:
  struct Timer {
    Dialog* dialog;
    int id;
    plat::Millis period;
    plat::TimePoint due;
  };
  // Waits for a posted call until the next timer is due; returns it, or an empty function.
  std::function<void()> NextCall();
  void FireDueTimers();

  std::mutex m_mutex;
  std::condition_variable m_posted;
  std::deque<std::function<void()>> m_calls;
  std::vector<Timer> m_timers;  // UI thread only
  bool m_waitCursor = false;
};

}  // namespace kelp::ui
