// The page images of a simulated unit: which pages exist and their sizes, the sensed image of
// each (built from the scenario and the settled state), and bounds-checked big- and
// little-endian field access over image bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "UnitState.h"
#include "corvid/Sim.h"

namespace corvid::detail {

// The size of a page the array has, or nothing.
std::optional<std::size_t> PageSize(int page, int subPage);
// Pages that take a ModeSelect: A1, A2, A4, A5, A7, A9, AB.
bool IsCommandPage(int page, int subPage);

// The image ModeSense returns (pokes applied); nothing for a page the array does not have.
std::optional<std::vector<std::uint8_t>> SensePage(int page, int subPage, const sim::UnitSpec& scenario,
                                                   const UnitState& state, std::int64_t now);

// Field writers: out-of-range writes are dropped.
void Put8(std::span<std::uint8_t> image, std::size_t offset, std::uint8_t value);
void Put16(std::span<std::uint8_t> image, std::size_t offset, std::uint16_t value);
void Put32(std::span<std::uint8_t> image, std::size_t offset, std::uint32_t value);
void Put32LE(std::span<std::uint8_t> image, std::size_t offset, std::uint32_t value);
// Copies text into a field of size bytes, NUL-padded (cut when longer).
void PutText(std::span<std::uint8_t> image, std::size_t offset, std::size_t size, std::string_view text);
// Field readers: nothing when the field lies outside the image.
std::optional<std::uint16_t> Get16(std::span<const std::uint8_t> image, std::size_t offset);
std::optional<std::uint32_t> Get32(std::span<const std::uint8_t> image, std::size_t offset);
// The text of a NUL-padded field, up to its first NUL.
std::string GetText(std::span<const std::uint8_t> image, std::size_t offset, std::size_t size);

}  // namespace corvid::detail
