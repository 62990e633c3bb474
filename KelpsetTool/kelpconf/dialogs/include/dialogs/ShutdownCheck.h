// The check before a board's NAS OS is stopped (shutdown, reboot, installation): the board's
// cluster status, and the user's confirmation when the node may still serve its cluster.
#pragma once

#include <cstdint>

class CusrCHN;

namespace dialogs {

// The cluster status word of a node that serves nothing in its cluster and may be stopped.
inline constexpr std::uint32_t kClusterNodeStoppable = 0;

enum class ShutdownCheck { GoOn = 1, Stop = 2 };

// Exchanges with the board: a worker thread. A stoppable node goes on at once ("Shutdown OK"). A failed query asks 3609, a
// node its cluster still counts on asks 3610; OK there asks 3611 and then ulLastQuestion.
// Any answer but OK stops.
ShutdownCheck CheckShutdown(const CusrCHN& board, std::uint32_t ulLastQuestion);

}  // namespace dialogs
