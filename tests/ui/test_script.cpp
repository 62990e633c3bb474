// Script mode end to end: ScriptHost runs a test dialog modally on the test thread while a
// ScriptRunner drives it from its own thread, as kelpconf does with KELP_UI=headless.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "common/MessageBoxStyle.h"
#include "common/MessageDisplay.h"
#include "common/Messages.h"
#include "plat/Clock.h"
#include "resources/ControlIds.h"
#include "ui/Dialog.h"
#include "ui/ScriptHost.h"
#include "ui/ScriptRunner.h"
#include "ui/Transcript.h"

using namespace kelp;
using namespace kelp::ui;
using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::Not;

namespace {

using K = res::ControlKind;
constexpr int kGo = 10, kModal = 11, kAsk = 12, kWork = 13, kFlag = 14, kList = 15, kEdit = 16, kTick = 17,
              kSecret = 18, kBusyModal = 19, kOut = 20, kTicks = 21;
constexpr int kAbandoned = 3;  // the modal result the test's last resort gives
constexpr res::ListColumn kColumns[] = {{"Name", 80}, {"Value", 80}};
constexpr res::ControlTemplate kControls[] = {
    {kGo, K::PushButton, "Go", 0, 0, 50, 20},
    {kModal, K::PushButton, "Modal", 0, 0, 50, 20},
    {kAsk, K::PushButton, "Ask", 0, 0, 50, 20},
    {kWork, K::PushButton, "Work", 0, 0, 50, 20},
    {kFlag, K::CheckBox, "Flag", 0, 0, 50, 20},
    {kList, K::ListView, "", 0, 0, 160, 80, res::kStyleCheckBoxes, kColumns},
    {kEdit, K::Edit, "", 0, 0, 50, 20},
    {kTick, K::PushButton, "Tick", 0, 0, 50, 20},
    {kSecret, K::PushButton, "Secret", 0, 0, 50, 20, res::kStyleHidden},
    {kBusyModal, K::PushButton, "Busy modal", 0, 0, 50, 20},
    {kOut, K::Static, "", 0, 0, 50, 20},
    {kTicks, K::Static, "", 0, 0, 50, 20},
    {res::kMainClose, K::PushButton, "Close", 0, 0, 50, 20},
};
constexpr res::DialogTemplate kTestTemplate{9000, "Test", 300, 200, kControls};
constexpr res::ControlTemplate kInnerControls[] = {{IDOK, K::PushButton, "OK", 0, 0, 50, 20}};
constexpr res::DialogTemplate kInnerTemplate{9001, "Inner", 100, 50, kInnerControls};
constexpr res::DialogTemplate kBusyTemplate{9002, "Busy", 100, 50, kInnerControls};

// A modal dialog with an operation from the start, as the tool's dialogs have: its close is
// refused until the worker has ended, which takes workTime or until release is set.
class BusyDialog : public Dialog {
 public:
  BusyDialog(Host& host, plat::Millis workTime, const std::atomic<bool>& release)
      : Dialog(host, kBusyTemplate), m_workTime(workTime), m_release(release) {}
  ~BusyDialog() override { JoinWorkers(); }

 protected:
  bool OnInitDialog() override {
    m_working = true;
    StartWorker([this] {
      plat::Clock::PollUntil(plat::Clock::Now() + m_workTime, [this] { return m_release.load(); });
      Post([this] { m_working = false; });
    });
    return true;
  }
  void OnCancel() override {
    if (!m_working) EndDialog(IDCANCEL);
  }

 private:
  plat::Millis m_workTime;
  const std::atomic<bool>& m_release;
  bool m_working = false;
};

class TestDialog : public Dialog {
 public:
  TestDialog(Host& host, const std::atomic<bool>& release) : Dialog(host, kTestTemplate) {
    OnCommand(kGo, [this] { Out("clicked " + std::to_string(++m_clicks)); });
    OnDoubleClick(kGo, [this] { Out("double-clicked after " + std::to_string(m_clicks)); });
    OnCommand(kModal, [this] {
      Dialog inner(GetHost(), kInnerTemplate);
      Out("modal " + std::to_string(inner.DoModal()));
    });
    OnCommand(kBusyModal, [this, &release] {
      BusyDialog busy(GetHost(), workTime, release);
      Out("busy modal " + std::to_string(busy.DoModal()));
    });
    OnCommand(kAsk, [this] {
      int button = 0;
      ShowMessage(3493, {}, {}, &button);
      Out(ButtonWord(button));
    });
    OnCommand(kWork, [this] {
      GetHost().SetBusy(3, 1);
      StartWorker([this] {
        plat::Clock::Sleep(2s);
        ShowMessage(3530);  // a box asked from the worker thread
        Post([this] {
          Out("worker done");
          GetHost().SetBusy(3, 0);
        });
      });
    });
    OnCommand(kTick, [this] {
      m_tickStart = plat::Clock::Now();
      SetTimer(1, 10s);
    });
    OnCommand(res::kMainClose, [this] { EndDialog(IDOK); });
  }
  plat::Millis tickSpan{0};
  plat::Millis workTime{0};  // of the busy modal dialog

