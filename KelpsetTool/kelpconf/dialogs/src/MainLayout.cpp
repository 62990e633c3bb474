#include "dialogs/MainLayout.h"

#include <algorithm>
#include <iterator>

#include "resources/ControlIds.h"

namespace mainwindow {
namespace {

namespace res = kelp::res;

// In the order of the window's two button grids.
constexpr int kNodeButtons[] = {res::kProgramInstall, res::kRouting,     res::kNncReset,
                                res::kNasDump,        res::kRestoreOsLu, res::kDownloadDump};
constexpr int kPublicButtons[] = {res::kRestoreCmLu, res::kConfiguration, res::kRestoreSystemLu,
                                  res::kInheritInstall};

struct ModelLayout {
  std::uint16_t usModel;
  int nBoardsPerGroup;
};
constexpr ModelLayout kModels[] = {{0x1700, 1}, {0x1701, 1}, {0x1702, 1}, {0x1703, 2}};

}  // namespace

std::optional<MainLayout> LayOutMain(std::uint32_t ulModel) {
  const auto* pModel = std::find_if(std::begin(kModels), std::end(kModels),
                                    [&](const ModelLayout& m) { return m.usModel == (ulModel & 0xFFFF); });
  if (pModel == std::end(kModels)) return std::nullopt;
  MainLayout layout;
  auto& out = layout.placements;
  const int nPerGroup = pModel->nBoardsPerGroup;
  for (int i = 0; i < res::kBoardSlots; ++i) {
    const int p = i % 8;
    if (p >= nPerGroup)
      out.push_back({res::kBoardButtonFirst + i, std::nullopt, false});
    else
      out.push_back({res::kBoardButtonFirst + i, kelp::ui::Rect{25, p * 116 + (i < 8 ? 20 : 63), 450, 33}, true});
  }
  int y = 0;
  out.push_back({res::kBoardFrame1, kelp::ui::Rect{15, y, 470, 106}, std::nullopt});
  y += 116;
  const int nSecondFrame = nPerGroup == 1 ? 0 : 106;
  out.push_back({res::kBoardFrame2, kelp::ui::Rect{15, y, 470, nSecondFrame}, std::nullopt});
  y += nSecondFrame + 10;
  const auto placeGrid = [&](const int* pIds, std::size_t n, int top) {
    for (std::size_t k = 0; k < n; ++k)
      out.push_back({pIds[k], kelp::ui::Rect{k % 2 == 0 ? 25 : 255, top + static_cast<int>(k / 2) * 40 + 20, 220, 30},
                     std::nullopt});
  };
  out.push_back({res::kNodeFunctionFrame, kelp::ui::Rect{15, y, 470, 140}, std::nullopt});
  placeGrid(kNodeButtons, std::size(kNodeButtons), y);
  y += 150;
  out.push_back({res::kPublicFunctionFrame, kelp::ui::Rect{15, y, 470, 100}, std::nullopt});
  placeGrid(kPublicButtons, std::size(kPublicButtons), y);
  y += 110;
  out.push_back({res::kMainClose, kelp::ui::Rect{255, y + 10, 220, 30}, std::nullopt});
  out.push_back({res::kInheritInstall, std::nullopt, false});
  layout.nWidth = 500;
  layout.nHeight = y + 85;
  return layout;
}

}  // namespace mainwindow
