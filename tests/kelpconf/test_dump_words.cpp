// The words of a NAS dump and of its download, the space a download needs, and the filing of a
// received dump file: tables of the cases that decide what the engineer is told.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestEnv.h"
#include "board/DumpTransfer.h"
#include "dialogs/CdlgDownloadDump.h"

namespace {

using board::DownloadState;
using board::DumpState;
using board::FileResult;

TEST(DumpWords, DumpStatusErrorHalfIsTestedFirst) {
  struct Case {
    const char* name;
    std::uint32_t word;
    DumpState state;
  } const cases[] = {
      {"Normal", 0x0000FFFE, DumpState::Normal},
      {"Nothing", 0x0000FFFF, DumpState::Nothing},
      {"Downloading", 0x0000FFFC, DumpState::Downloading},
      {"ErrorWithNormalLowHalf", 0xFFFEFFFE, DumpState::Error},
      {"ErrorWithNothingLowHalf", 0xFFFEFFFF, DumpState::Error},
      {"ErrorCode", 0xFFFE0012, DumpState::Error},
      {"LowHalfAloneIsNotNormal", 0x0001FFFE, DumpState::Unknown},
      {"FinishedFamilyIsNotAnError", 0xFFFFFFFE, DumpState::Unknown},
      {"Zero", 0x00000000, DumpState::Unknown},
  };
  for (const Case& c : cases) EXPECT_EQ(board::ClassifyDumpStatus(c.word), c.state) << c.name;
  EXPECT_EQ(board::DumpStateTextId(DumpState::Normal), 2510u);
  EXPECT_EQ(board::DumpStateTextId(DumpState::Downloading), 2511u);
  EXPECT_EQ(board::DumpStateTextId(DumpState::Nothing), 2512u);
  EXPECT_EQ(board::DumpStateTextId(DumpState::Unknown), 2513u);
  EXPECT_EQ(board::DumpStateTextId(DumpState::Error), 0u);
}

TEST(DumpWords, DownloadStatusTable) {
  struct Case {
    const char* name;
    std::uint32_t word;
    DownloadState state;
  } const cases[] = {
      {"FinishedOk", 0xFFFF0000, DownloadState::Succeeded},
      {"FinishedStillRunning", 0xFFFFFFFF, DownloadState::Running},
      {"ZeroIsRunning", 0x00000000, DownloadState::Running},
      {"FinishedWithCode", 0xFFFF0003, DownloadState::Failed},
      {"TransferCause", 0xFFFE1100, DownloadState::TransferCause},
      {"TransferCauseWithCode", 0xFFFE1134, DownloadState::TransferCause},
      {"TransferOneBitOnly", 0xFFFE1000, DownloadState::TransferFailed},
      {"TransferOther", 0xFFFE0000, DownloadState::TransferFailed},
      {"Other", 0x00010000, DownloadState::Unknown},
      {"LowHalfOnly", 0x0000FFFF, DownloadState::Unknown},
  };
  for (const Case& c : cases) EXPECT_EQ(board::ClassifyDownloadStatus(c.word), c.state) << c.name;
}

TEST(DumpWords, RequiredSpaceIn64Bits) {
  constexpr std::uint64_t kMiB = 1'048'576;
  struct Case {
    const char* name;
    std::int64_t sizeMb;
    std::optional<std::uint64_t> bytes;
  } const cases[] = {
      {"OneMegabyte", 1, 51 * kMiB},
      {"Empty", 0, 50 * kMiB},
      {"PastFourGigabytes", 4096, 4146 * kMiB},  // wraps in 32 bits
      {"Largest", board::kMaxDumpSizeMb, static_cast<std::uint64_t>(board::kMaxDumpSizeMb + 50) * kMiB},
      {"Absurd", board::kMaxDumpSizeMb + 1, std::nullopt},
      {"Negative", -1, std::nullopt},
      {"NegativeAsSigned32", static_cast<std::int32_t>(0xFFFFFFF0u), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(board::RequiredDumpBytes(c.sizeMb), c.bytes) << c.name;
}

TEST(DumpWords, DateText) {
  EXPECT_EQ(CdlgDownloadDump::DateText("20261209014703"), "2026/12/09 01:47:03");
  EXPECT_EQ(CdlgDownloadDump::DateText("2026120901470"), "2026120901470");
  EXPECT_EQ(CdlgDownloadDump::DateText("2026120901470x"), "2026120901470x");
}

class FilingReceivedDumps : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(board::DumpReceiveFolder());
    std::filesystem::create_directories(board::DumpFolder());
  }
  kelptest::IsolatedEnv env;
};

TEST_F(FilingReceivedDumps, RefusalsLeaveEverythingInPlace) {
  kelptest::WriteFile(board::DumpReceiveFolder() / "empty", "");
  std::filesystem::create_directory(board::DumpReceiveFolder() / "folder");
  kelptest::WriteFile(board::DumpFolder() / "outside", "keep");
  struct Case {
    const char* name;
    std::string reported;
    FileResult result;
  } const cases[] = {
      {"EmptyName", "", FileResult::BadName},
      {"Dot", ".", FileResult::BadName},
      {"DotDot", "..", FileResult::BadName},
      {"Slash", "../outside", FileResult::BadName},
      {"Backslash", "a\\b", FileResult::BadName},
      {"NotReceived", "missing", FileResult::Missing},
      {"AFolder", "folder", FileResult::Missing},
      {"EmptyFile", "empty", FileResult::Empty},
  };
  for (const Case& c : cases) {
    std::string filed;
    std::error_code error;
    EXPECT_EQ(board::FileReceivedDump(c.reported, &filed, &error), c.result) << c.name;
    EXPECT_TRUE(filed.empty()) << c.name;
  }
  EXPECT_EQ(kelptest::ReadFile(board::DumpFolder() / "outside"), "keep");
  EXPECT_TRUE(std::filesystem::exists(board::DumpReceiveFolder() / "empty"));
}

TEST_F(FilingReceivedDumps, ATakenNameGetsTheNextSuffix) {
  kelptest::WriteFile(board::DumpFolder() / "D_1_x", "first");
  kelptest::WriteFile(board::DumpFolder() / "D_1_x_1", "second");
  kelptest::WriteFile(board::DumpReceiveFolder() / "D_1_x", "third");
  std::string filed;
  std::error_code error;
  ASSERT_EQ(board::FileReceivedDump("D_1_x", &filed, &error), FileResult::Filed) << error.message();
  EXPECT_EQ(filed, "D_1_x_2");
  EXPECT_EQ(kelptest::ReadFile(board::DumpFolder() / "D_1_x"), "first");
  EXPECT_EQ(kelptest::ReadFile(board::DumpFolder() / "D_1_x_1"), "second");
  EXPECT_EQ(kelptest::ReadFile(board::DumpFolder() / "D_1_x_2"), "third");
  EXPECT_FALSE(std::filesystem::exists(board::DumpReceiveFolder() / "D_1_x"));
}

}  // namespace
