// One dialog's top-level window: a widget per control, built from the dialog's control state,
// with the user's input forwarded to the dialog and state changes copied back into the widgets.
#pragma once

#include <QWidget>
#include <map>

#include "ui/Dialog.h"

class QButtonGroup;

namespace kelp::qtui {

class DialogWindow : public QWidget {
 public:
  explicit DialogWindow(ui::Dialog& dialog);

  // Copies one aspect of a control's state into its widget.
  void Sync(int id, ui::ControlAspect aspect);
  // Copies the dialog's title and size.
  void SyncWindow();
  QWidget* Widget(int id) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // A double-click on a button goes to the dialog (its first click has been delivered already).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* Make(const ui::ControlState& state);
  void SyncRows(int id, const ui::ControlState& state);

  ui::Dialog& m_dialog;
  std::map<int, QWidget*> m_widgets;  // children of this window
  std::map<int, QButtonGroup*> m_groups;
  bool m_syncing = false;             // state copied in: widget signals are not user input
};

}  // namespace kelp::qtui
