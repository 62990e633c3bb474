// The read-side exports against a simulated unit: board equipment and its texts, port
// information and the board gate, the Valid tests, the values read from the pages, and what
// the argument checks leave in the caller's records.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "VelapiTestUnit.h"
#include "velapi.h"

namespace {

namespace pages = corvid::pages;
namespace a3 = corvid::pages::a3;
namespace a6 = corvid::pages::a6;
using corvid::sim::BoardSpec;
using corvid::sim::UnitSpec;
using veltest::LogTail;
using veltest::Poke;
using S = short;
using E = std::uint32_t*;
using Bytes = std::vector<std::uint8_t>;

BoardSpec& Board(UnitSpec& scenario, int k) {
  return *std::find_if(scenario.boards.begin(), scenario.boards.end(), [k](auto& b) { return b.k == k; });
}

void PokePort(std::size_t offset, std::uint8_t value) {
  std::string error;
  if (!corvid::sim::PokePage(veltest::kUnit, pages::kPortInfoPage, 0, offset, {value}, &error))
    ADD_FAILURE() << error;
}

bool AllBytes(const void* p, std::size_t n, unsigned char value) {
  const auto* by = static_cast<const unsigned char*>(p);
  return std::all_of(by, by + n, [value](unsigned char b) { return b == value; });
}

class VelapiQueries : public ::testing::Test {
 protected:
  void SetUp() override { veltest::ResetUnit(veltest::DefaultSpec()); }
};

// ---- board equipment ----

struct EquipmentCase {
  const char* pszName;
  std::function<void(BoardSpec&)> change;  // applied to board (0,1), slot 1
  unsigned short usCHN;
  const char* pszType;
  const char* pszLine;
};
class VelapiEquipment : public VelapiQueries,
                        public ::testing::WithParamInterface<EquipmentCase> {};

TEST_P(VelapiEquipment, SlotValueAndTypeText) {
  const EquipmentCase& c = GetParam();
  UnitSpec scenario = veltest::DefaultSpec();
  c.change(Board(scenario, 1));
  veltest::ResetUnit(scenario);
  VEL_PCBINF stPcbinf;
  std::memset(&stPcbinf, 0x5A, sizeof stPcbinf);
  LogTail log;
  std::uint32_t ulErr = 0xDEAD;
  ASSERT_TRUE(dsvp_GetCHNEquipment(&stPcbinf, &ulErr));
  EXPECT_EQ(ulErr, 0u);
  EXPECT_EQ(stPcbinf.usCHN[1], c.usCHN);
  EXPECT_STREQ(stPcbinf.cCHNType[1], c.pszType);
  EXPECT_TRUE(log.Has(c.pszLine)) << c.pszLine;
  EXPECT_EQ(stPcbinf.usCHN[9], 1);
  EXPECT_STREQ(stPcbinf.cCHNType[9], "4P-4GF");
  for (int slot : {2, 7, 10, 15}) {
    EXPECT_EQ(stPcbinf.usCHN[slot], 0xFFFF);
    EXPECT_STREQ(stPcbinf.cCHNType[slot], "NOTEQUIP");
  }
  EXPECT_TRUE(AllBytes(stPcbinf.cReserve, sizeof stPcbinf.cReserve, 0));
}

using B = BoardSpec&;
INSTANTIATE_TEST_SUITE_P(
    Cases, VelapiEquipment,
    ::testing::Values(
        EquipmentCase{"FourPortsFourGigFC", [](B) {}, 1, "4P-4GF", "CTL0-1 -> 4P-4GF"},
        EquipmentCase{"TwoPortsNoFC", [](B b) { b.userPortNum = '2', b.badkFCExist = '-'; }, 1,
                      "2P-4GN", "CTL0-1 -> 2P-4GN"},
        EquipmentCase{"NasTypeTwo", [](B b) { b.nasType = 2; }, 2, "UNKNOWN",
                      "CTL0-1 -> VEL_KELP_TYPE_UNKNOWN"},
        EquipmentCase{"NasTypeZero", [](B b) { b.nasType = 0; }, 0, "NOTKELP",
                      "CTL0-1 -> VEL_KELP_TYPE_NOTKELP"},
        EquipmentCase{"OtherNasType", [](B b) { b.nasType = 9; }, 0xFFFF, "NOTEQUIP",
                      "CTL0-1 -> VEL_KELP_TYPE_NOTEQUIP"},
        EquipmentCase{"TypeFlagOff", [](B b) { b.nasTypeFlag = 0, b.nasType = 2; }, 1, "4P-4GF",
                      "CTL0-1 -> 4P-4GF"},
        EquipmentCase{"EntryNotEquipped", [](B b) { b.valid = 0; }, 1, "UNKNOWN",
                      "CTL0-1 -> INValid "},
        EquipmentCase{"EntryNotValid", [](B b) { b.valid = 3; }, 1, "UNKNOWN",
                      "CTL0-1 -> Valid UNKNOWN"},
        EquipmentCase{"BadPortNum", [](B b) { b.userPortNum = '8', b.cacheCap = '1'; }, 1,
                      "UNKNOWN", "CTL0-1 -> UserPortNum UNKNOWN"},
        EquipmentCase{"BadCacheCap", [](B b) { b.cacheCap = '1', b.badkFCExist = 'X'; }, 1,
                      "UNKNOWN", "CTL0-1 -> CacheCap UNKNOWN"},
        EquipmentCase{"BadFCByte", [](B b) { b.badkFCExist = 'X'; }, 1, "UNKNOWN",
                      "CTL0-1 -> BadkFCExist UNKNOWN"},
        EquipmentCase{"OtherBoardKind", [](B b) { b.portKind = 3; }, 0, "NOTKELP",
                      "CTL0-1 -> VEL_KELP_TYPE_NOTKELP"},
        EquipmentCase{"UnknownBoardKind", [](B b) { b.portKind = 7; }, 0, "NOTKELP",
                      "Invalid Parameter PortEquipKind->0x7"},
        EquipmentCase{"PortNotInstalled", [](B b) { b.portStatus = 0; }, 0xFFFF, "NOTEQUIP",
                      "CTL0-1 -> VEL_KELP_TYPE_NOTEQUIP"},
        EquipmentCase{"PortStatusUnknown", [](B b) { b.portStatus = 5; }, 0xFFFF, "NOTEQUIP",
                      "CTL0-1 PortEquipStat UNKNOWN"}),
    veltest::CaseName<EquipmentCase>);

TEST_F(VelapiQueries, NoEquippedPortAnswersWithoutReadingTheBoards) {
  PokePort(pages::port::kDeviceType, 9);
  veltest::InjectFault("ModeSense", pages::kNasPage, pages::kA3Config, 1, 0x5);
  LogTail log;
  VEL_PCBINF stPcbinf;
  std::uint32_t ulErr = 0;
  ASSERT_TRUE(dsvp_GetCHNEquipment(&stPcbinf, &ulErr));
  EXPECT_TRUE(log.Has("Device Type UNKNOWN"));
  for (int slot = 0; slot < VEL_SLOTS; ++slot) {
    EXPECT_EQ(stPcbinf.usCHN[slot], 0xFFFF);
    EXPECT_STREQ(stPcbinf.cCHNType[slot], "NOTEQUIP");
  }
  EXPECT_FALSE(dsvp_GetDkcModelType(&ulErr, &ulErr)) << "A3 was sensed";
}

TEST_F(VelapiQueries, TwoPortDeviceTypesNeverFillTheSecondBoards) {
  for (std::uint8_t byType : {0, 2, 4}) {
    PokePort(pages::port::kDeviceType, byType);
    LogTail log;
    VEL_PCBINF stPcbinf;
    std::uint32_t ulErr = 0;
    ASSERT_TRUE(dsvp_GetCHNEquipment(&stPcbinf, &ulErr));
    for (const std::string& line :
         {"Device Type ->0x" + std::to_string(byType),
          std::string("CTL0-0 -> 0x0001,CTL0-1 -> 0xFFFF,CTL1-0 -> 0x0001,CTL1-1 -> 0xFFFF"),
          std::string("usCHN           : 0x0001,0xFFFF,0xFFFF,0xFFFF,0xFFFF,0xFFFF,0xFFFF,0xFFFF"),
          std::string("                : 0x0001,0xFFFF,0xFFFF,0xFFFF,0xFFFF,0xFFFF,0xFFFF,0xFFFF"),
          std::string("cCHNType        :    4P-4GF, NOTEQUIP, NOTEQUIP, NOTEQUIP, NOTEQUIP, "
                      "NOTEQUIP, NOTEQUIP, NOTEQUIP")})
      EXPECT_TRUE(log.Has(line)) << line;
  }
}

TEST_F(VelapiQueries, EquipmentRecordIsClearedBeforeAFailingArray) {
  veltest::InjectFault("ModeSense", pages::kPortInfoPage, 0, 1, 0x1002);
  VEL_PCBINF stPcbinf;
  std::memset(&stPcbinf, 0x5A, sizeof stPcbinf);
  std::uint32_t ulErr = 0;
  EXPECT_FALSE(dsvp_GetCHNEquipment(&stPcbinf, &ulErr));
  EXPECT_EQ(ulErr, VEL_ERR_SVP_TIMEOUT);
  EXPECT_TRUE(AllBytes(stPcbinf.usCHN, sizeof stPcbinf.usCHN, 0xFF));
  EXPECT_TRUE(AllBytes(stPcbinf.cCHNType, sizeof stPcbinf.cCHNType + 32, 0));
}

// ---- per-board reads: the gate and the Valid test ----

struct GatedRead {
  const char* pszPage;
  int nSubPage;
  std::size_t nValid;  // offset of the Valid byte of board (0,1)
  std::function<BOOL(S, S, E)> call;
};

unsigned char g_by[256];
std::uint32_t g_ul1, g_ul2;
char* const g_sz = reinterpret_cast<char*>(g_by);

const std::vector<GatedRead> kGatedReads = {
    {"A3", pages::kA3Config, a3::Entry(1),
     [](S c, S p, E e) { return dsvp_NasGetIoPInf(c, p, g_by, e); }},
    {"A3", pages::kA3Config, a3::Entry(1),
     [](S c, S p, E e) { return dsvp_NasGetComInf(c, p, g_by, e); }},
    {"A3", pages::kA3Config, a3::Entry(1),
     [](S c, S p, E e) { return dsvp_NasGetP4IPAddr(c, p, g_by, g_by + 4, e); }},
    {"A3", pages::kA3Config, a3::Entry(1),
     [](S c, S p, E e) {
       return dsvp_NasGetTimeOutinf(c, p, reinterpret_cast<VEL_TIMECTLE*>(g_by), e);
     }},
    {"A6", pages::kA6Progress, a6::Entry(1),
     [](S c, S p, E e) { return dsvp_NasGetProgress(c, p, VEL_PROGRESS_HIBDUMP, &g_ul1, e); }},
    {"AA", pages::kAADumpInfo, pages::aa::Entry(1) + pages::aa::kValid,
     [](S c, S p, E e) { return dsvp_GetDumpInformation(c, p, &g_ul1, g_sz, &g_ul2, e); }},
    {"AC", pages::kACDownloadStatus, pages::ac::Entry(1) + pages::ac::kValid,
     [](S c, S p, E e) { return dsvp_GetDownloadDumpStatus(c, p, &g_ul1, g_sz, e); }},
};

TEST_F(VelapiQueries, GateRefusesSlotsWithoutANasBoard) {
  const std::pair<std::size_t, std::uint8_t> kSetups[] = {
      {pages::port::kDeviceType, 2}, {pages::port::kKind[1], 1}, {pages::port::kStatus[1], 0}};
  for (const auto& [offset, value] : kSetups) {
    veltest::ResetUnit(veltest::DefaultSpec());
    PokePort(offset, value);
    for (const GatedRead& r : kGatedReads) {
      SCOPED_TRACE(std::string(r.pszPage) + " port byte " + std::to_string(offset));
      std::uint32_t ulErr = 0;
      EXPECT_FALSE(r.call(0, 1, &ulErr));
      EXPECT_EQ(ulErr, VEL_ERR_NOT_NAS_SLOT);
      EXPECT_TRUE(r.call(1, 0, &ulErr)) << "another board stays readable";
    }
  }
  // Reads without the gate answer for that board.
  std::uint32_t ulErr = 0;
  EXPECT_TRUE(dsvp_GetChaLocationName(0, 1, g_sz, 16, &ulErr));
  EXPECT_TRUE(dsvp_NasGetShutdownStatusEx(0, 1, g_by, g_by + 16, &ulErr));
}

TEST_F(VelapiQueries, EntriesNotValidFailWithNncInvalid) {
  for (const GatedRead& r : kGatedReads) {
    for (std::uint8_t byValid : {0x00, 0x05, 0xFF}) {
      veltest::ResetUnit(veltest::DefaultSpec());
      Poke(r.nSubPage, r.nValid, {byValid});
      char szLine[96];
      std::snprintf(szLine, sizeof szLine,
                    byValid == 0 ? "NNC NotEquip [%s[0][1]->Valid=0x%02X]"
                                 : "Vaid is incorrect [%s[0][1]->Valid=0x%02X]",
                    r.pszPage, byValid);
      LogTail log;
      std::uint32_t ulErr = 0;
      EXPECT_FALSE(r.call(0, 1, &ulErr)) << szLine;
      EXPECT_EQ(ulErr, VEL_ERR_NNC_INVALID) << szLine;
      EXPECT_TRUE(log.Has(szLine)) << szLine;
    }
  }
}

TEST_F(VelapiQueries, ImagesShorterThanTheirLayoutFailWithModeParam) {
  const auto layoutSize = [](int nSubPage) {
    switch (nSubPage) {
      case pages::kA3Config: return a3::kSize;
      case pages::kA6Progress: return a6::kSize;
      case pages::kAADumpInfo: return pages::aa::kSize;
      default: return pages::ac::kSize;
    }
  };
  for (const GatedRead& r : kGatedReads) {
    veltest::ResetUnit(veltest::DefaultSpec());
    const std::size_t nSize = layoutSize(r.nSubPage) - 1;
    veltest::Shorten(r.nSubPage, nSize);
    const std::string strLine =
        "Mode Param size error [" + std::string(r.pszPage) + "->size=" + std::to_string(nSize) + "]";
    LogTail log;
    std::uint32_t ulErr = 0;
    EXPECT_FALSE(r.call(0, 1, &ulErr)) << strLine;
    EXPECT_EQ(ulErr, VEL_ERR_MODE_PARAM) << strLine;
    EXPECT_TRUE(log.Has(strLine)) << strLine;
  }
}

// ---- values ----

TEST_F(VelapiQueries, ConfigurationValues) {
  UnitSpec scenario = veltest::DefaultSpec();
  scenario.svpIp = {192, 168, 0, 99};
  scenario.subnet = {255, 255, 255, 0};
  veltest::ResetUnit(scenario);
  Bytes iop(128);
  for (std::size_t i = 0; i < iop.size(); ++i) iop[i] = static_cast<std::uint8_t>(i * 7 + 1);
  Poke(pages::kA3Config, a3::Entry(3) + a3::kIoPInfo, iop);
  Poke(pages::kA3Config, a3::kModel, {0xAB, 0xCD});
  LogTail log;
  std::uint32_t ulErr = 0, ulModel = 0;
  unsigned char by[128], byMask[4];
  ASSERT_TRUE(dsvp_NasGetIoPInf(1, 1, by, &ulErr));
  EXPECT_EQ(Bytes(by, by + 128), iop);
  ASSERT_TRUE(dsvp_NasGetComInf(1, 0, by, &ulErr));
  EXPECT_TRUE(std::equal(Board(scenario, 2).mac.begin(), Board(scenario, 2).mac.end(), by));
  ASSERT_TRUE(dsvp_NasGetP4IPAddr(1, 0, by, byMask, &ulErr));
  EXPECT_EQ(Bytes(by, by + 4), Bytes({127, 0, 0, 18}));
  EXPECT_EQ(Bytes(byMask, byMask + 4), Bytes({255, 255, 255, 0}));
  EXPECT_TRUE(log.Has("CTL1-0 IPAddr -> 127.0.0.18,Subnet -> 255.255.255.0"));
  ASSERT_TRUE(dsvp_GetSvpIPAddr(by, byMask, &ulErr));
  EXPECT_EQ(Bytes(by, by + 4), Bytes({192, 168, 0, 99}));
  ASSERT_TRUE(dsvp_GetDkcModelType(&ulModel, &ulErr));
  EXPECT_EQ(ulModel, 0xABCDu);
  VEL_TIMECTLE stTime;
  ASSERT_TRUE(dsvp_NasGetTimeOutinf(0, 1, &stTime, &ulErr));
  const std::uint32_t kTimes[10] = {300, 600, 900, 1200, 1800, 3600, ~0u, ~0u, ~0u, ~0u};
  EXPECT_TRUE(std::equal(std::begin(kTimes), std::end(kTimes), stTime.dwTimeCtle));
}

// Every text VELAPI hands to the log while g_pLogCalls is set (one test thread at a time).
std::vector<std::string>* g_pLogCalls = nullptr;

}  // namespace

