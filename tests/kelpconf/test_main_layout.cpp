// The main window's geometry for each layout the array model chooses, in-process on the headless
// host: every board button, frame and function button, and the window size.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "board/CusrCHN.h"
#include "common/MessageDisplay.h"
#include "common/RecordingDisplay.h"
#include "dialogs/CdlgMain.h"
#include "ui/ScriptHost.h"

namespace {

struct Place {
  int x, y, w, h;
  bool visible;
};

struct LayoutCase {
  const char* pszName;
  std::uint32_t ulModel;
  int nWidth, nHeight;
  std::map<int, Place> places;  // every board button and frame; the function buttons
};

constexpr Place Hidden{-1, -1, -1, -1, false};

std::map<int, Place> Boards(std::map<int, Place> shown) {
  for (int id = 1500; id < 1516; ++id) shown.emplace(id, Hidden);
  return shown;
}

std::map<int, Place> With(std::map<int, Place> a, const std::map<int, Place>& b) {
  a.insert(b.begin(), b.end());
  return a;
}

const LayoutCase kCases[] = {
    {"ZQS",
     0x1700,
     500,
     471,
     With(Boards({{1500, {25, 20, 450, 33, true}}, {1508, {25, 63, 450, 33, true}}}),
          {{1136, {15, 0, 470, 106, true}},   {1137, {15, 116, 470, 0, true}},  {1138, {15, 126, 470, 140, true}},
           {1008, {25, 146, 220, 30, true}},  {1009, {255, 146, 220, 30, true}}, {1064, {25, 186, 220, 30, true}},
           {1011, {255, 186, 220, 30, true}}, {1106, {25, 226, 220, 30, true}},  {1117, {255, 226, 220, 30, true}},
           {1139, {15, 276, 470, 100, true}}, {1107, {25, 296, 220, 30, true}},  {1095, {255, 296, 220, 30, true}},
           {1109, {25, 336, 220, 30, true}},  {1096, {255, 336, 220, 30, false}}, {1081, {255, 396, 220, 30, true}}})},
    {"ZQM",  // the one-board layout of every model but ZQH
     0x1702,
     500,
     471,
     With(Boards({{1500, {25, 20, 450, 33, true}}, {1508, {25, 63, 450, 33, true}}}),
          {{1137, {15, 116, 470, 0, true}}, {1081, {255, 396, 220, 30, true}}})},
    {"ZQH",
     0x1703,
     500,
     577,
     With(Boards({{1500, {25, 20, 450, 33, true}},
                  {1501, {25, 136, 450, 33, true}},
                  {1508, {25, 63, 450, 33, true}},
                  {1509, {25, 179, 450, 33, true}}}),
          {{1136, {15, 0, 470, 106, true}},   {1137, {15, 116, 470, 106, true}}, {1138, {15, 232, 470, 140, true}},
           {1008, {25, 252, 220, 30, true}},  {1009, {255, 252, 220, 30, true}}, {1064, {25, 292, 220, 30, true}},
           {1011, {255, 292, 220, 30, true}}, {1106, {25, 332, 220, 30, true}},  {1117, {255, 332, 220, 30, true}},
           {1139, {15, 382, 470, 100, true}}, {1107, {25, 402, 220, 30, true}},  {1095, {255, 402, 220, 30, true}},
           {1109, {25, 442, 220, 30, true}},  {1096, {255, 442, 220, 30, false}}, {1081, {255, 502, 220, 30, true}}})},
};

class MainLayout : public ::testing::TestWithParam<LayoutCase> {
 protected:
  kelp::ui::ScriptHost m_host{nullptr};
  session::ArraySession m_session{"kelpconf.ini", {}};
  CdlgMain m_main{m_host, m_session, "KC1"};
};

TEST_P(MainLayout, PlacesEveryControl) {
  const LayoutCase& c = GetParam();
  ASSERT_TRUE(m_main.OnInitDialogW(c.ulModel));
  EXPECT_EQ(m_main.Width(), c.nWidth);
  EXPECT_EQ(m_main.Height(), c.nHeight);
  for (const auto& [id, place] : c.places) {
    SCOPED_TRACE(id);
    const kelp::ui::Control control = m_main.GetDlgItem(id);
    EXPECT_EQ(control.IsWindowVisible(), place.visible);
    if (place.x < 0) continue;
    const kelp::ui::Rect r = control.GetWindowRect();
    EXPECT_EQ((std::array{r.x, r.y, r.w, r.h}), (std::array{place.x, place.y, place.w, place.h}));
  }
}

INSTANTIATE_TEST_SUITE_P(Kelpconf, MainLayout, ::testing::ValuesIn(kCases),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

TEST_F(MainLayout, ModelWordOutsideTheTableIsRefused) {
  RecordingDisplay display;
  SetMessageDisplay(&display);
  EXPECT_FALSE(m_main.OnInitDialogW(0x1704));
  SetMessageDisplay(nullptr);
  const auto boxes = display.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_THAT(boxes[0].strText, ::testing::AllOf(::testing::HasSubstr("03522"), ::testing::HasSubstr("0x00001704")));
}

}  // namespace
