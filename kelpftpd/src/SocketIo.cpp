#include "SocketIo.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <cerrno>

namespace kelpftpd {

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

}  // namespace kelpftpd