// Stands in for the array library's log entry, which VELAPI imports, and passes every call on.
extern "C" int ZQ_LogPut(const char* pszLogName, const char* pszLine) {
  using Fn = int (*)(const char*, const char*);
  static const Fn next = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "ZQ_LogPut"));
  if (g_pLogCalls != nullptr && pszLine != nullptr) g_pLogCalls->emplace_back(pszLine);
  return next(pszLogName, pszLine);
}

namespace {

// A record of several lines reaches the log in one call, so that no other thread's line can
// come between its lines.
TEST_F(VelapiQueries, RecordsOfSeveralLinesAreOneAppend) {
  std::vector<std::string> calls;
  g_pLogCalls = &calls;
  VEL_PCBINF stPcbinf;
  VEL_TIMECTLE stTime;
  unsigned char byProgress[16];
  unsigned char byVelapi[16];
  std::uint32_t ulErr = 0;
  const bool bOk = dsvp_GetCHNEquipment(&stPcbinf, &ulErr) && dsvp_NasGetTimeOutinf(0, 1, &stTime, &ulErr) &&
                   dsvp_NasGetShutdownStatusEx(0, 1, byProgress, byVelapi, &ulErr);
  g_pLogCalls = nullptr;
  ASSERT_TRUE(bOk);
  const std::pair<const char*, long> records[] = {
      {"usCHN           : ", 2}, {"cCHNType        : ", 2}, {"lpTimeCtle[0..3] -> ", 3}, {"lpProgress      : ", 2}};
  for (const auto& [pszHead, nLines] : records) {
    const auto call = std::find_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(pszHead, 0) == 0; });
    ASSERT_NE(call, calls.end()) << pszHead;
    EXPECT_EQ(std::count(call->begin(), call->end(), '\n') + 1, nLines) << *call;
  }
}

