// Socket helpers of the server: waits on logical time, complete gathered sends.
#pragma once

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>

#include "plat/Clock.h"

namespace kelpftpd {

// poll() time-out in real milliseconds for a logical wait (KELP_TIME_SCALE), rounded up.
int PollMillis(plat::Millis logical);

enum class Wait { Ready, Timeout, Failed };

// Waits until fd is readable or reports an error or hang-up; errno is set when Failed.
Wait WaitReadable(int fd, plat::Millis timeout);

// Sends every byte of the pieces (iov is consumed) without raising SIGPIPE. On failure returns
// false with errno set (EAGAIN: no progress within the socket's send time-out).
bool SendAll(int fd, iovec* iov, std::size_t count);

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

// Sets the send time-out of a socket to a logical duration.
bool SetSendTimeout(int fd, plat::Millis timeout);

}  // namespace kelpftpd
