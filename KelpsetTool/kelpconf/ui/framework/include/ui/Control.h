// A small handle to one control of a dialog, as GetDlgItem returns it. Every change goes
// through the dialog, which tells its host. On an id the dialog lacks every setter does nothing
// and every getter returns the empty value. Use on the UI thread only; the handle must not
// outlive its dialog.
#pragma once

#include <string>
#include <vector>

#include "ui/ControlState.h"

namespace kelp::ui {

class Dialog;

class Control {
 public:
  Control(Dialog& dialog, int id) : m_dialog(&dialog), m_id(id) {}

  explicit operator bool() const;  // the dialog has this control
  int GetDlgCtrlID() const { return m_id; }

  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  void ShowWindow(bool show);
  bool IsWindowVisible() const;
  void SetCheck(int check);
  int GetCheck() const;
  void MoveWindow(int x, int y, int w, int h);
  Rect GetWindowRect() const;
  void SetFocus();
  void SetToolTip(const std::string& text);
  std::string GetToolTip() const;

  // List views. Row indexes out of range are ignored.
  int AddRow(std::vector<std::string> columns);  // the new row's index, -1 when no control
  void DeleteAllRows();
  int GetRowCount() const;
  std::vector<std::string> GetRowColumns(int row) const;
  void SetRowText(int row, int column, const std::string& text);
  void SetRowCheck(int row, bool checked);
  bool GetRowCheck(int row) const;
  void SetSelection(int row);  // -1 clears it
  int GetSelection() const;

 private:
  const ControlState* State() const;

  Dialog* m_dialog;
  int m_id;
};

}  // namespace kelp::ui
