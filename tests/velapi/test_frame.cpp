// The call frame every export shares: what leaves the library, the error-info convention,
// the board-address checks before any array access, result conversion, the exports that are
// not provided, the revision call, and the two log channels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include "TestEnv.h"
#include "VelapiTestUnit.h"
#include "velapi.h"

namespace {

namespace pages = corvid::pages;
using veltest::LogTail;
using S = short;
using E = std::uint32_t*;

// Valid output buffers for every export.
struct Buffers {
  VEL_PCBINF pcb;
  VEL_CURENTSTATE state;
  VEL_MPSTINF mp;
  VEL_TIMECTLE time;
  unsigned char by[128], by2[16];
  std::uint32_t ul, ul2;
  char sz[64];
} g;

enum Kind { kNoBoard, kRead, kCommand };
struct Export {
  const char* pszName;
  Kind kind;
  std::function<BOOL(S, S, E)> call;
};

const std::vector<Export> kExports = {
    {"dsvp_SetArrayUnitName", kNoBoard, [](S, S, E e) { return dsvp_SetArrayUnitName("X", e); }},
    {"dsvp_VELAPIRevision", kNoBoard,
     [](S, S, E e) { return dsvp_VELAPIRevision(g.sz, g.sz + 16, g.sz + 32, e); }},
    {"dsvp_GetCHNEquipment", kNoBoard, [](S, S, E e) { return dsvp_GetCHNEquipment(&g.pcb, e); }},
    {"dsvp_GetSvpIPAddr", kNoBoard, [](S, S, E e) { return dsvp_GetSvpIPAddr(g.by, g.by2, e); }},
    {"dsvp_GetDkcSerialNo", kNoBoard, [](S, S, E e) { return dsvp_GetDkcSerialNo(&g.ul, e); }},
    {"dsvp_GetDkcModelType", kNoBoard, [](S, S, E e) { return dsvp_GetDkcModelType(&g.ul, e); }},
    {"dsvp_NasGetCurrentStatus", kNoBoard,
     [](S, S, E e) { return dsvp_NasGetCurrentStatus(&g.state, e); }},
    {"dsvp_GetCHNMPStatus", kNoBoard, [](S, S, E e) { return dsvp_GetCHNMPStatus(&g.mp, e); }},
    {"dsvp_NasGetIoPInf", kRead, [](S c, S p, E e) { return dsvp_NasGetIoPInf(c, p, g.by, e); }},
    {"dsvp_NasGetComInf", kRead, [](S c, S p, E e) { return dsvp_NasGetComInf(c, p, g.by, e); }},
    {"dsvp_NasGetP4IPAddr", kRead,
     [](S c, S p, E e) { return dsvp_NasGetP4IPAddr(c, p, g.by, g.by2, e); }},
    {"dsvp_GetChaLocationName", kRead,
     [](S c, S p, E e) { return dsvp_GetChaLocationName(c, p, g.sz, 14, e); }},
    {"dsvp_NasGetTimeOutinf", kRead,
     [](S c, S p, E e) { return dsvp_NasGetTimeOutinf(c, p, &g.time, e); }},
    {"dsvp_NasGetProgress", kRead,
     [](S c, S p, E e) { return dsvp_NasGetProgress(c, p, VEL_PROGRESS_INSTALL, &g.ul, e); }},
    {"dsvp_NasGetShutdownStatusEx", kRead,
     [](S c, S p, E e) { return dsvp_NasGetShutdownStatusEx(c, p, g.by, g.by2, e); }},
    {"dsvp_GetDumpInformation", kRead,
     [](S c, S p, E e) { return dsvp_GetDumpInformation(c, p, &g.ul, g.sz, &g.ul2, e); }},
    {"dsvp_GetDownloadDumpStatus", kRead,
     [](S c, S p, E e) { return dsvp_GetDownloadDumpStatus(c, p, &g.ul, g.sz, e); }},
    {"dsvp_NasInstallLinux", kCommand,
     [](S c, S p, E e) { return dsvp_NasInstallLinux(c, p, 0, 0, 0, &g.ul, e); }},
    {"dsvp_NasChangeInstallInf", kCommand,
     [](S c, S p, E e) { return dsvp_NasChangeInstallInf(c, p, e); }},
    {"dsvp_NasSetTimeOutinf", kCommand,
     [](S c, S p, E e) { return dsvp_NasSetTimeOutinf(c, p, &g.time, e); }},
    {"dsvp_NasGetHibDump", kCommand, [](S c, S p, E e) { return dsvp_NasGetHibDump(c, p, e); }},
    {"dsvp_NasShutdown", kCommand,
     [](S c, S p, E e) { return dsvp_NasShutdown(c, p, VEL_NAS_BOOT, nullptr, e); }},
    {"dsvp_NasBlockadeForce", kCommand,
     [](S c, S p, E e) { return dsvp_NasBlockadeForce(c, p, e); }},
    {"dsvp_NasRestoreForce", kCommand, [](S c, S p, E e) { return dsvp_NasRestoreForce(c, p, e); }},
    {"dsvp_SetDumpInformation", kCommand,
     [](S c, S p, E e) { return dsvp_SetDumpInformation(c, p, e); }},
    {"dsvp_DownloadDump", kCommand, [](S c, S p, E e) { return dsvp_DownloadDump(c, p, e); }},
};

const std::vector<std::string> kNotProvided = {"dsvp_GetInstallLinuxStatus",
                                               "dsvp_NasGetIPAddrFromSVP",
                                               "dsvp_NasGetShutdownStatus", "dsvp_GetNasAllStatus"};

class VelapiFrame : public ::testing::Test {
 protected:
  void SetUp() override { veltest::ResetUnit(veltest::DefaultSpec()); }