struct SerialCase {
  const char* pszName;
  const char* pszField;
  std::uint32_t ulSerial;  // 0: not a serial number
};
class VelapiSerial : public VelapiQueries, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(VelapiSerial, FieldConvertsAsEightDecimalDigits) {
  const SerialCase& c = GetParam();
  Poke(pages::kA3Config, a3::kSerial, Bytes(c.pszField, c.pszField + 8));
  LogTail log;
  std::uint32_t ulSerial = 0, ulErr = 0;
  EXPECT_EQ(dsvp_GetDkcSerialNo(&ulSerial, &ulErr), c.ulSerial != 0 ? TRUE : FALSE);
  EXPECT_EQ(ulSerial, c.ulSerial);
  EXPECT_EQ(ulErr, c.ulSerial != 0 ? 0u : VEL_ERR_INVALID_PARAM);
  EXPECT_EQ(log.Has("Micro Parameter Error"), c.ulSerial == 0);
}

INSTANTIATE_TEST_SUITE_P(Fields, VelapiSerial,
                         ::testing::Values(SerialCase{"Plain", "12345678", 12345678},
                                           SerialCase{"LeadingZeroIsNotOctal", "00000123", 123},
                                           SerialCase{"ZeroThenEightNine", "01234589", 1234589},
                                           SerialCase{"Largest", "99999999", 99999999},
                                           SerialCase{"InnerBlank", "1234 678", 0},
                                           SerialCase{"LeadingBlank", " 1234567", 0},
                                           SerialCase{"LeadingPlus", "+1234567", 0},
                                           SerialCase{"LeadingMinus", "-1234567", 0},
                                           SerialCase{"HexPrefix", "0x123456", 0},
                                           SerialCase{"NulInside",
                                                      "1234\0"
                                                      "678",
                                                      0}),
                         veltest::CaseName<SerialCase>);

