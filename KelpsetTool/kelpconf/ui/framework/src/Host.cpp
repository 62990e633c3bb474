#include "ui/Host.h"

#include <algorithm>

#include "ui/Dialog.h"
#include "ui/Transcript.h"

namespace kelp::ui {

Host::Host(Transcript* transcript) : m_transcript(transcript) {}

Host::~Host() = default;

std::optional<std::string> Host::BrowseForFolder(Dialog&, const std::string&, const std::string&,
                                                 const std::function<bool(const std::string&)>&) {
  return std::nullopt;
}

void Host::DialogShown(Dialog& dialog, bool shown) {
  Unlist(dialog);
  if (shown) {
    m_shown.push_back(&dialog);
    if (m_transcript) m_transcript->Window(dialog.TemplateId(), dialog.GetWindowText());
  }
  OnDialogShown(dialog, shown);
}

void Host::DialogToFront(Dialog& dialog) {
  Unlist(dialog);
  m_shown.push_back(&dialog);
  OnDialogToFront(dialog);
}

void Host::DialogTitleChanged(Dialog& dialog) {
  if (m_transcript) m_transcript->Title(dialog.TemplateId(), dialog.GetWindowText());
  OnDialogChanged(dialog);
}

void Host::DialogResized(Dialog& dialog) { OnDialogChanged(dialog); }

void Host::ControlChanged(Dialog& dialog, int id, ControlAspect aspect) {
  const ControlState* c = dialog.FindControlState(id);
  if (m_transcript && c) {
    switch (aspect) {
      case ControlAspect::Text: m_transcript->Text(id, c->text); break;
      case ControlAspect::Enabled: m_transcript->Enable(id, c->enabled); break;
      case ControlAspect::Visible: m_transcript->Show(id, c->visible); break;
      default: break;
    }
  }
  OnControlChanged(dialog, id, aspect);
}

void Host::DialogDestroyed(Dialog& dialog) {
  Unlist(dialog);
  OnDialogDestroyed(dialog);
}

void Host::ModalStarted(Dialog& dialog) { m_modal.push_back(&dialog); }

void Host::ModalEnded(Dialog& dialog) { std::erase(m_modal, &dialog); }

void Host::WorkerStarted() { m_workers.fetch_add(1); }

void Host::WorkerFinished() {
  m_workers.fetch_sub(1);
  Post([] {});  // wakes a loop waiting for the workers
}

Dialog* Host::FindShown(int templateId) const {
  const auto it = std::find_if(m_shown.rbegin(), m_shown.rend(), [templateId](const Dialog* d) {
    return d->TemplateId() == templateId;
  });
  return it != m_shown.rend() ? *it : nullptr;
}

void Host::SetBusy(int slot, int code) {
  std::lock_guard lock(m_busyMutex);
  int& current = m_busy[slot];
  if (current == code) return;
  current = code;
  if (m_transcript) m_transcript->Busy(slot, code);
}

bool Host::IsIdle() const {
  std::lock_guard lock(m_busyMutex);
  return m_workers.load() == 0 &&
         std::all_of(m_busy.begin(), m_busy.end(), [](const auto& entry) { return entry.second == 0; });
}

void Host::RecordBox(const std::string& text, int button, bool byDefault) {
  if (m_transcript) m_transcript->Message(MessageIdOfText(text), ButtonWord(button), text, byDefault);
}

void Host::Unlist(Dialog& dialog) { m_shown.erase(std::remove(m_shown.begin(), m_shown.end(), &dialog), m_shown.end()); }

}  // namespace kelp::ui
