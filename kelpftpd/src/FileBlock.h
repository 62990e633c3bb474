// A block of a product file ready to go out: the open file, where the block starts, its length
// and whether the file goes on after it. The data is not read into memory; the reply sends it
// from the file.
#pragma once

#include <cstdint>

#include "plat/Socket.h"

struct FileBlock {
  plat::UniqueFd file;
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
  bool more = false;  // the end flag: at least one more byte follows the block
};
