// The main window applying its button plan, its handlers and the boot management dialog,
// in-process on the headless host against a simulated ZQH unit (boards 0, 1, 8, 9) with its
// agents. Board statuses and busy codes are set directly. The enabling rules over every status
// and code are tabled without a window in test_main_button_plan.cpp.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "ToolBench.h"
#include "agentsim/AgentScenario.h"
#include "board/CusrCHN.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageDisplay.h"
#include "corvid/Sim.h"
#include "dialogs/CdlgBootManagement.h"
#include "dialogs/CdlgMain.h"
#include "dialogs/CdlgNetworkSetting.h"
#include "dialogs/MainButtonPlan.h"
#include "dialogs/ShutdownCheck.h"
#include "resources/ControlIds.h"
#include "ui/ScriptHost.h"
#include "ui/Transcript.h"
#include "velapi.h"

namespace {

namespace res = kelp::res;
using kctest::ToolBench;
using ::testing::ElementsAreArray;

constexpr std::uint32_t kSlots[] = {0, 1, 8, 9};
// Logical: a reset with its 60 s settle and status wait, with room for a loaded sanitizer build.
constexpr plat::Millis kPumpLimit{3'000'000};

class MainRules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::Clock::SetTimeScale(kctest::kTimeScale);
    bench = new ToolBench;
    ASSERT_TRUE(bench->StartAgents());
    bench->WriteSettings();
    std::uint32_t ulError = 0;
    ASSERT_TRUE(dsvp_SetArrayUnitName(kctest::kUnit, &ulError)) << ulError;
  }
  static void TearDownTestSuite() {
    delete bench;
    plat::Clock::SetTimeScale(1);
  }
  void SetUp() override {
    SetMessageDisplay(&host);
    Start();
  }
  void TearDown() override {
    main.reset();
    session.reset();
    SetMessageDisplay(nullptr);
  }

  void Start(int nTarget = -1, bool bTargetOutOfRange = false) {
    main.reset();
    session::MainSettings settings;
    settings.target = nTarget;
    settings.targetOutOfRange = bTargetOutOfRange;
    session = std::make_unique<session::ArraySession>(bench->settingsFile(), settings);
    main = std::make_unique<CdlgMain>(host, *session, kctest::kUnit);
    std::uint32_t ulError = 0;
    ASSERT_TRUE(session->Start(&ulError)) << ulError;
    ASSERT_TRUE(main->OnInitDialogW(session->Array().ModelWord()));
    ASSERT_TRUE(main->CreateChnObject());
    main->CreateAllDialog();
    main->SetInstallDeviceState(false, false);
  }
  // Statuses of slots 0, 1, 8, 9.
  void SetStatuses(std::array<std::int32_t, 4> statuses) {
    for (std::size_t k = 0; k < 4; ++k) main->Board(kSlots[k])->SetStatus(statuses[k]);
  }
  void Select(std::uint32_t ulSlot) {
    main->Click(res::kBoardButtonFirst + static_cast<int>(ulSlot));
    main->SetEnableButton(ulSlot);
  }
  std::string Enabled(kelp::ui::Dialog& dialog, std::initializer_list<int> ids) {
    std::string bits;
    for (const int id : ids) bits += dialog.GetDlgItem(id).IsWindowEnabled() ? '1' : '0';
    return bits;
  }
  // The message ids of the boxes shown since transcript line from.
  std::vector<std::uint32_t> Boxes(std::size_t from) const {
    std::vector<std::uint32_t> ids;
    const auto lines = transcript.Lines();
    for (std::size_t i = from; i < lines.size(); ++i)
      if (lines[i].rfind("message ", 0) == 0) ids.push_back(static_cast<std::uint32_t>(std::stoul(lines[i].substr(8))));
    return ids;
  }
  std::vector<std::string> LinesFrom(std::size_t from) const {
    const auto lines = transcript.Lines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end()};
  }
  bool Pump(const std::function<bool()>& done) { return main->WaitPumping(done, kPumpLimit); }
  // Pumps until the dialog's read on a worker has been delivered.
  bool Read(const kelp::ui::Dialog& dialog) { return Pump([&] { return !dialog.IsReading(); }); }
  // The simulated board of slot k's position (0, 1, 8, 9 are k 0..3).
  static corvid::sim::BoardState SimBoard(int k) {
    std::vector<corvid::sim::BoardState> boards;
    EXPECT_TRUE(corvid::sim::GetBoardStates(kctest::kUnit, &boards));
    for (const corvid::sim::BoardState& b : boards)
      if (b.k == k) return b;
    ADD_FAILURE() << "no simulated board " << k;
    return {};
  }
  // Puts a simulated board back into its resting state and waits until its agent listens again.
  bool RestoreBoard(const corvid::sim::BoardState& state) {
    if (!corvid::sim::SetBoardStatus(kctest::kUnit, state.k, state.status)) return false;
    const CusrCHN& board = *main->Board(kSlots[static_cast<std::size_t>(state.k)]);
    return Pump([&] { return board.GetAgentVersion() >= CusrCHN::kOldNasOsAgentVersion; });
  }
  static void Agent(const std::string& slot, const std::string& key, const std::string& value) {
    ASSERT_EQ(bench->ArraySim({"agent", kctest::kUnit, "board", slot, key, value}), 0);
  }

  static ToolBench* bench;
  kelp::ui::Transcript transcript;
  kelp::ui::ScriptHost host{&transcript};
  std::unique_ptr<session::ArraySession> session;
  std::unique_ptr<CdlgMain> main;
};
ToolBench* MainRules::bench = nullptr;