 protected:
  bool OnInitDialog() override {
    for (const char* name : {"alpha", "beta", "gamma"}) GetDlgItem(kList).AddRow({name, "1"});
    return true;
  }
  void OnTimer(int id) override {
    GetDlgItem(kTicks).SetWindowText("tick " + std::to_string(++m_ticks));
    if (m_ticks == 3) {
      KillTimer(id);
      tickSpan = plat::Clock::Now() - m_tickStart;
    }
  }
  bool OnKey(const KeyChord& key) override {
    if (key != KeyChord{true, true, false, "e"}) return false;
    GetDlgItem(kSecret).ShowWindow(true);
    return true;
  }

 private:
  void Out(const std::string& text) { GetDlgItem(kOut).SetWindowText(text); }
  int m_clicks = 0;
  int m_ticks = 0;
  plat::TimePoint m_tickStart;
};

class ScriptModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::Clock::SetTimeScale(0.001);
    SetMessageDisplay(&host);
  }
  void TearDown() override {
    SetMessageDisplay(nullptr);
    plat::Clock::SetTimeScale(1);
  }
  // Runs the script against dialog, modal on this thread as the tool's main window; the tool's
  // close ends it with IDCANCEL, and the last resort with kAbandoned (all its modal dialogs, once
  // the workers are released). Returns the modal result.
  int Run(Dialog& dialog, const std::string& script, std::function<void()> handOver = {}) {
    ScriptedTool tool{[&dialog] { return dialog.HasEnded() ? ToolPhase::Closing : ToolPhase::Open; },
                      [&dialog] { dialog.EndDialog(IDCANCEL); },
                      [this](const std::string& reason) {
                        abandoned = reason;
                        release = true;
                        host.Post([this] {
                          for (Dialog* modal : host.ModalDialogs()) modal->EndDialog(kAbandoned);
                        });
                      },
                      std::move(handOver)};
    ScriptRunner runner(host, transcript, script, std::move(tool));
    runner.Start();
    const int result = dialog.DoModal();
    runner.Stop();
    failed = runner.Failed();
    return result;
  }
  std::vector<std::string> Lines() const { return transcript.Lines(); }

  Transcript transcript;
  ScriptHost host{&transcript};
  bool failed = false;
  std::string abandoned;
  std::atomic<bool> release{false};  // ends the busy modal dialog's worker
};

TEST_F(ScriptModeTest, ClickRunsTheHandlerAndTheTranscriptShowsIt) {
  TestDialog dlg(host, release);
  EXPECT_EQ(Run(dlg, "click 10\nclick \"Go\"\nwait-text 20 \"^clicked 2$\"\nclick \"Close\"\n"), IDOK);
  EXPECT_FALSE(failed);
  for (const char* line : {R"(window 9000 "Test")", R"(text 20 "clicked 1")", R"(text 20 "clicked 2")"}) {
    EXPECT_THAT(Lines(), Contains(line));
  }
}

TEST_F(ScriptModeTest, DoubleClickClicksFirstThenRunsTheDoubleClickHandler) {
  TestDialog dlg(host, release);
  EXPECT_EQ(Run(dlg, "double-click 10\nwait-text 20 \"^double-clicked after 1$\"\ndouble-click 13\nclick \"Close\"\n"), IDOK);
  EXPECT_FALSE(failed);
  EXPECT_THAT(Lines(), Contains(R"(text 20 "clicked 1")"));
}

