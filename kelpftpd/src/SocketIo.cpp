#include "SocketIo.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <chrono>
#include <climits>

namespace kelpftpd {

int PollMillis(plat::Millis logical) {
  const auto real = plat::Clock::ToReal(logical);
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(real).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

Wait WaitReadable(int fd, plat::Millis timeout) {
  pollfd pfd{fd, POLLIN, 0};
  for (;;) {
    const int n = ::poll(&pfd, 1, PollMillis(timeout));
    if (n > 0) return Wait::Ready;
    if (n == 0) return Wait::Timeout;
    if (errno != EINTR) return Wait::Failed;
  }
}

bool SendAll(int fd, iovec* iov, std::size_t count) {
  while (count > 0) {
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = count;
    const ssize_t sent = ::sendmsg(fd, &msg, MSG_NOSIGNAL);
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

bool SendFileAll(int fd, int file, std::uint64_t offset, std::size_t length) {
  auto position = static_cast<off_t>(offset);
  while (length > 0) {
    const ssize_t sent = ::sendfile(fd, file, &position, length);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0) return false;
    if (sent == 0) {
      errno = ENODATA;
      return false;
    }
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

Cork::Cork(int fd) : m_fd(fd) {
  const int on = 1;
  ::setsockopt(m_fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
}

Cork::~Cork() {
  const int off = 0;
  ::setsockopt(m_fd, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
}

bool SetSendTimeout(int fd, plat::Millis timeout) {
  const auto real = std::chrono::ceil<std::chrono::microseconds>(plat::Clock::ToReal(timeout));
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(real.count() / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(real.count() % 1000000);
  return ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

}  // namespace kelpftpd
