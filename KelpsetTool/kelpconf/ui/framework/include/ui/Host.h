// The only door to the screen. A host shows and hides dialogs, runs their event loops, fires
// their timers, shows message boxes (it is common's MessageDisplay) and runs posted calls on its
// UI thread. The base class keeps what every host shares: the stack of shown dialogs, the
// transcript lines of dialog events, the busy codes and the count of running workers.
//
// Threads: Post, ShowBox, SetBusy, IsIdle and Answers may be called from any thread; all else
// on the UI thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/MessageDisplay.h"
#include "plat/Clock.h"
#include "ui/ControlState.h"
#include "ui/MessageAnswers.h"

namespace kelp::ui {

class Dialog;
class Transcript;

inline constexpr int kPublicBusySlot = -1;

class Host : public MessageDisplay {
 public:
  // transcript is not owned and may be null; it must outlive the host.
  explicit Host(Transcript* transcript);
  ~Host() override;

  // --- what each toolkit provides ---
  // Any thread: queues call to run on the UI thread, in order.
  virtual void Post(std::function<void()> call) = 0;
  // UI thread: processes posted calls, timers and input until done() holds (checked after
  // every event). Nested calls are allowed (modal dialogs inside handlers).
  virtual void RunUntil(const std::function<bool()>& done) = 0;
  virtual void StartTimer(Dialog& dialog, int id, plat::Millis period) = 0;
  virtual void StopTimer(Dialog& dialog, int id) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  // Saves the dialog as a PNG image; "" on success, else the reason.
  virtual std::string Screenshot(Dialog& dialog, const std::string& path) = 0;
  // ShowBox (MessageDisplay): any thread; blocks that thread until the box is answered.
  // UI thread: lets the user choose a folder, starting at start, with prompt as the
  // instruction. accept checks a choice: a refused folder is not taken and the user chooses
  // again. Returns the folder, or nothing when the user cancelled. This base shows no browser
  // (script mode): there the folder comes from a `set` on the dialog's folder control, which
  // the dialog checks with the same accept.
  virtual std::optional<std::string> BrowseForFolder(Dialog& owner, const std::string& prompt,
                                                     const std::string& start,
                                                     const std::function<bool(const std::string&)>& accept);

  // --- told by Dialog ---
  void DialogShown(Dialog& dialog, bool shown);
  void DialogToFront(Dialog& dialog);
  void DialogTitleChanged(Dialog& dialog);
  void DialogResized(Dialog& dialog);
  void ControlChanged(Dialog& dialog, int id, ControlAspect aspect);
  void DialogDestroyed(Dialog& dialog);
  // A modal loop of dialog begins or has ended (its workers joined).
  void ModalStarted(Dialog& dialog);
  void ModalEnded(Dialog& dialog);
  void WorkerStarted();
  void WorkerFinished();

  // The shown dialogs, the foreground one last.
  const std::vector<Dialog*>& ShownDialogs() const { return m_shown; }
  Dialog* Foreground() const { return m_shown.empty() ? nullptr : m_shown.back(); }
  // The top-most shown dialog of a template, or null.
  Dialog* FindShown(int templateId) const;
  // The dialogs whose modal loops run, outermost first: each loop runs inside the one before,
  // so only the last can end first.
  const std::vector<Dialog*>& ModalDialogs() const { return m_modal; }

  // Busy code of a board slot (0-15) or of kPublicBusySlot; 0 is idle.
  void SetBusy(int slot, int code);
  // No busy code set and no worker running.
  bool IsIdle() const;
  // Any thread: a worker of some dialog has not finished yet.
  bool WorkersRunning() const { return m_workers.load() > 0; }
  MessageAnswers& Answers() { return m_answers; }
  Transcript* GetTranscript() const { return m_transcript; }

 protected:
  // Screen updates for a toolkit; the base has already updated its own state.
  virtual void OnDialogShown(Dialog& /*dialog*/, bool /*shown*/) {}
  virtual void OnDialogToFront(Dialog& /*dialog*/) {}
  virtual void OnDialogChanged(Dialog& /*dialog*/) {}  // title or size
  virtual void OnControlChanged(Dialog& /*dialog*/, int /*id*/, ControlAspect /*aspect*/) {}
  virtual void OnDialogDestroyed(Dialog& /*dialog*/) {}
  // Writes the transcript line of an answered box.
  void RecordBox(const std::string& text, int button, bool byDefault);

 private:
  void Unlist(Dialog& dialog);

  Transcript* m_transcript;
  std::vector<Dialog*> m_shown;
  std::vector<Dialog*> m_modal;
  MessageAnswers m_answers;
  mutable std::mutex m_busyMutex;
  std::map<int, int> m_busy;
  std::atomic<int> m_workers{0};
};

// Shows the host's wait cursor for its lifetime (UI thread).
class WaitCursor {
 public:
  explicit WaitCursor(Host& host) : m_host(host) { m_host.SetWaitCursor(true); }
  ~WaitCursor() { m_host.SetWaitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Host& m_host;
};

}  // namespace kelp::ui
