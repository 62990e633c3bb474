// What the tool knows of one array: its model, location names, equipment, serial number and the
// maintenance PC's address (read once at discovery), the array's status word of each slot (the
// status poller refreshes it), the sixteen board objects of the session and the gate through
// which a board waits for the poller's next check.
//
// One object per session (ArraySession owns it; tests and kelpctl make their own), so two runs in
// one process never share a value. Every member is thread-safe: the poller writes while workers
// and the UI thread read. Observers hear of each board whose status may have changed; they are
// called on the thread that changed it and must bring UI effects to their own thread.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "board/BoardSlots.h"
#include "plat/Clock.h"

class CusrCHN;

namespace board {

class BoardObserver {
 public:
  virtual ~BoardObserver() = default;
  // The board's status changed, or was read again: refresh what shows it.
  virtual void BoardChanged(std::uint32_t ulSlot) = 0;
};

class ArrayTables {
 public:
  static constexpr std::uint32_t kSlots = board::kSlots;

  ArrayTables();
  ~ArrayTables();
  ArrayTables(const ArrayTables&) = delete;
  ArrayTables& operator=(const ArrayTables&) = delete;

  // ---- discovery ----
  // Reads model, location names, equipment and serial number; shows the message of a failure
  // itself. *pulError: the failing call's error (VEL_ERR_NOT_NAS_SLOT: no board fitted).
  bool Initialize(int nFtpPort, std::uint32_t* pulError);
  // Reads the equipment words into the location and NNC type tables; *pnCount gets the number
  // of fitted boards.
  bool SetNNCLocation(int* pnCount, std::uint32_t* pulError);

  // The array model word's code (CusrCHN::kModelZQS...; 0 before discovery).
  std::uint16_t ModelCode() const { return m_usModel.load(); }
  // The model word as the array reported it (0 before discovery).
  std::uint32_t ModelWord() const { return m_ulModelWord.load(); }
  // The slots the array model has: ZQH 0, 1, 8, 9; the others 0 and 8.
  std::vector<std::uint32_t> ModelSlots() const;
  bool ModelHasSlot(std::uint32_t ulIndex) const;
  std::array<std::uint8_t, 4> SvpIPAddress() const;
  std::array<std::uint8_t, 4> SvpSubnetMask() const;
  void SetSvpAddress(const std::uint8_t* pucIPAddress, const std::uint8_t* pucSubnetMask);
  int FtpPort() const { return m_nFtpPort.load(); }
  std::uint32_t SerialNo() const { return m_ulSerialNo.load(); }
  std::string LocationName(std::uint32_t ulIndex) const;
  bool IsCHN(std::uint32_t ulIndex) const;
  std::uint16_t NNCType(std::uint32_t ulIndex) const;
  std::int32_t ArrayStatus(std::uint32_t ulIndex) const;
  void SetArrayStatus(std::uint32_t ulIndex, std::int32_t nStatus);

  // ---- the session's boards ----
  // A board object registers itself under its slot for its lifetime.
  void Register(CusrCHN* pBoard);
  void Unregister(CusrCHN* pBoard);
  CusrCHN* GetCHN(std::uint32_t ulIndex) const;
  // True when every registered board has status -1 or 0.
  bool IsAllNew() const;
  // LU registration of the installations that run (bit flags of the install information).
  void AddInitStatus(std::uint32_t ulBits) { m_ulInitStatus.fetch_or(ulBits); }
  void SubInitStatus(std::uint32_t ulBits) { m_ulInitStatus.fetch_and(~ulBits); }
  std::uint32_t GetInitStatus() const { return m_ulInitStatus.load(); }

  // ---- observers ----
  void Subscribe(BoardObserver* pObserver);
  void Unsubscribe(BoardObserver* pObserver);
  void NotifyBoardChanged(std::uint32_t ulSlot);

  // ---- status refresh ----
  // Refreshes the array status table from dsvp_NasGetCurrentStatus. Mode 0 (start-up) retries
  // a time-out once after 20 s; mode 1 (poller) leaves the table as it is on a time-out.
  void GetChnStatusKestrel(int nMode);
  // Marks slots whose processor is blocked or in an unknown state fatal.
  void GetMPStatus();
  void SetChnStatusUpdateTime();
  std::uint64_t GetChnStatusUpdateTime() const;
  // The poller announces each check so that a board waits for one that began after it asked.
  // StopStatusChecks releases every waiter (the poller ended).
  void BeginStatusCheck();
  void EndStatusCheck();
  void StopStatusChecks();
  // How long WaitForStatusCheck waits at most; set by the poller from its period.
  void SetStatusWaitLimit(plat::Millis limit);
  // Waits for a check that began after the call; false when the wait ran out or the poller
  // stopped first.
  bool WaitForStatusCheck();

 private:
  std::atomic<std::uint16_t> m_usModel{0};
  std::atomic<std::uint32_t> m_ulModelWord{0};
  std::atomic<std::uint32_t> m_ulSvpAddress{0};  // most significant byte first
  std::atomic<std::uint32_t> m_ulSvpMask{0};
  std::atomic<int> m_nFtpPort{0};
  std::atomic<std::uint32_t> m_ulSerialNo{0};
  std::array<std::atomic<std::int32_t>, kSlots> m_nArrayStatus{};
  std::array<std::atomic<std::uint16_t>, kSlots> m_usLocation{};
  std::array<std::atomic<std::uint16_t>, kSlots> m_usNncType{};
  std::array<std::atomic<CusrCHN*>, kSlots> m_pcBoards{};
  std::atomic<std::uint32_t> m_ulInitStatus{0};
  mutable std::mutex m_namesMutex;  // names are written at discovery, read for captions
  std::array<std::string, kSlots> m_strNames;
  std::mutex m_observersMutex;
  std::vector<BoardObserver*> m_observers;
  std::atomic<std::uint64_t> m_ullUpdateTimeMs{0};

  // The poller's checks: a waiter wants one that started after its call.
  std::mutex m_checksMutex;
  std::condition_variable m_checksChanged;
  std::uint64_t m_ullStarted = 0;
  std::uint64_t m_ullCompleted = 0;
  bool m_bChecksRunning = false;
  plat::Millis m_checksLimit{2 * 20'000 + 360'000};
};

}  // namespace board
