#include "common/RecordingDisplay.h"

#include "common/MessageBoxStyle.h"

void RecordingDisplay::Script(std::vector<int> answers) {
  std::lock_guard lock(m_mutex);
  m_answers.assign(answers.begin(), answers.end());
}

void RecordingDisplay::SetFailing(bool bFailing) {
  std::lock_guard lock(m_mutex);
  m_bFailing = bFailing;
}

std::vector<common::RecordedBox> RecordingDisplay::Boxes() const {
  std::lock_guard lock(m_mutex);
  return m_boxes;
}

void RecordingDisplay::Clear() {
  std::lock_guard lock(m_mutex);
  m_boxes.clear();
  m_answers.clear();
}

int RecordingDisplay::ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) {
  std::lock_guard lock(m_mutex);
  if (m_bFailing) return 0;
  int nAnswer = ButtonsOfStyle(ulStyle).nDefault;
  if (!m_answers.empty()) {
    nAnswer = m_answers.front();
    m_answers.pop_front();
  }
  m_boxes.push_back({strTitle, strText, ulStyle, nAnswer});
  return nAnswer;
}