TEST_F(VelapiQueries, StatusAndMpWordsOfEveryBoardBySlot) {
  const Bytes kStatus[4] = {{0, 1, 0, 2}, {0, 0, 0, 3}, {0xFF, 0xFF, 0, 5}, {0, 0, 0, 0x0A}};
  for (int k = 0; k < 4; ++k) Poke(pages::kA3Config, a3::Entry(k) + a3::kStatus, kStatus[k]);
  Poke(pages::kA3Config, a3::Entry(3) + a3::kMpStatus, {0x10, 0x01});
  VEL_CURENTSTATE stState, stStateWanted{};
  VEL_MPSTINF stMp, stMpWanted{};
  std::memset(&stState, 0xAB, sizeof stState);
  std::memset(&stMp, 0xAB, sizeof stMp);
  LogTail log;
  std::uint32_t ulErr = 0;
  ASSERT_TRUE(dsvp_NasGetCurrentStatus(&stState, &ulErr));
  ASSERT_TRUE(dsvp_GetCHNMPStatus(&stMp, &ulErr));
  stStateWanted.usChnStat[0] = 2, stStateWanted.usChnStat[1] = 3;
  stStateWanted.usChnStat[8] = 5, stStateWanted.usChnStat[9] = 0x0A;
  EXPECT_EQ(std::memcmp(&stState, &stStateWanted, sizeof stState), 0);
  stMpWanted.stMp[0].usMpST = stMpWanted.stMp[1].usMpST = stMpWanted.stMp[8].usMpST =
      VEL_CHP_NORMAL;
  stMpWanted.stMp[9].usMpST = VEL_CHP_BLOCKADE;
  EXPECT_EQ(std::memcmp(&stMp, &stMpWanted, sizeof stMp), 0);
  EXPECT_TRUE(log.Has("usChnStat      : 0x0002,0x0003,0x0000,0x0000,0x0000,0x0000,0x0000,0x0000"));
  EXPECT_TRUE(log.Has("                : 0x0005,0x000A,0x0000,0x0000,0x0000,0x0000,0x0000,0x0000"));
  EXPECT_TRUE(
      log.Has("usMpST           : 0x1000,0x1001,0x0000,0x0000,0x0000,0x0000,0x0000,0x0000"));
}

