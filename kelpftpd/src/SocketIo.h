// Socket helpers only the server needs: file data sent straight from the page cache, and corked
// replies. The generic waits and sends are in plat/Socket.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelpftpd {

// Sends length bytes of file fd from offset without copying them through user memory. On
// failure returns false with errno set (ENODATA: the file ended first).
bool SendFileAll(int fd, int file, std::uint64_t offset, std::size_t length);

// While alive, a socket's sends are held back and leave in full segments; the destructor sends
// what is left at once.
class Cork {
 public:
  explicit Cork(int fd);
  ~Cork();
  Cork(const Cork&) = delete;
  Cork& operator=(const Cork&) = delete;

 private:
  int m_fd;
};

}  // namespace kelpftpd