// The window hands what it knows to the button rules and applies their plan: every button the
// plan decides shows the plan's state, Close included; a busy code no rule knows ends the tool.
TEST_F(MainRules, TheWindowAppliesTheButtonPlan) {
  const struct {
    std::array<std::int32_t, 4> statuses;  // slots 0, 1, 8, 9
    std::uint32_t ulSelected;
    std::uint32_t ulBusySlot;
    int nBusy;
    bool bInstallFailed;
  } kCases[] = {
      {{5, 5, 5, 5}, 0, 0, CdlgMain::kBusyReset, false},
      {{5, 5, 5, 5}, 8, 0, 0, false},
      {{3, 5, 5, 5}, 0, 1, CdlgMain::kBusyRouting, false},
      {{4, 2, 4, 2}, CdlgMain::kNoBoard, 0, 0, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << "selected " << c.ulSelected << " busy " << c.ulBusySlot << ":" << c.nBusy);
    SetStatuses(c.statuses);
    main->SetBoardBusy(c.ulBusySlot, c.nBusy);
    main->SetInstallDeviceState(c.bInstallFailed, false);
    main->GetDlgItem(res::kMainClose).EnableWindow(true);
    if (c.ulSelected == CdlgMain::kNoBoard) main->SetEnableButton(CdlgMain::kNoBoard);
    else Select(c.ulSelected);
    mainwindow::MainSnapshot snapshot;
    snapshot.status.fill(board::CHN_STATUS_DIE);
    for (std::size_t k = 0; k < 4; ++k) {
      snapshot.status[kSlots[k]] = c.statuses[k];
      snapshot.fitted[kSlots[k]] = true;
    }
    snapshot.busy[c.ulBusySlot] = c.nBusy;
    snapshot.selected = c.ulSelected;
    snapshot.installDeviceFailed = c.bInstallFailed;
    const mainwindow::ButtonPlan plan = mainwindow::PlanButtons(snapshot);
    ASSERT_FALSE(plan.unknownBusyCode);
    for (const auto& [id, bEnabled] : plan.enabled) EXPECT_EQ(main->GetDlgItem(id).IsWindowEnabled(), bEnabled) << id;
    if (!plan.enabled.contains(res::kMainClose)) {
      EXPECT_TRUE(main->GetDlgItem(res::kMainClose).IsWindowEnabled()) << "Close is left as it was";
    }
    EXPECT_EQ(main->IsAnyWindowDisplayed(), c.nBusy != 0);
    main->SetBoardBusy(c.ulBusySlot, 0);
  }
  SetStatuses({5, 5, 5, 5});
  Select(0);
  const std::size_t from = transcript.Lines().size();
  main->SetBoardBusy(0, 5);  // no rule knows it
  main->SetEnableButton(0);
  EXPECT_THAT(Boxes(from), ElementsAreArray({3508u, 3530u}));
  EXPECT_THAT(LinesFrom(from), testing::Contains(testing::MatchesRegex("message 3508 .*0x00000005.*")));
  EXPECT_TRUE(main->IsExiting());
}

