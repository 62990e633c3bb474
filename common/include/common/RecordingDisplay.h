// A display for tests and scripted runs: records every box and answers from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "common/MessageDisplay.h"

namespace common {

// One box a RecordingDisplay was asked to show, and the button it answered with.
struct RecordedBox {
  std::string strTitle;
  std::string strText;
  std::uint32_t ulStyle;
  int nAnswer;
};

}  // namespace common

class RecordingDisplay : public MessageDisplay {
 public:
  // Answers the next boxes with these buttons, in order; when the script is used up, each box
  // gets its default button.
  void Script(std::vector<int> answers);
  // While set, boxes cannot be shown (ShowBox returns 0) and are not recorded.
  void SetFailing(bool bFailing);
  std::vector<common::RecordedBox> Boxes() const;
  void Clear();

  int ShowBox(const std::string& strTitle, const std::string& strText, std::uint32_t ulStyle) override;

 private:
  mutable std::mutex m_mutex;
  std::deque<int> m_answers;
  std::vector<common::RecordedBox> m_boxes;
  bool m_bFailing = false;
};
