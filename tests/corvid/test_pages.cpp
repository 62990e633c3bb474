// The pages of a unit as its scenario makes them, the C interface's argument and name rules,
// injected call faults, page overlays, the last selected images and the unit files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "CorvidTestUtil.h"
#include "corvid.h"

namespace {

using namespace corvidtest;
namespace pg = corvid::pages;
namespace sim = corvid::sim;
namespace fs = std::filesystem;

TEST(Pages, EveryPageHasItsSizeAndHeader) {
  SimEnv env;
  const std::pair<int, std::size_t> sizes[] = {
      {pg::kA1Install, pg::a1::kSize},   {pg::kA2InstallInfo, pg::a2::kSize}, {pg::kA3Config, pg::a3::kSize},
      {pg::kA4TimeOut, pg::a4::kSize},   {pg::kA5HibDump, 12},                {pg::kA6Progress, pg::a6::kSize},
      {pg::kA7Power, pg::a7::kSize},     {pg::kA8Shutdown, pg::a8::kSize},    {pg::kA9DumpPrepare, 12},
      {pg::kAADumpInfo, pg::aa::kSize},  {pg::kABDownload, 12},               {pg::kACDownloadStatus, pg::ac::kSize}};
  for (const auto& [sub, size] : sizes) {
    const auto image = Nas(sub);
    ASSERT_EQ(image.size(), size) << std::hex << sub;
    EXPECT_EQ(image[0], 0x7E);
    EXPECT_EQ(image[1], sub);
    EXPECT_EQ(image[2] << 8 | image[3], static_cast<int>(size) - 4);
  }
  EXPECT_EQ(Sense(pg::kPortInfoPage, 0).size(), pg::port::kSize);
}

TEST(Pages, PagesTheArrayLacksAreRefused) {
  SimEnv env;
  const std::pair<int, int> missing[] = {{pg::kNasPage, 0xA0}, {pg::kNasPage, 0xAD}, {pg::kPortInfoPage, 1}, {0x30, 0}};
  for (const auto& [page, sub] : missing) {
    unsigned char* buffer = reinterpret_cast<unsigned char*>(1);
    int size = 7;
    EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, page, sub, -1, &buffer, &size), ZQ_ERR_NO_PAGE) << page << "/" << sub;
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 0);
  }
  const auto a3 = Nas(pg::kA3Config);
  EXPECT_EQ(ZQ_ModeSelectonMemory(kUnit, pg::kNasPage, pg::kA3Config, -1, a3.data(), static_cast<int>(a3.size())),
            ZQ_ERR_NO_PAGE)
      << "a query page takes no select";
}

struct PortCase {
  const char* name;
  sim::Model model;
  int boards;
  std::uint8_t deviceType;
  std::vector<int> equipped;
};

class PortInformation : public testing::TestWithParam<PortCase> {};

