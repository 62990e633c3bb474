// The array units the array library knows, for the unit chooser: name, model and the number of
// NAS boards, sorted by name. A unit whose description cannot be read is left out.
#pragma once

#include <vector>

#include "dialogs/CdlgSelectUnit.h"

namespace app {

std::vector<CdlgSelectUnit::Unit> KnownUnits();

}  // namespace app
