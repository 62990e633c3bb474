#include "SocketStream.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

ClientStream::Arrival SocketStream::Receive(std::span<std::uint8_t> buffer, plat::Millis wait, std::size_t& got,
                                            int& error) {
  for (;;) {
    const ssize_t n = ::recv(m_fd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n > 0) {
      got = static_cast<std::size_t>(n);
      return Arrival::Data;
    }
    if (n == 0) return Arrival::Closed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;
      return Arrival::Failed;
    }
    switch (plat::WaitReadable(m_fd.Get(), plat::Clock::Now() + wait)) {
      case plat::WaitResult::Timeout:
        return Arrival::Timeout;
      case plat::WaitResult::Failed:
      case plat::WaitResult::Stopped:
        error = errno;
        return Arrival::WaitFailed;
      case plat::WaitResult::Ready:
        break;
    }
  }
}

bool SocketStream::Send(std::span<const std::uint8_t> bytes, bool bMore, int& error) {
  if (plat::SendAll(m_fd.Get(), bytes, bMore ? MSG_MORE : 0)) return true;
  error = errno;
  return false;
}

bool SocketStream::SendFile(int file, std::uint64_t offset, std::size_t length, int& error) {
  auto position = static_cast<off_t>(offset);
  while (length > 0) {
    const ssize_t sent = ::sendfile(m_fd.Get(), file, &position, length);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) {
      error = sent == 0 ? ENODATA : errno;
      return false;
    }
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

int SocketStream::Shutdown() {
  if (::shutdown(m_fd.Get(), SHUT_RDWR) == 0 || errno == ENOTCONN) return 0;
  return errno;
}

int SocketStream::Close() { return ::close(m_fd.Release()) == 0 ? 0 : errno; }
