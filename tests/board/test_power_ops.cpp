// The board power operations against a simulated unit on a scaled clock: every progress row,
// the overall time-outs, the reset and dump flags, the blocked processor, pacing, the NNC reset,
// the installation command and its progress, and the reboot of several boards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "PowerTestSupport.h"
#include "QuietMainDialog.h"
#include "VelapiTestUnit.h"
#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "board/CusrStatusAgent.h"
#include "board/MultiReboot.h"
#include "board/PowerCommands.h"
#include "common/CusrTraceScope.h"
#include "common/ProcessContext.h"

namespace {

using namespace board;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace sim = corvid::sim;
namespace pages = corvid::pages;

constexpr double kScale = 0.0001;  // 20 s of pacing take 2 ms
constexpr std::uint32_t kTimeoutCode = 0x1002;  // an array time-out: VELAPI error 6
constexpr int kWordBoot = 303, kWordShutdown = 306, kWordDown = 308;

// Waits (in real time, bounded) until pred holds.
template <class Pred>
bool WaitFor(Pred pred) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!pred())
    if (std::chrono::steady_clock::now() > deadline) return false;
    else std::this_thread::yield();
  return true;
}

std::int64_t Seconds(plat::TimePoint from) {
  return std::chrono::duration_cast<std::chrono::seconds>(plat::Clock::Now() - from).count();
}

class PowerOps : public ::testing::Test {
 protected:
  void SetUp() override { Start(veltest::DefaultSpec()); }
  void Start(const sim::UnitSpec& scenario) {
    veltest::ResetUnit(scenario);
    plat::Clock::SetTimeScale(kScale);
    sim::SetTimeScale(kScale);
    m_context.emplace(common::ProcessSetup{.display = &m_display, .traceSink = &m_sink, .traceMask = TRC_MASK_DEBUG});
    std::uint32_t ulError = 0;
    ASSERT_TRUE(m_array.Initialize(20266, &ulError)) << ulError;
    m_boards.clear();
    for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) m_boards.push_back(std::make_unique<CusrCHN>(m_array, i));
  }
  void TearDown() override {
    m_context.reset();
    plat::Clock::SetTimeScale(0);
  }
  static void Rest(int k, std::uint16_t usStatus) { ASSERT_TRUE(sim::SetBoardStatus(veltest::kUnit, k, usStatus)); }
  static void Stall(int k) { ASSERT_TRUE(sim::InjectBoardFault(veltest::kUnit, k, sim::BoardFault::Stall, 1)); }
  static void ForceProgress(int k, std::uint8_t byProgress) {
    veltest::Poke(pages::kA8Shutdown, pages::a8::kStatus0 + static_cast<std::size_t>(k), {byProgress});
  }
  static bool Run(PowerCommand command, CusrCHN& board, PowerDialog* pDialog, std::uint32_t* pulError) {
    switch (command) {
      case PowerCommand::Shutdown: return board.StartShutdown(pDialog, pulError);
      case PowerCommand::Reboot: return board.StartReboot(pDialog, pulError);
      case PowerCommand::Boot: return board.StartBoot(pDialog, "console=tty0", pulError);
      case PowerCommand::MultiBoot: return board.StartBootReboot(1, pulError);
      case PowerCommand::MultiReboot: return board.StartBootReboot(3, pulError);
    }
    return false;
  }
  static std::uint16_t RestingFor(PowerCommand command) {
    return command == PowerCommand::Boot || command == PowerCommand::MultiBoot ? pages::kStatusStopped
                                                                               : pages::kStatusOsUp;
  }

  RecordingDisplay m_display;
  powertest::TimedTraceSink m_sink;
  board::ArrayTables m_array;
  kelptest::QuietMainDialog m_main;
  std::optional<common::ProcessContext> m_context;
  std::vector<std::unique_ptr<CusrCHN>> m_boards;
};

