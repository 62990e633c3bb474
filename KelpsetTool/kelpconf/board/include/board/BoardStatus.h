// The words a board's status takes. The array reports one status word per slot
// (dsvp_NasGetCurrentStatus); the setup tool keeps its own board status, with a trace name, a
// plain word and a bracketed word for the board button. Header-only: the simulated array builds
// its pages from the same status words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace board {

// The array's status word of a board (low 16 bits of its A3 status).
enum StatusWord : std::uint16_t {
  kStatusNew = 0,
  kStatusInstalling = 1,
  kStatusOsUp = 2,
  kStatusStopped = 3,
  kStatusDown = 4,
  kStatusBooting = 5,
  kStatusStopping = 6,
  kStatusPanic = 7,
  kStatusDump = 8,
  kStatusDumpSkipped = 9,
  kStatusHungUp = 10,
  kStatusDisused = 11,
};

// The name of a status word, as tools print it; "?" for words the array does not define.
constexpr const char* StatusWordName(std::uint16_t word) {
  constexpr const char* kNames[] = {"NEW",      "INSTALLING", "OS UP", "STOPPED",      "DOWN",    "BOOTING",
                                    "STOPPING", "PANIC",      "DUMP",  "DUMP SKIPPED", "HUNG UP", "DISUSED"};
  return word < sizeof kNames / sizeof kNames[0] ? kNames[word] : "?";
}

// The setup tool's board status (CusrCHN). 16 is only the value of a board object before its
// first status; 17 only appears in the array status table (the NAS OS runs, the node check
// decides between 4, 5 and 7).
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
  CHN_STATUS_EX_OS_UP = 17,
};
inline constexpr int kChnStatusInitial = 16;

struct ChnStatusWords {
  ChnStatus status;
  const char* traceName;  // the trace text of the status
  const char* plain;      // the status word of the board dialogs; null when the status has none
  const char* bracketed;  // the board button's status; null when the status has none
};

inline constexpr ChnStatusWords kChnStatusWords[] = {
    {CHN_STATUS_DIE, "CHN_STATUS_DIE", nullptr, nullptr},
    {CHN_STATUS_NEW, "CHN_STATUS_NEW", "NEW", "(NEW)"},
    {CHN_STATUS_INST, "CHN_STATUS_INST", "INST", "(INST)"},
    {CHN_STATUS_STOP, "CHN_STATUS_STOP", "STOP", "(STOP)"},
    {CHN_STATUS_BOOTING, "CHN_STATUS_BOOTING", "BOOT", "(BOOT)"},
    {CHN_STATUS_INACTIVE, "CHN_STATUS_INACTIVE", "INACTIVE", "(INACTIVE)"},
    {CHN_STATUS_UP, "CHN_STATUS_UP", "ACTIVE", "(ACTIVE)"},
    {CHN_STATUS_STOPPING, "CHN_STATUS_STOPPING", "SHUTDOWN", "(SHUTDOWN)"},
    {CHN_STATUS_WARN, "CHN_STATUS_WARN", "WARN", "(WARN)"},
    {CHN_STATUS_DOWN, "CHN_STATUS_DOWN", "DOWN", "(DOWN)"},
    {CHN_STATUS_PANIC, "CHN_STATUS_PANIC", "PANIC", "(PANIC)"},
    {CHN_STATUS_DUMP, "CHN_STATUS_DUMP", "DUMP", "(DUMP)"},
    {CHN_STATUS_DUMPSKIP, "CHN_STATUS_DUMPSKIP", "DUMPSKIP", "(DUMPSKIP)"},
    {CHN_STATUS_HUNGUP, "CHN_STATUS_HUNGUP", "HUNGUP", "(HUNGUP)"},
    {CHN_STATUS_UNKN, "CHN_STATUS_UNKN", "UNKNOWN", "(UNKNOWN)"},
    {CHN_STATUS_FATAL, "CHN_STATUS_FATAL", "FATAL", "(FATAL)"},
    {CHN_STATUS_DISUSE, "CHN_STATUS_DISUSE", "DISUSE", "(DISUSE)"},
    {CHN_STATUS_EX_OS_UP, "CHN_STATUS_EX_OS_UP", nullptr, nullptr},
};

// The words of a status; null for a value that is not a status (16 and anything out of range).
constexpr const ChnStatusWords* FindChnStatusWords(int status) {
  for (const ChnStatusWords& words : kChnStatusWords)
    if (words.status == status) return &words;
  return nullptr;
}

static_assert(
    [] {
      for (std::size_t i = 0; i + 1 < std::size(kChnStatusWords); ++i)
        if (kChnStatusWords[i].status != static_cast<int>(i) - 1) return false;
      return kChnStatusWords[std::size(kChnStatusWords) - 1].status == CHN_STATUS_EX_OS_UP;
    }(),
    "kChnStatusWords lists -1..15 in order, then 17");
static_assert(FindChnStatusWords(kChnStatusInitial) == nullptr);

}  // namespace board