TEST_P(PortInformation, ShowsTheModelsPorts) {
  const PortCase& c = GetParam();
  SimEnv env(TestSpec(c.model, c.boards));
  const auto port = Sense(pg::kPortInfoPage, 0);
  ASSERT_EQ(port.size(), pg::port::kSize);
  EXPECT_EQ(port[pg::port::kDeviceType], c.deviceType);
  for (int k = 0; k < pg::kBoards; ++k) {
    const bool equipped = std::find(c.equipped.begin(), c.equipped.end(), k) != c.equipped.end();
    EXPECT_EQ(port[pg::port::kStatus[k]], equipped ? 1 : 0) << "board " << k;
    EXPECT_EQ(port[pg::port::kKind[k]], equipped ? 2 : 0) << "board " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Models, PortInformation,
                         testing::Values(PortCase{"ZQH4", sim::Model::ZQH, 4, 1, {0, 1, 2, 3}},
                                         PortCase{"ZQH2", sim::Model::ZQH, 2, 1, {0, 2}},
                                         PortCase{"ZQS", sim::Model::ZQS, 2, 2, {0, 2}},
                                         PortCase{"ZQM1", sim::Model::ZQM, 1, 2, {0}}),
                         [](const testing::TestParamInfo<PortCase>& c) { return c.param.name; });

TEST(Pages, ConfigurationPageCarriesTheScenario) {
  sim::UnitSpec scenario = TestSpec(sim::Model::ZQXS, 2);
  scenario.serial = "01234567";
  scenario.svpIp = {10, 1, 2, 3};
  scenario.subnet = {255, 255, 0, 0};
  scenario.boards[1].location = "THIRTEEN_CHAR";  // the whole field, no NUL
  scenario.boards[1].valid = 3;
  scenario.boards[1].nasType = 2;
  scenario.boards[1].mac = {1, 2, 3, 4, 5, 6};
  scenario.boards[1].mpStatus = 0x1001;
  SimEnv env(scenario);
  const auto a3 = Nas(pg::kA3Config);
  EXPECT_EQ(a3[pg::a3::kModel] << 8 | a3[pg::a3::kModel + 1], 0x1701);
  EXPECT_EQ(std::string(a3.begin() + pg::a3::kSerial, a3.begin() + pg::a3::kSerial + 8), "01234567");
  EXPECT_EQ(BE32(a3, pg::a3::kSvpIp), 0x0A010203u);
  EXPECT_EQ(BE32(a3, pg::a3::kSubnet), 0xFFFF0000u);
  const std::size_t e = pg::a3::Entry(2);
  EXPECT_EQ(a3[e + pg::a3::kValid], 3);
  EXPECT_EQ(a3[e + pg::a3::kMpStatus] << 8 | a3[e + pg::a3::kMpStatus + 1], 0x1001);
  EXPECT_EQ(BE32(a3, e + pg::a3::kIp), 0x7F000012u) << "127.0.0.(10 + slot 8)";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a3[e + pg::a3::kLocation]), pg::a3::kLocationSize),
            "THIRTEEN_CHAR");
  EXPECT_EQ(a3[e + pg::a3::kNasTypeFlag], 1);
  EXPECT_EQ(a3[e + pg::a3::kNasType], 2);
  EXPECT_EQ(BE32(a3, e + pg::a3::kStatus), pg::kStatusStopped);
  EXPECT_EQ(BE32(a3, e + pg::a3::kTimeOuts), 300u);
  EXPECT_EQ(std::vector<std::uint8_t>(a3.begin() + static_cast<long>(e + pg::a3::kComInfo),
                                      a3.begin() + static_cast<long>(e + pg::a3::kComInfo + 6)),
            (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(a3[e + pg::a3::kUserPortNum], '2');
  EXPECT_EQ(a3[e + pg::a3::kCacheCap], '4');
  EXPECT_EQ(a3[e + pg::a3::kBadkFCExist], '-');
  const std::size_t absent = pg::a3::Entry(1);
  EXPECT_EQ(std::count(a3.begin() + static_cast<long>(absent), a3.begin() + static_cast<long>(absent + pg::a3::kEntrySize), 0),
            static_cast<long>(pg::a3::kEntrySize))
      << "a board the unit lacks reads as an empty entry";
}

TEST(Pages, CommandPagesReadBackAsLastSelected) {
  SimEnv env;
  EXPECT_EQ(Nas(pg::kA2InstallInfo)[pg::a2::kVersionFlag], 1);
  ASSERT_EQ(Command(pg::kA1Install, 1, [](auto& image) { SetBE32(image, pg::a1::kAlertLUInit, 0x55); }), 0);
  const auto a1 = Nas(pg::kA1Install);
  EXPECT_EQ(BE32(a1, pg::a1::kAlertLUInit), 0x55u);
  EXPECT_EQ(a1[0], 0x7E);
  std::vector<std::uint8_t> selected;
  ASSERT_TRUE(sim::LastSelected(kUnit, pg::kNasPage, pg::kA1Install, &selected));
  EXPECT_EQ(selected, a1);
  EXPECT_FALSE(sim::LastSelected(kUnit, pg::kNasPage, pg::kA7Power, &selected));

  sim::UnitSpec scenario = TestSpec();
  scenario.versionFlag = 0;
  ASSERT_TRUE(sim::CreateUnit(scenario, true));
  EXPECT_EQ(Nas(pg::kA2InstallInfo)[pg::a2::kVersionFlag], 0);
  EXPECT_FALSE(sim::LastSelected(kUnit, pg::kNasPage, pg::kA1Install, &selected)) << "replacing starts afresh";
}

TEST(Pages, RefusedSelectIsStillRecorded) {
  SimEnv env;
  ASSERT_EQ(static_cast<std::uint32_t>(Power(0, pg::a7::kRestore)), sim::kErrBadState);
  std::vector<std::uint8_t> selected;
  ASSERT_TRUE(sim::LastSelected(kUnit, pg::kNasPage, pg::kA7Power, &selected));
  EXPECT_EQ(BE32(selected, pg::a7::kOption), pg::a7::kRestore);
}

TEST(Interface, ArgumentChecks) {
  SimEnv env;
  unsigned char* buffer = nullptr;
  int size = 0;
  ZQ_GUI_INIT init{};
  EXPECT_EQ(ZQ_GUIInitialize(&init), 0);
  EXPECT_EQ(ZQ_GUIInitialize(nullptr), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_FreeMemory(nullptr), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_GetUnitParam(kUnit, nullptr), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, 62, 0xA3, -1, nullptr, &size), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, 62, 0xA3, -1, &buffer, nullptr), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, 62, 0xA3, 0, &buffer, &size), ZQ_ERR_BAD_ARGUMENT);
  auto a7 = Nas(pg::kA7Power);
  EXPECT_EQ(ZQ_ModeSelectonMemory(kUnit, 62, 0xA7, -1, nullptr, 0), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_ModeSelectonMemory(kUnit, 62, 0xA7, -1, a7.data(), static_cast<int>(a7.size()) - 1), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_ModeSelectonMemory(kUnit, 62, 0xA7, 0, a7.data(), static_cast<int>(a7.size())), ZQ_ERR_BAD_ARGUMENT);
}

