// The two checks that decide whether a product of the medium may go onto a board, over plain
// data so that the board object only supplies its installed list, name and NNC type. Both write
// their trace lines into the caller's trace scope.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "agent/AgentTypes.h"

namespace media {

// (product name, version) of a product chosen for installation.
using ProductVersion = std::pair<std::string, std::string>;

// 1 when the media product strName of version strVersion may be installed over the installed
// products: none of them has a name contained in strName, or strVersion is greater (byte-wise)
// than the greatest version among those that do. 0 for a downgrade, the same version, or a
// media version that is neither "NN-NN-NN-NN" nor "-".
int CompareWithInstalled(const std::vector<agent::ProductTexts>& installed, const std::string& strName,
                         const std::string& strVersion);

// 1 when every product suits a board of NNC type usNNCType (patches "-" always do), else 0.
// strBoardName names the board in the trace.
int CheckProductTypes(const std::string& strBoardName, std::uint16_t usNNCType,
                      const std::vector<ProductVersion>& products);

}  // namespace media
