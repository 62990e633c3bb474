// The setup tool's board status, with a trace name, a plain word and a bracketed word for the
// board button, and the status each of the array's status words (nas/StatusWord.h) stands for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "nas/StatusWord.h"

namespace board {

// The setup tool's board status (CusrCHN). Statuses 0..15 have a plain word and a bracketed
// word for the board button (string resources 300 + s and 250 + s). 16 is only the value of a
// board object before its first status; 17 only appears in the array status table (the NAS OS
// runs, the node check decides between 4, 5 and 7).
enum ChnStatus : int {
  CHN_STATUS_DIE = -1,
  CHN_STATUS_NEW = 0,
  CHN_STATUS_INST = 1,
  CHN_STATUS_STOP = 2,
  CHN_STATUS_BOOTING = 3,
  CHN_STATUS_INACTIVE = 4,
  CHN_STATUS_UP = 5,
  CHN_STATUS_STOPPING = 6,
  CHN_STATUS_WARN = 7,
  CHN_STATUS_DOWN = 8,
  CHN_STATUS_PANIC = 9,
  CHN_STATUS_DUMP = 10,
  CHN_STATUS_DUMPSKIP = 11,
  CHN_STATUS_HUNGUP = 12,
  CHN_STATUS_UNKN = 13,
  CHN_STATUS_FATAL = 14,
  CHN_STATUS_DISUSE = 15,
  CHN_STATUS_CREATED = 16,
  CHN_STATUS_EX_OS_UP = 17,
};

// The string resources of a status's words: plain (board dialogs, tools) and bracketed (the
// board button's caption), at these bases plus the status.
inline constexpr std::uint32_t kStatusWordString = 300;
inline constexpr std::uint32_t kStatusCaptionString = 250;

// Trace names of -1..17, in order; null for 16, which has none.
inline constexpr const char* kChnStatusNames[] = {
    "CHN_STATUS_DIE",      "CHN_STATUS_NEW",   "CHN_STATUS_INST",     "CHN_STATUS_STOP",
    "CHN_STATUS_BOOTING",  "CHN_STATUS_INACTIVE", "CHN_STATUS_UP",    "CHN_STATUS_STOPPING",
    "CHN_STATUS_WARN",     "CHN_STATUS_DOWN",  "CHN_STATUS_PANIC",    "CHN_STATUS_DUMP",
    "CHN_STATUS_DUMPSKIP", "CHN_STATUS_HUNGUP", "CHN_STATUS_UNKN",    "CHN_STATUS_FATAL",
    "CHN_STATUS_DISUSE",   nullptr,            "CHN_STATUS_EX_OS_UP",
};
static_assert(std::size(kChnStatusNames) == CHN_STATUS_EX_OS_UP + 2, "a name for each of -1..17");

// The trace name of a status, or null for a value that has none.
constexpr const char* ChnStatusName(int status) {
  return status >= CHN_STATUS_DIE && status <= CHN_STATUS_EX_OS_UP ? kChnStatusNames[status + 1] : nullptr;
}

// The board status an array status word stands for; unknown words give CHN_STATUS_UNKN.
constexpr int ChnStatusOfWord(std::uint16_t word, bool* pbKnown) {
  constexpr int kByWord[] = {CHN_STATUS_NEW,  CHN_STATUS_INST,     CHN_STATUS_EX_OS_UP, CHN_STATUS_STOP,
                             CHN_STATUS_DOWN, CHN_STATUS_BOOTING,  CHN_STATUS_STOPPING, CHN_STATUS_PANIC,
                             CHN_STATUS_DUMP, CHN_STATUS_DUMPSKIP, CHN_STATUS_HUNGUP,   CHN_STATUS_DISUSE};
  static_assert(std::size(kByWord) == nas::kStatusDisused + 1, "a status for each array word");
  *pbKnown = word < std::size(kByWord);
  return *pbKnown ? kByWord[word] : CHN_STATUS_UNKN;
}

// 0..15: the statuses with a plain and a bracketed word.
constexpr bool HasWord(int status) { return status >= CHN_STATUS_NEW && status <= CHN_STATUS_DISUSE; }
// The NAS OS runs: 4, 5 or 7.
constexpr bool IsOsRunning(int status) {
  return status == CHN_STATUS_INACTIVE || status == CHN_STATUS_UP || status == CHN_STATUS_WARN;
}
// A NAS OS is installed: 2, 4, 5, 7 or 8.
constexpr bool IsOsInstalled(int status) {
  return status == CHN_STATUS_STOP || IsOsRunning(status) || status == CHN_STATUS_DOWN;
}
// Stopped, new or no board: -1, 0, 2 or 8.
constexpr bool IsStoppedOrEmptyStatus(int status) {
  return status == CHN_STATUS_DIE || status == CHN_STATUS_NEW || status == CHN_STATUS_STOP ||
         status == CHN_STATUS_DOWN;
}

}  // namespace board
