// A dialog built from a template: every control's state by id, the title, size and visibility,
// the modal and modeless life cycle, command handlers by control id, keys, timers on logical
// time, posted calls, worker threads and reads on a worker.
//
// Threads: everything runs on the UI thread (the host's) except Post and PostMessage, which
// any thread may call. Workers never touch control state: they Post.
// Every change of state goes through the dialog, which tells its host (transcript, widgets).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/Messages.h"
#include "plat/Clock.h"
#include "resources/DialogTemplate.h"
#include "ui/Control.h"
#include "ui/ControlState.h"
#include "ui/KeyChord.h"

namespace kelp::ui {

class Host;

class Dialog {
 public:
  // Builds the control state from the template; without a template the dialog has no controls
  // and DoModal/Create fail.
  Dialog(Host& host, int templateId);
  // From a template held elsewhere, which must outlive the dialog.
  Dialog(Host& host, const res::DialogTemplate& dialogTemplate);
  // Kills the timers and joins the workers (processing events meanwhile). A derived dialog
  // whose workers use its own members calls JoinWorkers in its destructor.
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Modal: OnInitDialog, show, process events until EndDialog, hide, join the workers. Returns
  // the EndDialog result, or -1 without template. When OnInitDialog ends the dialog it is
  // never shown.
  int DoModal();
  // Modeless: OnInitDialog once; the dialog stays hidden until ShowWindow. False without
  // template.
  bool Create();
  void ShowWindow(bool show);
  bool IsWindowVisible() const { return m_visible; }
  void BringToForeground();
  // Ends a modal loop with result; a modeless dialog is hidden.
  void EndDialog(int result);
  bool IsModal() const { return m_modal; }
  // EndDialog was called since the modal loop began or the dialog was last shown.
  bool HasEnded() const { return m_ended; }
  // The window's close box: the IDCANCEL command (its handler, else OnCancel), so the dialog
  // decides, as with Cancel or Esc.
  void Close();

  int TemplateId() const { return m_templateId; }
  const res::DialogTemplate* Template() const { return m_template; }
  void SetWindowText(const std::string& title);
  const std::string& GetWindowText() const { return m_title; }
  void SetWindowSize(int w, int h);
  int Width() const { return m_w; }
  int Height() const { return m_h; }

  Control GetDlgItem(int id) { return Control(*this, id); }
  // Controls in template order (hosts render them).
  const std::vector<ControlState>& Controls() const { return m_controls; }
  const ControlState* FindControlState(int id) const;
  int GetFocus() const { return m_focus; }  // focused control id, 0 none

  // Timers on logical time (KELP_TIME_SCALE): OnTimer(id) every period until KillTimer.
  void SetTimer(int id, plat::Millis period);
  void KillTimer(int id);

  // Any thread: queues OnUserMessage on the UI thread (dropped once the dialog is gone).
  void PostMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  // Any thread: queues call on the UI thread (dropped once the dialog is gone).
  void Post(std::function<void()> call);
  // UI thread: runs work on a new thread the host counts (wait-idle); work must not touch
  // control state.
  void StartWorker(std::function<void()> work);
  // Abandons the read, then processes events until every worker of this dialog has finished,
  // and joins them.
  void JoinWorkers();
  // Any thread: a worker of this dialog has not finished yet.
  bool WorkersRunning() const { return m_runningWorkers.load() > 0; }

  // UI thread: runs read (which must not touch the dialog) on a worker and hands its result to
  // deliver on the UI thread, unless the read was abandoned meanwhile: by EndDialog, by a newer
  // read, by JoinWorkers or by the dialog's end. Once abandoned, the messages the read would
  // still show are quiet (QuietMessages). While it runs the wait cursor is on and, with
  // bCaption, the caption carries kReadingSuffix.
  template <class Read, class Deliver>
  void StartRead(Read read, Deliver deliver, bool bCaption = true);
  // UI thread: drops the running read's result; the caption and cursor are restored.
  void AbandonRead();
  bool IsReading() const { return m_readToken != nullptr; }
  static constexpr const char* kReadingSuffix = " - Reading...";

