// Dialogs built from the templates, their control state and the transcript lines it produces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "common/MessageBoxStyle.h"
#include "common/Strings.h"
#include "resources/ControlIds.h"
#include "ui/Dialog.h"
#include "ui/MessageAnswers.h"
#include "ui/ScriptHost.h"
#include "ui/Transcript.h"

using namespace kelp;
using namespace kelp::ui;
using ::testing::ElementsAre;

namespace {

struct Placed {
  int id;
  Rect rect;
  bool visible;
};

TEST(MainTemplate, HoldsTheTwoBoardsPerGroupLayout) {
  ScriptHost host(nullptr);
  Dialog main(host, res::kTemplateMain);
  EXPECT_EQ(main.GetWindowText(), "Kelpset Tool ( Main )");
  EXPECT_EQ(main.Width(), 500);
  EXPECT_EQ(main.Height(), 577);
  const Placed table[] = {
      {1500, {25, 20, 450, 33}, true},   {1508, {25, 63, 450, 33}, true},   {1501, {25, 136, 450, 33}, true},
      {1509, {25, 179, 450, 33}, true},  {1502, {25, 252, 450, 33}, false}, {1515, {25, 875, 450, 33}, false},
      {1136, {15, 0, 470, 106}, true},   {1137, {15, 116, 470, 106}, true}, {1138, {15, 232, 470, 140}, true},
      {1008, {25, 252, 220, 30}, true},  {1009, {255, 252, 220, 30}, true}, {1064, {25, 292, 220, 30}, true},
      {1117, {255, 332, 220, 30}, true}, {1139, {15, 382, 470, 100}, true}, {1107, {25, 402, 220, 30}, true},
      {1109, {25, 442, 220, 30}, true},  {1096, {255, 442, 220, 30}, false}, {1081, {255, 502, 220, 30}, true},
      {1094, {25, 502, 220, 30}, false}, {1013, {25, 502, 220, 30}, false}, {1108, {25, 502, 220, 30}, false},
  };
  for (const Placed& p : table) {
    Control c = main.GetDlgItem(p.id);
    ASSERT_TRUE(c) << p.id;
    EXPECT_EQ(c.GetWindowRect(), p.rect) << p.id;
    EXPECT_EQ(c.IsWindowVisible(), p.visible) << p.id;
  }
  EXPECT_EQ(main.GetDlgItem(1138).GetWindowText(), " Node Function ");
  EXPECT_EQ(main.GetDlgItem(1139).GetWindowText(), " Public Function ");
}

TEST(Templates, TakeTheirTextsFromTheStringTable) {
  ScriptHost host(nullptr);
  Dialog about(host, res::kTemplateAbout);
  EXPECT_EQ(about.GetWindowText(), "About Kelpset Tool");
  EXPECT_EQ(about.GetDlgItem(res::kAboutVersionText).GetWindowText(), "Kelpset Tool Version 05-00-01");
  Dialog splash(host, res::kTemplateSplash);
  EXPECT_EQ(splash.GetDlgItem(res::kSplashText).GetWindowText(), "Initializing the Kelpset Tool.\n\nPlease wait...");
  EXPECT_EQ(LoadString(200), "Kelpset Tool");
  EXPECT_EQ(LoadString(250), "(NEW)");
  EXPECT_EQ(LoadString(255), "(ACTIVE)");
  EXPECT_EQ(LoadString(315), "DISUSE");
  EXPECT_EQ(LoadString(600), "__kelp_sos_timer_mutex_%d__");
  EXPECT_EQ(Dialog(host, 4242).DoModal(), -1);
}

TEST(Dialog, BoardButtonsAreOneRadioGroupAndChangesReachTheTranscript) {
  Transcript transcript;
  ScriptHost host(&transcript);
  Dialog main(host, res::kTemplateMain);
  main.Click(1500);
  main.Click(1509);
  EXPECT_EQ(main.GetDlgItem(1500).GetCheck(), 0);
  EXPECT_EQ(main.GetDlgItem(1509).GetCheck(), 1);
  main.GetDlgItem(1008).EnableWindow(false);
  main.GetDlgItem(1008).EnableWindow(false);  // no change, no line
  main.GetDlgItem(1096).ShowWindow(true);
  main.GetDlgItem(1500).SetWindowText("  CL1-A \"x\"\\(ACTIVE)");
  main.SetWindowText("Kelpset Tool ( UNIT )");  // before the first show: carried by the window line
  main.ShowWindow(true);
  main.SetWindowText("Kelpset Tool ( UNIT2 )");
  host.SetBusy(3, 1);
  host.SetBusy(kPublicBusySlot, 5);
  EXPECT_FALSE(host.IsIdle());
  host.SetBusy(3, 0);
  host.SetBusy(kPublicBusySlot, 0);
  EXPECT_TRUE(host.IsIdle());
  EXPECT_THAT(transcript.Lines(),
              ElementsAre("enable 1008 0", "show 1096 1", R"x(text 1500 "  CL1-A \"x\"\\(ACTIVE)")x",
                          R"x(window 102 "Kelpset Tool ( UNIT )")x", R"x(title 102 "Kelpset Tool ( UNIT2 )")x", "busy 3 1",
                          "busy public 5", "busy 3 0", "busy public 0"));
}