TEST_F(VelapiQueries, LocationNameIsPaddedToSizeAndBoundedByItsField) {
  char szName[32];
  std::memset(szName, 0x7F, sizeof szName);
  LogTail log;
  std::uint32_t ulErr = 0;
  ASSERT_TRUE(dsvp_GetChaLocationName(1, 0, szName, 20, &ulErr));
  EXPECT_STREQ(szName, "CTL1-0");
  EXPECT_TRUE(AllBytes(szName + 6, 14, 0));
  EXPECT_TRUE(AllBytes(szName + 20, 12, 0x7F));
  EXPECT_TRUE(log.Has("CTL[1][0] lpLocationName -> CTL1-0 "));

  Poke(pages::kA3Config, a3::Entry(0) + a3::kLocation, Bytes(13, 'L'));
  std::memset(szName, 0x7F, sizeof szName);
  ASSERT_TRUE(dsvp_GetChaLocationName(0, 0, szName, VEL_LOCATION_MIN_SIZE, &ulErr));
  EXPECT_EQ(std::string(szName), std::string(13, 'L'));
  EXPECT_EQ(szName[VEL_LOCATION_MIN_SIZE], 0x7F);
}

TEST_F(VelapiQueries, InstallProgressIsLittleEndianUnlessTheNetworkBootFailed) {
  const std::pair<Bytes, std::uint32_t> kCases[] = {
      {{1, 0, 0, 0}, 1}, {{0x05, 0x0A, 0, 0}, 0x0A05}, {{0xFE, 0x05, 0x03, 0}, 0x000305FE}};
  std::uint32_t ulProgress = 0, ulErr = 0;
  for (const auto& [bytes, ulWanted] : kCases) {
    Poke(pages::kA6Progress, a6::Entry(1) + a6::kInstallStatus, bytes);
    ASSERT_TRUE(dsvp_NasGetProgress(0, 1, VEL_PROGRESS_INSTALL, &ulProgress, &ulErr));
    EXPECT_EQ(ulProgress, ulWanted);
  }
  Poke(pages::kA6Progress, a6::Entry(1) + a6::kNetBootResult, {0, 0, 1, 0x42});
  LogTail log;
  EXPECT_FALSE(dsvp_NasGetProgress(0, 1, VEL_PROGRESS_INSTALL, &ulProgress, &ulErr));
  EXPECT_EQ(ulErr, 0x142u);
  EXPECT_EQ(ulProgress, 0u);
  EXPECT_TRUE(log.Has("Net Boot failed [A6[0][1]->NetBootResult=0x00000142]"));
  EXPECT_TRUE(dsvp_NasGetProgress(0, 1, VEL_PROGRESS_HIBDUMP, &ulProgress, &ulErr));
}