TEST_F(MainRules, ANewerAgentLocksEveryButtonAndEveryHandler) {
  SetStatuses({5, 5, 5, 5});
  Select(0);
  ASSERT_TRUE(main->MarkNewerAgent());
  main->SetEnableButton(0);
  EXPECT_EQ(Enabled(*main, {res::kProgramInstall, res::kNncReset, res::kRestoreCmLu, res::kConfiguration, 1500, 1508}),
            "000000");
  const std::size_t from = transcript.Lines().size();
  main->Click(res::kNncReset);
  main->DoubleClick(1500);  // a disabled board button opens nothing
  EXPECT_THAT(Boxes(from), ElementsAreArray({3802u}));
  EXPECT_EQ(main->BoardBusy(0), 0);
}

// The close keeps the newer-agent lock until the poller has stopped: a check that is still running
// while the close waits for the poller (its first node check of board 0 is slow) finds the lock
// taken and tells nobody a second time.
TEST_F(MainRules, ANewerAgentStaysLockedUntilThePollerHasStopped) {
  ASSERT_EQ(bench->ArraySim({"agent", kctest::kUnit, "behave", "0", "CommandIF", "DelayMs=55000", "Count=1"}), 0);
  ASSERT_TRUE(main->MarkNewerAgent());
  ASSERT_EQ(main->StartAgent(), 0u);
  // The first check takes the delayed exchange (the agent then drops it from its scenario) and
  // waits on board 0 for 55 s: close only once it is inside, however slowly the poller started.
  const std::filesystem::path scenario = agentsim::ScenarioFile(kctest::kUnit);
  ASSERT_TRUE(Pump([&] { return !agentsim::ReadBehaviour(scenario, 0, agent::Exchange::CommandIF); }));
  std::optional<bool> markedWhileClosing;
  host.Post([&] { markedWhileClosing = main->MarkNewerAgent(); });
  main->OnMainClose();
  ASSERT_EQ(bench->ArraySim({"agent", kctest::kUnit, "clear", "0"}), 0);
  ASSERT_TRUE(markedWhileClosing) << "the close pumps the window while the poller finishes its check";
  EXPECT_FALSE(*markedWhileClosing);
  EXPECT_FALSE(main->IsNewerAgent()) << "cleared once the poller has stopped";
}

TEST_F(MainRules, LatestBoardIsTheTargetOrTheRunningOneWithTheGreatestAgent) {
  const std::pair<const char*, const char*> kVersions[] = {
      {"0", "0x04000000"}, {"1", "0x05000000"}, {"8", "0x05000000"}, {"9", "0x03000000"}};
  for (const auto& [slot, version] : kVersions) Agent(slot, "AgentVersion", version);
  const struct {
    int nTarget;
    bool bOutOfRange;
    std::array<std::int32_t, 4> statuses;
    int nLatest;  // -1: none
  } kCases[] = {{-1, false, {5, 4, 7, 5}, 1}, {-1, false, {5, 2, 7, 5}, 8}, {-1, false, {2, 2, 8, 0}, -1},
                {9, false, {2, 2, 2, 2}, 9},  {-1, true, {5, 4, 7, 5}, 1}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.nTarget);
    Start(c.nTarget, c.bOutOfRange);
    SetStatuses(c.statuses);
    const CusrCHN* pLatest = main->GetLatestCHN();
    EXPECT_EQ(pLatest ? static_cast<int>(pLatest->GetIndex()) : -1, c.nLatest);
  }
  for (const auto& [slot, version] : kVersions) Agent(slot, "AgentVersion", "-");
}