  // One failure armed on the port page and one on every NAS page: a call that reaches the
  // array consumes one of them.
  static void ArmTripwires() {
    veltest::InjectFault("ModeSense", pages::kPortInfoPage, pages::kPortInfoSubPage, 1, 0x5);
    veltest::InjectFault("ModeSense", pages::kNasPage, -1, 1, 0x5);
  }
  static void ExpectTripwiresArmed() {
    std::uint32_t ulErr = 0;
    EXPECT_FALSE(dsvp_GetCHNEquipment(&g.pcb, &ulErr));
    EXPECT_EQ(ulErr, 0x84000005u) << "the port page was sensed before";
    EXPECT_FALSE(dsvp_GetDkcModelType(&g.ul, &ulErr));
    EXPECT_EQ(ulErr, 0x84000005u) << "a NAS page was sensed before";
  }
};

TEST_F(VelapiFrame, LibraryExportsExactlyTheThirtyDsvpFunctions) {
  FILE* pipe = popen((std::string("nm -D --defined-only ") + VELAPI_LIBRARY_FILE).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512], name[400];
  while (std::fgets(line, sizeof line, pipe) != nullptr)
    if (std::sscanf(line, "%*s %*c %399s", name) == 1) exported.insert(name);
  ASSERT_EQ(pclose(pipe), 0);
  std::set<std::string> expected(kNotProvided.begin(), kNotProvided.end());
  for (const Export& e : kExports) expected.insert(e.pszName);
  ASSERT_EQ(expected.size(), 30u);
  EXPECT_EQ(exported, expected);
}

TEST_F(VelapiFrame, NullErrInfoFailsWithoutTouchingTheArray) {
  ArmTripwires();
  for (const Export& e : kExports) {
    SCOPED_TRACE(e.pszName);
    LogTail log;
    EXPECT_FALSE(e.call(0, 0, nullptr));
    const std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), std::string("START ") + e.pszName);
    EXPECT_EQ(lines[lines.size() - 2], "lpErrInfo = NULL");
    EXPECT_EQ(lines.back(), std::string("END   ") + e.pszName + "(0)");
  }
  ExpectTripwiresArmed();
}

TEST_F(VelapiFrame, BadBoardAddressFailsBeforeAnyArrayAccess) {
  struct Address {
    S sCluster, sPCB;
    const char* pszLine;
  };
  const Address kBad[] = {{-1, 0, "Invalid Parameter sCluster=-1"},
                          {2, 0, "Invalid Parameter sCluster=2"},
                          {-32768, 1, "Invalid Parameter sCluster=-32768"},
                          {2, 2, "Invalid Parameter sCluster=2"},
                          {0, 2, "Invalid Parameter sPCB=2"},
                          {1, -1, "Invalid Parameter sPCB=-1"}};
  ArmTripwires();
  for (const Export& e : kExports) {
    for (const Address& a : kBad) {
      if (e.kind == kNoBoard) continue;
      SCOPED_TRACE(std::string(e.pszName) + " " + a.pszLine);
      LogTail log;
      std::uint32_t ulErr = 0xDEAD;
      EXPECT_FALSE(e.call(a.sCluster, a.sPCB, &ulErr));
      EXPECT_EQ(ulErr, VEL_ERR_INVALID_PARAM);
      EXPECT_TRUE(log.Has(a.pszLine));
      EXPECT_TRUE(log.Has(std::string("END   ") + e.pszName + "(0:0x00000001)"));
    }
  }
  ExpectTripwiresArmed();
}