TEST_F(VelapiQueries, HibernationDumpState) {
  struct Case {
    std::uint8_t byHibStat;
    BOOL bResult;
    std::uint32_t ulValue;  // progress on success, error on failure
    const char* pszLine;
  };
  const Case kCases[] = {
      {0x00, TRUE, 0, "HibDump Status = 0x00000000"},
      {0xFF, TRUE, 0xFFFFFFFF, "HibDump Status = 0xFFFFFFFF"},
      {0x12, FALSE, VEL_ERR_NNC_INVALID, "HibDump Status is incorrect [A6[0][0]->HibStat=0x12]"}};
  for (const Case& c : kCases) {
    Poke(pages::kA6Progress, a6::Entry(0) + a6::kHibStat, {c.byHibStat});
    LogTail log;
    std::uint32_t ulProgress = 9, ulErr = 0;
    EXPECT_EQ(dsvp_NasGetProgress(0, 0, VEL_PROGRESS_HIBDUMP, &ulProgress, &ulErr), c.bResult);
    EXPECT_EQ(c.bResult ? ulProgress : ulErr, c.ulValue) << c.pszLine;
    EXPECT_TRUE(log.Has(c.pszLine)) << c.pszLine;
  }
}

TEST_F(VelapiQueries, ShutdownProgressOfAllFourBoardsInBothLayouts) {
  Poke(pages::kA8Shutdown, pages::a8::kStatus0, {0x01, 0x04, 0x05, 0x0C});
  unsigned char byProgress[16], byVelapi[16], byWanted[16] = {}, byWantedSlots[16] = {};
  std::memset(byProgress, 0xEE, 16);
  std::memset(byVelapi, 0xEE, 16);
  std::uint32_t ulErr = 0;
  ASSERT_TRUE(dsvp_NasGetShutdownStatusEx(1, 1, byProgress, byVelapi, &ulErr));
  byWanted[0] = byWantedSlots[0] = 0x01;
  byWanted[1] = byWantedSlots[1] = 0x04;
  byWanted[4] = byWantedSlots[8] = 0x05;
  byWanted[5] = byWantedSlots[9] = 0x0C;
  EXPECT_EQ(std::memcmp(byProgress, byWanted, 16), 0);
  EXPECT_EQ(std::memcmp(byVelapi, byWantedSlots, 16), 0);
}