TEST_F(ScriptModeTest, ModalDialogInsideAHandlerRunsOnWhileTheScriptGoesOn) {
  TestDialog dlg(host, release);
  EXPECT_EQ(Run(dlg, "click 11\nwait-transcript \"^window 9001 \"\nclick 9001:1\nwait-text 20 modal\nclick \"Close\""), IDOK);
  EXPECT_FALSE(failed);
  EXPECT_THAT(Lines(), Contains(R"(window 9001 "Inner")"));
  EXPECT_THAT(Lines(), Contains(R"(text 20 "modal 1")"));
}

TEST_F(ScriptModeTest, BoxesTakeTheQueuedAnswerThenTheStarAnswerElseTheirDefault) {
  TestDialog dlg(host, release);
  Run(dlg, "click 12\nwait-message 3493\nanswer * yes\nanswer 3493 cancel\nclick 12\nwait-message 3493\n"
           "click 12\nwait-message 3493\nclick \"Close\"");
  const std::string text = R"("[DMEN03493W]\n\nThe NAS Cluster Management LU will now be initialized. \nIs this OK?")";
  std::vector<std::string> boxes;
  for (const std::string& line : Lines()) {
    if (line.rfind("message ", 0) == 0) boxes.push_back(line);
  }
  // No answer: the default button (Cancel, the second); queued: Cancel; '*' yes on an OK/Cancel
  // box: the affirmative OK.
  EXPECT_THAT(boxes, ::testing::ElementsAre("message 3493 cancel " + text + " default", "message 3493 cancel " + text,
                                            "message 3493 ok " + text));
}

TEST_F(ScriptModeTest, WorkerPostsToTheUiThreadAndWaitIdleWaitsForIt) {
  TestDialog dlg(host, release);
  Run(dlg, "click 13\nwait-idle 30\nwait-text 20 \"^worker done$\" 0\nclick \"Close\"");
  EXPECT_FALSE(failed);
  const auto lines = Lines();
  const auto at = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
  EXPECT_LT(at("busy 3 1"), at(R"(message 3530 ok "[DMEN03530I]\n\nKelpset will now finish." default)"));
  EXPECT_LT(at(R"(message 3530 ok "[DMEN03530I]\n\nKelpset will now finish." default)"), at(R"(text 20 "worker done")"));
  EXPECT_LT(at(R"(text 20 "worker done")"), at("busy 3 0"));
  EXPECT_LT(at("busy 3 0"), static_cast<std::ptrdiff_t>(lines.size()));
}

TEST_F(ScriptModeTest, TimersRunOnScaledLogicalTime) {
  TestDialog dlg(host, release);
  const auto realStart = std::chrono::steady_clock::now();
  Run(dlg, "click 17\nwait-text 21 \"^tick 3$\" 120\nsleep 50\nclick \"Close\"");
  EXPECT_FALSE(failed);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 3s);
  EXPECT_GE(dlg.tickSpan, 30s);
  EXPECT_THAT(Lines(), Contains(R"(text 21 "tick 3")"));
  EXPECT_THAT(Lines(), Not(Contains(R"(text 21 "tick 4")")));
}

TEST_F(ScriptModeTest, RowsChecksTextAndKeysActAsTheUser) {
  TestDialog dlg(host, release);
  Run(dlg, "check-row \"^(alpha|gamma)\\t\"\ncheck-row beta 0\nselect-row ^g\ncheck \"Flag\" 1\n"
           "set 16 \"two words\"\nkey shift+ctrl+e\nclick \"Secret\"\nclick 1081");
  EXPECT_FALSE(failed);
  Control list = dlg.GetDlgItem(kList);
  EXPECT_TRUE(list.GetRowCheck(0));
  EXPECT_FALSE(list.GetRowCheck(1));
  EXPECT_TRUE(list.GetRowCheck(2));
  EXPECT_EQ(list.GetSelection(), 2);
  EXPECT_EQ(dlg.GetDlgItem(kFlag).GetCheck(), 1);
  EXPECT_EQ(dlg.GetDlgItem(kEdit).GetWindowText(), "two words");
  EXPECT_THAT(Lines(), Contains("show 18 1"));
}

struct FailingScript {
  const char* script;
  const char* error;
};

