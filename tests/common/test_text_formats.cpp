// The shared ways of showing codes and addresses, the file server's port and the named string ids.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "TestEnv.h"
#include "common/FileServerPort.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TextFormats.h"

namespace {

TEST(TextFormats, CodesShowAsEightLowerCaseHexDigits) {
  EXPECT_EQ(common::CodeText(0), "0x00000000");
  EXPECT_EQ(common::CodeText(9), "0x00000009");
  EXPECT_EQ(common::CodeText(0xDEADBEEF), "0xdeadbeef");
}

TEST(TextFormats, AddressesShowDottedFromBytesOrWord) {
  struct Case {
    std::array<std::uint8_t, 4> bytes;
    std::uint32_t word;
    const char* text;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, 0x00000000, "0.0.0.0"},
      {{127, 0, 0, 1}, 0x7F000001, "127.0.0.1"},
      {{192, 168, 0, 255}, 0xC0A800FF, "192.168.0.255"},
      {{255, 255, 255, 255}, 0xFFFFFFFF, "255.255.255.255"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(common::AddressText(c.bytes.data()), c.text);
    EXPECT_EQ(common::AddressText(c.word), c.text);
  }
}

TEST(FileServerPort, PortZeroAndMissingMeanTheDefaultAndOnlyZeroIsReported) {
  struct Case {
    const char* settings;  // null: no file at all
    int port;
    bool zeroGiven;
  };
  const Case cases[] = {
      {nullptr, 20266, false},
      {"[MainService]\nPort=3000\n", 20266, false},
      {"[FtpService]\nPort=5000\n", 5000, false},
      {"[ftpservice]\nPort=5001\n", 5001, false},
      {"[FtpService]\nPort=0\n", 20266, true},
  };
  for (const Case& c : cases) {
    kelptest::TempDir dir;
    const auto file = dir / "kelpconf.ini";
    if (c.settings) kelptest::WriteFile(file, c.settings);
    const common::FileServerPort read = common::ReadFileServerPort(file);
    EXPECT_EQ(read.port, c.port) << (c.settings ? c.settings : "no file");
    EXPECT_EQ(read.zeroGiven, c.zeroGiven) << (c.settings ? c.settings : "no file");
  }
}

// Each name points at the text its users mean: a wrong id would show another label or title.
TEST(StringIds, EachNameGivesItsText) {
  struct Case {
    std::uint32_t id;
    const char* text;
  };
  const Case cases[] = {
      {str::kAbout, "About Kelpset Tool"},
      {str::kToolTitle, "Kelpset Tool"},
      {str::kToolVersion, "Kelpset Tool Version 05-00-01"},
      {str::kBoxTitle, "Kelpset Tool"},
      {str::kKelpconfTraceVersion, "kelpconf.exe ver.%s"},
      {str::kLockName, "__kelp_sos_timer_mutex_%d__"},
      {str::kZeroPercent, "  0%"},
      {str::kCompleted, "Completed"},
      {str::kFailedCode, "Failed(0x%08x)"},
      {str::kNasOsInstallCompleted, "NAS OS installation process has completed."},
      {str::kNowInstalling, "Now Installing..."},
      {str::kInstallCompleted, "Installation process has completed."},
      {str::kNasOsInstalling, "Now Installing...[maximum %s minutes]"},
      {str::kNasOsNotUpdated, "The NAS OS could not be updated."},
      {str::kNasOsRebootFailed, "Failed to reboot the NAS OS."},
      {str::kNasOsRebooting, "Now Rebooting...[maximum %d minutes]"},
      {str::kStopClusterOperation, "Stop the cluster"},
      {str::kStopNodeOperation, "Stop the node"},
      {str::kStopServiceOperation, "Stop the service"},
      {str::kNasOsVersion0200, "02-00"},
      {str::kNasOsVersion0500, "05-00"},
      {str::kLuStatusUnknown, "Unknown"},
      {str::kRebootingAllNasOs, "Now Rebooting all NAS OSs..."},
      {str::kSystemLuStatusUnknown, "Unknown"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadString(c.id), c.text) << c.id;
}

}  // namespace