TEST_F(VelapiQueries, DumpInformationFields) {
  Bytes entry = {0x00, 0x00, 0xFF, 0xFE, 0x00, 0x10, 0x00, 0x00};
  for (char c : std::string("20240102030405")) entry.push_back(static_cast<std::uint8_t>(c));
  Poke(pages::kAADumpInfo, pages::aa::Entry(2), entry);
  std::uint32_t ulStatus = 0, ulSize = 0, ulErr = 0;
  char szDate[VEL_DUMP_DATE_SIZE + 1];
  std::memset(szDate, 'Z', sizeof szDate);
  LogTail log;
  ASSERT_TRUE(dsvp_GetDumpInformation(1, 0, &ulStatus, szDate, &ulSize, &ulErr));
  EXPECT_EQ(ulStatus, 0x0000FFFEu);
  EXPECT_EQ(ulSize, 0x00100000u);
  EXPECT_STREQ(szDate, "20240102030405");
  EXPECT_EQ(szDate[VEL_DUMP_DATE_SIZE], 'Z');
  EXPECT_TRUE(log.Has("Status=0x0000FFFE,Size=1048576,Date=20240102030405"));
}

TEST_F(VelapiQueries, DownloadFileNameKeepsItsTwentySixByteBound) {
  const std::pair<std::string, std::string> kCases[] = {
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
      {std::string("dump.bin\0junkjunkjunkjunk1", 26), "dump.bin"}};
  for (const auto& [strField, strWanted] : kCases) {
    Poke(pages::kACDownloadStatus, pages::ac::Entry(3) + pages::ac::kFileName,
         Bytes(strField.begin(), strField.end()));
    char szFile[VEL_DWNL_FILE_SIZE + 1];
    std::memset(szFile, '#', sizeof szFile);
    szFile[26] = '\0';
    std::uint32_t ulStatus = 0, ulErr = 0;
    ASSERT_TRUE(dsvp_GetDownloadDumpStatus(1, 1, &ulStatus, szFile, &ulErr));
    EXPECT_EQ(std::string(szFile), strWanted);
    EXPECT_TRUE(AllBytes(szFile + strWanted.size(), 26 - strWanted.size(), 0));
    EXPECT_EQ(szFile[VEL_DWNL_FILE_SIZE], '#') << "written past the 27-byte buffer";
  }
}

// ---- argument checks ----

