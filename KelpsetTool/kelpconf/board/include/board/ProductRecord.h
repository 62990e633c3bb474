// One product of the installation medium as the catalogue keeps it: six texts in a fixed order.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace board {

using ProductRecord = std::array<std::string, 6>;

// Positions in a ProductRecord.
enum ProductField : std::size_t {
  kProductName = 0,
  kProductVersion = 1,
  kProductFilePath = 2,
  kProductTimeout = 3,     // minutes, decimal digits
  kProductEnvFile = 4,     // the description file's name, without folder
  kProductBuild = 5,
};

}  // namespace board
