// The socket toolkit every module uses: an owner for descriptors, and waits, reads and sends on
// logical time (KELP_TIME_SCALE).
//
// A wait lasts the real equivalent of the logical time left when it starts; under a ManualClock
// it ends when manual time reaches its deadline (it checks the descriptors between short real
// pauses, counting as a waiter for ManualClock::WaitForWaiters). A deadline that has already
// passed makes every wait a check without waiting.
// Failures come back as results with errno left as the failing call set it, so that callers can
// trace or map it. Sends never raise SIGPIPE. Every function is thread-safe.
#pragma once

#include <sys/uio.h>

#include <cstdint>
#include <span>
#include <utility>

#include "plat/Clock.h"

namespace plat {

// Owns one file descriptor and closes it; -1 is none.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const noexcept { return m_fd; }
  explicit operator bool() const noexcept { return m_fd >= 0; }
  // Gives the descriptor up without closing it.
  int Release() noexcept { return std::exchange(m_fd, -1); }
  // Closes the descriptor held, if any, and takes fd.
  void Reset(int fd = -1) noexcept;

 private:
  int m_fd = -1;
};

// A deadline that never comes: the wait ends only on readiness or the stop descriptor.
inline constexpr TimePoint kNoDeadline = TimePoint::max();

// poll()'s time-out for a logical duration: real milliseconds rounded up, at most INT_MAX; 0 for
// a duration that is not positive.
int PollMillis(Millis logical);
// The same for the time left until a logical deadline: 0 once it has passed, -1 (no limit) for
// kNoDeadline.
int PollMillis(TimePoint deadline);

enum class WaitResult {
  Ready,    // the descriptor reported an event (an error or hang-up too: the next call says which)
  Timeout,  // the deadline came first
  Stopped,  // stopFd became readable (it wins over Ready)
  Failed,   // poll() failed; errno says why
};

// Waits until fd is readable (or has hung up or failed), the deadline passes or stopFd (when not
// -1) is readable. An interrupted poll() is resumed with the time left.
WaitResult WaitReadable(int fd, TimePoint deadline, int stopFd = -1);
// The same for other poll() events (POLLOUT, POLLIN | POLLPRI); revents, when given, receives
// what fd reported.
WaitResult WaitEvents(int fd, short events, TimePoint deadline, int stopFd = -1, short* revents = nullptr);

enum class ReadResult {
  Complete,  // the buffer is full
  Timeout,
  Stopped,
  Closed,    // the peer closed before the buffer was full
  Failed,    // poll() or recv() failed; errno says why
};

// Fills out from a stream socket, waiting for each piece until the one deadline.
ReadResult ReadExactly(int fd, std::span<std::uint8_t> out, TimePoint deadline, int stopFd = -1);

// Sends every byte, resuming after interruptions and partial sends. False with errno set on
// failure (EAGAIN: no progress within the socket's send time-out). flags are added to each send
// (MSG_MORE: more follows at once, so a partial segment may wait for it).
bool SendAll(int fd, std::span<const std::uint8_t> bytes, int flags = 0);
// The same for pieces gathered into as few segments as the socket allows; the pieces are consumed.
bool SendAll(int fd, std::span<iovec> pieces, int flags = 0);

// The socket's send (SO_SNDTIMEO) or receive (SO_RCVTIMEO) time-out as a logical duration. False
// with errno set on failure.
bool SetSendTimeout(int fd, Millis timeout);
bool SetReceiveTimeout(int fd, Millis timeout);

// A TCP port on 127.0.0.1 that nobody uses at the moment of the call (tests and benches bind to
// it soon after), chosen at random from kFirstChosenPort up to the kernel's ephemeral range so
// that no connection takes it meanwhile; 0 when none could be had.
inline constexpr std::uint16_t kFirstChosenPort = 21000;
std::uint16_t FreeLoopbackPort();

}  // namespace plat
