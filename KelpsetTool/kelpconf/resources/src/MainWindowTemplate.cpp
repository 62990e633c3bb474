// The main window "Kelpset Tool ( Main )" at the layout of a model with two boards per column
// group; the main dialog moves and hides controls for other models at start-up.
#include <array>

#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr int kWidth = 500;
constexpr int kFrameX = 15;
constexpr int kFrameW = 470;
constexpr int kFrameH = 106;
constexpr int kBoardsPerGroup = 2;
constexpr int kBoardX = 25;
constexpr int kBoardW = 450;
constexpr int kBoardH = 33;
constexpr int kBoardPitch = 116;
constexpr int kFunctionX[2] = {25, 255};
constexpr int kFunctionW = 220;
constexpr int kFunctionH = 30;
constexpr int kFunctionPitch = 40;

constexpr int kNodeTop = 2 * (kFrameH + 10);  // below both board frames
constexpr int kPublicTop = kNodeTop + 150;
constexpr int kCloseY = kPublicTop + 110 + 10;
constexpr int kHeight = kPublicTop + 110 + 85;

struct FunctionButton {
  int id;
  std::string_view caption;
  std::uint32_t style;
};

constexpr FunctionButton kNodeButtons[] = {
    {kProgramInstall, "Program Install", 0}, {kRouting, "Routing", 0},
    {kNncReset, "NNC Reset", 0},             {kNasDump, "NAS Dump", 0},
    {kRestoreOsLu, "Restore NAS OS LU", 0},  {kDownloadDump, "Download Dump", 0},
};
constexpr FunctionButton kPublicButtons[] = {
    {kRestoreCmLu, "Restore NAS CM LU", 0},
    {kConfiguration, "Configuration", 0},
    {kRestoreSystemLu, "Restore All NAS System LU", 0},
    {kInheritInstall, "Inherit and Install", kStyleHidden},
};
constexpr FunctionButton kHiddenButtons[] = {
    {kReferConfig, "Refer Configuration", kStyleHidden},
    {kLuInitialize, "LU Initialize", kStyleHidden},
    {kInstallDevice, "Install Device", kStyleHidden},
};

constexpr std::size_t kControlCount = 2 + kBoardSlots + 1 + std::size(kNodeButtons) + 1 +
                                      std::size(kPublicButtons) + 1 + std::size(kHiddenButtons);

template <std::size_t N>
constexpr void AddGrid(std::array<ControlTemplate, kControlCount>& out, std::size_t& n,
                       const FunctionButton (&buttons)[N], int top) {
  for (std::size_t k = 0; k < N; ++k) {
    out[n++] = {buttons[k].id, ControlKind::PushButton, buttons[k].caption, kFunctionX[k % 2],
                top + static_cast<int>(k / 2) * kFunctionPitch + 20, kFunctionW, kFunctionH, buttons[k].style};
  }
}

constexpr std::array<ControlTemplate, kControlCount> MakeControls() {
  std::array<ControlTemplate, kControlCount> out{};
  std::size_t n = 0;
  out[n++] = {kBoardFrame1, ControlKind::GroupBox, "", kFrameX, 0, kFrameW, kFrameH};
  out[n++] = {kBoardFrame2, ControlKind::GroupBox, "", kFrameX, kFrameH + 10, kFrameW, kFrameH};
  for (int i = 0; i < kBoardSlots; ++i) {
    const int p = i % 8;
    std::uint32_t style = p < kBoardsPerGroup ? 0 : kStyleHidden;
    if (i == 0) style |= kStyleGroup;
    out[n++] = {kBoardButtonFirst + i, ControlKind::PushRadio, "", kBoardX, p * kBoardPitch + (i < 8 ? 20 : 63),
                kBoardW, kBoardH, style};
  }
  out[n++] = {kNodeFunctionFrame, ControlKind::GroupBox, " Node Function ", kFrameX, kNodeTop, kFrameW, 140};
  AddGrid(out, n, kNodeButtons, kNodeTop);
  out[n++] = {kPublicFunctionFrame, ControlKind::GroupBox, " Public Function ", kFrameX, kPublicTop, kFrameW, 100};
  AddGrid(out, n, kPublicButtons, kPublicTop);
  out[n++] = {kMainClose, ControlKind::PushButton, "Close", kFunctionX[1], kCloseY, kFunctionW, kFunctionH};
  for (const FunctionButton& b : kHiddenButtons) {
    out[n++] = {b.id, ControlKind::PushButton, b.caption, kFunctionX[0], kCloseY, kFunctionW, kFunctionH, b.style};
  }
  return out;
}

constexpr std::array<ControlTemplate, kControlCount> kControls = MakeControls();
static_assert(kControls.back().id == kInstallDevice, "every control slot is filled");

constexpr DialogTemplate kMain{kTemplateMain, "Kelpset Tool ( Main )", kWidth, kHeight, kControls};

}  // namespace

const DialogTemplate& MainWindowTemplate() { return kMain; }

}  // namespace kelp::res
