// The setup tool's application object: the whole start-up (system, command line, single
// instance, settings, trace, array selection, kelpftpd), the modal main window and the
// shut-down. Every start-up failure shows its catalogue message, releases what was taken and
// ends the run; the exit codes are kExitNormal and kExitStartupEnded.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/ScriptRunner.h"

namespace kelp::ui {
class Host;
}
class CdlgMain;

class CKelpconfApp {
 public:
  static constexpr int kExitNormal = 0;
  static constexpr int kExitStartupEnded = 1;

  // host is the message display and runs the dialogs; it must outlive the application object.
  explicit CKelpconfApp(kelp::ui::Host& host);
  CKelpconfApp(const CKelpconfApp&) = delete;
  CKelpconfApp& operator=(const CKelpconfApp&) = delete;

  // The instance initialisation: words are the command line without the program name. Returns
  // once the main window has closed or start-up has ended.
  int InitInstance(const std::vector<std::string>& words);
  bool IsSupportOS();
  // Called on the UI thread once the main window is up.
  void OnReady(std::function<void()> ready) { m_ready = std::move(ready); }
  // UI thread: the orderly close (the main window's Close) if the main window runs.
  void RequestClose();
  // UI thread: starting until the main window has started up, closing from its close on (or
  // when start-up ended the run).
  kelp::ui::ToolPhase Phase() const;

 private:
  kelp::ui::Host& m_host;
  CdlgMain* m_pMain = nullptr;
  bool m_bMainEnded = false;
  std::function<void()> m_ready;
};
