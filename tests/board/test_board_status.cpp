// The board model against a simulated unit: status refresh and mapping, processor blockade,
// time-outs, the board lock's pacing, and the status poller's life cycle.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "VelapiTestUnit.h"
#include "board/CusrCHN.h"
#include "board/CusrStatusAgent.h"
#include "common/MessageDisplay.h"
#include "common/RecordingDisplay.h"
#include "plat/Clock.h"
#include "plat/Event.h"

namespace {

using namespace board;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace pages = corvid::pages;
namespace a3 = corvid::pages::a3;

constexpr std::uint32_t kTimeoutCode = 0x1002;  // an array time-out: VELAPI error 6

// A main window that records what the board layer asks of it; RefreshBoard can be held to
// stand for a status check that hangs.
class RecordingMain : public MainDialogLink, public BoardObserver {
 public:
  void BoardChanged(std::uint32_t ulSlot) override {
    std::unique_lock lock(m_mutex);
    m_refreshed.push_back(ulSlot);
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return !m_bHold; });
  }
  bool MarkNewerAgent() override { return !m_bNewer.exchange(true); }
  bool PostAgentFinished() override { return m_bPostWorks && (++m_nPosted, true); }

  void Hold(bool bHold) {
    std::lock_guard lock(m_mutex);
    m_bHold = bHold;
    m_changed.notify_all();
  }
  bool WaitRefreshes(std::size_t count) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_refreshed.size() >= count; });
  }
  std::vector<std::uint32_t> Refreshed() {
    std::lock_guard lock(m_mutex);
    return m_refreshed;
  }
  std::atomic<int> m_nPosted{0};
  bool m_bPostWorks = true;

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::uint32_t> m_refreshed;
  bool m_bHold = false;
  std::atomic<bool> m_bNewer{false};
};

class BoardStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    veltest::ResetUnit(veltest::DefaultSpec());
    plat::Clock::SetTimeScale(0.0001);
    SetMessageDisplay(&m_display);
    m_array.Subscribe(&m_main);
    std::uint32_t ulError = 0;
    ASSERT_TRUE(m_array.Initialize(20266, &ulError)) << ulError;
    for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) m_boards.push_back(std::make_unique<CusrCHN>(m_array, i));
  }
  void TearDown() override {
    SetMessageDisplay(nullptr);
    plat::Clock::SetTimeScale(0);
  }
  // Sets the array's status word of board k (slot = k / 2 * 8 + k % 2).
  static void PokeStatus(int k, std::uint16_t usWord) {
    veltest::Poke(pages::kA3Config, a3::Entry(k) + a3::kStatus,
                  {0, 0, static_cast<std::uint8_t>(usWord >> 8), static_cast<std::uint8_t>(usWord)});
  }

  ArrayTables m_array;
  RecordingMain m_main;
  RecordingDisplay m_display;
  std::vector<std::unique_ptr<CusrCHN>> m_boards;
};

TEST_F(BoardStatus, DiscoveryFillsTheModelLocationsAndFittedSlots) {
  EXPECT_EQ(m_array.ModelCode(), CusrCHN::kModelZQH);
  EXPECT_THAT(m_array.ModelSlots(), ElementsAre(0u, 1u, 8u, 9u));
  for (std::uint32_t slot : {0u, 1u, 8u, 9u}) EXPECT_TRUE(m_array.IsCHN(slot)) << slot;
  EXPECT_FALSE(m_array.IsCHN(2));
  EXPECT_FALSE(m_array.LocationName(0).empty());
  EXPECT_TRUE(m_array.LocationName(2).empty());
}

TEST_F(BoardStatus, ArrayWordsMapToBoardStatusesAndUnknownWordsToUnknown) {
  struct Case {
    std::uint16_t usWord;
    std::int32_t nStatus;
  };
  const Case cases[] = {{0, CHN_STATUS_NEW},        {1, CHN_STATUS_INST},      {2, CHN_STATUS_EX_OS_UP},
                        {3, CHN_STATUS_STOP},       {4, CHN_STATUS_DOWN},      {5, CHN_STATUS_BOOTING},
                        {6, CHN_STATUS_STOPPING},   {7, CHN_STATUS_PANIC},     {8, CHN_STATUS_DUMP},
                        {9, CHN_STATUS_DUMPSKIP},   {10, CHN_STATUS_HUNGUP},   {11, CHN_STATUS_DISUSE},
                        {12, CHN_STATUS_UNKN},      {0x7FFF, CHN_STATUS_UNKN}};
  for (const Case& c : cases) {
    PokeStatus(1, c.usWord);
    m_array.GetChnStatusKestrel(1);
    EXPECT_EQ(m_array.ArrayStatus(1), c.nStatus) << "word " << c.usWord;
  }
}

