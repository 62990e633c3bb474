#include "DialogWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <algorithm>

#include "common/StringIds.h"
#include "common/Strings.h"
#include "resources/ControlIds.h"

namespace kelp::qtui {
namespace {

using res::ControlKind;

constexpr unsigned kAboutCommand = 0x10;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The key of a press as the dialogs name it, or "" for keys they do not take.
std::string KeyName(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Escape:
      return "escape";
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return "enter";
    default:
      break;
  }
  if (event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) return std::string(1, static_cast<char>('a' + event.key() - Qt::Key_A));
  if (event.key() >= Qt::Key_0 && event.key() <= Qt::Key_9) return std::string(1, static_cast<char>('0' + event.key() - Qt::Key_0));
  return {};
}

}  // namespace

DialogWindow::DialogWindow(ui::Dialog& dialog) : QWidget(nullptr, Qt::Dialog), m_dialog(dialog) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  for (const ui::ControlState& state : dialog.Controls()) {
    QWidget* widget = Make(state);
    if (widget == nullptr) continue;
    m_widgets[state.tmpl->id] = widget;
    for (ui::ControlAspect aspect : {ui::ControlAspect::Text, ui::ControlAspect::Enabled, ui::ControlAspect::Visible,
                                     ui::ControlAspect::Checked, ui::ControlAspect::Rows,
                                     ui::ControlAspect::Selection, ui::ControlAspect::Geometry})
      Sync(state.tmpl->id, aspect);
  }
  SyncWindow();
}

QWidget* DialogWindow::Make(const ui::ControlState& state) {
  const int id = state.tmpl->id;
  switch (state.tmpl->kind) {
    case ControlKind::PushButton: {
      auto* button = new QPushButton(this);
      button->setDefault((state.tmpl->style & res::kStyleDefaultButton) != 0);
      connect(button, &QPushButton::clicked, this, [this, id] { m_dialog.Click(id); });
      button->installEventFilter(this);
      return button;
    }
    case ControlKind::PushRadio: {
      auto* button = new QPushButton(this);
      button->setCheckable(true);
      button->setStyleSheet("text-align: left; padding-left: 6px;");
      connect(button, &QPushButton::clicked, this, [this, id] {
        if (!m_syncing) m_dialog.Click(id);
      });
      button->installEventFilter(this);
      return button;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(this);
      connect(box, &QCheckBox::clicked, this, [this, id] {
        if (!m_syncing) m_dialog.Click(id);
      });
      return box;
    }
    case ControlKind::Radio: {
      auto* radio = new QRadioButton(this);
      radio->setAutoExclusive(false);
      connect(radio, &QRadioButton::clicked, this, [this, id] {
        if (!m_syncing) m_dialog.Click(id);
      });
      return radio;
    }
    case ControlKind::Edit:
    case ControlKind::IpAddress: {
      auto* edit = new QLineEdit(this);
      if (state.tmpl->kind == ControlKind::IpAddress) edit->setPlaceholderText("0.0.0.0");
      edit->setReadOnly((state.tmpl->style & res::kStyleReadOnly) != 0);
      connect(edit, &QLineEdit::textEdited, this,
              [this, id](const QString& text) { m_dialog.UserSetText(id, text.toStdString()); });
      return edit;
    }
    case ControlKind::Static:
    case ControlKind::ProgressText: {
      auto* label = new QLabel(this);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::GroupBox:
      return new QGroupBox(this);
    case ControlKind::ListView: {
      auto* tree = new QTreeWidget(this);
      tree->setRootIsDecorated(false);
      QStringList headers;
      for (const res::ListColumn& column : state.tmpl->columns) headers << QString::fromUtf8(column.header.data(), static_cast<int>(column.header.size()));
      tree->setHeaderLabels(headers);
      for (std::size_t c = 0; c < state.tmpl->columns.size(); ++c)
        tree->setColumnWidth(static_cast<int>(c), state.tmpl->columns[c].width);
      connect(tree, &QTreeWidget::itemChanged, this, [this, id, tree](QTreeWidgetItem* item, int column) {
        if (m_syncing || column != 0) return;
        m_dialog.UserCheckRow(id, tree->indexOfTopLevelItem(item), item->checkState(0) == Qt::Checked);
      });
      connect(tree, &QTreeWidget::itemSelectionChanged, this, [this, id, tree] {
        if (m_syncing) return;
        const auto selected = tree->selectedItems();
        if (!selected.isEmpty()) m_dialog.UserSelectRow(id, tree->indexOfTopLevelItem(selected.front()));
      });
      return tree;
    }
  }
  return nullptr;
}

QWidget* DialogWindow::Widget(int id) const {
  const auto it = m_widgets.find(id);
  return it == m_widgets.end() ? nullptr : it->second;
}

void DialogWindow::SyncWindow() {
  setWindowTitle(Q(m_dialog.GetWindowText()));
  setFixedSize(m_dialog.Width(), m_dialog.Height());
}

void DialogWindow::Sync(int id, ui::ControlAspect aspect) {
  QWidget* widget = Widget(id);
  const ui::ControlState* state = m_dialog.FindControlState(id);
  if (widget == nullptr || state == nullptr) return;
  m_syncing = true;
  switch (aspect) {
    case ui::ControlAspect::Text:
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(Q(state->text));
      } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(Q(state->text));
      } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text().toStdString() != state->text) edit->setText(Q(state->text));
      } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(Q(state->text));
      }
      break;
    case ui::ControlAspect::Enabled:
      widget->setEnabled(state->enabled);
      break;
    case ui::ControlAspect::Visible:
      widget->setVisible(state->visible);
      break;
    case ui::ControlAspect::Checked:
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setChecked(state->check != 0);
      break;
    case ui::ControlAspect::Rows:
    case ui::ControlAspect::Selection:
      SyncRows(id, *state);
      break;
    case ui::ControlAspect::Geometry:
      widget->setGeometry(state->rect.x, state->rect.y, state->rect.w, state->rect.h);
      break;
    case ui::ControlAspect::Focus:
      widget->setFocus();
      break;
    case ui::ControlAspect::ToolTip:
      widget->setToolTip(Q(state->toolTip));
      break;
  }
  m_syncing = false;
}

