#include <gtest/gtest.h>

#include <string>

#include "TestEnv.h"
#include "plat/DiskSpace.h"
#include "plat/Paths.h"

namespace {

namespace fs = std::filesystem;

TEST(Paths, MapPathTable) {
  struct Case {
    const char* name;
    const char* windowsPath;
    std::string expected;
  };
  const std::string root = "/srv/root";
  const Case cases[] = {
      {"DriveCBackslashes", "C:\\tftp.ini", root + "/tftp.ini"},
      {"LowerDriveForwardSlashes", "c:/NASDUMP/unit1", root + "/NASDUMP/unit1"},
      {"DriveOnly", "C:", root},
      {"DriveRelative", "C:dhcp.ini", root + "/dhcp.ini"},
      {"RepeatedSeparatorsAndDots", "C:\\\\a\\.\\b\\", root + "/a/b"},
      {"DotDotStopsAtRoot", "C:\\a\\..\\..\\etc", root + "/etc"},
      {"OtherDriveRefused", "D:\\data", ""},
      {"RelativeStaysRelative", "logs\\today\\a.txt", "logs/today/a.txt"},
      {"NativeAbsoluteKept", "/var/tmp/x", "/var/tmp/x"},
  };
  kelptest::ScopedEnv env("KELP_SYSTEM_ROOT", root);
  for (const Case& c : cases)
    EXPECT_EQ(plat::MapPath(c.windowsPath).string(), c.expected) << c.name;
}

TEST(Paths, SystemRootFollowsEnvironmentOnEachCall) {
  kelptest::ScopedEnv home("HOME", "/home/op");
  kelptest::ScopedEnv root("KELP_SYSTEM_ROOT", "/explicit");
  EXPECT_EQ(plat::SystemRoot(), fs::path("/explicit"));
  unsetenv("KELP_SYSTEM_ROOT");
  kelptest::ScopedEnv data("XDG_DATA_HOME", "/xdg");
  EXPECT_EQ(plat::SystemRoot(), fs::path("/xdg/kelpset"));
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(plat::SystemRoot(), fs::path("/home/op/.local/share/kelpset"));
}

TEST(Paths, ProgramIsThisTest) {
  EXPECT_EQ(plat::ProgramPath().filename(), "platform_paths");
  EXPECT_EQ(plat::ProgramDir(), plat::ProgramPath().parent_path());
  EXPECT_EQ(plat::SystemFolder(), fs::path("/"));
}

TEST(DiskSpace, ReportsConsistentFiguresOrAnError) {
  kelptest::TempDir dir;
  const std::optional<plat::DiskSpace> space = plat::QueryDiskSpace(dir.path());
  ASSERT_TRUE(space.has_value());
  EXPECT_GT(space->totalBytes, 0u);
  EXPECT_LE(space->availableBytes, space->freeBytes);
  EXPECT_LE(space->freeBytes, space->totalBytes);

  std::error_code error;
  EXPECT_FALSE(plat::QueryDiskSpace(dir / "absent", error).has_value());
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

}  // namespace
