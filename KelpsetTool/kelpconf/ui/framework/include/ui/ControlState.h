// The state of one dialog control, as the dialog holds it and the hosts render it.
#pragma once

#include <string>
#include <vector>

#include "resources/DialogTemplate.h"

namespace kelp::ui {

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool operator==(const Rect&) const = default;
};

// One list view row: its column texts and its check box.
struct ListRow {
  std::vector<std::string> columns;
  bool checked = false;
};

// What changed on a control; the host is told each change.
enum class ControlAspect { Text, Enabled, Visible, Checked, Rows, Selection, Geometry, Focus, ToolTip };

struct ControlState {
  const res::ControlTemplate* tmpl = nullptr;  // kind, id, style and columns
  std::string text;
  bool enabled = true;
  bool visible = true;
  int check = 0;  // 0 unchecked, 1 checked
  std::vector<ListRow> rows;
  int selection = -1;  // selected list row, -1 none
  Rect rect;
  std::string toolTip;  // shown while the pointer rests on the control
};

// A row's text as scripts match it: the columns joined by tabs.
std::string RowText(const ListRow& row);

}  // namespace kelp::ui