// Runs the host's loop until every call posted so far has run.
void Drain(ScriptHost& host, Dialog& dialog) {
  bool bDone = false;
  dialog.Post([&] { bDone = true; });
  host.RunUntil([&] { return bDone; });
}

// A read on a worker shows the reading caption and cursor while it runs and is delivered on the
// UI thread; a newer read, EndDialog and the dialog's end each drop the result of the one before.
TEST(Dialog, AReadIsDeliveredUnlessAbandoned) {
  Transcript transcript;
  ScriptHost host(&transcript);
  Dialog dialog(host, res::kTemplateMain);
  dialog.SetWindowText("Unit");
  dialog.ShowWindow(true);
  std::vector<int> delivered;
  const auto deliver = [&](int n) { delivered.push_back(n); };

  std::promise<void> first;
  dialog.StartRead([gate = first.get_future().share()] { gate.wait(); return 1; }, deliver);
  EXPECT_TRUE(dialog.IsReading());
  EXPECT_EQ(dialog.GetWindowText(), "Unit - Reading...");
  EXPECT_TRUE(host.WaitCursor());
  dialog.StartRead([] { return 2; }, deliver);
  first.set_value();
  host.RunUntil([&] { return !dialog.IsReading() && !dialog.WorkersRunning(); });
  Drain(host, dialog);
  EXPECT_THAT(delivered, ElementsAre(2));
  EXPECT_EQ(dialog.GetWindowText(), "Unit");
  EXPECT_FALSE(host.WaitCursor());

  std::promise<void> closed;
  dialog.StartRead([gate = closed.get_future().share()] { gate.wait(); return 3; }, deliver);
  dialog.EndDialog(IDCANCEL);
  EXPECT_FALSE(dialog.IsReading());
  EXPECT_EQ(dialog.GetWindowText(), "Unit");
  EXPECT_FALSE(host.WaitCursor());
  closed.set_value();
  host.RunUntil([&] { return !dialog.WorkersRunning(); });
  Drain(host, dialog);
  EXPECT_THAT(delivered, ElementsAre(2));

  auto pGone = std::make_unique<Dialog>(host, res::kTemplateMain);
  const std::string strTitle = pGone->GetWindowText();
  pGone->StartRead([] { return 4; }, deliver, false);
  EXPECT_EQ(pGone->GetWindowText(), strTitle);  // without the reading caption
  EXPECT_TRUE(host.WaitCursor());
  pGone.reset();
  Drain(host, dialog);
  EXPECT_THAT(delivered, ElementsAre(2));
  EXPECT_FALSE(host.WaitCursor());
}

TEST(Transcript, WritesEachEventAsOneLine) {
  Transcript transcript;
  transcript.Message(3493, "cancel", "[DMEN03493W]\n\nIs\tthis OK?", true);
  transcript.Message(3530, "ok", "x", false);
  transcript.Ready();
  transcript.ScriptError(4, "target 99 not found");
  transcript.Exit(3);
  EXPECT_THAT(transcript.Lines(), ElementsAre(R"(message 3493 cancel "[DMEN03493W]\n\nIs\tthis OK?" default)",
                                              R"(message 3530 ok "x")", "ready", "script-error 4 target 99 not found",
                                              "exit 3"));
}

TEST(MessageAnswers, QueuedAnswerFirstThenEveryBoxAnswerNamedButtonElseAffirmative) {
  constexpr std::uint32_t kYesNoCancel = MB_YESNOCANCEL | MB_DEFBUTTON3;
  MessageAnswers answers;
  EXPECT_EQ(answers.Take(3498, kYesNoCancel), std::nullopt);
  answers.Queue(3498, IDNO);
  answers.Queue(3498, IDOK);  // not offered by a yes/no/cancel box: its affirmative Yes
  answers.Queue(std::nullopt, IDCANCEL);
  EXPECT_EQ(answers.Take(3530, MB_OK), IDOK);
  EXPECT_EQ(answers.Take(3498, kYesNoCancel), IDNO);
  EXPECT_EQ(answers.Take(3498, kYesNoCancel), IDYES);
  EXPECT_EQ(answers.Take(3498, kYesNoCancel), IDCANCEL);
  EXPECT_EQ(answers.Take(3493, MB_OKCANCEL), IDCANCEL);
}

TEST(MessageAnswers, IdIsTheNumberOfTheLeadingIdentifier) {
  const std::pair<const char*, std::uint32_t> texts[] = {
      {"[DMEN03493W]\n\nIs this OK?", 3493}, {"[DMEN020206I]", 20206}, {"[DMEN04294967295W]", 4294967295u},
      {"no identifier", 0},                  {"[DMEN0]", 0},         {" [DMEN03493W]", 0},
  };
  for (const auto& [text, id] : texts) EXPECT_EQ(MessageIdOfText(text), id) << text;
}

}  // namespace
