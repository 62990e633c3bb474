// The background status poller: every period it reads the boards' processor and status words
// from the array, copies them into the board objects that no operation is driving, tells the
// array's observers of each board and notices a board agent newer than the tool.
//
// Stop never kills the thread. It signals it and waits (keeping the UI responsive through the
// main window's WaitPumping) up to 360 s for the thread's end message, then up to 2 s for the
// thread to end. A thread that does not end is left to finish on its own: Abandoned() tells the
// owner to keep this object, the array tables, the board objects and the main window alive until
// the process exits (the thread still uses them); past 360 s message 3520 with code 0x00000009 is shown.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "board/ArrayTables.h"
#include "board/MainDialogLink.h"
#include "plat/Clock.h"
#include "plat/Event.h"

class CusrStatusAgent {
 public:
  static constexpr plat::Millis kEndMessageLimit{360'000};
  static constexpr plat::Millis kThreadEndLimit{2'000};
  static constexpr plat::Millis kPostRetryWait{5'000};
  static constexpr int kPostAttempts = 4;

  explicit CusrStatusAgent(board::ArrayTables& rArray);
  ~CusrStatusAgent();  // stops a running thread
  CusrStatusAgent(const CusrStatusAgent&) = delete;
  CusrStatusAgent& operator=(const CusrStatusAgent&) = delete;

  void Create(board::MainDialogLink* pMain, std::uint32_t ulPeriodMs);
  // 0 when the thread runs.
  std::uint32_t Start();
  void Stop();
  // The thread's loop; returns 0.
  std::uint32_t ThreadProcess();

  bool IsAlive() const { return m_bAlive.load(); }
  // True once the thread has left ThreadProcess (it touches nothing of this object after that).
  bool HasEnded() const { return m_bFinished.load(); }
  bool Abandoned() const { return m_bAbandoned; }
  std::uint32_t Period() const { return m_ulPeriod; }

 private:
  void RunCheck();
  void PostEndMessage();

  board::ArrayTables& m_rArray;
  std::uint32_t m_ulPeriod = 20;
  board::MainDialogLink* m_pMain = nullptr;
  plat::Event m_cStopEvent{plat::Event::ResetMode::Manual};
  std::atomic<bool> m_bAlive{false};
  std::atomic<bool> m_bEndPosted{false};
  std::atomic<bool> m_bFinished{false};
  std::thread m_thread;
  bool m_bAbandoned = false;
};
