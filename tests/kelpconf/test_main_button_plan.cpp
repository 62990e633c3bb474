// The main window's enabling rules as a pure function: snapshots of a ZQH unit (boards 0, 1, 8,
// 9) over every status, busy code and mode, without agents or a window. The tables are the rules
// as the engineer knows them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "board/BoardStatus.h"
#include "dialogs/MainButtonPlan.h"
#include "resources/ControlIds.h"

namespace {

namespace res = kelp::res;
using mainwindow::ButtonPlan;
using mainwindow::MainSnapshot;
using mainwindow::PlanButtons;

constexpr std::uint32_t kSlots[] = {0, 1, 8, 9};
constexpr std::initializer_list<int> kNodeButtons = {res::kProgramInstall, res::kRouting,      res::kNncReset,
                                                     res::kNasDump,        res::kRestoreOsLu,  res::kDownloadDump};

// A ZQH unit whose boards 0, 1, 8, 9 have these statuses; every other slot is empty.
MainSnapshot Unit(std::array<std::int32_t, 4> statuses, std::uint32_t selected = mainwindow::kNoBoard) {
  MainSnapshot snapshot;
  snapshot.status.fill(board::CHN_STATUS_DIE);
  for (std::size_t k = 0; k < 4; ++k) {
    snapshot.status[kSlots[k]] = statuses[k];
    snapshot.fitted[kSlots[k]] = true;
  }
  snapshot.selected = selected;
  return snapshot;
}

// '1' enabled, '0' disabled, '-' left as it is, one character per control.
std::string Bits(const ButtonPlan& plan, std::initializer_list<int> ids) {
  std::string bits;
  for (const int id : ids) {
    const auto it = plan.enabled.find(id);
    bits += it == plan.enabled.end() ? '-' : it->second ? '1' : '0';
  }
  return bits;
}

// Every function button but Close is decided by each plan of the window's rules.
void ExpectEveryFunctionButtonDecided(const ButtonPlan& plan) {
  for (const int id : mainwindow::kFunctionButtons) EXPECT_TRUE(plan.enabled.contains(id)) << id;
  EXPECT_FALSE(plan.unknownBusyCode);
}

// Node buttons by status: Program Install, Routing, NNC Reset, NAS Dump, Download Dump, LU
// Initialize. 'I' on unless install-device-failed.
constexpr std::pair<std::int32_t, const char*> kNodeTable[] = {
    {-1, "000000"}, {0, "I00000"},  {1, "I00000"},  {2, "I01000"},  {3, "001100"},  {4, "I11111"},
    {5, "I11111"},  {6, "001100"},  {7, "I11111"},  {8, "I01000"},  {9, "001100"},  {10, "000100"},
    {11, "000100"}, {12, "001100"}, {13, "000000"}, {14, "000000"}, {15, "000000"}, {16, "000000"},
    {17, "000000"},
};

TEST(MainButtonPlan, NodeButtonsFollowTheSelectedBoardsStatus) {
  for (const bool installFailed : {false, true}) {
    for (const auto& [status, rule] : kNodeTable) {
      SCOPED_TRACE(testing::Message() << "status " << status << " install failed " << installFailed);
      MainSnapshot snapshot = Unit({status, 5, 5, 5}, 0);
      snapshot.installDeviceFailed = installFailed;
      const ButtonPlan plan = PlanButtons(snapshot);
      ExpectEveryFunctionButtonDecided(plan);
      std::string expected(rule);
      if (expected[0] == 'I') expected[0] = installFailed ? '0' : '1';
      EXPECT_EQ(Bits(plan, {res::kProgramInstall, res::kRouting, res::kNncReset, res::kNasDump, res::kDownloadDump,
                            res::kLuInitialize}),
                expected);
      // The boot dialog's NNC Reset is the same rule.
      EXPECT_EQ(mainwindow::IsResetAllowed(status), expected[2] == '1');
    }
  }
}

TEST(MainButtonPlan, RestoreNasOsLuNeedsBothNodesOfThePairRunningAndNoWindow) {
  const struct {
    std::uint32_t selected;
    std::int32_t self, partner;
    int publicBusy;
    bool enabled;
  } kCases[] = {{0, 5, 5, 0, true},   {0, 4, 5, 0, true},  {8, 4, 4, 0, true},  {0, 7, 5, 0, false},
                {0, 5, 2, 0, false},  {8, 5, -1, 0, false}, {0, 2, 2, 0, false}, {9, 5, 4, 0, true},
                {0, 5, 5, 7, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.selected << ": " << c.self << "/" << c.partner << " public " << c.publicBusy);
    MainSnapshot snapshot = Unit({5, 5, 5, 5}, c.selected);
    snapshot.status[c.selected] = c.self;
    snapshot.status[c.selected ^ 8] = c.partner;
    snapshot.publicBusy = c.publicBusy;
    EXPECT_EQ(Bits(PlanButtons(snapshot), {res::kRestoreOsLu}), c.enabled ? "1" : "0");
  }
}

TEST(MainButtonPlan, BusyCodesForceTheirButtonsOff) {
  // Program Install, Routing, NNC Reset, NAS Dump, LU Initialize; Close ('-': left as it is).
  const struct {
    int code;
    const char* node;
    const char* close;
  } kCases[] = {{0, "11111", "-"}, {1, "10000", "-"}, {2, "01000", "-"},
                {3, "00010", "0"}, {4, "00010", "-"}, {6, "00001", "-"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.code);
    MainSnapshot snapshot = Unit({5, 5, 5, 5}, 0);
    snapshot.busy[0] = c.code;
    const ButtonPlan plan = PlanButtons(snapshot);
    ExpectEveryFunctionButtonDecided(plan);
    EXPECT_EQ(Bits(plan, {res::kProgramInstall, res::kRouting, res::kNncReset, res::kNasDump, res::kLuInitialize}),
              c.node);
    EXPECT_EQ(Bits(plan, {res::kMainClose}), c.close);
    // Any busy board is a displayed window.
    EXPECT_EQ(Bits(plan, {res::kDownloadDump, res::kRestoreOsLu}), c.code == 0 ? "11" : "00");
    EXPECT_EQ(mainwindow::AnyWindowDisplayed(snapshot), c.code != 0);
  }
  // A code no rule knows plans nothing and says which it was; another board's code is not looked
  // at by the node rules.
  for (const int code : {5, 7, -1}) {
    SCOPED_TRACE(code);
    MainSnapshot snapshot = Unit({5, 5, 5, 5}, 0);
    snapshot.busy[0] = code;
    const ButtonPlan plan = PlanButtons(snapshot);
    EXPECT_EQ(plan.unknownBusyCode, code);
    EXPECT_TRUE(plan.enabled.empty());
    snapshot.selected = 1;
    EXPECT_FALSE(PlanButtons(snapshot).unknownBusyCode);
  }
}

TEST(MainButtonPlan, PublicButtonsFollowThePairsAndTheWindows) {
  // Statuses of slots 0, 1, 8, 9; busy board slot 1 code 2; public busy; install failed; medium
  // in the settings. Expected: CM LU, System LU, Configuration, Inherit and Install, Refer.
  const struct {
    std::array<std::int32_t, 4> statuses;
    bool boardBusy;
    int publicBusy;
    bool installFailed, mediaRootIsMP;
    const char* expected;
  } kCases[] = {
      {{5, 5, 5, 5}, false, 0, false, false, "10101"}, {{4, 4, 4, 4}, false, 0, false, false, "11101"},
      {{4, 2, 4, 2}, false, 0, false, false, "11101"}, {{4, 2, 2, 2}, false, 0, false, false, "00101"},
      {{2, 2, 8, 0}, false, 0, false, false, "00110"}, {{4, 2, 5, 2}, false, 0, false, false, "10101"},
      {{7, 5, 7, 5}, false, 0, false, false, "00101"}, {{5, 5, 5, 5}, true, 0, false, false, "00000"},
      {{2, 2, 2, 2}, false, 0, true, false, "00000"},  {{5, 5, 5, 5}, false, 0, false, true, "10001"},
      {{5, 5, 5, 5}, false, 5, false, false, "00000"}, {{3, 2, 3, 2}, false, 0, false, false, "00100"},
      {{-1, 2, -1, 2}, false, 0, false, false, "00110"}, {{2, 2, 2, 2}, false, 7, false, false, "00000"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.statuses[0] << c.statuses[1] << c.statuses[2] << c.statuses[3] << " "
                                    << c.boardBusy << c.publicBusy << c.installFailed << c.mediaRootIsMP);
    MainSnapshot snapshot = Unit(c.statuses);
    snapshot.busy[1] = c.boardBusy ? mainwindow::kBusyRouting : 0;
    snapshot.publicBusy = c.publicBusy;
    snapshot.installDeviceFailed = c.installFailed;
    snapshot.mediaRootIsMP = c.mediaRootIsMP;
    const std::initializer_list<int> kPublic = {res::kRestoreCmLu, res::kRestoreSystemLu, res::kConfiguration,
                                                res::kInheritInstall, res::kReferConfig};
    const ButtonPlan plan = PlanButtons(snapshot);
    ExpectEveryFunctionButtonDecided(plan);
    EXPECT_EQ(Bits(plan, kPublic), c.expected);
    EXPECT_EQ(Bits(plan, kNodeButtons), "000000");
    EXPECT_EQ(Bits(plan, {res::kMainClose}), "-");
    // The public rules alone decide the same and nothing else.
    const ButtonPlan publicOnly = mainwindow::PlanPublicButtons(snapshot);
    EXPECT_EQ(Bits(publicOnly, kPublic), c.expected);
    EXPECT_EQ(Bits(publicOnly, kNodeButtons), "------");
  }
}

// An unfitted slot whose status is not -1 does not hold "Inherit and Install" back; a fitted
// one does.
TEST(MainButtonPlan, InheritAndInstallLooksAtFittedBoardsOnly) {
  MainSnapshot snapshot = Unit({2, 2, 2, 2});
  snapshot.status[5] = board::CHN_STATUS_UP;
  EXPECT_EQ(Bits(PlanButtons(snapshot), {res::kInheritInstall}), "1");
  snapshot.fitted[5] = true;
  EXPECT_EQ(Bits(PlanButtons(snapshot), {res::kInheritInstall}), "0");
}

TEST(MainButtonPlan, ModesDecideBeforeTheSelectedBoard) {
  // Node buttons, then CM LU, System LU, Configuration, Inherit and Install, Refer; Close.
  const struct {
    const char* name;
    void (*apply)(MainSnapshot&);
    const char* node;
    const char* publicBits;
    const char* close;
  } kCases[] = {
      {"refer configuration", [](MainSnapshot& s) { s.referConfig = true; }, "000000", "10101", "-"},
      // In its own mode a board busy code (the network dialog in view mode) keeps Refer usable.
      {"refer configuration with a busy board",
       [](MainSnapshot& s) {
         s.referConfig = true;
         s.busy[0] = mainwindow::kBusyRouting;
       },
       "000000", "00001", "-"},
      {"refer configuration's public code",
       [](MainSnapshot& s) {
         s.referConfig = true;
         s.publicBusy = mainwindow::kPublicBusyReferConfig;
       },
       "000000", "00000", "-"},
      {"restore CM LU", [](MainSnapshot& s) { s.restoreCmLu = true; }, "000000", "10000", "0"},
      {"restore system LU", [](MainSnapshot& s) { s.restoreSystemLu = true; }, "000000", "01000", "0"},
      // The mode wins over an unknown busy code of the selected board.
      {"restore CM LU over a busy code",
       [](MainSnapshot& s) {
         s.restoreCmLu = true;
         s.busy[0] = 5;
       },
       "000000", "10000", "0"},
      {"no board selected", [](MainSnapshot& s) { s.selected = mainwindow::kNoBoard; }, "000000", "10101", "-"},
      {"a slot past the last", [](MainSnapshot& s) { s.selected = mainwindow::kNoBoard + 1; }, "000000", "10101", "-"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    MainSnapshot snapshot = Unit({5, 5, 5, 5}, 0);
    c.apply(snapshot);
    const ButtonPlan plan = PlanButtons(snapshot);
    ExpectEveryFunctionButtonDecided(plan);
    EXPECT_EQ(Bits(plan, kNodeButtons), c.node);
    EXPECT_EQ(Bits(plan, {res::kRestoreCmLu, res::kRestoreSystemLu, res::kConfiguration, res::kInheritInstall,
                          res::kReferConfig}),
              c.publicBits);
    EXPECT_EQ(Bits(plan, {res::kMainClose}), c.close);
    EXPECT_EQ(Bits(plan, {res::kBoardButtonFirst}), "-") << "board buttons are the window's own";
  }
}

TEST(MainButtonPlan, ANewerAgentLocksEveryFunctionAndBoardButton) {
  MainSnapshot snapshot = Unit({5, 5, 5, 5}, 0);
  snapshot.newerAgent = true;
  snapshot.busy[0] = 5;  // even over a code no rule knows
  for (const ButtonPlan& plan : {PlanButtons(snapshot), mainwindow::PlanPublicButtons(snapshot)}) {
    EXPECT_FALSE(plan.unknownBusyCode);
    for (const int id : mainwindow::kFunctionButtons) EXPECT_EQ(Bits(plan, {id}), "0") << id;
    for (int id = res::kBoardButtonFirst; id <= res::kBoardButtonLast; ++id) EXPECT_EQ(Bits(plan, {id}), "0") << id;
    EXPECT_EQ(Bits(plan, {res::kMainClose}), "-") << "Close stays usable";
  }
}

// While a handler reads a board on a worker the window takes no second click: every function
// button and Close off, in every mode and over any busy code; the board buttons stay selectable.
TEST(MainButtonPlan, AReadOnAWorkerHoldsEveryFunctionButtonAndClose) {
  MainSnapshot idle = Unit({5, 5, 5, 5}, 0);
  MainSnapshot cmLu = idle;
  cmLu.restoreCmLu = true;
  MainSnapshot busy = idle;
  busy.busy[0] = 5;
  for (MainSnapshot snapshot : {idle, cmLu, busy, Unit({5, 5, 5, 5})}) {
    snapshot.reading = true;
    for (const ButtonPlan& plan : {PlanButtons(snapshot), mainwindow::PlanPublicButtons(snapshot)}) {
      EXPECT_FALSE(plan.unknownBusyCode);
      for (const int id : mainwindow::kFunctionButtons) EXPECT_EQ(Bits(plan, {id}), "0") << id;
      EXPECT_EQ(Bits(plan, {res::kMainClose}), "0");
      EXPECT_EQ(Bits(plan, {res::kBoardButtonFirst}), "-");
    }
  }
}

}  // namespace
