// What a ModeSelect does to a unit: checks the image, records it as the page's last selected
// image (whether or not the board then accepts the command), finds the board it addresses and
// hands the command to the board's machine.
#pragma once

#include <cstdint>
#include <span>

#include "UnitSession.h"

namespace corvid::detail {

// 0 when accepted, else the refusal: ZQ_ERR_NO_PAGE (not a command page), ZQ_ERR_BAD_ARGUMENT
// (size other than the page's, unknown A7 option), sim::kErrNoBoard (Cluster/Pcb outside 0..1 or
// naming a board the unit lacks), or what the board answers (see BoardMachine).
std::uint32_t SelectPage(UnitSession& session, int page, int subPage, std::span<const std::uint8_t> image);

// The first injected call fault matching op/page/subPage, consumed; 0 when none matches. A call
// without pages (GetUnitParam) passes -1 for both.
std::uint32_t TakeCallFault(UnitSession& session, const char* op, int page, int subPage);

}  // namespace corvid::detail
