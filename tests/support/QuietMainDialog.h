// A main window for board-layer tests that lays out any model and ignores every notice.
#pragma once

#include <cstdint>

#include "board/MainDialogLink.h"

namespace kelptest {

class QuietMainDialog : public board::MainDialogLink {
 public:
  bool OnInitDialogW(std::uint32_t) override { return true; }
  void RefreshBoard(std::uint32_t) override {}
  bool MarkNewerAgent() override { return false; }
  bool PostAgentFinished() override { return true; }
};

}  // namespace kelptest
