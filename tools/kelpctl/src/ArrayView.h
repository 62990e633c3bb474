// What kelpctl shows of an array: its identity and one row per board slot of its model, each
// value read through VELAPI. Whole-array reads that fail end the reading; a failing per-board
// read leaves that field empty and is recorded in the row.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ApiCall.h"
#include "common/Json.h"

namespace kelpctl {

using Ip4 = std::array<std::uint8_t, 4>;

struct BoardRow {
  int slot = 0;                      // sCluster * 8 + sPCB
  unsigned short usCHN = 0xFFFF;     // equipment value
  std::string type;                  // equipment type text
  std::uint16_t status = 0;          // status word
  std::uint16_t mpStatus = 0;
  std::optional<Ip4> ip;             // read only for NAS boards (usCHN 1)
  std::optional<Ip4> mask;
  std::optional<std::array<std::uint8_t, 6>> mac;
  std::optional<std::string> location;
  std::vector<ApiFailure> failures;  // per-board reads that failed
};

struct ArrayView {
  std::uint32_t model = 0;
  std::uint32_t serial = 0;
  Ip4 svpIp{};
  Ip4 svpMask{};
  std::vector<BoardRow> rows;
};

// The board slots of a model: ZQH has 0, 1, 8 and 9; the other models 0 and 8.
std::vector<int> SlotsOfModel(std::uint32_t model);
// "ZQH" and the like, or "unknown".
const char* ModelText(std::uint32_t model);

// Reads the whole view; false with *pFailure when a whole-array read fails.
bool ReadArrayView(ArrayView* pView, ApiFailure* pFailure);

// Prints the view as a table.
void PrintArrayView(std::FILE* out, const std::string& unit, const ArrayView& view);
// The view as the --json document of boards.
common::json::Value ArrayViewDocument(const std::string& unit, const ArrayView& view);
// A status word's name, null for a word the array does not define.
common::json::Value StatusNameValue(std::uint16_t word);

}  // namespace kelpctl
