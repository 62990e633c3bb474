// The write-side exports: the image each command selects (address, its own fields, every other
// byte as sensed), the argument checks, the install inherit retry, and the NAS OS version taken
// from C:\tftp.ini and the medium's MediaInfo.ini.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "TestEnv.h"
#include "VelapiTestUnit.h"
#include "velapi.h"

namespace {

namespace pages = corvid::pages;
namespace fs = std::filesystem;
using corvid::sim::UnitSpec;
using Image = std::vector<std::uint8_t>;
using Writes = std::vector<std::pair<std::size_t, Image>>;
using veltest::LogTail;
using E = std::uint32_t*;

constexpr short kCluster = 1, kPcb = 0;              // board k = 2
const Image kHeaderMark = {0x11, 0x22, 0x33, 0x44};  // bytes 4..7: no command changes them
constexpr char kOldBootOpt[] = "previous-option";

Image BE(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
          static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}
Image Words(std::initializer_list<std::uint32_t> values) {
  Image image;
  for (std::uint32_t value : values) {
    const Image word = BE(value);
    image.insert(image.end(), word.begin(), word.end());
  }
  return image;
}
Image Text(const std::string& text) {
  Image image(text.begin(), text.end());
  image.push_back(0);
  return image;
}

// The image expected after a command: the sensed one with the board address and the writes.
Image Expected(Image image, const Writes& writes) {
  image[pages::cmd::kCluster + 1] = kCluster;
  image[pages::cmd::kPcb + 1] = kPcb;
  for (const auto& [offset, bytes] : writes)
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
  return image;
}

UnitSpec SpecWithStatus(std::uint16_t status) {
  UnitSpec scenario = veltest::DefaultSpec();
  for (auto& b : scenario.boards)
    if (b.k == 2) b.status = status;
  return scenario;
}

class VelapiCommands : public ::testing::Test {
 protected:
  void SetUp() override { veltest::ResetUnit(veltest::DefaultSpec()); }
  void TearDown() override {
    std::error_code ec;
    fs::remove(veltest::SharedSystemRoot() / "tftp.ini", ec);
    fs::remove_all(veltest::SharedSystemRoot() / "media", ec);
  }

