#include "common/MessageDisplay.h"

#include <atomic>

namespace {
std::atomic<MessageDisplay*> g_pDisplay{nullptr};
}

void SetMessageDisplay(MessageDisplay* pDisplay) { g_pDisplay.store(pDisplay); }

MessageDisplay* GetMessageDisplay() { return g_pDisplay.load(); }