TEST_F(PowerOps, CommandsRunToTheirEndShowingEachInterimWordAndKeepingTwentySecondsBetweenCommands) {
  struct Case {
    PowerCommand command;
    std::vector<int> words;
  };
  // Long phases, so that each shows at several polls however slow the calls are.
  sim::UnitSpec scenario = veltest::DefaultSpec();
  scenario.durations.shutdownMs = scenario.durations.bootMs = 1'200'000;
  Start(scenario);
  for (const Case& c : {Case{PowerCommand::Shutdown, {kWordShutdown}}, Case{PowerCommand::Boot, {kWordBoot}},
                        Case{PowerCommand::Reboot, {kWordShutdown, kWordBoot}}}) {
    Rest(0, RestingFor(c.command));
    powertest::RecordingDialog dialog;
    std::uint32_t ulError = 0;
    EXPECT_TRUE(Run(c.command, *m_boards[0], &dialog, &ulError)) << ulError;
    EXPECT_EQ(dialog.Words(), c.words);
  }
  EXPECT_THAT(powertest::MessageIds(m_display), IsEmpty());
  const std::vector<plat::TimePoint> calls = m_sink.TimesOf("CHN[0] = dsvp_");
  ASSERT_GT(calls.size(), 10u);
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_GE(calls[i] - calls[i - 1], BoardLock::kPace) << i;
  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates(veltest::kUnit, &states));
  EXPECT_EQ(states[0].bootOption, "console=tty0");
}

struct ProgressCase {
  const char* pszName;
  PowerCommand command;
  std::uint8_t byProgress;
  std::vector<std::uint32_t> messages;
  std::uint32_t ulError;
  const char* pszTrace;
};

class PowerProgressRows : public PowerOps, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(PowerProgressRows, EndTheWatchWithTheirMessageOrErrorWord) {
  const ProgressCase& c = GetParam();
  Rest(1, RestingFor(c.command));
  ForceProgress(1, c.byProgress);
  std::uint32_t ulError = 0;
  EXPECT_FALSE(Run(c.command, *m_boards[1], nullptr, &ulError));
  EXPECT_EQ(ulError, c.ulError);
  EXPECT_EQ(powertest::MessageIds(m_display), c.messages);
  if (!c.messages.empty()) {
    EXPECT_THAT(m_display.Boxes()[0].strText, ::testing::HasSubstr(TraceFmt("code = 0x%02x", c.byProgress)));
  }
  EXPECT_TRUE(m_sink.Has(c.pszTrace)) << c.pszTrace;
}

const ProgressCase kProgressCases[] = {
    {"ShutdownTimeout", PowerCommand::Shutdown, 3, {3596}, 0, "Shutdown Timeout (0x03)"},
    {"ShutdownCodeTwo", PowerCommand::Shutdown, 2, {3508}, 0, "Unknown progress code (0x02)"},
    {"ShutdownSeesBoot", PowerCommand::Shutdown, 4, {3508}, 0, "Unknown progress code (0x04)"},
    {"RebootShutdownTimeout", PowerCommand::Reboot, 7, {3596}, 0, "Shutdown Timeout (0x07)"},
    {"RebootTimeout", PowerCommand::Reboot, 12, {3596}, 0, "Reboot Timeout (0x0c)"},
    {"RebootNoDump", PowerCommand::Reboot, 14, {3807}, 0, "Boot Timeout (No NASDump) (0x0e)"},
    {"RebootSeesShutdownOnly", PowerCommand::Reboot, 1, {3508}, 0, "Unknown progress code (0x01)"},
    {"BootTimeoutWholeByteShown", PowerCommand::Boot, 0x3C, {3596}, 0, "Boot Timeout (0x3c)"},
    {"BootNoDump", PowerCommand::Boot, 14, {3807}, 0, "Boot Timeout (No NASDump) (0x0e)"},
    {"BootSeesShutdown", PowerCommand::Boot, 5, {3508}, 0, "Unknown progress code (0x05)"},
    {"MultiBootSeesShutdown", PowerCommand::MultiBoot, 5, {}, 0x15, "Internal error (0x05)"},
    {"MultiBootSeesShutdownTimeout", PowerCommand::MultiBoot, 7, {}, 0x15, "Internal error (0x07)"},
    {"MultiBootTimeout", PowerCommand::MultiBoot, 12, {}, 9, "Boot Timeout (0x0c)"},
    {"MultiRebootShutdownTimeout", PowerCommand::MultiReboot, 7, {}, 9, "Shutdown Timeout (0x07)"},
    {"MultiRebootNoDump", PowerCommand::MultiReboot, 14, {}, 9, "Reboot Timeout (No NASDump) (0x0e)"},
    {"MultiRebootCodeTwo", PowerCommand::MultiReboot, 2, {}, 0x15, "Internal error (0x02)"},
};
INSTANTIATE_TEST_SUITE_P(Rows, PowerProgressRows, ::testing::ValuesIn(kProgressCases),
                         veltest::CaseName<ProgressCase>);

