#include "CusrSession.h"

#include <algorithm>
#include <new>

#include "common/CusrTraceScope.h"

CusrSession::~CusrSession() { CloseAll(); }

bool CusrSession::SetLimit(std::size_t count) {
  CusrTraceScope scope("CusrSession", "SetLimit", TRC_FUNC);
  std::lock_guard lock(m_mutex);
  if (std::any_of(m_slots.begin(), m_slots.end(), [](const auto& p) { return p->m_bInUse; })) return false;
  try {
    std::vector<std::unique_ptr<CusrClient>> slots;
    slots.reserve(count);
    for (std::size_t i = 0; i < count; ++i) slots.push_back(std::make_unique<CusrClient>());
    m_slots.swap(slots);
    return true;
  } catch (const std::bad_alloc&) {
    m_slots.clear();
    return false;
  }
}

CusrClient* CusrSession::Increment() {
  std::lock_guard lock(m_mutex);
  for (auto& slot : m_slots) {
    if (!slot->m_bInUse) {
      slot->m_bInUse = true;
      return slot.get();
    }
  }
  return nullptr;
}

void CusrSession::Decrement(CusrClient* pClient) {
  std::lock_guard lock(m_mutex);
  if (pClient != nullptr) pClient->m_bInUse = false;
}

std::size_t CusrSession::Limit() const {
  std::lock_guard lock(m_mutex);
  return m_slots.size();
}

void CusrSession::CloseAll() {
  {
    std::lock_guard lock(m_mutex);
    for (auto& slot : m_slots)
      if (slot->m_bInUse) slot->Abort();
  }
  // Threads are joined outside the lock: each frees its slot through Decrement as it ends.
  for (auto& slot : m_slots) slot->Join();
}
