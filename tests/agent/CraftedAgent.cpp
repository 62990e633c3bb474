#include "CraftedAgent.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <stdexcept>

#include "agent/AgentWire.h"
#include "board/AgentExchange.h"
#include "common/MessageDisplay.h"
#include "plat/Clock.h"

namespace kelptest {
namespace {

// Waits until fd is readable or the stop pipe fires; false on stop.
bool WaitReadable(int fd, int stopFd) { return plat::WaitReadable(fd, plat::kNoDeadline, stopFd) == plat::WaitResult::Ready; }

bool ReadExact(int fd, int stopFd, std::span<std::uint8_t> out) {
  return plat::ReadExactly(fd, out, plat::kNoDeadline, stopFd) == plat::ReadResult::Complete;
}

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

CraftedAgent::CraftedAgent(std::array<std::uint8_t, 4> address)
    : m_listen(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  std::memcpy(&addr.sin_addr.s_addr, address.data(), 4);
  socklen_t len = sizeof addr;
  int stop[2] = {-1, -1};
  if (!m_listen || ::bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(m_listen.Get(), 16) != 0 ||
      ::getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0 || ::pipe2(stop, O_CLOEXEC) != 0)
    throw std::runtime_error("CraftedAgent: cannot listen on the loopback address");
  m_stopRead.Reset(stop[0]);
  m_stopWrite.Reset(stop[1]);
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CraftedAgent::~CraftedAgent() {
  const char stop = 1;
  (void)!::write(m_stopWrite.Get(), &stop, 1);
  m_thread.join();
}

void CraftedAgent::Push(Reply reply) {
  std::lock_guard lock(m_mutex);
  m_replies.push_back(std::move(reply));
}

std::optional<std::vector<std::uint8_t>> CraftedAgent::Request(std::size_t n) {
  std::unique_lock lock(m_mutex);
  if (!m_cv.wait_for(lock, std::chrono::seconds(5), [&] { return m_requests.size() > n; })) return std::nullopt;
  return m_requests[n];
}

std::size_t CraftedAgent::Connections() const {
  std::lock_guard lock(m_mutex);
  return m_connections;
}

void CraftedAgent::Serve() {
  for (;;) {
    if (!WaitReadable(m_listen.Get(), m_stopRead.Get())) return;
    const plat::UniqueFd fd(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd) continue;
    Reply reply;
    {
      std::lock_guard lock(m_mutex);
      ++m_connections;
      if (!m_replies.empty()) {
        reply = std::move(m_replies.front());
        m_replies.pop_front();
      }
    }
    Answer(fd.Get(), reply);
  }
}

void CraftedAgent::Answer(int fd, const Reply& reply) {
  if (reply.readRequest) {
    std::vector<std::uint8_t> request(agent::kHeaderSize);
    bool ok = ReadExact(fd, m_stopRead.Get(), request);
    if (ok) {
      const std::uint32_t msgSize = Be32(request.data() + 24);
      if (msgSize <= (1u << 20)) {
        request.resize(agent::kHeaderSize + msgSize);
        ok = ReadExact(fd, m_stopRead.Get(), std::span(request).subspan(agent::kHeaderSize));
      }
    }
    if (!ok) request.clear();
    std::lock_guard lock(m_mutex);
    m_requests.push_back(std::move(request));
    m_cv.notify_all();
  }
  const std::size_t chunk = reply.chunkSize == 0 ? reply.bytes.size() : reply.chunkSize;
  for (std::size_t off = 0; off < reply.bytes.size(); off += chunk) {
    if (reply.gap.count() > 0) {
      pollfd stop{m_stopRead.Get(), POLLIN, 0};
      if (::poll(&stop, 1, static_cast<int>(reply.gap.count())) != 0) return;
    }
    const std::size_t n = std::min(chunk, reply.bytes.size() - off);
    if (!plat::SendAll(fd, std::span(reply.bytes).subspan(off, n))) return;
  }
  if (reply.hangAfter) {
    std::uint8_t sink[256];
    while (WaitReadable(fd, m_stopRead.Get()) && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
  }
}

std::uint32_t RunExchange(const CusrNasManager& manager, const std::function<std::uint32_t(int)>& request,
                          const std::function<std::uint32_t(int)>& reply) {
  const board::ExchangeResult result = board::RunExchange(manager, board::Connect::Plain, "", request, reply);
  EXPECT_THAT(result.failedStep, ::testing::AnyOf(::testing::IsEmpty(), ::testing::Eq("Reply"))) << "connecting and sending succeed";
  return result.code;
}

ClientScene::ClientScene(double timeScale) { plat::Clock::SetTimeScale(timeScale); }

ClientScene::~ClientScene() { plat::Clock::SetTimeScale(1); }

std::vector<std::string> ClientScene::ShownIds() const {
  std::vector<std::string> ids;
  for (const common::RecordedBox& box : m_display.Boxes()) ids.push_back(box.strText.substr(0, 11));
  return ids;
}

std::vector<std::string> ClientScene::Shown() const {
  std::vector<std::string> texts;
  for (const common::RecordedBox& box : m_display.Boxes()) texts.push_back(box.strText);
  return texts;
}

}  // namespace kelptest
