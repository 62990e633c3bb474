#include <gtest/gtest.h>

#include "TestEnv.h"
#include "plat/CdRom.h"

namespace {

namespace fs = std::filesystem;

TEST(CdRom, ListsOpticalMountsInOrder) {
  kelptest::TempDir dir;
  const fs::path mounts = dir / "mounts";
  kelptest::WriteFile(mounts,
                      "/dev/sda1 / ext4 rw,relatime 0 0\n"
                      "/dev/sr0 /media/op/KELP\\040MEDIA iso9660 ro,nosuid 0 0\n"
                      "tmpfs /run tmpfs rw 0 0\n"
                      "/dev/sr1 /mnt/dvd udf ro 0 0\n"
                      "/dev/sdb1 /mnt/iso9660 vfat rw 0 0\n"
                      "/dev/loop0 /mnt/tab\\011and\\134slash iso9660 ro 0 0\n"
                      "truncated line\n");
  EXPECT_EQ(plat::FindCdRomMounts(mounts),
            (std::vector<fs::path>{"/media/op/KELP MEDIA", "/mnt/dvd", "/mnt/tab\tand\\slash"}));
}

TEST(CdRom, MissingTableGivesNone) {
  kelptest::TempDir dir;
  EXPECT_TRUE(plat::FindCdRomMounts(dir / "absent").empty());
}

}  // namespace