struct Conversion {
  const char* pszName;
  std::uint32_t ulCode, ulExpected;
};
class VelapiConversion : public VelapiFrame, public ::testing::WithParamInterface<Conversion> {};

TEST_P(VelapiConversion, SenseAndSelectResultsAreConverted) {
  const Conversion& c = GetParam();
  veltest::InjectFault("ModeSense", pages::kNasPage, pages::kA3Config, 1, c.ulCode);
  LogTail log;
  std::uint32_t ulErr = 0;
  EXPECT_FALSE(dsvp_GetDkcModelType(&g.ul, &ulErr));
  EXPECT_EQ(ulErr, c.ulExpected);
  char szEnd[64];
  std::snprintf(szEnd, sizeof szEnd, "END   dsvp_GetDkcModelType(0:0x%08X)", c.ulExpected);
  EXPECT_TRUE(log.Has(szEnd));

  veltest::InjectFault("ModeSelect", pages::kNasPage, pages::kA5HibDump, 1, c.ulCode);
  EXPECT_FALSE(dsvp_NasGetHibDump(0, 0, &ulErr));
  EXPECT_EQ(ulErr, c.ulExpected);
  veltest::InjectFault("ModeSense", pages::kPortInfoPage, pages::kPortInfoSubPage, 1, c.ulCode);
  EXPECT_FALSE(dsvp_NasGetP4IPAddr(0, 0, g.by, g.by2, &ulErr));
  EXPECT_EQ(ulErr, c.ulExpected);
}

INSTANTIATE_TEST_SUITE_P(Codes, VelapiConversion,
                         ::testing::Values(Conversion{"PathTimeOut", 0x1002, VEL_ERR_SVP_TIMEOUT},
                                           Conversion{"TimeOut40000", 0x40000, 6},
                                           Conversion{"TimeOut60000", 0x60000, 6},
                                           Conversion{"TimeOut70000", 0x70000, 6},
                                           Conversion{"Bit24Set", 0x01000005, 0x83000005},
                                           Conversion{"Bit24Clear", 0x5, 0x84000005},
                                           Conversion{"TimeOutPlusBit24", 0x01060000, 0x83060000},
                                           Conversion{"NearTimeOut", 0x1003, 0x84001003}),
                         veltest::CaseName<Conversion>);

TEST_F(VelapiFrame, ExportsNotProvidedReportNotSupported) {
  int n = 0;
  const std::vector<std::function<BOOL(E)>> kCalls = {
      [&](E e) { return dsvp_GetInstallLinuxStatus(&n, e); },
      [&](E e) { return dsvp_NasGetIPAddrFromSVP(nullptr, e); },
      [&](E e) { return dsvp_NasGetShutdownStatus(&n, nullptr, e); },
      [&](E e) { return dsvp_GetNasAllStatus(nullptr, &n, e); }};
  for (std::size_t i = 0; i < kCalls.size(); ++i) {
    const std::string& name = kNotProvided[i];
    LogTail log;
    std::uint32_t ulErr = 0;
    EXPECT_FALSE(kCalls[i](&ulErr));
    EXPECT_EQ(ulErr, VEL_ERR_NOT_SUPPORTED) << name;
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"START " + name, "END   " + name + "(0:0x00000005)"}));
    LogTail nullLog;
    EXPECT_FALSE(kCalls[i](nullptr));
    EXPECT_EQ(nullLog.Lines(),
              (std::vector<std::string>{"START " + name, "END   " + name + "(0)"}));
  }
}