struct NameCase {
  const char* name;
  std::string unit;
  int code;
};

class UnitNames : public testing::TestWithParam<NameCase> {};

TEST_P(UnitNames, DecideTheResult) {
  SimEnv env;
  const NameCase& c = GetParam();
  ZQ_UNIT_PARAM param{};
  unsigned char* buffer = nullptr;
  int size = 0;
  EXPECT_EQ(ZQ_GetUnitParam(c.unit.c_str(), &param), c.code);
  const int sense = ZQ_ModeSenseonMemory(c.unit.c_str(), 62, 0xA3, -1, &buffer, &size);
  EXPECT_EQ(sense, c.code);
  if (sense == 0) ZQ_FreeMemory(buffer);
  const std::uint8_t image[12] = {};
  if (c.code != 0) {
    EXPECT_EQ(ZQ_ModeSelectonMemory(c.unit.c_str(), 62, 0xA9, -1, image, 12), c.code);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, UnitNames,
    testing::Values(NameCase{"Existing", kUnit, 0}, NameCase{"Unknown", "NOPE", ZQ_ERR_UNKNOWN_UNIT},
                    NameCase{"LongestUnknown", std::string(64, 'u'), ZQ_ERR_UNKNOWN_UNIT},
                    NameCase{"Empty", "", ZQ_ERR_BAD_ARGUMENT},
                    NameCase{"TooLong", std::string(65, 'u'), ZQ_ERR_BAD_ARGUMENT},
                    NameCase{"Slash", "a/b", ZQ_ERR_BAD_ARGUMENT}, NameCase{"Parent", "..", ZQ_ERR_BAD_ARGUMENT},
                    NameCase{"ParentInside", "a..b", ZQ_ERR_BAD_ARGUMENT},
                    NameCase{"Dot", ".", ZQ_ERR_BAD_ARGUMENT},
                    NameCase{"ControlCharacter", "T\x01", ZQ_ERR_BAD_ARGUMENT}),
    [](const testing::TestParamInfo<NameCase>& c) { return c.param.name; });

TEST(Interface, NullUnitNameIsABadArgument) {
  SimEnv env;
  ZQ_UNIT_PARAM param{};
  EXPECT_EQ(ZQ_GetUnitParam(nullptr, &param), ZQ_ERR_BAD_ARGUMENT);
}

TEST(Interface, UnitParameterRecord) {
  SimEnv env;
  sim::UnitSpec scenario;
  ASSERT_TRUE(sim::LoadUnitSpec(kUnit, &scenario));
  ZQ_UNIT_PARAM param;
  std::memset(&param, 0xAA, sizeof param);
  ASSERT_EQ(ZQ_GetUnitParam(kUnit, &param), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(param.data), kUnit);
  EXPECT_EQ(param.data[64] << 8 | param.data[65], 0x1703);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(param.data + 66), 8), scenario.serial);
  EXPECT_EQ(param.data[75], 4);
  EXPECT_EQ(param.data[255], 0);
}

