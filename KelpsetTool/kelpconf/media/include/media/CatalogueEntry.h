// A product of the catalogue with its identity: its kind and its position in that kind's list.
// Two products may share a name (two NAS OS versions on one medium), so a list row or a
// selection refers to its record by identity, never by name.
#pragma once

#include <cstddef>

#include "board/ProductRecord.h"

namespace media {

// The kind whose records are NAS OS versions.
inline constexpr std::size_t kKindNasOs = 0;

struct ProductKey {
  std::size_t nKind = 0;   // 0 NAS OS, 1 SUT, 2 REQ, 3 OPT
  std::size_t nIndex = 0;  // position in the kind's list
  bool operator==(const ProductKey&) const = default;
};

struct CatalogueEntry {
  ProductKey key;
  board::ProductRecord record;
};

}  // namespace media
