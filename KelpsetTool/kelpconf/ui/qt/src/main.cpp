// kelpconf: the Kelpset Tool. The command line is the array-management program's:
//   kelpconf -h UNIT [-s SETTINGS-FILE]
// KELP_UI_SCRIPT=FILE runs FILE against the dialogs and writes the transcript to standard
// output; KELP_UI=headless runs without any toolkit (no Qt is loaded). A script that ends with
// the tool open closes it with status 3, except on a display, where the engineer takes over.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "app/CKelpconfApp.h"
#include "common/TraceLine.h"
#include "plat/RuntimeDir.h"
#include "qtui/QtHost.h"
#include "ui/ScriptHost.h"
#include "ui/ScriptRunner.h"
#include "ui/Transcript.h"

namespace {

constexpr const char* kUsage =
    "usage: kelpconf -h UNIT [-s SETTINGS-FILE]\n"
    "  The Kelpset Tool for the array UNIT. SETTINGS-FILE defaults to ./kelpconf.ini; the package\n"
    "  installs a commented example as /usr/share/kelpset/kelpconf.ini.\n"
    "Environment:\n"
    "  KELP_UI_SCRIPT=FILE  run the script FILE against the dialogs; the transcript goes to\n"
    "                       standard output (see the README for the script lines)\n"
    "  KELP_UI=headless     no window: the dialogs run without a toolkit (scripts, tests)\n"
    "  KELP_TIME_SCALE=X    shrink every wait and time-out by X (simulated arrays)\n"
    "A script error, or a script that ends with the tool open (headless or Qt offscreen),\n"
    "closes every dialog, then the tool, with status 3; on a display the window stays open.\n"
    "Exit status: 0 closed normally, 1 start-up ended by a message, 3 script error.\n";

// Qt platforms that show nothing to an engineer.
constexpr const char* kNoDisplayPlatforms[] = {"offscreen", "minimal", "minimalegl"};

// A folder Qt accepts as XDG_RUNTIME_DIR: this user's own, closed to everyone else.
bool IsPrivateFolder(const char* pszPath) {
  struct stat st {};
  return pszPath != nullptr && *pszPath != '\0' && ::stat(pszPath, &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// Without a usable XDG_RUNTIME_DIR (a service account, a container, a test) Qt complains on
// standard error and falls back to a shared /tmp folder; it gets a private "qt" folder in the
// tool's runtime dir instead. KELP_RUNTIME_DIR is pinned first, because the runtime dir itself
// follows XDG_RUNTIME_DIR and the named mutexes must not move for this process or its children.
void GiveQtARuntimeDir() {
  if (IsPrivateFolder(std::getenv("XDG_RUNTIME_DIR"))) return;
  std::error_code ec;
  const std::filesystem::path runtime = plat::RuntimeDir(ec);
  if (ec) return;
  const std::filesystem::path qt = runtime / "qt";
  if (::mkdir(qt.c_str(), 0700) != 0 && errno != EEXIST) return;
  if (!IsPrivateFolder(qt.c_str())) return;
  ::setenv("KELP_RUNTIME_DIR", runtime.c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", qt.c_str(), 1);
}

QtMessageHandler g_qtOwnHandler = nullptr;

std::uint32_t TraceLevelOf(QtMsgType type) {
  switch (type) {
    case QtFatalMsg:
      return TRC_FATAL;
    case QtCriticalMsg:
      return TRC_ERROR;
    case QtWarningMsg:
      return TRC_WARN;
    case QtInfoMsg:
      return TRC_INFO;
    default:
      return TRC_DEBUG;
  }
}

// Qt's own diagnostics ("This plugin does not support raise()") belong in the trace, not among
// the transcript or in the engineer's terminal. Before the trace is open, and for a fatal one
// that ends the process, Qt's handler still prints them.
void RouteQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (GetTrace() != nullptr) common::TraceLine(TraceLevelOf(type), "Qt: " + message.toStdString());
  if (GetTrace() == nullptr || type == QtFatalMsg) g_qtOwnHandler(type, context, message);
}

std::optional<std::string> ReadScript(const char* pszPath) {
  std::ifstream in(pszPath);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The last resort of a script's end: the tool could not close (a worker outlived the end's
// limit), so the process ends here, with the script's status.
[[noreturn]] void Abandon(kelp::ui::Transcript& transcript, const std::string& reason) {
  std::fprintf(stderr, "kelpconf: %s: ending the process\n", reason.c_str());
  transcript.Exit(kelp::ui::kExitScriptError);
  std::fflush(nullptr);
  std::_Exit(kelp::ui::kExitScriptError);
}

// Runs the tool on a host, with the script when there is one. handOver, when set, leaves the tool
// to the engineer after the script's last line.
int Run(kelp::ui::Host& host, kelp::ui::Transcript* pTranscript, const std::optional<std::string>& script,
        const std::vector<std::string>& words, std::function<void()> handOver) {
  CKelpconfApp app(host);
  std::unique_ptr<kelp::ui::ScriptRunner> runner;
  if (script) {
    kelp::ui::ScriptedTool tool{[&app] { return app.Phase(); }, [&app] { app.RequestClose(); },
                                [pTranscript](const std::string& reason) { Abandon(*pTranscript, reason); },
                                std::move(handOver)};
    runner = std::make_unique<kelp::ui::ScriptRunner>(host, *pTranscript, *script, std::move(tool));
    app.OnReady([pTranscript] { pTranscript->Ready(); });
    runner->Start();
  }
  int nCode = app.InitInstance(words);
  if (runner) {
    runner->Stop();
    if (runner->Failed()) nCode = kelp::ui::kExitScriptError;
    pTranscript->Exit(nCode);
  }
  return nCode;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.size() == 1 && (words[0] == "--help" || words[0] == "-?")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::optional<std::string> script;
  if (const char* pszScript = std::getenv("KELP_UI_SCRIPT"); pszScript != nullptr && *pszScript != '\0') {
    script = ReadScript(pszScript);
    if (!script) {
      std::fprintf(stderr, "kelpconf: cannot read the script %s\n", pszScript);
      return kelp::ui::kExitScriptError;
    }
  }
  std::unique_ptr<kelp::ui::Transcript> transcript;
  if (script) transcript = std::make_unique<kelp::ui::Transcript>(stdout);

  const char* pszUi = std::getenv("KELP_UI");
  if (pszUi != nullptr && std::string(pszUi) == "headless") {
    kelp::ui::ScriptHost host(transcript.get());
    return Run(host, transcript.get(), script, words, {});
  }
  GiveQtARuntimeDir();
  g_qtOwnHandler = qInstallMessageHandler(RouteQtMessage);
  QApplication application(argc, argv);
  kelp::qtui::QtHost host(transcript.get(), script.has_value());
  const std::string platform = QGuiApplication::platformName().toStdString();
  const bool bDisplay = std::none_of(std::begin(kNoDisplayPlatforms), std::end(kNoDisplayPlatforms),
                                     [&](const char* pszName) { return platform == pszName; });
  std::function<void()> handOver;
  if (bDisplay) handOver = [&host] { host.EndScriptMode(); };
  return Run(host, transcript.get(), script, words, std::move(handOver));
}
