#include "ui/Dialog.h"

#include <algorithm>

#include "common/MessageBoxStyle.h"
#include "common/Strings.h"
#include "ui/Host.h"

namespace kelp::ui {
namespace {

bool IsRadio(res::ControlKind kind) { return kind == res::ControlKind::Radio || kind == res::ControlKind::PushRadio; }

std::string Caption(std::string_view caption, std::uint32_t captionString) {
  return captionString != 0 ? LoadString(captionString) : std::string(caption);
}

}  // namespace

Dialog::Dialog(Host& host, int templateId) : Dialog(host, templateId, res::FindDialogTemplate(templateId)) {}

Dialog::Dialog(Host& host, const res::DialogTemplate& dialogTemplate) : Dialog(host, dialogTemplate.id, &dialogTemplate) {}

Dialog::Dialog(Host& host, int templateId, const res::DialogTemplate* dialogTemplate)
    : m_host(host), m_templateId(templateId), m_template(dialogTemplate) {
  if (m_template == nullptr) return;
  m_title = Caption(m_template->caption, m_template->captionString);
  m_w = m_template->w;
  m_h = m_template->h;
  for (const res::ControlTemplate& t : m_template->controls) {
    ControlState c;
    c.tmpl = &t;
    c.text = Caption(t.caption, t.captionString);
    c.enabled = (t.style & res::kStyleDisabled) == 0;
    c.visible = (t.style & res::kStyleHidden) == 0;
    c.rect = {t.x, t.y, t.w, t.h};
    m_controls.push_back(std::move(c));
  }
}

Dialog::~Dialog() {
  for (const int id : m_timers) m_host.StopTimer(*this, id);
  m_alive.reset();
  JoinWorkers();
  m_host.DialogDestroyed(*this);
}

int Dialog::DoModal() {
  if (m_template == nullptr) return -1;
  m_modal = true;
  m_ended = false;
  m_host.ModalStarted(*this);
  OnInitDialog();
  if (!m_ended) {
    ShowWindow(true);
    m_host.RunUntil([this] { return m_ended; });
  }
  ShowWindow(false);
  JoinWorkers();
  m_host.ModalEnded(*this);
  m_modal = false;
  return m_result;
}

bool Dialog::Create() {
  if (m_template == nullptr) return false;
  m_ended = false;
  OnInitDialog();
  return true;
}

void Dialog::ShowWindow(bool show) {
  if (m_visible == show) return;
  m_visible = show;
  if (show) m_ended = false;
  m_host.DialogShown(*this, show);
  m_shownOnce = m_shownOnce || show;
}

void Dialog::BringToForeground() {
  if (m_visible) m_host.DialogToFront(*this);
}

void Dialog::EndDialog(int result) {
  AbandonRead();
  m_result = result;
  m_ended = true;
  if (!m_modal) ShowWindow(false);
}

void Dialog::Close() { RunCommand(IDCANCEL); }

void Dialog::SetWindowText(const std::string& title) {
  if (m_title == title) return;
  m_title = title;
  if (m_shownOnce) m_host.DialogTitleChanged(*this);
}

void Dialog::SetWindowSize(int w, int h) {
  if (m_w == w && m_h == h) return;
  m_w = w;
  m_h = h;
  m_host.DialogResized(*this);
}

const ControlState* Dialog::FindControlState(int id) const {
  const auto it = std::find_if(m_controls.begin(), m_controls.end(), [id](const ControlState& c) { return c.tmpl->id == id; });
  return it != m_controls.end() ? &*it : nullptr;
}

ControlState* Dialog::MutableState(int id) { return const_cast<ControlState*>(FindControlState(id)); }

void Dialog::Change(int id, ControlAspect aspect, const std::function<bool(ControlState&)>& change) {
  ControlState* c = MutableState(id);
  if (c != nullptr && change(*c)) m_host.ControlChanged(*this, id, aspect);
}

void Dialog::SetTimer(int id, plat::Millis period) {
  if (std::find(m_timers.begin(), m_timers.end(), id) == m_timers.end()) m_timers.push_back(id);
  m_host.StartTimer(*this, id, period);
}

void Dialog::KillTimer(int id) {
  const auto it = std::find(m_timers.begin(), m_timers.end(), id);
  if (it == m_timers.end()) return;
  m_timers.erase(it);
  m_host.StopTimer(*this, id);
}

void Dialog::PostMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Post([this, msg, wParam, lParam] { OnUserMessage(msg, wParam, lParam); });
}