TEST_F(MainRules, NncResetAsksThreeTimesAndACancelLeavesAllAsBefore) {
  SetStatuses({5, 5, 5, 5});
  Select(0);
  main->IsEnableCloseBtn();
  const std::initializer_list<int> kAll = {res::kProgramInstall, res::kRouting, res::kNncReset, res::kNasDump,
                                           res::kRestoreOsLu, res::kDownloadDump, res::kRestoreCmLu,
                                           res::kConfiguration, res::kMainClose, 1500};
  const std::string before = Enabled(*main, kAll);
  const std::uint32_t kQuestions[] = {3571, 3598, 3690};
  for (std::size_t cancelAt = 0; cancelAt < 3; ++cancelAt) {
    SCOPED_TRACE(cancelAt);
    const std::size_t from = transcript.Lines().size();
    for (std::size_t k = 0; k < cancelAt; ++k) host.Answers().Queue(kQuestions[k], IDOK);
    host.Answers().Queue(kQuestions[cancelAt], IDCANCEL);
    main->Click(res::kNncReset);
    EXPECT_THAT(Boxes(from), ElementsAreArray(kQuestions, cancelAt + 1));
    EXPECT_THAT(LinesFrom(from), testing::Contains("busy 0 3"));
    EXPECT_EQ(main->BoardBusy(0), 0);
    EXPECT_EQ(Enabled(*main, kAll), before);
  }
  // All three answered: the worker runs the reset and gives the board and Close back. The
  // simulated board is put back as it was afterwards, so that its agent answers the next tests.
  const corvid::sim::BoardState board0 = SimBoard(0);
  const std::size_t from = transcript.Lines().size();
  for (const std::uint32_t q : kQuestions) host.Answers().Queue(q, IDOK);
  main->Click(res::kNncReset);
  EXPECT_EQ(main->BoardBusy(0), CdlgMain::kBusyReset);
  EXPECT_FALSE(main->GetDlgItem(res::kMainClose).IsWindowEnabled());
  ASSERT_TRUE(Pump([&] { return host.IsIdle(); }));
  EXPECT_THAT(Boxes(from), testing::IsSupersetOf(kQuestions));
  EXPECT_TRUE(main->GetDlgItem(res::kMainClose).IsWindowEnabled());
  EXPECT_THAT(Boxes(from), testing::Contains(3518));
  EXPECT_TRUE(RestoreBoard(board0));
}

TEST_F(MainRules, ANodeHandlerNeverOverwritesAnotherBusyCode) {
  SetStatuses({5, 5, 5, 5});
  Select(0);
  main->SetBoardBusy(0, CdlgMain::kBusyReset);
  const std::size_t from = transcript.Lines().size();
  for (const int id : {res::kNasDump, res::kProgramInstall, res::kRouting, res::kNncReset}) main->Click(id);
  main->DoubleClick(1500);
  EXPECT_EQ(main->BoardBusy(0), CdlgMain::kBusyReset);
  EXPECT_THAT(LinesFrom(from), testing::Not(testing::Contains(testing::StartsWith("busy 0"))));
  EXPECT_TRUE(Boxes(from).empty());
  EXPECT_FALSE(main->BootManagement(0)->IsWindowVisible());
}

