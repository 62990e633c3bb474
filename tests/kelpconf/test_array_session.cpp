// The array session in-process against a simulated ZQH unit (boards 0, 1, 8, 9) with its agents:
// start-up, two sessions side by side, busy codes, the newer-agent lock and the board texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "ToolBench.h"
#include "common/MessageDisplay.h"
#include "common/RecordingDisplay.h"
#include "dialogs/BoardCaption.h"
#include "session/ArraySession.h"
#include "velapi.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class ArraySessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::Clock::SetTimeScale(kctest::kTimeScale);
    bench = new kctest::ToolBench;
    ASSERT_TRUE(bench->StartAgents());
    bench->WriteSettings();
    std::uint32_t ulError = 0;
    ASSERT_TRUE(dsvp_SetArrayUnitName(kctest::kUnit, &ulError)) << ulError;
  }
  static void TearDownTestSuite() {
    delete bench;
    plat::Clock::SetTimeScale(1);
  }
  void SetUp() override { SetMessageDisplay(&display); }
  void TearDown() override { SetMessageDisplay(nullptr); }

  static kctest::ToolBench* bench;
  RecordingDisplay display;
};
kctest::ToolBench* ArraySessionTest::bench = nullptr;

TEST_F(ArraySessionTest, StartDiscoversTheUnitAndPreparesEveryFittedBoard) {
  session::ArraySession session(bench->settingsFile(), {});
  std::vector<std::uint32_t> prepared;
  std::uint32_t ulError = 0;
  ASSERT_TRUE(session.Start(&ulError, [&](std::uint32_t ulSlot, CusrCHN::AgentAccess access, std::uint32_t) {
    EXPECT_EQ(access, CusrCHN::AgentAccess::Ready) << ulSlot;
    prepared.push_back(ulSlot);
  })) << ulError;
  EXPECT_THAT(prepared, ElementsAre(0u, 1u, 8u, 9u));
  EXPECT_THAT(session.Array().ModelSlots(), ElementsAre(0u, 1u, 8u, 9u));
  for (std::uint32_t slot = 0; slot < session::ArraySession::kSlots; ++slot) {
    ASSERT_NE(session.Board(slot), nullptr) << slot;
    EXPECT_EQ(session.Array().GetCHN(slot), session.Board(slot)) << slot;
  }
  EXPECT_EQ(session.Board(0)->GetStatus(), board::CHN_STATUS_UP) << "the first status read ran";
  EXPECT_FALSE(session.AnyAgentNewer());
  EXPECT_TRUE(display.Boxes().empty());
}

// Each session has its own tables: what one learns or marks never shows in the other, and a
// session that ends takes its boards out of its own tables only.
TEST_F(ArraySessionTest, TwoSessionsShareNothing) {
  session::ArraySession first(bench->settingsFile(), {});
  std::uint32_t ulError = 0;
  ASSERT_TRUE(first.Start(&ulError)) << ulError;
  {
    session::ArraySession second(bench->settingsFile(), {});
    EXPECT_EQ(second.Array().ModelCode(), 0u) << "not discovered yet";
    EXPECT_EQ(second.Array().GetCHN(0), nullptr);
    ASSERT_TRUE(second.Start(&ulError)) << ulError;
    second.Array().AddInitStatus(0x11);
    second.Array().SetArrayStatus(1, board::CHN_STATUS_FATAL);
    EXPECT_NE(second.Board(0), first.Board(0));
  }
  EXPECT_EQ(first.Array().GetInitStatus(), 0u);
  EXPECT_NE(first.Array().ArrayStatus(1), board::CHN_STATUS_FATAL);
  EXPECT_EQ(first.Array().GetCHN(0), first.Board(0));
}

TEST_F(ArraySessionTest, BusyCodesAreClaimedAndReleasedByTheirOwnerOnly) {
  session::ArraySession session(bench->settingsFile(), {});
  std::vector<std::uint32_t> changed;
  session.OnBusyChanged([&](std::uint32_t ulSlot) { changed.push_back(ulSlot); });
  struct Step {
    const char* what;
    bool claim;
    std::uint32_t slot;
    int code;
    bool accepted;
    int busyAfter;
  };
  const Step steps[] = {
      {"an idle board is taken", true, 8, 2, true, 2},
      {"a taken board is not taken again", true, 8, 1, false, 2},
      {"nor by its own code", true, 8, 2, false, 2},
      {"another code does not give it back", false, 8, 4, false, 2},
      {"its own code gives it back", false, 8, 2, true, 0},
      {"an idle board is not given back", false, 8, 2, false, 0},
      {"a slot past the last is refused", true, 16, 1, false, 0},
  };
  for (const Step& step : steps) {
    const bool accepted = step.claim ? session.Claim(step.slot, step.code) : session.Release(step.slot, step.code);
    EXPECT_EQ(accepted, step.accepted) << step.what;
    EXPECT_EQ(session.BoardBusy(step.slot), step.busyAfter) << step.what;
  }
  EXPECT_THAT(changed, ElementsAre(8u, 8u)) << "only the accepted changes are told";
  EXPECT_FALSE(session.AnyBoardBusy());
  session.SetPublicBusy(7);
  EXPECT_THAT(changed, ElementsAre(8u, 8u, session::ArraySession::kSlots));
  EXPECT_EQ(session.PublicBusy(), 7);
}

TEST_F(ArraySessionTest, ANewerAgentLocksEveryFunctionOnceUntilCleared) {
  session::ArraySession session(bench->settingsFile(), {});
  EXPECT_FALSE(session.IsFunctionDisable());
  EXPECT_TRUE(display.Boxes().empty());
  EXPECT_TRUE(session.MarkNewerAgent());
  EXPECT_FALSE(session.MarkNewerAgent()) << "told once";
  EXPECT_TRUE(session.IsFunctionDisable());
  ASSERT_EQ(display.Boxes().size(), 1u);
  session.ClearNewerAgent();
  EXPECT_FALSE(session.IsFunctionDisable());
  EXPECT_EQ(display.Boxes().size(), 1u);
}

TEST(BoardCaption, CaptionAndTooltipOfABoardButton) {
  EXPECT_EQ(mainwindow::BoardCaption("CTL0-0"), "                    CTL0-0");
  EXPECT_THAT(mainwindow::BoardCaption("CTL0-0", board::CHN_STATUS_UP),
              ::testing::StartsWith("                    CTL0-0"));
  EXPECT_NE(mainwindow::BoardCaption("CTL0-0", board::CHN_STATUS_UP), mainwindow::BoardCaption("CTL0-0"));
  EXPECT_EQ(mainwindow::BoardCaption("CTL0-0", 99), mainwindow::BoardCaption("CTL0-0")) << "no word: bare caption";
  EXPECT_EQ(mainwindow::BoardTooltip(0, ""), "Last status read: never\nDouble-click: Boot Management");
  const std::string seen = mainwindow::BoardTooltip(1'700'000'000'000ULL, "Installing NAS OS");
  EXPECT_THAT(seen, ::testing::MatchesRegex("Last status read: 20[0-9][0-9]/[0-9][0-9]/[0-9][0-9] [0-9:]{8}\n"
                                            "Installing NAS OS\nDouble-click: Boot Management"));
}

}  // namespace