void Dialog::Post(std::function<void()> call) {
  m_host.Post([alive = std::weak_ptr<int>(m_alive), call = std::move(call)] {
    if (alive.lock()) call();
  });
}

void Dialog::StartWorker(std::function<void()> work) {
  m_runningWorkers.fetch_add(1);
  m_host.WorkerStarted();
  m_workers.emplace_back([this, work = std::move(work)] {
    work();
    m_runningWorkers.fetch_sub(1);
    m_host.WorkerFinished();
  });
}

void Dialog::JoinWorkers() {
  AbandonRead();
  if (m_workers.empty()) return;
  m_host.RunUntil([this] { return m_runningWorkers.load() == 0; });
  for (std::thread& t : m_workers) t.join();
  m_workers.clear();
}

void Dialog::BeginRead(bool bCaption) {
  m_readToken = std::make_shared<std::atomic<bool>>(false);
  m_bReadCaption = bCaption;
  m_readTitle = m_title;
  if (bCaption) SetWindowText(m_title + kReadingSuffix);
  m_host.SetWaitCursor(true);
}

void Dialog::EndRead() {
  m_readToken.reset();
  if (m_bReadCaption) SetWindowText(m_readTitle);
  m_host.SetWaitCursor(false);
}

void Dialog::AbandonRead() {
  if (!IsReading()) return;
  m_readToken->store(true);
  EndRead();
}

void Dialog::OnCommand(int id, std::function<void()> handler) { m_commands[id] = std::move(handler); }

void Dialog::OnDoubleClick(int id, std::function<void()> handler) { m_doubleClicks[id] = std::move(handler); }

void Dialog::OnOK() { EndDialog(IDOK); }

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::RunCommand(int id) {
  const auto it = m_commands.find(id);
  if (it != m_commands.end()) {
    const std::function<void()> handler = it->second;  // the handler may register others
    handler();
  } else if (id == IDOK) {
    OnOK();
  } else if (id == IDCANCEL) {
    OnCancel();
  }
}

void Dialog::CheckRadio(const ControlState& clicked) {
  // The group: the run of radio buttons of the same kind around the clicked one, split where a
  // button carries the group style.
  const auto self = m_controls.begin() + (&clicked - m_controls.data());
  const res::ControlKind kind = clicked.tmpl->kind;
  auto first = self;
  while (first != m_controls.begin() && (first->tmpl->style & res::kStyleGroup) == 0 &&
         std::prev(first)->tmpl->kind == kind) {
    --first;
  }
  auto last = std::next(self);
  while (last != m_controls.end() && last->tmpl->kind == kind && (last->tmpl->style & res::kStyleGroup) == 0) ++last;
  for (auto it = first; it != last; ++it) GetDlgItem(it->tmpl->id).SetCheck(it == self ? 1 : 0);
}

void Dialog::Click(int id) {
  const ControlState* c = FindControlState(id);
  if (c == nullptr) return;
  if (c->tmpl->kind == res::ControlKind::CheckBox) GetDlgItem(id).SetCheck(c->check ? 0 : 1);
  else if (IsRadio(c->tmpl->kind)) CheckRadio(*c);
  RunCommand(id);
}

void Dialog::DoubleClick(int id) {
  const auto it = m_doubleClicks.find(id);
  if (it == m_doubleClicks.end() || FindControlState(id) == nullptr) return;
  const std::function<void()> handler = it->second;
  handler();
}

void Dialog::UserSetText(int id, const std::string& text) {
  if (FindControlState(id) == nullptr) return;
  GetDlgItem(id).SetWindowText(text);
  RunCommand(id);
}

void Dialog::UserCheckRow(int id, int row, bool checked) {
  if (FindControlState(id) == nullptr) return;
  GetDlgItem(id).SetRowCheck(row, checked);
  RunCommand(id);
}

void Dialog::UserSelectRow(int id, int row) {
  if (FindControlState(id) == nullptr) return;
  GetDlgItem(id).SetSelection(row);
  RunCommand(id);
}

bool Dialog::Key(const KeyChord& key) {
  if (OnKey(key)) return true;
  if (key == KeyChord{false, false, false, "escape"}) {
    OnCancel();
    return true;
  }
  if (key == KeyChord{false, false, false, "enter"}) {
    const auto it = std::find_if(m_controls.begin(), m_controls.end(), [](const ControlState& c) {
      return (c.tmpl->style & res::kStyleDefaultButton) != 0 && c.visible && c.enabled;
    });
    if (it != m_controls.end()) Click(it->tmpl->id);
    else OnOK();
    return true;
  }
  return false;
}

}  // namespace kelp::ui