TEST_F(VelapiFrame, RevisionFillsTheTextsAndChecksItsBuffersInOrder) {
  char szRev[VEL_REVISION_SIZE] = {}, szIRev[VEL_REVISION_SIZE] = {}, szCopy[VEL_COPYRIGHT_SIZE];
  std::memset(szCopy, 'x', sizeof szCopy);
  std::uint32_t ulErr = 0xDEAD;
  ASSERT_TRUE(dsvp_VELAPIRevision(szRev, szIRev, szCopy, &ulErr));
  EXPECT_EQ(ulErr, 0u);
  EXPECT_STREQ(szRev, "7.00");
  EXPECT_STREQ(szIRev, "20060905.01");
  EXPECT_LT(strnlen(szCopy, sizeof szCopy), sizeof szCopy) << "copyright not terminated";

  LogTail log;
  EXPECT_FALSE(dsvp_VELAPIRevision(nullptr, nullptr, nullptr, &ulErr));
  EXPECT_FALSE(dsvp_VELAPIRevision(szRev, nullptr, nullptr, &ulErr));
  EXPECT_FALSE(dsvp_VELAPIRevision(szRev, szIRev, nullptr, &ulErr));
  EXPECT_EQ(ulErr, VEL_ERR_INVALID_PARAM);
  for (const char* pszLine : {"Invalid Parameter cRev=NULL", "Invalid Parameter ciRev=NULL",
                              "Invalid Parameter cCopyright=NULL"})
    EXPECT_TRUE(log.Has(pszLine)) << pszLine;
}

TEST_F(VelapiFrame, LogLinesAreCutAt255Characters) {
  const std::string strLong(300, 'b');
  LogTail log;
  std::uint32_t ulErr = 0;
  EXPECT_FALSE(dsvp_NasShutdown(0, 0, VEL_NAS_BOOT, strLong.c_str(), &ulErr));
  EXPECT_TRUE(log.Has((" +- lpBootOpt=" + strLong).substr(0, 255)));
  EXPECT_TRUE(log.Has("Invalid Parameter lpBootOpt over max length=300"));
}

TEST_F(VelapiFrame, InnerLayersLogOnlyWhileTheFlagFileExists) {
  char szOldDir[4096];
  ASSERT_NE(getcwd(szOldDir, sizeof szOldDir), nullptr);
  kelptest::TempDir dir;
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  auto modelLines = [] {
    LogTail log;
    std::uint32_t ulErr = 0;
    EXPECT_TRUE(dsvp_GetDkcModelType(&g.ul, &ulErr));
    return log.Lines();
  };
  const std::vector<std::string> plain = modelLines();
  kelptest::WriteFile(dir / "velapi.dbg", "");
  std::vector<std::string> debug = modelLines();
  std::filesystem::remove(dir / "velapi.dbg");
  const std::vector<std::string> after = modelLines();
  ASSERT_EQ(chdir(szOldDir), 0);

  EXPECT_EQ(plain,
            (std::vector<std::string>{"START dsvp_GetDkcModelType", "*lpModel -> =0x      1703",
                                      "END   dsvp_GetDkcModelType(1:0x00000000)"}));
  EXPECT_EQ(after, plain);
  // The memory lines carry the buffer address: the same one for alloc and free.
  std::string strAlloc, strFree;
  for (std::string& line : debug) {
    if (line.rfind("alloc memory (0x", 0) == 0) strAlloc = line.substr(14, line.find(',') - 14);
    if (line.rfind("free  memory (0x", 0) == 0) strFree = line.substr(14, line.find(')') - 14);
    if (line.rfind("alloc", 0) == 0 || line.rfind("free ", 0) == 0) line.resize(12);
  }
  EXPECT_FALSE(strAlloc.empty());
  EXPECT_EQ(strAlloc, strFree);
  EXPECT_EQ(debug, (std::vector<std::string>{
                       "START dsvp_GetDkcModelType", "start svp_GetDkcModelType",
                       "start svp_GetDkcModelType_chkprm", "end   svp_GetDkcModelType_chkprm(1)",
                       "start vel__ModeSense", "alloc memory", "end   vel__ModeSense(1)",
                       "start svp_GetDkcModelType_getmodeprm", "*lpModel -> =0x      1703",
                       "end   svp_GetDkcModelType_getmodeprm(1)", "start vel__FreeMemory",
                       "free  memory", "end   vel__FreeMemory(1)", "end   svp_GetDkcModelType(1)",
                       "END   dsvp_GetDkcModelType(1:0x00000000)"}));
}

}  // namespace
