// The Qt host: renders every shown dialog as a real top-level window with one widget per
// control at the template geometry, forwards clicks, typing, list checks and keys to the dialog,
// and keeps the widgets in step with the dialog's control state.
//
// The UI thread is the Qt GUI thread. Post queues a call on it from any thread; a message box
// asked on another thread runs on the GUI thread and blocks the asking thread until answered.
// In script mode (scripted) boxes are answered from the script's answers, else with their
// default button, and never wait for a person.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <utility>

#include "ui/Host.h"

class QTimer;

namespace kelp::qtui {

class DialogWindow;

class QtHost : public QObject, public ui::Host {
 public:
  QtHost(ui::Transcript* transcript, bool scripted);
  ~QtHost() override;

  void Post(std::function<void()> call) override;
  void RunUntil(const std::function<bool()>& done) override;
  void StartTimer(ui::Dialog& dialog, int id, plat::Millis period) override;
  void StopTimer(ui::Dialog& dialog, int id) override;
  void SetWaitCursor(bool on) override;
  std::string Screenshot(ui::Dialog& dialog, const std::string& path) override;
  int ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) override;
  // A directory chooser whose choice must pass accept; a refused folder gets the prompt as a
  // warning and the chooser stays open. Scripted: as the base, no browser.
  std::optional<std::string> BrowseForFolder(ui::Dialog& owner, const std::string& prompt, const std::string& start,
                                             const std::function<bool(const std::string&)>& accept) override;

  // GUI thread: the script has ended and the engineer takes over: boxes wait for a person.
  void EndScriptMode() { m_scripted = false; }
  // The window of a shown dialog, or null (tests read widget geometry through it).
  QWidget* WindowOf(const ui::Dialog& dialog) const;

 protected:
  void OnDialogShown(ui::Dialog& dialog, bool shown) override;
  void OnDialogToFront(ui::Dialog& dialog) override;
  void OnDialogChanged(ui::Dialog& dialog) override;
  void OnControlChanged(ui::Dialog& dialog, int id, ui::ControlAspect aspect) override;
  void OnDialogDestroyed(ui::Dialog& dialog) override;

 private:
  int ShowBoxOnGuiThread(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle);

  bool m_scripted;
  int m_waitCursors = 0;
  std::map<const ui::Dialog*, std::unique_ptr<DialogWindow>> m_windows;
  std::map<std::pair<const ui::Dialog*, int>, QPointer<QTimer>> m_timers;
};

}  // namespace kelp::qtui