void DialogWindow::SyncRows(int id, const ui::ControlState& state) {
  auto* tree = qobject_cast<QTreeWidget*>(Widget(id));
  if (tree == nullptr) return;
  const bool bCheckBoxes = (state.tmpl->style & res::kStyleCheckBoxes) != 0;
  tree->clear();
  for (const ui::ListRow& row : state.rows) {
    QStringList columns;
    for (const std::string& column : row.columns) columns << Q(column);
    auto* item = new QTreeWidgetItem(tree, columns);
    if (bCheckBoxes) item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
  }
  if (state.selection >= 0 && state.selection < tree->topLevelItemCount())
    tree->setCurrentItem(tree->topLevelItem(state.selection));
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
  ui::KeyChord chord;
  chord.shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  chord.ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  chord.alt = (event->modifiers() & Qt::AltModifier) != 0;
  chord.key = KeyName(*event);
  if (chord.key.empty() || !m_dialog.Key(chord)) QWidget::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
  // The window's close box is the dialog's Cancel: the dialog decides (the main window ignores it).
  event->ignore();
  m_dialog.Close();
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonDblClick) return QWidget::eventFilter(watched, event);
  const auto it = std::find_if(m_widgets.begin(), m_widgets.end(), [watched](const auto& w) { return w.second == watched; });
  if (it == m_widgets.end() || !it->second->isEnabled()) return false;
  m_dialog.DoubleClick(it->first);
  return true;  // the second press is not another click
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
  if (m_dialog.TemplateId() != res::kTemplateMain) return;
  QMenu menu(this);
  QAction* about = menu.addAction(Q(LoadString(str::kAbout)));
  if (menu.exec(event->globalPos()) == about) m_dialog.SysCommand(kAboutCommand);
}

}  // namespace kelp::qtui
