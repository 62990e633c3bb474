// Client of the kelpftpd file-transfer protocol, as a board uses it: connect and take the
// greeting, ask a file's size, read blocks, send the end request.
//
// Strict about every reply: magic, version, type and status must be what the request calls for,
// a data reply may carry at most the bytes asked for, its padding must be spaces and its end
// flag 0 or 1, and a short block must be the file's last. Anything else is BadReply. Every
// failure closes the connection, an error reply too (ErrorReply; ErrorStatus() gives its status),
// after which the server closes its side anyway. Every wait is at most the time-out given to
// Connect, in logical time (KELP_TIME_SCALE). One thread at a time per object.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kelpftp/FtpProtocol.h"
#include "plat/Clock.h"
#include "plat/Socket.h"

namespace kelpftp {

enum class ClientStatus {
  Ok,
  NotConnected,   // no connection (never made, or closed after a failure or the end request)
  ConnectFailed,  // the address is invalid or nobody accepts on it
  Refused,        // the greeting said all slots are in use
  Timeout,        // a wait for the server ran out
  Closed,         // the server closed the connection
  IoError,        // a socket call failed
  BadReply,       // a reply broke the protocol
  ErrorReply,     // the server answered with an error reply
  BadRequest,     // the request cannot be encoded (name too long or holding a NUL)
};

const char* ToText(ClientStatus status);

class FtpClient {
 public:
  static constexpr plat::Millis kDefaultTimeout{60000};
  // FetchFile receives a block through a window of at most this size, whatever the block size.
  static constexpr std::uint32_t kWindowSize = 256u << 10;

  FtpClient() = default;
  ~FtpClient();
  FtpClient(FtpClient&& other) noexcept;
  FtpClient& operator=(FtpClient&& other) noexcept;
  FtpClient(const FtpClient&) = delete;
  FtpClient& operator=(const FtpClient&) = delete;

  // Connects to an IPv4 address ("127.0.0.1") and reads the greeting.
  ClientStatus Connect(const std::string& address, std::uint16_t port, plat::Millis timeout = kDefaultTimeout);
  bool IsConnected() const { return static_cast<bool>(m_fd); }

  // Size request (offset 0xFFFFFFFF).
  ClientStatus RequestSize(std::string_view name, std::uint32_t& size);
  // Data request: up to buffer.size() bytes at offset into buffer; length is what came, more the
  // end flag (1: the file goes on after the block).
  ClientStatus ReadBlock(std::string_view name, std::uint32_t offset, std::span<std::uint8_t> buffer,
                         std::uint32_t& length, bool& more);
  // The same into a vector, resized to the bytes that came.
  ClientStatus ReadBlock(std::string_view name, std::uint32_t offset, std::uint32_t size,
                         std::vector<std::uint8_t>& data, bool& more);
  // Sends the end request, checks the end reply and closes.
  ClientStatus End();

  // Size request, then blocks of blockSize from offset 0 until the end flag says the file is
  // complete. sink receives the bytes in order, in pieces of at most kWindowSize, each with its
  // offset in the file, and may stop the transfer by returning false (IoError). The blocks must
  // add up to the size, else BadReply; a block found faulty after some of its pieces were handed
  // over fails the transfer all the same.
  using Sink = std::function<bool(std::uint32_t offset, std::span<const std::uint8_t> block)>;
  ClientStatus FetchFile(std::string_view name, std::uint32_t blockSize, const Sink& sink,
                         std::uint32_t* pSize = nullptr);

  void Close();

  // The status word of the last error reply.
  std::uint32_t ErrorStatus() const { return m_errorStatus; }
  // What went wrong last, for messages and test output.
  const std::string& Error() const { return m_error; }

 private:
  ClientStatus Fail(ClientStatus status, std::string what);
  ClientStatus SendRequest(std::span<const std::uint8_t> bytes);
  ClientStatus Receive(std::uint8_t* p, std::size_t length);
  // Reads a reply's header and status and checks them against the expected type.
  ClientStatus ReceiveReply(std::uint32_t type, std::uint32_t& status);
  ClientStatus ReceiveFileReplyLength(std::uint32_t& value);
  // One data request for size bytes at offset; the reply may carry at most most bytes, which
  // arrive through window, each piece handed to sink before the window is filled again.
  using PieceSink = std::function<bool(std::span<const std::uint8_t> piece)>;
  ClientStatus ReceiveBlock(std::string_view name, std::uint32_t offset, std::uint32_t size, std::uint32_t most,
                            std::span<std::uint8_t> window, const PieceSink& sink, std::uint32_t& length,
                            bool& more);

  plat::UniqueFd m_fd;
  plat::Millis m_timeout = kDefaultTimeout;
  std::uint32_t m_errorStatus = 0;
  std::string m_error;
};

}  // namespace kelpftp
