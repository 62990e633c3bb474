#include "plat/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <fstream>
#include <random>

#include "ManualTime.h"

namespace plat {
namespace {

bool SetTimeout(int fd, int option, Millis timeout) {
  const auto real = std::chrono::ceil<std::chrono::microseconds>(Clock::ToReal(timeout));
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(real.count() / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(real.count() % 1000000);
  return ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

}  // namespace

void UniqueFd::Reset(int fd) noexcept {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = fd;
}

int PollMillis(Millis logical) {
  if (logical <= Millis::zero()) return 0;
  // Checked before converting: a real duration this long does not fit in nanoseconds.
  if (std::chrono::duration<double, std::milli>(logical).count() * Clock::TimeScale() >= INT_MAX) return INT_MAX;
  const auto real = std::chrono::ceil<std::chrono::milliseconds>(Clock::ToReal(logical)).count();
  return real >= INT_MAX ? INT_MAX : static_cast<int>(real);
}

int PollMillis(TimePoint deadline) {
  if (deadline == kNoDeadline) return -1;
  return PollMillis(deadline - Clock::Now());
}

namespace {

// What a poll() that reported events says: the stop descriptor wins over fd.
WaitResult Reported(const pollfd (&fds)[2], nfds_t count, short* revents) {
  if (count == 2 && fds[1].revents != 0) return WaitResult::Stopped;
  if (revents != nullptr) *revents = fds[0].revents;
  return WaitResult::Ready;
}

// poll() cannot see manual time pass: the descriptors are checked without blocking between the
// short pauses of Clock::PollUntil, which follows the manual deadline.
WaitResult WaitOnManualTime(pollfd (&fds)[2], nfds_t count, TimePoint deadline, short* revents) {
  int n = 0;
  int error = 0;
  const bool ended = Clock::PollUntil(deadline, [&] {
    do n = ::poll(fds, count, 0);
    while (n < 0 && errno == EINTR);
    error = errno;
    return n != 0;
  });
  if (!ended) return WaitResult::Timeout;
  if (n < 0) {
    errno = error;
    return WaitResult::Failed;
  }
  return Reported(fds, count, revents);
}

}  // namespace

WaitResult WaitEvents(int fd, short events, TimePoint deadline, int stopFd, short* revents) {
  pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
  const nfds_t count = stopFd >= 0 ? 2 : 1;
  if (deadline != kNoDeadline && ManualTimeRuns()) return WaitOnManualTime(fds, count, deadline, revents);
  for (;;) {
    const int millis = PollMillis(deadline);
    const int n = ::poll(fds, count, millis);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WaitResult::Failed;
    // A wait longer than poll() can take goes on until the deadline.
    if (n == 0 && millis == INT_MAX) continue;
    if (n == 0) return WaitResult::Timeout;
    return Reported(fds, count, revents);
  }
}

WaitResult WaitReadable(int fd, TimePoint deadline, int stopFd) {
  return WaitEvents(fd, POLLIN, deadline, stopFd);
}

ReadResult ReadExactly(int fd, std::span<std::uint8_t> out, TimePoint deadline, int stopFd) {
  for (std::size_t got = 0; got < out.size();) {
    switch (WaitReadable(fd, deadline, stopFd)) {
      case WaitResult::Ready:
        break;
      case WaitResult::Timeout:
        return ReadResult::Timeout;
      case WaitResult::Stopped:
        return ReadResult::Stopped;
      case WaitResult::Failed:
        return ReadResult::Failed;
    }
    const ssize_t n = ::recv(fd, out.data() + got, out.size() - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReadResult::Failed;
    if (n == 0) return ReadResult::Closed;
    got += static_cast<std::size_t>(n);
  }
  return ReadResult::Complete;
}

bool SendAll(int fd, std::span<const std::uint8_t> bytes, int flags) {
  iovec piece{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
  return SendAll(fd, std::span(&piece, 1), flags);
}

bool SendAll(int fd, std::span<iovec> pieces, int flags) {
  iovec* iov = pieces.data();
  std::size_t count = pieces.size();
  while (count > 0) {
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = count;
    const ssize_t sent = ::sendmsg(fd, &msg, MSG_NOSIGNAL | flags);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    auto left = static_cast<std::size_t>(sent);
    while (count > 0 && left >= iov->iov_len) {
      left -= iov->iov_len;
      ++iov;
      --count;
    }
    if (count > 0) {
      iov->iov_base = static_cast<char*>(iov->iov_base) + left;
      iov->iov_len -= left;
    }
  }
  return true;
}

bool SetSendTimeout(int fd, Millis timeout) { return SetTimeout(fd, SO_SNDTIMEO, timeout); }

bool SetReceiveTimeout(int fd, Millis timeout) { return SetTimeout(fd, SO_RCVTIMEO, timeout); }

namespace {

// The first port of the kernel's ephemeral range: ports below it are never handed to an outgoing
// connection or to a bind of port 0.
std::uint16_t EphemeralLow() {
  std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
  unsigned low = 0;
  return range >> low && low > kFirstChosenPort && low <= 0xFFFF ? static_cast<std::uint16_t>(low) : 32768;
}

bool BindsOnLoopback(std::uint16_t port) {
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  return fd && ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

}  // namespace

std::uint16_t FreeLoopbackPort() {
  // A random port below the ephemeral range: a port the kernel chose could be handed again to
  // another process's connection before the caller binds it.
  static thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<unsigned> pick(kFirstChosenPort, EphemeralLow() - 1u);
  for (int attempt = 0; attempt < 64; ++attempt) {
    const auto port = static_cast<std::uint16_t>(pick(random));
    if (BindsOnLoopback(port)) return port;
  }
  return 0;
}

}  // namespace plat
