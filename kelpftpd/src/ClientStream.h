// The bytes of one board's connection, under the protocol's framing in CusrClient: the accepted
// socket in the server (SocketStream), a buffer in the fuzz target. Failures come back with the
// system's error number, for the trace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "plat/Clock.h"

class ClientStream {
 public:
  enum class Arrival {
    Data,        // got holds how many bytes came (at least one)
    Timeout,     // nothing came within the wait
    WaitFailed,  // the wait itself failed
    Closed,      // the board closed its side
    Failed,      // the receive failed
  };

  virtual ~ClientStream() = default;

  // Takes what has arrived, up to buffer.size() bytes, waiting at most wait for the first of them.
  virtual Arrival Receive(std::span<std::uint8_t> buffer, plat::Millis wait, std::size_t& got, int& error) = 0;
  // Sends every byte. bMore: more of the same reply follows at once, so a partial segment may wait
  // for it. A send that makes no progress for the stream's send time-out fails.
  virtual bool Send(std::span<const std::uint8_t> bytes, bool bMore, int& error) = 0;
  // Sends length bytes of the open file from offset (ENODATA: the file ended first).
  virtual bool SendFile(int file, std::uint64_t offset, std::size_t length, int& error) = 0;
  // Ends the connection both ways, from any thread: a pending Receive or Send fails. 0 or the error.
  virtual int Shutdown() = 0;
  // Frees the connection; 0 or the error. Nothing else may be called afterwards.
  virtual int Close() = 0;
};