TEST_F(PowerOps, ABoardThatNeverEndsIsGivenUpAtTheCommandsOverallTimeOut) {
  struct Case {
    PowerCommand command;
    std::int64_t llLimit;
    std::vector<std::uint32_t> messages;
    std::uint32_t ulError;
    const char* pszTrace;
  };
  // Without an agent the node state is 7 (warning), not inactive: the long limits apply.
  for (const Case& c : {Case{PowerCommand::Shutdown, 3720, {3807}, 0, "Kelpset Tool Shutdown Timeout"},
                        Case{PowerCommand::Reboot, 5520, {3807}, 0, "Kelpset Tool Reboot Timeout"},
                        Case{PowerCommand::Boot, 1920, {3807}, 0, "Kelpset Tool Boot Timeout"},
                        Case{PowerCommand::MultiReboot, 5520, {}, 9, "Kelpset Tool Reboot Timeout"}}) {
    m_display.Clear();
    Rest(0, RestingFor(c.command));
    Stall(0);
    const plat::TimePoint start = plat::Clock::Now();
    std::uint32_t ulError = 0;
    EXPECT_FALSE(Run(c.command, *m_boards[0], nullptr, &ulError));
    EXPECT_GT(Seconds(start), c.llLimit);
    EXPECT_LE(Seconds(start), c.llLimit + 300) << "ended at another limit";
    EXPECT_EQ(ulError, c.ulError);
    EXPECT_EQ(powertest::MessageIds(m_display), c.messages);
    EXPECT_TRUE(m_sink.Has(c.pszTrace));
    ASSERT_TRUE(sim::ClearFaults(veltest::kUnit));
  }
}

TEST_F(PowerOps, ADumpOrResetTakesTheBoardOverFromAWatchedCommand) {
  struct Case {
    PowerCommand command;
    bool bDump;
    std::vector<std::uint32_t> messages;
  };
  for (const Case& c : {Case{PowerCommand::Boot, true, {3847}}, Case{PowerCommand::Shutdown, false, {}}}) {
    m_display.Clear();
    Rest(0, RestingFor(c.command));
    Stall(0);
    powertest::RecordingDialog dialog;
    std::uint32_t ulError = 0;
    std::atomic<bool> bWatched{true};
    std::thread watcher([&] { bWatched = Run(c.command, *m_boards[0], &dialog, &ulError); });
    ASSERT_TRUE(dialog.WaitForWord(c.command == PowerCommand::Boot ? kWordBoot : kWordShutdown));
    std::uint32_t ulOther = 0;
    EXPECT_TRUE(c.bDump ? m_boards[0]->StartDump(&ulOther) : m_boards[0]->StartP4Reset(nullptr, &ulOther)) << ulOther;
    watcher.join();
    EXPECT_FALSE(bWatched);
    EXPECT_EQ(ulError, kPowerErrorResetOrDump);
    EXPECT_EQ(powertest::MessageIds(m_display), c.messages);
    EXPECT_TRUE(m_sink.Has(c.bDump ? "NAS Dump is on." : "CHA Reset is on."));
    EXPECT_EQ(m_boards[0]->ChaResetFlag() + m_boards[0]->NasDumpFlag(), 0u);
    ASSERT_TRUE(sim::ClearFaults(veltest::kUnit));
  }
}

TEST_F(PowerOps, NoCommandIsSentWhileADumpWaitsForTheBoard) {
  Rest(0, pages::kStatusOsUp);
  BoardLock& lock = m_boards[0]->TimerMutex();
  ASSERT_TRUE(lock.LockWithoutPacing());
  std::uint32_t ulDump = 0;
  std::thread dump([&] { m_boards[0]->StartDump(&ulDump); });
  ASSERT_TRUE(WaitFor([&] { return m_boards[0]->NasDumpFlag() != 0; }));
  std::uint32_t ulError = 0;
  EXPECT_FALSE(m_boards[0]->StartShutdown(nullptr, &ulError));
  EXPECT_EQ(ulError, kPowerErrorResetOrDump);
  EXPECT_TRUE(m_sink.Has("StartShutdown() cannot start."));
  std::vector<std::uint8_t> image;
  EXPECT_FALSE(sim::LastSelected(veltest::kUnit, pages::kNasPage, pages::kA7Power, &image)) << "nothing was sent";
  lock.Unlock();
  dump.join();
  EXPECT_EQ(powertest::MessageIds(m_display), (std::vector<std::uint32_t>{3847}));
}

