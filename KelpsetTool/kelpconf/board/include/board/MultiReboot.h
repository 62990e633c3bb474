// The reboot of several boards at once (the recovery dialogs' "Reboot all"): one worker thread per
// marked board, started one second apart, each running CusrCHN::StartBootReboot (reboot) and
// writing the board's error word into the caller's result table.
//
// The caller (the main dialog) owns both tables. MultiReboot blocks until every worker has ended
// or the 97-minute limit has passed; even then it joins every worker before it returns (each
// worker is bounded by its own command's time-out), so the tables are never written afterwards.
#pragma once

#include <array>
#include <cstdint>

#include "board/CusrCHN.h"
#include "plat/Clock.h"

namespace board {

// Per slot: 1 when the board is to be rebooted.
using RebootMarks = std::array<std::uint32_t, CusrCHN::kSlots>;
// Per slot: the error word of the board's reboot (0 success).
using RebootResults = std::array<std::uint32_t, CusrCHN::kSlots>;

// Modes: slots 0-7, slots 8-15, all slots.
enum MultiRebootMode : int { kRebootCluster1 = 1, kRebootCluster2 = 2, kRebootAllClusters = 3 };

inline constexpr plat::Millis kMultiRebootLimit{5'820'000};
inline constexpr plat::Millis kMultiRebootStagger{1'000};

// Clears the range's results, reboots the range's marked boards of the array and waits for them. 0 when
// every worker ended in time (also when none was marked); 9 after the limit (message 3515);
// 7 when a worker could not be started (message 3520). An unknown mode reboots nothing.
std::uint32_t MultiReboot(ArrayTables& rArray, int nMode, const RebootMarks& marks, RebootResults& results);

// One board's worker: reboots it and stores its error word in *pulResult.
void RebootCallThread(CusrCHN& board, std::uint32_t* pulResult);

}  // namespace board