  // Marks bytes of a command page that the command must leave as sensed, and senses it.
  static Image MarkAndSense(int subPage) {
    veltest::Poke(subPage, 4, kHeaderMark);
    if (subPage == pages::kA7Power) veltest::Poke(subPage, pages::a7::kBootOpt, Text(kOldBootOpt));
    return veltest::Sense(subPage);
  }
};

// ---- the selected images ----

struct CommandCase {
  const char* pszName;
  int nSubPage;
  std::uint16_t usStatus;  // board status before the command
  std::function<BOOL(E)> call;
  Writes writes;
};
class VelapiCommandImage : public VelapiCommands,
                           public ::testing::WithParamInterface<CommandCase> {};

TEST_P(VelapiCommandImage, SelectsTheSensedImageWithAddressAndFields) {
  const CommandCase& c = GetParam();
  veltest::ResetUnit(SpecWithStatus(c.usStatus));
  const Image sensed = MarkAndSense(c.nSubPage);
  ASSERT_FALSE(sensed.empty());
  std::uint32_t ulErr = 0xDEAD;
  ASSERT_TRUE(c.call(&ulErr));
  EXPECT_EQ(ulErr, 0u);
  EXPECT_EQ(veltest::Selected(c.nSubPage), Expected(sensed, c.writes));
}

std::uint32_t g_ulInherit = 6;
const VEL_TIMECTLE kTimes = {{0, 2, 0, 4, 5, 0x80000000, 7, 8, 9, 10}};
constexpr std::size_t kOption = pages::a7::kOption, kBootOpt = pages::a7::kBootOpt;
namespace a1 = pages::a1;

INSTANTIATE_TEST_SUITE_P(
    Commands, VelapiCommandImage,
    ::testing::Values(
        CommandCase{
            "Shutdown",
            pages::kA7Power,
            pages::kStatusOsUp,
            [](E e) { return dsvp_NasShutdown(kCluster, kPcb, VEL_NAS_SHUTDOWN, nullptr, e); },
            {{kOption, BE(VEL_NAS_SHUTDOWN)}}},
        CommandCase{"RebootWithEmptyBootOption",
                    pages::kA7Power,
                    pages::kStatusOsUp,
                    [](E e) { return dsvp_NasShutdown(kCluster, kPcb, VEL_NAS_REBOOT, "", e); },
                    {{kOption, BE(VEL_NAS_REBOOT)}, {kBootOpt, Text("")}}},
        CommandCase{"BootWithoutBootOptionKeepsTheOldOne",
                    pages::kA7Power,
                    pages::kStatusStopped,
                    [](E e) { return dsvp_NasShutdown(kCluster, kPcb, VEL_NAS_BOOT, nullptr, e); },
                    {{kOption, BE(VEL_NAS_BOOT)}}},
        CommandCase{"BootOptionOfMaximumLength",
                    pages::kA7Power,
                    pages::kStatusStopped,
                    [](E e) {
                      const std::string strOpt(VEL_BOOTOPT_MAX, 'o');
                      return dsvp_NasShutdown(kCluster, kPcb, VEL_NAS_BOOT, strOpt.c_str(), e);
                    },
                    {{kOption, BE(VEL_NAS_BOOT)}, {kBootOpt, Text(std::string(84, 'o'))}}},
        CommandCase{"Blockade",
                    pages::kA7Power,
                    pages::kStatusOsUp,
                    [](E e) { return dsvp_NasBlockadeForce(kCluster, kPcb, e); },
                    {{kOption, BE(VEL_NAS_BLOCKADE)}}},
        CommandCase{"HibernationDump",
                    pages::kA5HibDump,
                    pages::kStatusOsUp,
                    [](E e) { return dsvp_NasGetHibDump(kCluster, kPcb, e); },
                    {}},
        CommandCase{"DumpInformation",
                    pages::kA9DumpPrepare,
                    pages::kStatusStopped,
                    [](E e) { return dsvp_SetDumpInformation(kCluster, kPcb, e); },
                    {}},
        CommandCase{
            "Install",
            pages::kA1Install,
            pages::kStatusStopped,
            [](E e) { return dsvp_NasInstallLinux(kCluster, kPcb, 1, 1, 1, &g_ulInherit, e); },
            {{a1::kInstallType, BE(1)},
             {a1::kComLUInit, BE(1)},
             {a1::kAlertLUInit, BE(1)},
             {a1::kRetryInfo, BE(6)}}},
        CommandCase{
            "InstallTypeTwoKeepsAlertLUInit",
            pages::kA1Install,
            pages::kStatusStopped,
            [](E e) {
              veltest::Poke(pages::kA1Install, a1::kAlertLUInit, BE(9));
              return dsvp_NasInstallLinux(kCluster, kPcb, 2, 0, 7, &g_ulInherit, e);
            },
            {{a1::kInstallType, BE(2)}, {a1::kAlertLUInit, BE(9)}, {a1::kRetryInfo, BE(6)}}},
        CommandCase{
            "TimeOutsZeroSentAsAllOnes",
            pages::kA4TimeOut,
            pages::kStatusStopped,
            [](E e) { return dsvp_NasSetTimeOutinf(kCluster, kPcb, &kTimes, e); },
            {{pages::a4::kTimeOut0, Words({~0u, 2, ~0u, 4, 5, 0x80000000, ~0u, ~0u, ~0u, ~0u})}}}),
    veltest::CaseName<CommandCase>);

// A page image shorter than the fields a command reads or stores fails the command with
// VEL_ERR_MODE_PARAM and selects nothing back.
struct ShortImageCase {
  const char* pszName;
  int nSubPage;
  std::size_t nSize;
  std::function<BOOL(E)> call;
};
class VelapiShortImage : public VelapiCommands, public ::testing::WithParamInterface<ShortImageCase> {};

TEST_P(VelapiShortImage, FailsWithModeParam) {
  veltest::Shorten(GetParam().nSubPage, GetParam().nSize);
  std::uint32_t ulErr = 0;
  EXPECT_FALSE(GetParam().call(&ulErr));
  EXPECT_EQ(ulErr, VEL_ERR_MODE_PARAM);
  std::vector<std::uint8_t> image;
  EXPECT_FALSE(corvid::sim::LastSelected(veltest::kUnit, pages::kNasPage, GetParam().nSubPage, &image));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VelapiShortImage,
    ::testing::Values(
        // Found by fuzz_pages: the version flag (byte 15) of a shorter image read as 0, so the
        // command "succeeded" without the version the array asked for.
        ShortImageCase{"InstallInfoWithoutVersionFlag", pages::kA2InstallInfo, 12,
                       [](E e) { return dsvp_NasChangeInstallInf(kCluster, kPcb, e); }},
        ShortImageCase{"InstallInfoWithoutVersion", pages::kA2InstallInfo, pages::a2::kSize - 1,
                       [](E e) { return dsvp_NasChangeInstallInf(kCluster, kPcb, e); }},
        ShortImageCase{"InstallWithoutRetryInfo", pages::kA1Install, pages::a1::kSize - 1,
                       [](E e) {
                         std::uint32_t ulInherit = 0;
                         return dsvp_NasInstallLinux(kCluster, kPcb, 0, 0, 0, &ulInherit, e);
                       }},
        ShortImageCase{"TimeOutsWithoutReserve", pages::kA4TimeOut, pages::a4::kSize - 1,
                       [](E e) {
                         const VEL_TIMECTLE st{};
                         return dsvp_NasSetTimeOutinf(kCluster, kPcb, &st, e);
                       }},
        ShortImageCase{"BootOptionCut", pages::kA7Power, pages::a7::kBootOpt + 4,
                       [](E e) { return dsvp_NasShutdown(kCluster, kPcb, VEL_NAS_REBOOT, "console=ttyS0", e); }},
        ShortImageCase{"HibDumpWithoutAddress", pages::kA5HibDump, pages::cmd::kPcb + 1,
                       [](E e) { return dsvp_NasGetHibDump(kCluster, kPcb, e); }}),
    veltest::CaseName<ShortImageCase>);

TEST_F(VelapiCommands, RestoreAfterBlockadeSendsOnlyTheRestoreOption) {
  std::uint32_t ulErr = 0;
  ASSERT_TRUE(dsvp_NasBlockadeForce(kCluster, kPcb, &ulErr));
  const Image sensed = MarkAndSense(pages::kA7Power);
  ASSERT_TRUE(dsvp_NasRestoreForce(kCluster, kPcb, &ulErr));
  EXPECT_EQ(veltest::Selected(pages::kA7Power), Expected(sensed, {{kOption, BE(VEL_NAS_RESTORE)}}));
}

TEST_F(VelapiCommands, DumpIsTakenAndDownloaded) {
  veltest::ResetUnit(SpecWithStatus(pages::kStatusOsUp));
  const corvid::sim::Durations d = veltest::DefaultSpec().durations;
  std::uint32_t ulErr = 0, ulStatus = 0, ulSize = 0;
  ASSERT_TRUE(dsvp_NasGetHibDump(kCluster, kPcb, &ulErr));
  ASSERT_TRUE(corvid::sim::AdvanceTime(veltest::kUnit, d.dumpMs + 1000));
  char szDate[VEL_DUMP_DATE_SIZE] = {}, szFile[VEL_DWNL_FILE_SIZE] = {};
  ASSERT_TRUE(dsvp_GetDumpInformation(kCluster, kPcb, &ulStatus, szDate, &ulSize, &ulErr));
  EXPECT_EQ(ulStatus, pages::kDumpPresent);
  const Image sensed = MarkAndSense(pages::kABDownload);
  ASSERT_TRUE(dsvp_DownloadDump(kCluster, kPcb, &ulErr));
  EXPECT_EQ(veltest::Selected(pages::kABDownload), Expected(sensed, {}));
  ASSERT_TRUE(corvid::sim::AdvanceTime(veltest::kUnit, d.downloadMs + 1000));
  ASSERT_TRUE(dsvp_GetDownloadDumpStatus(kCluster, kPcb, &ulStatus, szFile, &ulErr));
  EXPECT_EQ(ulStatus, pages::kDownloadDone);
  EXPECT_GT(std::strlen(szFile), 0u);
}

// ---- argument checks and parameter lines ----

TEST_F(VelapiCommands, ArgumentChecksFailBeforeTheArray) {
  std::uint32_t* pInherit = &g_ulInherit;
  const std::vector<veltest::InvalidParameterCase> kCases = {
      {"Invalid Parameter ulOption=0x00000003",
       [=](E e) { return dsvp_NasInstallLinux(0, 0, 3, 0, 0, pInherit, e); }},
      {"Invalid Parameter ulOption2=0x00000002",
       [=](E e) { return dsvp_NasInstallLinux(0, 0, 1, 2, 0, pInherit, e); }},
      {"Invalid Parameter ulOption3=0x00000002",
       [=](E e) { return dsvp_NasInstallLinux(0, 0, 1, 0, 2, pInherit, e); }},
      {"Invalid Parameter ulOption3=0xFFFFFFFF",
       [=](E e) { return dsvp_NasInstallLinux(0, 0, 0, 0, ~0u, pInherit, e); }},
      {"Invalid Parameter lpInherit=NULL",
       [](E e) { return dsvp_NasInstallLinux(0, 0, 2, 1, 7, nullptr, e); }},
      {"Invalid Parameter dwOption=0x40000000",
       [](E e) { return dsvp_NasShutdown(0, 0, VEL_NAS_BLOCKADE, nullptr, e); }},
      {"Invalid Parameter dwOption=0x20000000",
       [](E e) { return dsvp_NasShutdown(0, 0, VEL_NAS_RESTORE, nullptr, e); }},
      {"Invalid Parameter dwOption=0x8000000C",
       [](E e) { return dsvp_NasShutdown(0, 0, 0x8000000C, nullptr, e); }},
      {"Invalid Parameter lpBootOpt over max length=85",
       [](E e) { return dsvp_NasShutdown(0, 0, VEL_NAS_BOOT, std::string(85, 'o').c_str(), e); }},
      {"Invalid Parameter lpTimeCtle=NULL",
       [](E e) { return dsvp_NasSetTimeOutinf(0, 0, nullptr, e); }},
  };
  // Any array access would consume this fault and change a later error.
  veltest::InjectFault("ModeSense", pages::kNasPage, -1, 1, 0x5);
  veltest::ExpectInvalidParameters(kCases);
  std::uint32_t ulErr = 0;
  EXPECT_FALSE(dsvp_NasGetHibDump(0, 0, &ulErr));
  EXPECT_EQ(ulErr, 0x84000005u);
}

TEST_F(VelapiCommands, ParameterLinesOfTheCommands) {
  LogTail log;
  std::uint32_t ulErr = 0, ulInherit = 0x10;
  dsvp_NasInstallLinux(0, 1, 1, 0, 1, &ulInherit, &ulErr);
  dsvp_NasInstallLinux(0, 1, 1, 0, 1, nullptr, &ulErr);
  dsvp_NasShutdown(1, 1, VEL_NAS_BOOT, "quiet", &ulErr);
  dsvp_NasShutdown(1, 1, VEL_NAS_BOOT, nullptr, &ulErr);
  dsvp_NasSetTimeOutinf(0, 0, &kTimes, &ulErr);
  const std::vector<std::string> lines = log.Lines();
  const std::pair<const char*, int> kCounts[] = {
      {" +- sCluster=0,sPCB=1,ulOption=0x00000001,ulOption2=0x00000000,ulOption3=0x00000001", 2},
      {" +- lpInherit=0x00000010", 1},
      {" +- sCluster=1,sPCB=1,dwOption=0x80000000", 2},
      {" +- lpBootOpt=quiet", 1},
      {" +- lpBootOpt=NULL", 1},
      {"lpTimeCtle[0]->       0,lpTimeCtle[1]->       2", 1},
      {"lpTimeCtle[8]->       9,lpTimeCtle[9]->      10", 1}};
  for (const auto& [pszLine, n] : kCounts)
    EXPECT_EQ(std::count(lines.begin(), lines.end(), pszLine), n) << pszLine;
}

// ---- install inherit retry ----

TEST_F(VelapiCommands, RefusedInstallAsksForTheNextRetryCount) {
  veltest::InjectFault("ModeSelect", pages::kNasPage, pages::kA1Install, 1, 0x01800000);
  LogTail log;
  std::uint32_t ulInherit = 3, ulErr = 0;
  EXPECT_FALSE(dsvp_NasInstallLinux(kCluster, kPcb, 0, 0, 0, &ulInherit, &ulErr));
  EXPECT_EQ(ulErr, VEL_ERR_INHERIT_UPDATED);
  EXPECT_EQ(ulInherit, 4u);
  EXPECT_TRUE(log.Has("Update Inherit = 4"));
  EXPECT_TRUE(log.Has("END   dsvp_NasInstallLinux(0:0xFFFFFFFF)"));
  ASSERT_TRUE(dsvp_NasInstallLinux(kCluster, kPcb, 0, 0, 0, &ulInherit, &ulErr));
  const Image selected = veltest::Selected(pages::kA1Install);
  EXPECT_EQ(Image(selected.begin() + a1::kRetryInfo, selected.begin() + a1::kRetryInfo + 4), BE(4));

  for (std::uint32_t ulCode : {0x5u, 0x1002u, 0x01800001u}) {
    veltest::InjectFault("ModeSelect", pages::kNasPage, pages::kA1Install, 1, ulCode);
    EXPECT_FALSE(dsvp_NasInstallLinux(kCluster, kPcb, 0, 0, 0, &ulInherit, &ulErr));
    EXPECT_NE(ulErr, VEL_ERR_INHERIT_UPDATED);
    EXPECT_EQ(ulInherit, 4u) << "other failures keep the count";
  }
}

TEST_F(VelapiCommands, ArrayRefusalsAreRetriedUntilAccepted) {
  UnitSpec scenario = veltest::DefaultSpec();
  scenario.installRefusals = 2;
  veltest::ResetUnit(scenario);
  std::uint32_t ulInherit = 0, ulErr = 0;
  int nRefusals = 0;
  while (!dsvp_NasInstallLinux(kCluster, kPcb, 0, 0, 0, &ulInherit, &ulErr)) {
    ASSERT_EQ(ulErr, VEL_ERR_INHERIT_UPDATED);
    ASSERT_LT(++nRefusals, 5);
  }
  EXPECT_EQ(nRefusals, 2);
  EXPECT_EQ(ulInherit, 2u);
}

// ---- NAS OS version of the install information ----

struct VersionCase {
  const char* pszName;
  const char* pszTftpIni;   // content of C:\tftp.ini ($ROOT: the system root), null: no file
  const char* pszMediaDir;  // folder under the system root holding MediaInfo.ini, null: none
  const char* pszMediaInfo;
  const char* pszVersion;  // expected NasOSVersion
};
class VelapiInstallInfo : public VelapiCommands,
                          public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VelapiInstallInfo, VersionFromTheMediumNamedInTftpIni) {
  const VersionCase& c = GetParam();
  const fs::path root = veltest::SharedSystemRoot();
  if (c.pszTftpIni != nullptr) {
    std::string strIni = c.pszTftpIni;
    if (const auto pos = strIni.find("$ROOT"); pos != std::string::npos)
      strIni.replace(pos, 5, root.string());
    kelptest::WriteFile(root / "tftp.ini", strIni);
  }
  if (c.pszMediaDir != nullptr) {
    fs::create_directories(root / c.pszMediaDir);
    kelptest::WriteFile(root / c.pszMediaDir / "MediaInfo.ini", c.pszMediaInfo);
  }
  const Image sensed = MarkAndSense(pages::kA2InstallInfo);
  ASSERT_EQ(sensed[pages::a2::kVersionFlag], 1);
  Image version(pages::a2::kNasOSVersionSize, 0);
  std::memcpy(version.data(), c.pszVersion, std::strlen(c.pszVersion));
  LogTail log;
  std::uint32_t ulErr = 0;
  ASSERT_TRUE(dsvp_NasChangeInstallInf(kCluster, kPcb, &ulErr));
  EXPECT_EQ(veltest::Selected(pages::kA2InstallInfo),
            Expected(sensed, {{pages::a2::kNasOSVersion, version}}));
  EXPECT_TRUE(log.Has(std::string("    NAS OS Version = ") + c.pszVersion));
}