  // User input, from a host or the script runner.
  // A click: a check box toggles, a radio button is checked and the others of its group
  // unchecked; then the command handler runs (IDOK/IDCANCEL without handler: OnOK/OnCancel).
  void Click(int id);
  // A double-click: the control's double-click handler, if it has one. The click that precedes
  // it is the caller's (hosts and scripts give both, as the mouse does).
  void DoubleClick(int id);
  // Text typed into a control, then its command handler.
  void UserSetText(int id, const std::string& text);
  // A list row's check box or the selected row set by the user, then the command handler.
  void UserCheckRow(int id, int row, bool checked);
  void UserSelectRow(int id, int row);
  // OnKey; unconsumed, Escape calls OnCancel and Enter clicks the default button (else OnOK).
  // True when the key was used.
  bool Key(const KeyChord& key);
  // A command of the window's system menu (the main window's About box).
  void SysCommand(unsigned id) { OnSysCommand(id); }
  // Called by the host when a timer elapses.
  void TimerElapsed(int id) { OnTimer(id); }

 protected:
  // Before the dialog is shown. The return value is kept for the MFC idiom (false: the dialog
  // set the focus itself).
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK();
  virtual void OnCancel();
  virtual void OnTimer(int /*id*/) {}
  virtual void OnSysCommand(unsigned /*id*/) {}
  virtual void OnUserMessage(unsigned /*msg*/, std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {}
  // True when the key is consumed.
  virtual bool OnKey(const KeyChord& /*key*/) { return false; }

  // Registers the handler of a control: called when the user acts on it (click, text, row).
  void OnCommand(int id, std::function<void()> handler);
  // Registers the handler of a double-click on a control.
  void OnDoubleClick(int id, std::function<void()> handler);
  Host& GetHost() { return m_host; }

 private:
  friend class Control;
  Dialog(Host& host, int templateId, const res::DialogTemplate* dialogTemplate);
  ControlState* MutableState(int id);
  // Applies change to control id and tells the host when it returns true (state differs).
  void Change(int id, ControlAspect aspect, const std::function<bool(ControlState&)>& change);
  void CheckRadio(const ControlState& clicked);
  void RunCommand(int id);
  // The reading look on (the caption saved) and off again.
  void BeginRead(bool bCaption);
  void EndRead();

  Host& m_host;
  const int m_templateId;
  const res::DialogTemplate* m_template;
  std::vector<ControlState> m_controls;
  std::map<int, std::function<void()>> m_commands;
  std::map<int, std::function<void()>> m_doubleClicks;
  std::string m_title;
  int m_w = 0;
  int m_h = 0;
  int m_focus = 0;
  bool m_visible = false;
  bool m_shownOnce = false;
  bool m_modal = false;
  bool m_ended = false;
  int m_result = 0;
  std::vector<int> m_timers;
  std::vector<std::thread> m_workers;
  std::atomic<int> m_runningWorkers{0};
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);  // posted calls hold a weak reference
  std::shared_ptr<std::atomic<bool>> m_readToken;          // the running read's (set: abandoned); null when none
  std::string m_readTitle;                                  // the caption before the read
  bool m_bReadCaption = false;
};

template <class Read, class Deliver>
void Dialog::StartRead(Read read, Deliver deliver, bool bCaption) {
  AbandonRead();
  BeginRead(bCaption);
  StartWorker([this, token = m_readToken, read = std::move(read), deliver = std::move(deliver)]() mutable {
    std::invoke_result_t<Read&> result = [&] {
      QuietMessages quiet([&token] { return token->load(); });
      return read();
    }();
    Post([this, token = std::move(token), result = std::move(result), deliver = std::move(deliver)]() mutable {
      if (token != m_readToken) return;
      EndRead();
      deliver(std::move(result));
    });
  });
}

}  // namespace kelp::ui
