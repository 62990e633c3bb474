#include "ui/Control.h"

#include <utility>

#include "ui/Dialog.h"

namespace kelp::ui {

namespace {
bool ValidRow(const ControlState& c, int row) { return row >= 0 && row < static_cast<int>(c.rows.size()); }
}  // namespace

std::string RowText(const ListRow& row) {
  std::string text;
  for (std::size_t i = 0; i < row.columns.size(); ++i) {
    if (i) text += '\t';
    text += row.columns[i];
  }
  return text;
}

const ControlState* Control::State() const { return m_dialog->FindControlState(m_id); }

Control::operator bool() const { return State() != nullptr; }

void Control::SetWindowText(const std::string& text) {
  m_dialog->Change(m_id, ControlAspect::Text, [&](ControlState& c) { return std::exchange(c.text, text) != text; });
}

std::string Control::GetWindowText() const {
  const ControlState* c = State();
  return c ? c->text : std::string();
}

void Control::EnableWindow(bool enable) {
  m_dialog->Change(m_id, ControlAspect::Enabled, [&](ControlState& c) { return std::exchange(c.enabled, enable) != enable; });
}

bool Control::IsWindowEnabled() const {
  const ControlState* c = State();
  return c && c->enabled;
}

void Control::ShowWindow(bool show) {
  m_dialog->Change(m_id, ControlAspect::Visible, [&](ControlState& c) { return std::exchange(c.visible, show) != show; });
}

bool Control::IsWindowVisible() const {
  const ControlState* c = State();
  return c && c->visible;
}

void Control::SetCheck(int check) {
  m_dialog->Change(m_id, ControlAspect::Checked, [&](ControlState& c) { return std::exchange(c.check, check) != check; });
}

int Control::GetCheck() const {
  const ControlState* c = State();
  return c ? c->check : 0;
}

void Control::MoveWindow(int x, int y, int w, int h) {
  const Rect r{x, y, w, h};
  m_dialog->Change(m_id, ControlAspect::Geometry, [&](ControlState& c) { return std::exchange(c.rect, r) != r; });
}

Rect Control::GetWindowRect() const {
  const ControlState* c = State();
  return c ? c->rect : Rect{};
}

void Control::SetFocus() {
  if (!State() || m_dialog->m_focus == m_id) return;
  m_dialog->m_focus = m_id;
  m_dialog->Change(m_id, ControlAspect::Focus, [](ControlState&) { return true; });
}

void Control::SetToolTip(const std::string& text) {
  m_dialog->Change(m_id, ControlAspect::ToolTip, [&](ControlState& c) { return std::exchange(c.toolTip, text) != text; });
}

std::string Control::GetToolTip() const {
  const ControlState* c = State();
  return c ? c->toolTip : std::string();
}

int Control::AddRow(std::vector<std::string> columns) {
  int index = -1;
  m_dialog->Change(m_id, ControlAspect::Rows, [&](ControlState& c) {
    c.rows.push_back({std::move(columns), false});
    index = static_cast<int>(c.rows.size()) - 1;
    return true;
  });
  return index;
}

void Control::DeleteAllRows() {
  m_dialog->Change(m_id, ControlAspect::Rows, [](ControlState& c) {
    const bool had = !c.rows.empty();
    c.rows.clear();
    c.selection = -1;
    return had;
  });
}

int Control::GetRowCount() const {
  const ControlState* c = State();
  return c ? static_cast<int>(c->rows.size()) : 0;
}

std::vector<std::string> Control::GetRowColumns(int row) const {
  const ControlState* c = State();
  return c && ValidRow(*c, row) ? c->rows[row].columns : std::vector<std::string>();
}

void Control::SetRowText(int row, int column, const std::string& text) {
  m_dialog->Change(m_id, ControlAspect::Rows, [&](ControlState& c) {
    if (!ValidRow(c, row) || column < 0) return false;
    auto& columns = c.rows[row].columns;
    if (static_cast<int>(columns.size()) <= column) columns.resize(column + 1);
    return std::exchange(columns[column], text) != text;
  });
}

void Control::SetRowCheck(int row, bool checked) {
  m_dialog->Change(m_id, ControlAspect::Rows, [&](ControlState& c) {
    return ValidRow(c, row) && std::exchange(c.rows[row].checked, checked) != checked;
  });
}

bool Control::GetRowCheck(int row) const {
  const ControlState* c = State();
  return c && ValidRow(*c, row) && c->rows[row].checked;
}

void Control::SetSelection(int row) {
  m_dialog->Change(m_id, ControlAspect::Selection, [&](ControlState& c) {
    const int selection = ValidRow(c, row) ? row : -1;
    return std::exchange(c.selection, selection) != selection;
  });
}

int Control::GetSelection() const {
  const ControlState* c = State();
  return c ? c->selection : -1;
}

}  // namespace kelp::ui