TEST_F(BoardStatus, BlockedProcessorMakesTheSlotFatalForGood) {
  veltest::Poke(pages::kA3Config, a3::Entry(3) + a3::kMpStatus, {0x10, 0x01});
  veltest::Poke(pages::kA3Config, a3::Entry(2) + a3::kMpStatus, {0x20, 0x00});
  m_array.GetMPStatus();
  EXPECT_EQ(m_array.ArrayStatus(9), CHN_STATUS_FATAL);
  EXPECT_EQ(m_array.ArrayStatus(8), CHN_STATUS_FATAL) << "an unknown processor state is fatal too";
  EXPECT_EQ(m_boards[9]->MpBlockadeFlag(), 1u);
  veltest::Poke(pages::kA3Config, a3::Entry(3) + a3::kMpStatus, {0x10, 0x00});
  PokeStatus(3, 3);
  m_array.GetMPStatus();
  m_array.GetChnStatusKestrel(1);
  EXPECT_EQ(m_array.ArrayStatus(9), CHN_STATUS_FATAL);
  EXPECT_EQ(m_array.ArrayStatus(0), CHN_STATUS_STOP);
}

TEST_F(BoardStatus, PollingTimeOutKeepsStatusesOtherFailuresMarkFittedBoardsUnknown) {
  m_array.GetChnStatusKestrel(1);
  ASSERT_EQ(m_array.ArrayStatus(0), CHN_STATUS_STOP);
  m_array.SetArrayStatus(1, CHN_STATUS_FATAL);
  veltest::InjectFault("ModeSense", pages::kNasPage, pages::kA3Config, 1, kTimeoutCode);
  m_array.GetChnStatusKestrel(1);
  EXPECT_EQ(m_array.ArrayStatus(0), CHN_STATUS_STOP);
  veltest::InjectFault("ModeSense", pages::kNasPage, pages::kA3Config, 1, 0x5);
  m_array.GetChnStatusKestrel(1);
  EXPECT_EQ(m_array.ArrayStatus(0), CHN_STATUS_UNKN);
  EXPECT_EQ(m_array.ArrayStatus(1), CHN_STATUS_FATAL);
  EXPECT_EQ(m_array.ArrayStatus(2), CHN_STATUS_DIE);
}