// Routing opens the board's network dialog with the board's values and busy code 2; a second
// click only brings it forward; Esc closes it. In refer-configuration mode it opens in view mode
// and ">> Next" hands the board back.
TEST_F(MainRules, RoutingOpensTheBoardsNetworkDialog) {
  SetStatuses({5, 5, 5, 5});
  Select(0);
  main->Click(res::kRouting);
  CdlgNetworkSetting& net = *main->NetworkSetting(0);
  EXPECT_EQ(main->BoardBusy(0), CdlgMain::kBusyRouting);
  ASSERT_TRUE(net.IsWindowVisible());
  EXPECT_EQ(net.GetWindowText(), "Kelpset Tool ( Setting ) - Reading...");
  EXPECT_EQ(Enabled(net, {res::kNetName, res::kNetRouting, res::kNetSetup, res::kNetClose}), "0001");
  ASSERT_TRUE(Read(net));
  EXPECT_EQ(net.GetWindowText(), "Kelpset Tool ( Setting )");
  EXPECT_EQ(net.GetDlgItem(res::kNetAddress).GetWindowText(), "192.168.0.10");
  EXPECT_EQ(net.GetDlgItem(res::kNetMtu).GetWindowText(), "1500");
  net.UserSetText(res::kNetName, "node-a");
  EXPECT_TRUE(net.GetDlgItem(res::kNetSetup).IsWindowEnabled());
  net.UserSetText(res::kNetAddress, "192.168.0");  // incomplete: Setup waits for it
  EXPECT_FALSE(net.GetDlgItem(res::kNetSetup).IsWindowEnabled());
  const std::size_t from = transcript.Lines().size();
  main->Click(res::kRouting);
  EXPECT_EQ(net.GetDlgItem(res::kNetAddress).GetWindowText(), "192.168.0");  // not read again
  net.Key({false, false, false, "escape"});
  EXPECT_FALSE(net.IsWindowVisible());
  EXPECT_EQ(main->BoardBusy(0), 0);
  EXPECT_TRUE(Boxes(from).empty());

  main->OnReferConfig();
  main->OnSetting();
  ASSERT_TRUE(Read(net));
  EXPECT_EQ(net.GetWindowText(), "Kelpset Tool ( Setting ) VIEW MODE");
  EXPECT_EQ(net.GetDlgItem(res::kNetSetup).GetWindowText(), ">> Next");
  EXPECT_EQ(net.GetDlgItem(res::kNetClose).GetWindowText(), "Cancel");
  EXPECT_EQ(Enabled(net, {res::kNetName, res::kNetAddress, res::kNetRouting, res::kNetSetup, res::kNetClose}), "00011");
  EXPECT_EQ(main->BoardBusy(0), CdlgMain::kBusyRouting);
  net.Click(res::kNetSetup);
  EXPECT_FALSE(net.IsWindowVisible());
  EXPECT_EQ(main->BoardBusy(0), 0);
  main->LeaveReferConfig();
}

// An MTU change of a node of a defined cluster: both nodes must run, 3816 is asked, and 3742
// as well while a node serves; outside a cluster only 3584 comes before the setters.
TEST_F(MainRules, NetworkSetupAsksByTheClusterNodesStatuses) {
  const struct {
    std::int32_t nBoard, nPartner;  // slots 1 and 9
    const char* pszDefined;
    std::vector<std::pair<std::uint32_t, int>> answers;
    std::vector<std::uint32_t> boxes;
  } kCases[] = {
      {5, 4, "1", {{3584, IDOK}, {3816, IDOK}, {3742, IDCANCEL}}, {3584, 3816, 3742}},
      {4, 5, "1", {{3584, IDOK}, {3816, IDOK}, {3742, IDCANCEL}}, {3584, 3816, 3742}},
      {4, 4, "1", {{3584, IDOK}, {3816, IDCANCEL}}, {3584, 3816}},
      {5, 2, "1", {{3584, IDOK}}, {3584, 3822}},
      {4, 8, "1", {{3584, IDOK}}, {3584, 3822}},
      {5, 5, "0", {{3584, IDOK}}, {3584, 3537}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.nBoard << " " << c.nPartner << " defined " << c.pszDefined);
    Agent("1", "ClusterDefinedStatus", c.pszDefined);
    SetStatuses({5, c.nBoard, 5, c.nPartner});
    Select(1);
    main->Click(res::kRouting);
    CdlgNetworkSetting& net = *main->NetworkSetting(1);
    ASSERT_TRUE(Read(net));
    net.UserSetText(res::kNetName, "node-b");
    net.UserSetText(res::kNetMtu, "9000");
    for (const auto& [id, button] : c.answers) host.Answers().Queue(id, button);
    const std::size_t from = transcript.Lines().size();
    net.Click(res::kNetSetup);
    ASSERT_TRUE(Pump([&] { return !net.IsWorking(); }));
    EXPECT_THAT(Boxes(from), ElementsAreArray(c.boxes));
    net.Click(res::kNetClose);
    EXPECT_EQ(main->BoardBusy(1), 0);
  }
  Agent("1", "ClusterDefinedStatus", "-");
}