TEST(Interface, LogPutAppendsLines) {
  SimEnv env;
  EXPECT_EQ(ZQ_LogPut("velapilog", "first"), 0);
  EXPECT_EQ(ZQ_LogPut("velapilog", "second line"), 0);
  EXPECT_EQ(kelptest::ReadFile(env.env().systemRoot() / "log" / "velapilog.log"), "first\nsecond line\n");
  EXPECT_EQ(ZQ_LogPut("../escape", "x"), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_LogPut("velapilog", nullptr), ZQ_ERR_BAD_ARGUMENT);
  EXPECT_EQ(ZQ_LogPut(nullptr, "x"), ZQ_ERR_BAD_ARGUMENT);
}

TEST(Faults, CallFaultsHitTheirCallsForTheirCount) {
  SimEnv env;
  ASSERT_TRUE(sim::InjectCallFault(kUnit, "ModeSense", 62, 0xA3, 2, 0x60000));
  ASSERT_TRUE(sim::InjectCallFault(kUnit, "ModeSelect", 62, -1, 1, 0x83800000));
  ASSERT_TRUE(sim::InjectCallFault(kUnit, "GetUnitParam", -1, -1, 1, 0x01000099));
  unsigned char* buffer = nullptr;
  int size = 0;
  EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, 62, 0xA6, -1, &buffer, &size), 0) << "other sub-page";
  ZQ_FreeMemory(buffer);
  EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, 62, 0xA3, -1, &buffer, &size), 0x60000);
  EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, 62, 0xA3, -1, &buffer, &size), 0x60000);
  EXPECT_EQ(ZQ_ModeSenseonMemory(kUnit, 62, 0xA3, -1, &buffer, &size), 0);
  ZQ_FreeMemory(buffer);
  EXPECT_EQ(static_cast<std::uint32_t>(Power(0, pg::a7::kBoot)), 0x83800000u) << "any sub-page of 62";
  EXPECT_EQ(Look(0).status, pg::kStatusStopped) << "a faulted select does not reach the board";
  EXPECT_EQ(Power(0, pg::a7::kBoot), 0);
  ZQ_UNIT_PARAM param{};
  EXPECT_EQ(ZQ_GetUnitParam(kUnit, &param), 0x01000099);
  EXPECT_EQ(ZQ_GetUnitParam(kUnit, &param), 0);

  EXPECT_FALSE(sim::InjectCallFault(kUnit, "FreeMemory", -1, -1, 1, 1));
  EXPECT_FALSE(sim::InjectCallFault(kUnit, "ModeSense", 62, 0xA3, 0, 1));
  EXPECT_FALSE(sim::InjectCallFault(kUnit, "ModeSense", 62, 0xA3, 1, 0));
}