TEST_F(BoardStatus, StartUpRetriesATimeOutOnceAfterTwentySeconds) {
  veltest::InjectFault("ModeSense", pages::kNasPage, pages::kA3Config, 1, kTimeoutCode);
  const plat::TimePoint start = plat::Clock::Now();
  m_array.GetChnStatusKestrel(0);
  EXPECT_GE(plat::Clock::Now() - start, plat::Millis(20'000));
  EXPECT_EQ(m_array.ArrayStatus(0), CHN_STATUS_STOP);
}

TEST_F(BoardStatus, AgentOperationsWithoutAnAgentConnectionAreCommunicationErrors) {
  std::string name;
  std::uint32_t ulStatus = 0;
  EXPECT_EQ(m_boards[0]->GetCHNName(&name), 5u);
  EXPECT_EQ(m_boards[0]->GetClusterStatus(&ulStatus), 5u);
  EXPECT_EQ(m_boards[0]->GetAgentVersion(), CusrCHN::kUnknownAgentVersion);
  EXPECT_EQ(m_boards[0]->GetNodeStatus(), CHN_STATUS_WARN);
}

TEST_F(BoardStatus, BoardLockPacesCommandsToOneBoardOnly) {
  // A pace of 20 ms real: a loaded machine's scheduling stays well inside it.
  plat::Clock::SetTimeScale(0.001);
  BoardLock& lock0 = m_boards[0]->TimerMutex();
  BoardLock& lock1 = m_boards[1]->TimerMutex();
  ASSERT_TRUE(lock0.Lock());
  lock0.UnlockAndStamp();
  const plat::TimePoint stamped = plat::Clock::Now();
  ASSERT_TRUE(lock1.Lock());
  lock1.Unlock();
  EXPECT_LT(plat::Clock::Now() - stamped, plat::Millis(20'000)) << "another board is not paced";
  ASSERT_TRUE(lock0.Lock());
  EXPECT_GE(plat::Clock::Now() - stamped, BoardLock::kPace);
  lock0.Unlock();
  EXPECT_EQ(lock0.Name(), "__kelp_sos_timer_mutex_0__");
}

// A board's agent connection made on one thread (a board fitted since start-up) while another
// exchanges through it (the poller): each exchange uses one connection object whole.
TEST_F(BoardStatus, AgentConnectionMadeWhileAnotherThreadExchanges) {
  std::atomic<bool> bStop{false};
  std::atomic<int> nExchanges{0};
  std::thread poller([&] {
    std::uint32_t ulStatus = 0;
    while (!bStop || nExchanges == 0) {
      m_boards[0]->GetClusterStatusEx(&ulStatus);
      ++nExchanges;
    }
  });
  for (int i = 0; i < 20; ++i) {
    std::uint32_t ulError = 0;
    EXPECT_TRUE(m_boards[0]->InitManager(&ulError)) << ulError;
  }
  bStop = true;
  poller.join();
  EXPECT_NE(m_boards[0]->NasManager(), nullptr);
}

// An installation's array calls pace before they take the lock: the poller finds the board free
// meanwhile, and a command that went to the board in between still gets its full pace.
TEST_F(BoardStatus, LockAfterPaceLeavesTheBoardFreeWhileItPaces) {
  plat::Clock::SetTimeScale(0.05);  // a pace of one real second
  BoardLock& lock = m_boards[0]->TimerMutex();
  lock.Stamp();
  plat::Event locked(plat::Event::ResetMode::Manual);
  std::atomic<std::int64_t> gotMs{0};
  std::thread operation([&] {
    ASSERT_TRUE(lock.LockAfterPace());
    gotMs = plat::Clock::Now().time_since_epoch().count();
    locked.Set();
    lock.Unlock();
  });
  plat::Clock::Sleep(plat::Millis(5'000));
  EXPECT_FALSE(lock.IsBusy()) << "held through the pace";
  const std::int64_t stampedMs = plat::Clock::Now().time_since_epoch().count();
  lock.Stamp();
  locked.Wait();
  operation.join();
  EXPECT_GE(plat::Millis(gotMs.load() - stampedMs), BoardLock::kPace);
}

TEST_F(BoardStatus, BoardHeldByAnOperationKeepsItsStatusThroughAPoll) {
  m_array.GetChnStatusKestrel(1);
  m_boards[0]->SetChnStatusKestrel();
  ASSERT_EQ(m_boards[0]->GetStatus(), CHN_STATUS_STOP);
  // The operation holds the board on its own thread; the poll runs on this one.
  plat::Event held(plat::Event::ResetMode::Manual), done(plat::Event::ResetMode::Manual);
  std::thread operation([&] {
    ASSERT_TRUE(m_boards[0]->TimerMutex().LockWithoutPacing());
    m_boards[0]->SetStatus(CHN_STATUS_BOOTING);
    held.Set();
    done.Wait();
    m_boards[0]->TimerMutex().Unlock();
  });
  held.Wait();
  PokeStatus(0, 4);
  m_array.GetChnStatusKestrel(1);
  m_boards[0]->SetChnStatusKestrelEX();
  EXPECT_EQ(m_boards[0]->GetStatus(), CHN_STATUS_BOOTING);
  done.Set();
  operation.join();
  m_boards[0]->SetChnStatusKestrelEX();
  EXPECT_EQ(m_boards[0]->GetStatus(), CHN_STATUS_DOWN);
}

TEST_F(BoardStatus, PollerRefreshesModelSlotsAndUpdateMyStatusWaitsForALaterCheck) {
  CusrStatusAgent agent(m_array);
  agent.Create(&m_main, 1000);
  ASSERT_EQ(agent.Start(), 0u);
  ASSERT_TRUE(m_main.WaitRefreshes(4));
  std::vector<std::uint32_t> first = m_main.Refreshed();
  first.resize(4);
  EXPECT_THAT(first, ElementsAre(0u, 1u, 8u, 9u));
  PokeStatus(1, 4);
  EXPECT_TRUE(m_boards[1]->UpdateMyStatus());
  EXPECT_EQ(m_boards[1]->GetStatus(), CHN_STATUS_DOWN);
  agent.Stop();
  EXPECT_FALSE(agent.Abandoned());
  EXPECT_EQ(m_main.m_nPosted, 1);
  EXPECT_FALSE(m_boards[1]->UpdateMyStatus()) << "released at once once the poller stopped";
}

TEST_F(BoardStatus, StopWithAHungCheckGivesUpAfterItsLimitAndTellsTheUser) {
  auto agent = std::make_unique<CusrStatusAgent>(m_array);
  agent->Create(&m_main, 10);
  m_main.Hold(true);
  ASSERT_EQ(agent->Start(), 0u);
  ASSERT_TRUE(m_main.WaitRefreshes(1));
  agent->Stop();
  EXPECT_TRUE(agent->Abandoned());
  ASSERT_EQ(m_display.Boxes().size(), 1u);
  EXPECT_THAT(m_display.Boxes()[0].strText, HasSubstr("0x00000009"));
  // The thread still runs: it must find everything alive when the check returns.
  m_main.Hold(false);
  ASSERT_TRUE(plat::Clock::PollUntil(plat::Clock::Now() + plat::Millis(600'000), [&] { return agent->HasEnded(); }));
  EXPECT_EQ(m_main.m_nPosted, 1);
}

}  // namespace
