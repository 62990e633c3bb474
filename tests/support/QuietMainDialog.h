// A main window for board-layer tests that ignores every notice of the status poller.
#pragma once

#include <cstdint>

#include "board/MainDialogLink.h"

namespace kelptest {

class QuietMainDialog : public board::MainDialogLink {
 public:
  bool MarkNewerAgent() override { return false; }
  bool PostAgentFinished() override { return true; }
};

}  // namespace kelptest
