// How the board layer calls VELAPI: every call traced, one more call after the 20-second pace
// when the array times out, and a failure carried as the call's name and its error word.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "plat/Clock.h"

class CusrCHN;
class CusrTraceScope;

namespace board {

// Array commands to one board are at least this far apart.
inline constexpr plat::Millis kCommandPace{20'000};

// The array address of a board slot (0..15).
inline short ClusterOf(int slot) { return static_cast<short>(slot / 8); }
inline short PcbOf(int slot) { return static_cast<short>(slot % 8); }

struct ApiFailure {
  std::string call;        // "dsvp_GetCHNEquipment"
  std::uint32_t code = 0;  // the error info
};

// Runs fn (a dsvp_ call that fills *lpErrInfo and returns TRUE/FALSE). On VEL_ERR_SVP_TIMEOUT it
// waits kCommandPace and calls once more. A failure is traced "<call>(): 0x%08x". Returns true on
// success, else fills *pFailure.
bool CallApi(const char* call, const std::function<int(std::uint32_t*)>& fn, ApiFailure* pFailure);

// One array command to a board, traced as strCallText and stamped on the board's lock; a time-out
// is traced "<call>() Time out (sCluster = %d, sPCB = %d). retry" and the command sent once more
// after the pace. The board lock, where the operation takes it, is the caller's.
bool SendBoardCommand(CusrCHN& board, const CusrTraceScope& trace, const char* pszCall,
                      const std::string& strCallText, const std::function<int(std::uint32_t*)>& fn,
                      std::uint32_t* pulError);
// "CHN[<slot>] = <call>", the trace line of an array command to a board.
std::string CallText(const CusrCHN& board, const char* pszCall);
// Shows the catalogue's message for a VELAPI error (code as "0x%08x") and traces it.
void ShowApiError(const CusrTraceScope& trace, std::uint32_t ulError);

}  // namespace board
