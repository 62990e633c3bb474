// How the sixteen board slots pair up: slot n of the first controller (0-7) and slot n + 8 of
// the second form one cluster of two nodes.
#pragma once

#include <cstdint>

namespace board {

// The board slots of an array: two controllers of eight.
inline constexpr std::uint32_t kSlots = 16;

// The slot of the other node of a slot's cluster.
constexpr std::uint32_t PartnerSlot(std::uint32_t slot) { return slot < 8 ? slot + 8 : slot - 8; }

}  // namespace board
