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
#include <stdexcept>

#include "agent/AgentWire.h"
#include "board/AgentExchange.h"
#include "common/MessageDisplay.h"
#include "plat/Clock.h"

namespace kelptest {
namespace {

// Waits until fd is readable or the stop pipe fires; false on stop.
bool WaitReadable(int fd, int stopFd) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
  for (;;) {
    const int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[1].revents != 0)) return false;
    if (fds[0].revents != 0) return true;
  }
}

bool ReadExact(int fd, int stopFd, std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    if (!WaitReadable(fd, stopFd)) return false;
    const ssize_t got = ::recv(fd, p, n, 0);
    if (got <= 0) return false;
    p += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The library revision of the trace header, without the library.
int TestRevision(char* cRev, char* ciRev, char* cCopyright, std::uint32_t* lpErrInfo) {
  std::snprintf(cRev, 16, "test");
  std::snprintf(ciRev, 16, "test");
  std::snprintf(cCopyright, 40, "test");
  if (lpErrInfo) *lpErrInfo = 0;
  return 1;
}

}  // namespace

CraftedAgent::CraftedAgent() {
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(m_listenFd, 16) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      ::pipe2(m_wakeFd, O_CLOEXEC) != 0)
    throw std::runtime_error("CraftedAgent: cannot listen on 127.0.0.1");
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CraftedAgent::~CraftedAgent() {
  const char stop = 1;
  (void)!::write(m_wakeFd[1], &stop, 1);
  m_thread.join();
  ::close(m_listenFd);
  ::close(m_wakeFd[0]);
  ::close(m_wakeFd[1]);
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
    if (!WaitReadable(m_listenFd, m_wakeFd[0])) return;
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Reply reply;
    {
      std::lock_guard lock(m_mutex);
      ++m_connections;
      if (!m_replies.empty()) {
        reply = std::move(m_replies.front());
        m_replies.pop_front();
      }
    }
    Answer(fd, reply);
    ::close(fd);
  }
}

void CraftedAgent::Answer(int fd, const Reply& reply) {
  if (reply.readRequest) {
    std::vector<std::uint8_t> request(agent::kHeaderSize);
    bool ok = ReadExact(fd, m_wakeFd[0], request.data(), request.size());
    if (ok) {
      const std::uint32_t msgSize = Be32(request.data() + 24);
      if (msgSize <= (1u << 20)) {
        request.resize(agent::kHeaderSize + msgSize);
        ok = ReadExact(fd, m_wakeFd[0], request.data() + agent::kHeaderSize, msgSize);
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
      pollfd stop{m_wakeFd[0], POLLIN, 0};
      if (::poll(&stop, 1, static_cast<int>(reply.gap.count())) != 0) return;
    }
    const std::size_t n = std::min(chunk, reply.bytes.size() - off);
    if (::send(fd, reply.bytes.data() + off, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) return;
  }
  if (reply.hangAfter) {
    std::uint8_t sink[256];
    while (WaitReadable(fd, m_wakeFd[0]) && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
  }
}

std::uint32_t RunExchange(const CusrNasManager& manager, const std::function<std::uint32_t(int)>& request,
                          const std::function<std::uint32_t(int)>& reply) {
  const board::ExchangeResult result = board::RunExchange(manager, board::Connect::Plain, "", request, reply);
  EXPECT_THAT(result.failedStep, ::testing::AnyOf(::testing::IsEmpty(), ::testing::Eq("Reply"))) << "connecting and sending succeed";
  return result.code;
}

ClientScene::ClientScene(double timeScale) {
  plat::Clock::SetTimeScale(timeScale);
  SetMessageDisplay(&m_display);
  SetTraceRevisionProvider(TestRevision);
  if (m_trace.Open(m_dir.path().string(), "agent", 10, 2, nullptr) == 0) SetTrace(&m_trace, TRC_MASK_DEBUG);
}

ClientScene::~ClientScene() {
  SetTrace(nullptr, 0);
  SetMessageDisplay(nullptr);
  plat::Clock::SetTimeScale(1);
}

std::vector<std::string> ClientScene::ShownIds() const {
  std::vector<std::string> ids;
  for (const RecordingDisplay::Box& box : m_display.Boxes()) ids.push_back(box.strText.substr(0, 11));
  return ids;
}

std::vector<std::string> ClientScene::Shown() const {
  std::vector<std::string> texts;
  for (const RecordingDisplay::Box& box : m_display.Boxes()) texts.push_back(box.strText);
  return texts;
}

bool ClientScene::Traced(std::string_view text) const {
  return ReadFile(m_dir / "agent.log").find(text) != std::string::npos;
}

bool ClientScene::Traced(std::string_view tag, std::string_view text) const {
  const std::string log = ReadFile(m_dir / "agent.log");
  const std::string marker = " " + std::string(tag) + " ";
  for (std::size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1)) {
    const std::size_t end = log.find('\n', at);
    if (std::string_view(log).substr(at, end - at).find(text) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace kelptest