TEST(Faults, PokesOverlayEverySenseUntilCleared) {
  SimEnv env;
  ASSERT_TRUE(sim::PokePage(kUnit, 62, pg::kA6Progress, pg::a6::Entry(2) + pg::a6::kHibStat, {0x7F}));
  ASSERT_TRUE(sim::PokePage(kUnit, 0x33, 0, pg::port::kDeviceType, {9}));
  EXPECT_EQ(Nas(pg::kA6Progress)[pg::a6::Entry(2) + pg::a6::kHibStat], 0x7F);
  EXPECT_EQ(Nas(pg::kA6Progress)[pg::a6::Entry(2) + pg::a6::kHibStat], 0x7F);
  EXPECT_EQ(Sense(0x33, 0)[pg::port::kDeviceType], 9);
  ASSERT_TRUE(sim::ClearFaults(kUnit));
  EXPECT_EQ(Nas(pg::kA6Progress)[pg::a6::Entry(2) + pg::a6::kHibStat], 0);
  EXPECT_EQ(Sense(0x33, 0)[pg::port::kDeviceType], 1);
  EXPECT_FALSE(sim::PokePage(kUnit, 62, pg::kA8Shutdown, pg::a8::kSize - 1, {1, 2})) << "past the page's end";
  EXPECT_FALSE(sim::PokePage(kUnit, 62, 0xA0, 0, {1}));
}

TEST(Units, CreateReplaceDeleteAndList) {
  SimEnv env;
  std::string error;
  EXPECT_FALSE(sim::CreateUnit(TestSpec(), false, &error));
  EXPECT_NE(error.find("exists"), std::string::npos) << error;
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 0, pg::kStatusPanic));
  ASSERT_TRUE(sim::CreateUnit(TestSpec(), true));
  EXPECT_EQ(Look(0).status, pg::kStatusStopped) << "replace starts the state afresh";

  sim::UnitSpec other = TestSpec(sim::Model::ZQM, 1);
  other.name = "A0";
  ASSERT_TRUE(sim::CreateUnit(other, false));
  fs::create_directories(env.env().systemRoot() / "arrays" / "empty-folder");
  EXPECT_EQ(sim::ListUnits(), (std::vector<std::string>{"A0", kUnit}));
  ASSERT_TRUE(sim::DeleteUnit("A0"));
  EXPECT_FALSE(sim::DeleteUnit("A0"));
  ZQ_UNIT_PARAM param{};
  EXPECT_EQ(ZQ_GetUnitParam("A0", &param), ZQ_ERR_UNKNOWN_UNIT);
  EXPECT_EQ(sim::ListUnits(), std::vector<std::string>{kUnit});
}

TEST(Units, ScenarioSurvivesTheFileRoundTrip) {
  sim::UnitSpec scenario = TestSpec(sim::Model::ZQS, 2, true);
  scenario.serial = "12 4%67=";
  scenario.boards[0].location = " spaced ";
  scenario.boards[1].timeOuts = {1, 2, 3, 4, 5, 0xFFFFFFFF};
  scenario.boards[1].badkFCExist = ' ';
  scenario.autoBootAfterInstall = true;
  scenario.installRefusals = 3;
  SimEnv env(scenario);
  sim::UnitSpec loaded;
  ASSERT_TRUE(sim::LoadUnitSpec(kUnit, &loaded));
  EXPECT_EQ(loaded.serial, scenario.serial);
  EXPECT_EQ(loaded.boards[0].location, scenario.boards[0].location);
  EXPECT_EQ(loaded.boards[1].timeOuts, scenario.boards[1].timeOuts);
  EXPECT_EQ(loaded.boards[1].badkFCExist, ' ');
  EXPECT_EQ(loaded.boards[1].k, 2);
  EXPECT_TRUE(loaded.autoBootAfterInstall);
  EXPECT_EQ(loaded.installRefusals, 3);
  EXPECT_EQ(loaded.durations.installMs, 17000);
}