TEST_F(MainRules, RecoveryChecksRefuseOldAgents) {
  // Agent versions of every board; the boxes and the recovery dialogs of CM LU, OS LU (slot 0) and
  // System LU.
  const struct {
    const char* pszVersion;
    std::vector<std::string> boxes;
    std::vector<std::string> windows;
  } kCases[] = {
      {"0x01500000", {"message 3617 .*02-00.*", "message 3618 .*CTL0-0.*", "message 3617 .*05-00.*"}, {}},
      {"0x04000000", {"message 3617 .*05-00.*"}, {"window 224 .*", "window 223 .*"}},
  };
  SetStatuses({5, 5, 5, 5});
  Select(0);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszVersion);
    for (const std::uint32_t ulSlot : kSlots) Agent(std::to_string(ulSlot), "AgentVersion", c.pszVersion);
    const std::size_t from = transcript.Lines().size();
    for (const int id : {res::kRestoreCmLu, res::kRestoreOsLu, res::kRestoreSystemLu}) {
      main->Click(id);
      // The worker's read posts the follow-up before it ends; behind it comes the close of the
      // NAS OS LU dialog, which is modal, so that it closes as soon as it runs.
      while (main->WorkersRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      host.Post([this] {
        if (kelp::ui::Dialog* pOsLu = host.FindShown(res::kTemplateRestoreOsLu)) pOsLu->EndDialog(IDOK);
      });
      ASSERT_TRUE(Read(*main));
    }
    std::vector<std::string> seen, windows;
    for (const std::string& line : LinesFrom(from)) {
      if (line.rfind("message", 0) == 0) seen.push_back(line);
      if (line.rfind("window", 0) == 0) windows.push_back(line);
    }
    ASSERT_EQ(seen.size(), c.boxes.size()) << testing::PrintToString(seen);
    for (std::size_t k = 0; k < seen.size(); ++k) EXPECT_THAT(seen[k], testing::MatchesRegex(c.boxes[k]));
    ASSERT_EQ(windows.size(), c.windows.size()) << testing::PrintToString(windows);
    for (std::size_t k = 0; k < windows.size(); ++k) EXPECT_THAT(windows[k], testing::MatchesRegex(c.windows[k]));
    EXPECT_FALSE(host.WaitCursor());
    if (kelp::ui::Dialog* pCmLu = host.FindShown(res::kTemplateRestoreCmLu)) pCmLu->Click(res::kCmLuClose);
  }
  for (const std::uint32_t ulSlot : kSlots) Agent(std::to_string(ulSlot), "AgentVersion", "-");
}

// ---------------------------------------------------------------- boot management