constexpr char kTftpIni[] = "[Parameters]\nFile Path=C:\\media\\netboot\n";
INSTANTIATE_TEST_SUITE_P(
    Media, VelapiInstallInfo,
    ::testing::Values(
        VersionCase{"NoTftpIni", nullptr, nullptr, nullptr, "--------"},
        VersionCase{"NoFilePath", "[Parameters]\nOther=1\n", nullptr, nullptr, "--------"},
        VersionCase{"NoMediaInfo", kTftpIni, nullptr, nullptr, "--------"},
        VersionCase{"NoVersion", kTftpIni, "media/netboot", "[Product]\nName=NAS\n", "--------"},
        VersionCase{"DrivePath", kTftpIni, "media/netboot", "[Product]\nVersion=05-01\n", "05-01"},
        VersionCase{"DrivePathWithSlashes", "[Parameters]\nFile Path=c:/media/netboot\n",
                    "media/netboot", "[Product]\nVersion=05-02\n", "05-02"},
        VersionCase{"MountedMediumPath", "[Parameters]\nFile Path=$ROOT/media/cd/netboot\n",
                    "media/cd/netboot", "[Product]\nVersion=06-00\n", "06-00"},
        VersionCase{"LongVersionIsCutAt31", kTftpIni, "media/netboot",
                    "[Product]\nVersion=0123456789012345678901234567890123456789\n",
                    "0123456789012345678901234567890"}),
    veltest::CaseName<VersionCase>);

TEST_F(VelapiCommands, InstallInfoWithoutVersionFlagSendsOnlyTheAddress) {
  UnitSpec scenario = veltest::DefaultSpec();
  scenario.versionFlag = 0;
  veltest::ResetUnit(scenario);
  kelptest::WriteFile(veltest::SharedSystemRoot() / "tftp.ini", kTftpIni);
  veltest::Poke(pages::kA2InstallInfo, pages::a2::kNasOSVersion, Image(32, 'Q'));
  const Image sensed = MarkAndSense(pages::kA2InstallInfo);
  std::uint32_t ulErr = 0;
  ASSERT_TRUE(dsvp_NasChangeInstallInf(kCluster, kPcb, &ulErr));
  EXPECT_EQ(veltest::Selected(pages::kA2InstallInfo), Expected(sensed, {}));
}

}  // namespace
