// The fixed table of client slots. Increment, Decrement and SetLimit run under one critical
// section; a slot is in use from its connection's accept until its thread has ended serving.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "CusrClient.h"

class CusrSession {
 public:
  static constexpr std::size_t kDefaultLimit = 16;

  CusrSession() = default;
  ~CusrSession();
  CusrSession(const CusrSession&) = delete;
  CusrSession& operator=(const CusrSession&) = delete;

  // Makes count free slots. False when memory runs out (the table then has no slots), or when
  // slots are in use.
  bool SetLimit(std::size_t count);
  // A free slot, now marked in use; null when all are in use.
  CusrClient* Increment();
  // Marks the slot free again.
  void Decrement(CusrClient* pClient);
  std::size_t Limit() const;
  // Server end: shuts every served connection down and waits for the slots' threads.
  void CloseAll();

 private:
  mutable std::mutex m_mutex;
  std::vector<std::unique_ptr<CusrClient>> m_slots;
};