TEST_F(VelapiQueries, ArgumentChecksInTheirOrder) {
  unsigned char* by = g_by;
  std::uint32_t* ul = &g_ul1;
  const std::vector<veltest::InvalidParameterCase> kCases = {
      {"Invalid Parameter lpPcbinf=NULL", [](E e) { return dsvp_GetCHNEquipment(nullptr, e); }},
      {"Invalid Parameter lpiop=NULL", [](E e) { return dsvp_NasGetIoPInf(0, 0, nullptr, e); }},
      {"Invalid Parameter lpCom=NULL", [](E e) { return dsvp_NasGetComInf(0, 0, nullptr, e); }},
      {"Invalid Parameter lpIpAddr=NULL",
       [](E e) { return dsvp_NasGetP4IPAddr(0, 0, nullptr, nullptr, e); }},
      {"Invalid Parameter lpSubnet=NULL",
       [=](E e) { return dsvp_NasGetP4IPAddr(0, 0, by, nullptr, e); }},
      {"Invalid Parameter lpIpAddr=NULL",
       [](E e) { return dsvp_GetSvpIPAddr(nullptr, nullptr, e); }},
      {"Invalid Parameter lpSubnet=NULL", [=](E e) { return dsvp_GetSvpIPAddr(by, nullptr, e); }},
      {"Invalid Parameter lpSerialNo=NULL", [](E e) { return dsvp_GetDkcSerialNo(nullptr, e); }},
      {"Invalid Parameter *lpModel=NULL", [](E e) { return dsvp_GetDkcModelType(nullptr, e); }},
      {"Invalid Parameter lpCurentState=NULL",
       [](E e) { return dsvp_NasGetCurrentStatus(nullptr, e); }},
      {"Invalid Parameter lpMpStinf=NULL", [](E e) { return dsvp_GetCHNMPStatus(nullptr, e); }},
      {"Invalid Parameter lpLocationName=NULL",
       [](E e) { return dsvp_GetChaLocationName(0, 0, nullptr, 2, e); }},
      {"Invalid Parameter sSize -> 13",
       [](E e) { return dsvp_GetChaLocationName(0, 0, g_sz, 13, e); }},
      {"Invalid Parameter sSize -> -20",
       [](E e) { return dsvp_GetChaLocationName(0, 0, g_sz, -20, e); }},
      {"Invalid Parameter lpTimeCtle=NULL",
       [](E e) { return dsvp_NasGetTimeOutinf(0, 0, nullptr, e); }},
      {"Invalid Parameter dwOption=0x00000000",
       [](E e) { return dsvp_NasGetProgress(0, 0, 0, nullptr, e); }},
      {"Invalid Parameter dwOption=0x00000003",
       [=](E e) { return dsvp_NasGetProgress(0, 0, 3, ul, e); }},
      {"Invalid Parameter lpProgress=NULL",
       [](E e) { return dsvp_NasGetProgress(0, 0, 1, nullptr, e); }},
      {"Invalid Parameter lpProgress=NULL",
       [](E e) { return dsvp_NasGetShutdownStatusEx(0, 0, nullptr, nullptr, e); }},
      {"Invalid Parameter lpVELAPIProgress=NULL",
       [=](E e) { return dsvp_NasGetShutdownStatusEx(0, 0, by, nullptr, e); }},
      {"Invalid Parameter lpdwStatus=NULL",
       [](E e) { return dsvp_GetDumpInformation(0, 0, nullptr, nullptr, nullptr, e); }},
      {"Invalid Parameter lpszDate=NULL",
       [=](E e) { return dsvp_GetDumpInformation(0, 0, ul, nullptr, nullptr, e); }},
      {"Invalid Parameter lpdwSize=NULL",
       [=](E e) { return dsvp_GetDumpInformation(0, 0, ul, g_sz, nullptr, e); }},
      {"Invalid Parameter lpdwDwnlStatus=NULL",
       [](E e) { return dsvp_GetDownloadDumpStatus(0, 0, nullptr, nullptr, e); }},
      {"Invalid Parameter lpszDwnlFile=NULL",
       [=](E e) { return dsvp_GetDownloadDumpStatus(0, 0, ul, nullptr, e); }},
  };
  veltest::ExpectInvalidParameters(kCases);
  // Checks that passed have cleared their outputs when a later one fails.
  std::memset(g_by, 0xEE, 16);
  g_ul1 = 5;
  std::uint32_t ulErr = 0;
  EXPECT_FALSE(dsvp_NasGetShutdownStatusEx(0, 0, g_by, nullptr, &ulErr));
  EXPECT_TRUE(AllBytes(g_by, 16, 0));
  EXPECT_FALSE(dsvp_GetDumpInformation(0, 0, &g_ul1, nullptr, nullptr, &ulErr));
  EXPECT_EQ(g_ul1, 0u);
}

}  // namespace
