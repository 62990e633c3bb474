// The status word the array keeps for a NAS board: the low 16 bits of the status of the board's
// A3 entry, handed on unchanged by dsvp_NasGetCurrentStatus. The simulated array sets these
// words and the tools read them. Header-only.
#pragma once

#include <cstdint>

namespace nas {

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
  static_assert(sizeof kNames / sizeof kNames[0] == kStatusDisused + 1, "a name for each word");
  return word < sizeof kNames / sizeof kNames[0] ? kNames[word] : "?";
}

}  // namespace nas
