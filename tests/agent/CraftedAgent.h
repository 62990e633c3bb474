// A test-local agent that answers each connection with crafted bytes, for the error paths the
// simulated agents never take. It listens on a loopback address (127.0.0.1 unless told, ephemeral
// port); each accepted connection takes the next scripted reply in order, and records the
// request it received.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "TestEnv.h"
#include "agent/CusrNasManager.h"
#include "common/MemoryTraceSink.h"
#include "common/ProcessContext.h"
#include "common/RecordingDisplay.h"
#include "plat/Socket.h"

namespace kelptest {

class CraftedAgent {
 public:
  struct Reply {
    std::vector<std::uint8_t> bytes;
    std::size_t chunkSize = 0;                  // 0: all at once
    std::chrono::milliseconds gap{0};           // real time before each chunk
    bool hangAfter = false;                     // keep the connection open until the client closes
    bool readRequest = true;                    // read the request (header and MsgSize) first
  };

  explicit CraftedAgent(std::array<std::uint8_t, 4> address = {127, 0, 0, 1});
  ~CraftedAgent();
  CraftedAgent(const CraftedAgent&) = delete;
  CraftedAgent& operator=(const CraftedAgent&) = delete;

  std::uint16_t Port() const { return m_port; }
  static constexpr std::uint8_t kAddress[4] = {127, 0, 0, 1};

  // Queues the reply of the next connection that has none yet.
  void Push(Reply reply);
  void Push(std::vector<std::uint8_t> bytes) { Push(Reply{std::move(bytes)}); }
  // The request of connection n (0-based), waiting up to 5 s for it; nullopt when none came.
  std::optional<std::vector<std::uint8_t>> Request(std::size_t n);
  // Connections accepted so far.
  std::size_t Connections() const;

 private:
  void Serve();
  void Answer(int fd, const Reply& reply);

  plat::UniqueFd m_listen;
  plat::UniqueFd m_stopRead;  // readable once the destructor asks the thread to end
  plat::UniqueFd m_stopWrite;
  std::uint16_t m_port = 0;
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<Reply> m_replies;
  std::vector<std::vector<std::uint8_t>> m_requests;
  std::size_t m_connections = 0;
  std::thread m_thread;
};

// What one client test observes: installs a RecordingDisplay, a memory trace at the debug mask
// and a small time scale (60-second waits take 60 ms at 0.001); restores all three on exit.
// One exchange as the board operations run it: connect, request, reply, close. Connecting and
// sending must succeed (test expectations); returns the reply's result.
std::uint32_t RunExchange(const CusrNasManager& manager, const std::function<std::uint32_t(int)>& request,
                          const std::function<std::uint32_t(int)>& reply);

class ClientScene {
 public:
  explicit ClientScene(double timeScale = 0.001);
  ~ClientScene();
  ClientScene(const ClientScene&) = delete;
  ClientScene& operator=(const ClientScene&) = delete;

  // The identifier of each box shown so far, e.g. "[DMEN03514E", in order.
  std::vector<std::string> ShownIds() const;
  // The whole text of each box shown so far, in order.
  std::vector<std::string> Shown() const;
  RecordingDisplay& Display() { return m_display; }
  // The trace lines written so far, each "tag text" ("error send() code=104"), in order.
  std::vector<std::string> TraceLines() const { return m_trace.TaggedTexts(); }

 private:
  IsolatedEnv m_env;
  common::MemoryTraceSink m_trace;
  RecordingDisplay m_display;
  common::ProcessContext m_context{{.display = &m_display, .traceSink = &m_trace, .traceMask = TRC_MASK_DEBUG}};
};

}  // namespace kelptest
