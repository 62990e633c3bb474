#include <gtest/gtest.h>

#include "plat/Version.h"

namespace {

TEST(Version, MatchesTheVersionResource) {
  EXPECT_EQ(plat::ProgramVersion(), (std::array<int, 4>{5, 0, 1, 0}));
  EXPECT_EQ(plat::ProgramVersionText(), "5, 0, 1, 0");
}

}  // namespace