TEST_F(ScriptModeTest, AFailingScriptWritesItsLineAndClosesTheTool) {
  const FailingScript cases[] = {
      {"# parse errors stop the run before it starts\nfrobnicate", "script-error 2 unknown command frobnicate"},
      {"wait-text 20 never 2", "script-error 1 timed out after 2 s: text of 20 is , not matching never"},
      {"wait-message 3530 1", "script-error 1 timed out after 1 s: message 3530 not shown"},
      {"screenshot /tmp/x.png", "script-error 1 screenshot is not supported by the headless host"},
      {"click \"Secret\"", "script-error 1 target \"Secret\" not found"},  // hidden: no visible caption
      {"click 18", "script-error 1 target 18 is hidden"},
  };
  for (const FailingScript& c : cases) {
    SCOPED_TRACE(c.script);
    TestDialog dlg(host, release);
    EXPECT_EQ(Run(dlg, c.script), IDCANCEL);
    EXPECT_TRUE(failed);
    EXPECT_THAT(Lines(), Contains(c.error));
  }
}

// The order of the end: the dialog inside the main window's loop ends first (its result reaches
// the main window's handler), then the main window; a worker is waited for.
TEST_F(ScriptModeTest, TheEndClosesTheInnerModalDialogFirstThenTheMainWindow) {
  const struct {
    const char* script;
    plat::Millis workTime;
    const char* inner;  // the main window's text once the inner dialog has ended
    const char* error;
  } cases[] = {
      {"click 11\nwait-transcript \"^window 9001 \"\nwait-text 9000:20 never 1", {}, R"(text 20 "modal 2")",
       "script-error 3 timed out after 1 s: text of 9000:20 is , not matching never"},
      {"click 19\nwait-transcript \"^window 9002 \"\n", 120s, R"(text 20 "busy modal 2")",
       "script-error 2 script ended with the tool open"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    TestDialog dlg(host, release);
    dlg.workTime = c.workTime;
    const std::size_t from = Lines().size();
    EXPECT_EQ(Run(dlg, c.script), IDCANCEL);
    EXPECT_TRUE(failed);
    EXPECT_EQ(abandoned, "");
    std::vector<std::string> lines = Lines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(from));
    EXPECT_THAT(lines, ::testing::IsSupersetOf({std::string(c.error), std::string(c.inner)}));
    EXPECT_LT(std::find(lines.begin(), lines.end(), c.error), std::find(lines.begin(), lines.end(), c.inner));
  }
}

TEST_F(ScriptModeTest, ADialogThatCannotCloseWithinTheLimitIsAbandoned) {
  TestDialog dlg(host, release);
  dlg.workTime = 2 * kEndLimit;
  const auto realStart = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(dlg, "click 19\nwait-transcript \"^window 9002 \"\nwait-text 20 never 1"), kAbandoned);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 5s);
  EXPECT_EQ(abandoned, "the tool did not end within 900 s (waiting for the workers of dialog 9002)");
  EXPECT_THAT(Lines(), Contains(R"(text 20 "busy modal 3")"));
}

TEST_F(ScriptModeTest, AToolHandedOverStaysOpenAfterTheLastLine) {
  TestDialog dlg(host, release);
  std::atomic<bool> handedOver{false};
  std::thread engineer([&] {
    // The engineer closes the window some time after the script has handed it over.
    while (!handedOver) std::this_thread::sleep_for(1ms);
    plat::Clock::Sleep(10s);
    host.Post([&dlg] { dlg.EndDialog(IDOK); });
  });
  EXPECT_EQ(Run(dlg, "click 10", [&] { handedOver = true; }), IDOK);
  engineer.join();
  EXPECT_FALSE(failed);
  EXPECT_THAT(Lines(), Contains(R"(text 20 "clicked 1")"));
  EXPECT_THAT(Lines(), Not(Contains(::testing::StartsWith("script-error"))));
}

class MainWindow : public Dialog {
 public:
  explicit MainWindow(Host& host) : Dialog(host, res::kTemplateMain) {
    OnCommand(res::kMainClose, [this] { EndDialog(IDOK); });
  }
};

TEST_F(ScriptModeTest, CloseClicksTheMainWindowsCloseButton) {
  MainWindow main(host);
  EXPECT_EQ(Run(main, "click 1508\nclose"), IDOK);
  EXPECT_FALSE(failed);
  EXPECT_EQ(Lines().front(), R"x(window 102 "Kelpset Tool ( Main )")x");
  EXPECT_EQ(main.GetDlgItem(1508).GetCheck(), 1);
}

}  // namespace