TEST_F(MainRules, BootDialogButtonsFollowTheBoardsStatus) {
  // Boot, Boot Option, Reboot, Shutdown, NNC Reset, Close.
  const std::pair<std::int32_t, const char*> kTable[] = {
      {-1, "000001"}, {0, "000001"},  {1, "000001"},  {2, "110011"},  {3, "000011"},  {4, "001111"},
      {5, "001111"},  {6, "000011"},  {7, "001111"},  {8, "110011"},  {9, "000011"},  {10, "000001"},
      {11, "000001"}, {12, "000011"}, {13, "000001"}, {14, "000001"}, {15, "000001"},
  };
  SetStatuses({5, 5, 5, 5});
  Select(0);
  main->DoubleClick(1500);
  CdlgBootManagement& boot = *main->BootManagement(0);
  ASSERT_TRUE(boot.IsWindowVisible());
  EXPECT_EQ(main->BoardBusy(0), CdlgMain::kBusyBootManagement);
  EXPECT_EQ(boot.GetDlgItem(res::kBootBoardLabel).GetWindowText(), "CTL0-0");
  const std::initializer_list<int> kButtons = {res::kBootBoot,     res::kBootOption,    res::kBootReboot,
                                               res::kBootShutdown, res::kBootNncReset,  res::kBootClose};
  for (const auto& [nStatus, pszRule] : kTable) {
    SCOPED_TRACE(nStatus);
    main->Board(0)->SetStatus(nStatus);
    boot.SetLinuxStatus();
    EXPECT_EQ(Enabled(boot, kButtons), pszRule);
  }
  // A reset asked from the dialog holds the board: only Close; a cancel gives the board back.
  main->Board(0)->SetStatus(5);
  host.Answers().Queue(3571, IDOK);
  host.Answers().Queue(3598, IDCANCEL);
  boot.Click(res::kBootNncReset);
  EXPECT_EQ(main->BoardBusy(0), CdlgMain::kBusyBootManagement);
  EXPECT_EQ(Enabled(boot, kButtons), "001111");
  main->SetBoardBusy(0, CdlgMain::kBusyReset);
  boot.SetLinuxStatus();
  EXPECT_EQ(Enabled(boot, kButtons), "000001");
  main->SetBoardBusy(0, CdlgMain::kBusyBootManagement);
  boot.Click(res::kBootClose);
  EXPECT_FALSE(boot.IsWindowVisible());
  EXPECT_EQ(main->BoardBusy(0), 0);
  EXPECT_TRUE(main->GetDlgItem(res::kMainClose).IsWindowEnabled());
}

TEST_F(MainRules, CheckShutdownAsksWhenTheNodeServesItsCluster) {
  // Cluster status word ("fail": the exchange breaks), answers, outcome, questions asked.
  const struct {
    const char* pszCluster;
    std::vector<std::pair<std::uint32_t, int>> answers;
    dialogs::ShutdownCheck result;
    std::vector<std::uint32_t> questions;
  } kCases[] = {
      {"0", {}, dialogs::ShutdownCheck::GoOn, {}},
      {"1", {{3610, IDOK}, {3611, IDOK}, {3742, IDOK}}, dialogs::ShutdownCheck::GoOn, {3610, 3611, 3742}},
      {"1", {{3610, IDCANCEL}}, dialogs::ShutdownCheck::Stop, {3610}},
      {"1", {{3610, IDOK}, {3611, IDCANCEL}}, dialogs::ShutdownCheck::Stop, {3610, 3611}},
      {"1", {{3610, IDOK}, {3611, IDOK}, {3742, IDCANCEL}}, dialogs::ShutdownCheck::Stop, {3610, 3611, 3742}},
      {"fail", {{3609, IDOK}, {3611, IDOK}, {3742, IDOK}}, dialogs::ShutdownCheck::GoOn, {3609, 3611, 3742}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pszCluster);
    if (std::string(c.pszCluster) == "fail") {
      ASSERT_EQ(bench->ArraySim({"agent", kctest::kUnit, "behave", "0", "ClusterStatus", "Magic=BROKEN", "Count=1"}), 0);
    } else {
      Agent("0", "ClusterStatus", c.pszCluster);
    }
    for (const auto& [id, button] : c.answers) host.Answers().Queue(id, button);
    const std::size_t from = transcript.Lines().size();
    EXPECT_EQ(dialogs::CheckShutdown(*main->Board(0), 3742), c.result);
    std::vector<std::uint32_t> asked;
    for (const std::uint32_t id : Boxes(from))
      if (id == 3609 || id == 3610 || id == 3611 || id == 3742) asked.push_back(id);
    EXPECT_THAT(asked, ElementsAreArray(c.questions));
  }
  Agent("0", "ClusterStatus", "-");
}

