// Where the main window's controls go for an array model: the board buttons of the model's slots
// (one per group for ZQS, ZQXS and ZQM; two for ZQH), the two board frames, the node and public
// button grids and Close, and the window's size; "Inherit and Install" starts hidden (a key
// shows it). Pure; the window applies it in order.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/ControlState.h"

namespace mainwindow {

struct Placement {
  int nId;
  std::optional<kelp::ui::Rect> rect;  // moved there; none: left where it is
  std::optional<bool> shown;           // shown or hidden; none: left as it is
};

struct MainLayout {
  std::vector<Placement> placements;  // every placed control, board buttons first
  int nWidth = 0;
  int nHeight = 0;
};

// The layout of a model word (its low 16 bits); none for a word the table does not know.
std::optional<MainLayout> LayOutMain(std::uint32_t ulModel);

}  // namespace mainwindow
