#include "qtui/QtHost.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QThread>
#include <QTimer>
#include <chrono>

#include "DialogWindow.h"
#include "common/MessageBoxStyle.h"
#include "ui/Dialog.h"
#include "ui/MessageAnswers.h"

namespace kelp::qtui {
namespace {

int RealMillis(plat::Millis logical) {
  const auto real = std::chrono::ceil<std::chrono::milliseconds>(plat::Clock::ToReal(logical)).count();
  return static_cast<int>(std::clamp<long long>(real, 1, 24LL * 3600 * 1000));
}

struct ButtonMap {
  QMessageBox::StandardButton qt;
  int id;
};
constexpr ButtonMap kButtons[] = {{QMessageBox::Ok, IDOK},
                                  {QMessageBox::Cancel, IDCANCEL},
                                  {QMessageBox::Yes, IDYES},
                                  {QMessageBox::No, IDNO}};

QMessageBox::StandardButtons ButtonsOf(const MessageButtons& buttons) {
  QMessageBox::StandardButtons result;
  for (int i = 0; i < buttons.nCount; ++i)
    for (const ButtonMap& map : kButtons)
      if (map.id == buttons.aButtons[i]) result |= map.qt;
  return result;
}

QMessageBox::Icon IconOf(std::uint32_t ulStyle) {
  switch (ulStyle & MB_ICONMASK) {
    case MB_ICONHAND:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONASTERISK:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// A directory chooser that stays open until the chosen folder passes the check.
class CheckedFolderDialog : public QFileDialog {
 public:
  CheckedFolderDialog(QWidget* parent, const std::string& prompt, const std::string& start,
                      const std::function<bool(const std::string&)>& accept)
      : QFileDialog(parent, QString::fromStdString(prompt), QString::fromStdString(start)),
        m_prompt(QString::fromStdString(prompt)),
        m_accept(accept) {
    setFileMode(QFileDialog::Directory);
    setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  }

  void accept() override {
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty() || !m_accept(chosen.front().toStdString())) {
      QMessageBox::warning(this, windowTitle(), m_prompt);
      return;
    }
    QFileDialog::accept();
  }

 private:
  QString m_prompt;
  const std::function<bool(const std::string&)>& m_accept;
};

}  // namespace

QtHost::QtHost(ui::Transcript* transcript, bool scripted) : Host(transcript), m_scripted(scripted) {}

QtHost::~QtHost() {
  while (m_waitCursors-- > 0) QApplication::restoreOverrideCursor();
}

void QtHost::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void QtHost::RunUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtHost::StartTimer(ui::Dialog& dialog, int id, plat::Millis period) {
  StopTimer(dialog, id);
  auto* timer = new QTimer(this);
  timer->setInterval(RealMillis(period));
  ui::Dialog* pDialog = &dialog;
  connect(timer, &QTimer::timeout, this, [pDialog, id] { pDialog->TimerElapsed(id); });
  timer->start();
  m_timers[{&dialog, id}] = timer;
}

void QtHost::StopTimer(ui::Dialog& dialog, int id) {
  const auto it = m_timers.find({&dialog, id});
  if (it == m_timers.end()) return;
  if (it->second) {
    it->second->stop();
    it->second->deleteLater();
  }
  m_timers.erase(it);
}

void QtHost::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ++m_waitCursors;
  } else if (m_waitCursors > 0) {
    QApplication::restoreOverrideCursor();
    --m_waitCursors;
  }
}

std::string QtHost::Screenshot(ui::Dialog& dialog, const std::string& path) {
  QWidget* window = WindowOf(dialog);
  if (window == nullptr) return "the dialog is not shown";
  return window->grab().save(QString::fromStdString(path), "PNG") ? "" : "cannot write " + path;
}

int QtHost::ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) {
  if (QThread::currentThread() == thread()) return ShowBoxOnGuiThread(strTitle, strText, ulStyle);
  int nButton = 0;
  QMetaObject::invokeMethod(
      this, [&] { nButton = ShowBoxOnGuiThread(strTitle, strText, ulStyle); }, Qt::BlockingQueuedConnection);
  return nButton;
}

int QtHost::ShowBoxOnGuiThread(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) {
  if (m_scripted) {
    const std::optional<int> answer = Answers().Take(ui::MessageIdOfText(strText), ulStyle);
    const int nButton = answer.value_or(ButtonsOfStyle(ulStyle).nDefault);
    RecordBox(strText, nButton, !answer.has_value());
    return nButton;
  }
  const MessageButtons buttons = ButtonsOfStyle(ulStyle);
  QMessageBox box(IconOf(ulStyle), QString::fromStdString(strTitle), QString::fromStdString(strText),
                  ButtonsOf(buttons), QApplication::activeWindow());
  for (const ButtonMap& map : kButtons)
    if (map.id == buttons.nDefault) box.setDefaultButton(map.qt);
  const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
  int nButton = IDCANCEL;
  for (const ButtonMap& map : kButtons)
    if (map.qt == clicked) nButton = map.id;
  RecordBox(strText, nButton, false);
  return nButton;
}

std::optional<std::string> QtHost::BrowseForFolder(ui::Dialog& owner, const std::string& prompt,
                                                   const std::string& start,
                                                   const std::function<bool(const std::string&)>& accept) {
  if (m_scripted) return Host::BrowseForFolder(owner, prompt, start, accept);
  CheckedFolderDialog dialog(WindowOf(owner), prompt, start, accept);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

QWidget* QtHost::WindowOf(const ui::Dialog& dialog) const {
  const auto it = m_windows.find(&dialog);
  return it == m_windows.end() ? nullptr : it->second.get();
}

void QtHost::OnDialogShown(ui::Dialog& dialog, bool shown) {
  auto& window = m_windows[&dialog];
  if (!window) window = std::make_unique<DialogWindow>(dialog);
  if (shown) {
    window->show();
    window->raise();
    window->activateWindow();
  } else {
    window->hide();
  }
}

void QtHost::OnDialogToFront(ui::Dialog& dialog) {
  if (QWidget* window = WindowOf(dialog)) {
    window->raise();
    window->activateWindow();
  }
}

void QtHost::OnDialogChanged(ui::Dialog& dialog) {
  if (const auto it = m_windows.find(&dialog); it != m_windows.end()) it->second->SyncWindow();
}

void QtHost::OnControlChanged(ui::Dialog& dialog, int id, ui::ControlAspect aspect) {
  if (const auto it = m_windows.find(&dialog); it != m_windows.end()) it->second->Sync(id, aspect);
}

void QtHost::OnDialogDestroyed(ui::Dialog& dialog) {
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (it->first.first == &dialog) {
      if (it->second) it->second->deleteLater();
      it = m_timers.erase(it);
    } else {
      ++it;
    }
  }
  m_windows.erase(&dialog);
}

}  // namespace kelp::qtui