TEST_F(MainRules, AnOldAgentIsAskedAboutItsServicesInsteadOfTheClusterCheck) {
  Agent("1", "AgentVersion", "0x01020000");
  SetStatuses({5, 5, 5, 5});
  Select(1);
  main->DoubleClick(1501);
  CdlgBootManagement& boot = *main->BootManagement(1);
  const std::size_t from = transcript.Lines().size();
  host.Answers().Queue(3568, IDOK);
  host.Answers().Queue(3599, IDCANCEL);
  boot.Click(res::kBootReboot);
  ASSERT_TRUE(Read(boot));
  EXPECT_THAT(Boxes(from), ElementsAreArray({3568u, 3599u}));
  EXPECT_FALSE(boot.IsWorking());
  Agent("1", "AgentVersion", "-");
}

TEST_F(MainRules, BootOptionIsShortPrintableAscii) {
  const std::pair<std::string, bool> kOptions[] = {
      {"", true},           {std::string(84, 'a'), true}, {std::string(85, 'a'), false},
      {"ro\tquiet", false}, {"caf\xc3\xa9", false},        {"console=ttyS0,9600 root=/dev/sda1 ~", true}};
  for (const auto& [option, bValid] : kOptions) EXPECT_EQ(CdlgBootManagement::IsValidBootOption(option), bValid) << option;

  SetStatuses({2, 5, 5, 5});
  Select(0);
  main->DoubleClick(1500);
  CdlgBootManagement& boot = *main->BootManagement(0);
  boot.UserSetText(res::kBootOption, std::string(85, 'x'));
  const std::size_t from = transcript.Lines().size();
  boot.Click(res::kBootBoot);
  EXPECT_THAT(Boxes(from), ElementsAreArray({3588u}));
  EXPECT_FALSE(boot.IsWorking());
}

// Holds every box asked on a thread other than the test's until released.
TEST_F(MainRules, EscAndTheCloseControlAreIgnoredWhileTheWorkerRuns) {
  const corvid::sim::BoardState board0 = SimBoard(0);
  constexpr std::uint16_t kStopWord = 3;
  ASSERT_TRUE(corvid::sim::SetBoardStatus(kctest::kUnit, board0.k, kStopWord));
  SetStatuses({2, 5, 5, 5});
  Select(0);
  main->DoubleClick(1500);
  CdlgBootManagement& boot = *main->BootManagement(0);
  host.Answers().Queue(3566, IDOK);
  boot.Click(res::kBootBoot);
  // The boot is watched for at least one paced poll, so the worker still runs here.
  ASSERT_TRUE(boot.IsWorking());
  boot.Key(kelp::ui::KeyChord{false, false, false, "escape"});
  EXPECT_TRUE(boot.IsWindowVisible());
  EXPECT_EQ(Enabled(boot, {res::kBootBoot, res::kBootOption, res::kBootReboot, res::kBootShutdown, res::kBootClose}),
            "00001");
  ASSERT_TRUE(Pump([&] { return !boot.IsWorking(); }));
  boot.Key(kelp::ui::KeyChord{false, false, false, "escape"});
  EXPECT_FALSE(boot.IsWindowVisible());
  EXPECT_EQ(main->BoardBusy(0), 0);
  EXPECT_TRUE(RestoreBoard(board0));
}

}  // namespace
