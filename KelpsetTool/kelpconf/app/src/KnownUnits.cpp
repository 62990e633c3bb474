#include "KnownUnits.h"

#include <algorithm>

#include "corvid/Sim.h"

namespace app {

std::vector<CdlgSelectUnit::Unit> KnownUnits() {
  constexpr std::uint8_t kNasBoard = 2;  // the port kind of a NAS board
  std::vector<CdlgSelectUnit::Unit> units;
  for (const std::string& name : corvid::sim::ListUnits()) {
    corvid::sim::UnitSpec scenario;
    if (!corvid::sim::LoadUnitSpec(name, &scenario)) continue;
    const auto boards = std::count_if(scenario.boards.begin(), scenario.boards.end(),
                                      [](const corvid::sim::BoardSpec& b) { return b.portKind == kNasBoard; });
    units.push_back({name, corvid::sim::ModelName(scenario.model), static_cast<int>(boards)});
  }
  return units;
}

}  // namespace app