TEST_F(PowerOps, ABlockedProcessorStopsABootThroughTheStatusPoller) {
  Rest(0, pages::kStatusStopped);
  Stall(0);
  CusrStatusAgent poller(m_array);
  poller.Create(&m_main, 20'000);
  ASSERT_EQ(poller.Start(), 0u);
  powertest::RecordingDialog dialog;
  std::uint32_t ulError = 0;
  std::atomic<bool> bBooted{true};
  std::thread boot([&] { bBooted = m_boards[0]->StartBoot(&dialog, "", &ulError); });
  ASSERT_TRUE(dialog.WaitForWord(kWordBoot));
  ASSERT_TRUE(sim::InjectBoardFault(veltest::kUnit, 0, sim::BoardFault::MpStatus, 0x1001));
  boot.join();
  poller.Stop();
  EXPECT_FALSE(bBooted);
  EXPECT_EQ(ulError, kPowerErrorMpBlockade);
  EXPECT_EQ(powertest::MessageIds(m_display), (std::vector<std::uint32_t>{3850}));
  EXPECT_TRUE(m_sink.Has(m_array.LocationName(0) + " StartBoot() stop : MP Blockade"));
}

TEST_F(PowerOps, AnArrayTimeOutOfTheCommandIsSentOnceMoreAfterThePace) {
  Rest(0, pages::kStatusOsUp);
  veltest::InjectFault("ModeSelect", pages::kNasPage, pages::kA7Power, 1, kTimeoutCode);
  std::uint32_t ulError = 0;
  EXPECT_TRUE(m_boards[0]->StartShutdown(nullptr, &ulError)) << ulError;
  const auto retry = m_sink.TimesOf("dsvp_NasShutdown() Time out (sCluster = 0, sPCB = 0). retry");
  const auto sends = m_sink.TimesOf("CHN[0] = dsvp_NasShutdown");
  ASSERT_EQ(retry.size(), 1u);
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_GE(sends[1] - sends[0], BoardLock::kPace);
}

TEST_F(PowerOps, ResetShowsDownSettlesAndReleasesTheBoardLockExactlyOnce) {
  Rest(2, pages::kStatusOsUp);  // slot 8 is board k = 2
  CusrCHN& board = *m_boards[8];
  powertest::RecordingDialog dialog;
  const plat::TimePoint start = plat::Clock::Now();
  std::uint32_t ulError = 0;
  EXPECT_TRUE(board.StartP4Reset(&dialog, &ulError)) << ulError;
  EXPECT_GE(Seconds(start), 20 + 60);
  EXPECT_EQ(dialog.Words(), std::vector<int>{kWordDown});
  EXPECT_EQ(board.ChaResetFlag(), 0u);

  // Failures: the blockade refused; the restore refused because the board left its blockade.
  m_sink.OnLine("Sleep(1000)", [] { sim::SetBoardStatus(veltest::kUnit, 2, pages::kStatusStopped); });
  for (const bool bBlockadeFails : {true, false}) {
    m_display.Clear();
    if (bBlockadeFails) veltest::InjectFault("ModeSelect", pages::kNasPage, pages::kA7Power, 1, 0x01000005);
    // The caller holds the lock already: after the reset it must still hold it, once.
    ASSERT_TRUE(board.TimerMutex().LockWithoutPacing());
    EXPECT_FALSE(board.StartP4Reset(nullptr, &ulError));
    bool bBusy = false;
    std::thread([&] { bBusy = board.TimerMutex().IsBusy(); }).join();
    EXPECT_TRUE(bBusy) << "the reset released a lock it did not take";
    board.TimerMutex().Unlock();
    std::thread([&] { bBusy = board.TimerMutex().IsBusy(); }).join();
    EXPECT_FALSE(bBusy);
    EXPECT_EQ(board.ChaResetFlag(), 0u);
    EXPECT_EQ(powertest::MessageIds(m_display).size(), 1u);
    EXPECT_TRUE(m_sink.Has(TraceFmt("function failed, code = 0x%08x", ulError)));
  }
}

TEST_F(PowerOps, InstallCommandMapsItsOptionsAndCapsTheInheritRepeats) {
  struct Case {
    std::uint32_t ulType, ulInit;
    std::uint32_t ulInstallType, ulComLU, ulAlertLU;
  };
  const ProductRecord record{"NAS OS", "05-00-00-00", "nasos.tgz", "30", "MediaInfo.ini", "1"};
  for (const Case& c : {Case{0, 0x00, 0, 1, 1}, Case{2, 0x10, 2, 0, 0}, Case{1, 0x01, 1, 1, 0},
                        Case{7, 0x11, 1, 0, 0}}) {
    std::uint32_t ulError = 0;
    ASSERT_TRUE(m_boards[0]->InstallOS(record, c.ulType, c.ulInit, &ulError)) << ulError;
    const std::vector<std::uint8_t> a1 = veltest::Selected(pages::kA1Install);
    const auto word = [&](std::size_t at) { return std::uint32_t{a1[at + 2]} << 8 | a1[at + 3]; };
    EXPECT_EQ(word(pages::a1::kInstallType), c.ulInstallType) << c.ulType;
    EXPECT_EQ(word(pages::a1::kComLUInit), c.ulComLU) << c.ulInit;
    if (c.ulInstallType != 2) {
      EXPECT_EQ(word(pages::a1::kAlertLUInit), c.ulAlertLU) << c.ulInit;
    }
    Rest(0, pages::kStatusStopped);
  }
  std::uint32_t ulError = 0;
  EXPECT_FALSE(m_boards[0]->InstallOS(record, 1, 2, &ulError));
  EXPECT_EQ(ulError, 4u);

  for (const int nRefusals : {CusrCHN::kInheritRetryLimit, CusrCHN::kInheritRetryLimit + 1}) {
    sim::UnitSpec scenario = veltest::DefaultSpec();
    scenario.installRefusals = nRefusals;
    Start(scenario);
    const std::size_t nBefore = m_sink.TimesOf("CHN[0] = dsvp_NasInstallLinux").size();
    const bool bOk = m_boards[0]->InstallOS(record, 1, 0, &ulError);
    EXPECT_EQ(bOk, nRefusals == CusrCHN::kInheritRetryLimit) << nRefusals;
    EXPECT_EQ(m_sink.TimesOf("CHN[0] = dsvp_NasInstallLinux").size() - nBefore,
              static_cast<std::size_t>(CusrCHN::kInheritRetryLimit + 1));
    if (!bOk) {
      EXPECT_EQ(ulError, 0xFFFFFFFFu);
    }
    EXPECT_EQ(m_sink.Has("Request retry limit (30) reached"), !bOk);
  }
}

TEST_F(PowerOps, InstallProgressWordsGiveTheirTextsAndEndStates) {
  struct Case {
    std::uint32_t ulWord;
    const char* pszText;
    bool bEnd, bFailed;
    std::vector<std::uint32_t> messages;
  };
  const Case cases[] = {
      {0x0000, "  1%", false, false, {}},  {0x0001, "  5%", false, false, {}}, {0x0002, " 10%", false, false, {}},
      {0x0003, " 15%", false, false, {}},  {0x0004, " 20%", false, false, {}}, {0x0105, " 25%", false, false, {}},
      {0x0205, " 30%", false, false, {}},  {0x0305, " 35%", false, false, {}}, {0x0405, " 40%", false, false, {}},
      {0x0505, " 45%", false, false, {}},  {0x0605, " 50%", false, false, {}}, {0x0705, " 55%", false, false, {}},
      {0x0805, " 60%", false, false, {}},  {0x0905, " 65%", false, false, {}}, {0x0A05, " 70%", false, false, {}},
      {0x0006, " 75%", false, false, {}},  {0x0007, " 80%", false, false, {}}, {0x00FF, " 85%", true, false, {}},
      {0x00FE, "Failed(0x000000fe)", true, true, {3516}},
      {0x000305FE, "Failed(0x000305fe)", true, true, {3533}},  // the agent's "no access" install code
      {0x1234, "Failed(0x00001234)", true, true, {3516}},
  };
  for (const Case& c : cases) {
    m_display.Clear();
    const std::uint32_t w = c.ulWord;
    veltest::Poke(pages::kA6Progress, pages::a6::Entry(0) + pages::a6::kInstallStatus,
                  {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w >> 16),
                   static_cast<std::uint8_t>(w >> 24)});
    std::string strText;
    bool bFailed = !c.bFailed;
    std::uint32_t ulCode = 0;
    EXPECT_EQ(m_boards[0]->GetOSInstallStatus(&strText, true, &bFailed, &ulCode), c.bEnd) << std::hex << w;
    EXPECT_EQ(strText, c.pszText);
    if (c.bEnd) {
      EXPECT_EQ(bFailed, c.bFailed) << std::hex << w;
    }
    EXPECT_EQ(powertest::MessageIds(m_display), c.messages) << std::hex << w;
    if (c.bFailed) {
      EXPECT_EQ(ulCode, w);
    }
  }
  // The array times out: a running state unless time-outs are fatal.
  for (const bool bFatal : {false, true}) {
    m_display.Clear();
    veltest::InjectFault("ModeSense", pages::kNasPage, pages::kA6Progress, 1, kTimeoutCode);
    std::string strText;
    bool bFailed = false;
    std::uint32_t ulCode = 0;
    EXPECT_EQ(m_boards[0]->GetOSInstallStatus(&strText, bFatal, &bFailed, &ulCode), bFatal);
    EXPECT_EQ(bFailed, bFatal);
    EXPECT_EQ(powertest::MessageIds(m_display), bFatal ? std::vector<std::uint32_t>{3524} : std::vector<std::uint32_t>{});
    if (bFatal) {
      EXPECT_EQ(strText, "Failed(0x00000006)");
    }
  }
}

