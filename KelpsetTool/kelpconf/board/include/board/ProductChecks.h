// The version rules of a product and the two checks that decide whether a product of the medium
// may go onto a board, over plain data so that the board object only supplies its installed
// list, name and NNC type. The checks write their trace lines into the caller's trace scope.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "agent/AgentTypes.h"

namespace board {

// The version of a patch.
inline constexpr std::string_view kPatchVersion = "-";

// "NN-NN-NN-NN" (four groups of two decimal digits), the only form byte-wise comparison orders
// correctly.
bool IsVersionText(std::string_view version);
// A version the catalogue accepts: IsVersionText, or the patch version "-".
bool IsValidVersion(std::string_view version);

// The NNC type a product version needs: 1 for 04-00-00-00 up to 05-00-00-00 (exclusive), 2 from
// 05-00-00-00 on, 0 for a patch (no need). Empty for a version below 04-00-00-00 or not a
// version at all.
std::optional<std::uint16_t> RequiredNNCType(std::string_view version);

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

}  // namespace board