struct SpecFileCase {
  const char* name;
  const char* text;
  bool ok;
};

class ScenarioFiles : public testing::TestWithParam<SpecFileCase> {};

TEST_P(ScenarioFiles, AreCheckedWhole) {
  kelptest::TempDir dir;
  const SpecFileCase& c = GetParam();
  kelptest::WriteFile(dir / "u.ini", c.text);
  sim::UnitSpec scenario;
  std::string error;
  EXPECT_EQ(sim::ReadUnitSpecFile((dir / "u.ini").string(), "U", &scenario, &error), c.ok) << error;
  if (c.ok) {
    EXPECT_EQ(scenario.name, "U");
    EXPECT_EQ(scenario.model, sim::Model::ZQM);
    ASSERT_EQ(scenario.boards.size(), 1u);
    EXPECT_EQ(scenario.boards[0].k, 2);
    EXPECT_EQ(scenario.boards[0].ip, (std::array<std::uint8_t, 4>{127, 0, 0, 18}));
    EXPECT_EQ(scenario.boards[0].mpStatus, 0x1001);
  } else {
    EXPECT_FALSE(error.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ScenarioFiles,
    testing::Values(
        SpecFileCase{"Good", "; demo\n[Unit]\nmodel = zqm\n[board2]\nIp=127.0.0.18\nMpStatus=0x1001\n", true},
        SpecFileCase{"UnknownKey", "[Unit]\nModel=ZQM\nModle=ZQH\n", false},
        SpecFileCase{"UnknownSection", "[Unit]\nModel=ZQM\n[Board4]\n", false},
        SpecFileCase{"BadAddress", "[Unit]\nModel=ZQM\n[Board2]\nIp=127.0.0.256\n", false},
        SpecFileCase{"BadModel", "[Unit]\nModel=ZQX\n", false},
        SpecFileCase{"StatusTooWide", "[Unit]\nModel=ZQM\n[Board2]\nStatus=0x10000\n", false},
        SpecFileCase{"ShortTimeOutList", "[Unit]\nModel=ZQM\n[Board2]\nTimeOuts=1,2,3\n", false}),
    [](const testing::TestParamInfo<SpecFileCase>& c) { return c.param.name; });

TEST(Units, InvalidScenariosAreNotStored) {
  kelptest::IsolatedEnv env;
  sim::UnitSpec scenario = TestSpec();
  scenario.serial = "123";
  EXPECT_FALSE(sim::CreateUnit(scenario, false));
  scenario = TestSpec();
  scenario.boards[1].k = 0;
  EXPECT_FALSE(sim::CreateUnit(scenario, false));
  scenario = TestSpec();
  scenario.boards[0].location = "FOURTEEN_CHARS";
  EXPECT_FALSE(sim::CreateUnit(scenario, false));
  scenario = TestSpec();
  scenario.name = "a/b";
  EXPECT_FALSE(sim::CreateUnit(scenario, false));
  EXPECT_TRUE(sim::ListUnits().empty());
}

TEST(Units, DamagedStateIsReportedAndAMissingOneStartsAfresh) {
  SimEnv env;
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 0, pg::kStatusPanic));
  const fs::path state = env.env().systemRoot() / "arrays" / kUnit / "state.ini";
  kelptest::WriteFile(state, "[Clock]\nLogicalMs=1\nRawNs=1\n[Board0]\nStatus=seven\n");
  ZQ_UNIT_PARAM param{};
  EXPECT_EQ(ZQ_GetUnitParam(kUnit, &param), ZQ_ERR_STATE);
  fs::remove(state);
  EXPECT_EQ(Look(0).status, pg::kStatusStopped);
  EXPECT_TRUE(fs::exists(state));
}

}  // namespace