TEST_F(PowerOps, MultiRebootRebootsTheMarkedBoardsOfItsRangeAndJoinsThemEvenAfterItsLimit) {
  RebootMarks marks{};
  RebootResults results;
  results.fill(0xAA);
  const plat::TimePoint start = plat::Clock::Now();
  EXPECT_EQ(MultiReboot(m_array, kRebootAllClusters, marks, results), 0u);
  EXPECT_LT(Seconds(start), 600) << "nothing marked: nothing waited for (far below the 97-minute limit)";
  EXPECT_EQ(results[9], 0u) << "the range's results are cleared";

  results.fill(0xAA);
  marks[0] = marks[1] = marks[8] = 1;
  for (const int k : {0, 1, 2}) Rest(k, pages::kStatusOsUp);
  EXPECT_EQ(MultiReboot(m_array, kRebootCluster1, marks, results), 0u);
  EXPECT_EQ(results[0], 0u);
  EXPECT_EQ(results[1], 0u);
  EXPECT_EQ(results[8], 0xAAu) << "slot 8 is outside cluster 1";
  EXPECT_EQ(m_sink.TimesOf("Start Reboot CHN : ").size(), 2u);

  // Slot 1's board is held past the limit: the call gives up waiting but still joins its worker.
  Rest(1, pages::kStatusOsUp);
  marks[0] = 0;
  ASSERT_TRUE(m_boards[1]->TimerMutex().LockWithoutPacing());
  std::atomic<bool> bReturned{false};
  std::uint32_t ulResult = 0;
  std::thread caller([&] {
    ulResult = MultiReboot(m_array, kRebootCluster1, marks, results);
    bReturned = true;
  });
  EXPECT_TRUE(WaitFor([&] { return !powertest::MessageIds(m_display).empty(); }));
  EXPECT_EQ(powertest::MessageIds(m_display), std::vector<std::uint32_t>{3515});
  EXPECT_FALSE(bReturned) << "returned before its worker ended";
  m_boards[1]->TimerMutex().Unlock();
  caller.join();
  EXPECT_EQ(ulResult, 9u);
  // The worker got the board only after the limit, so its own limit had passed too.
  EXPECT_EQ(results[1], agent::kResultTimeout) << "the worker wrote its result before the call returned";
}

}  // namespace
