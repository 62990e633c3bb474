#include "kelpftp/FtpClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

namespace kelpftp {
namespace {

// strerror is not safe from several threads; clients run on many.
std::string ErrorText(int error) { return std::generic_category().message(error); }

std::string Hex(std::uint32_t value) {
  char sz[16];
  std::snprintf(sz, sizeof sz, "0x%08x", value);
  return sz;
}

}  // namespace

const char* ToText(ClientStatus status) {
  switch (status) {
    case ClientStatus::Ok: return "Ok";
    case ClientStatus::NotConnected: return "NotConnected";
    case ClientStatus::ConnectFailed: return "ConnectFailed";
    case ClientStatus::Refused: return "Refused";
    case ClientStatus::Timeout: return "Timeout";
    case ClientStatus::Closed: return "Closed";
    case ClientStatus::IoError: return "IoError";
    case ClientStatus::BadReply: return "BadReply";
    case ClientStatus::ErrorReply: return "ErrorReply";
    case ClientStatus::BadRequest: return "BadRequest";
  }
  return "?";
}

FtpClient::~FtpClient() { Close(); }

FtpClient::FtpClient(FtpClient&& other) noexcept
    : m_fd(std::move(other.m_fd)),
      m_timeout(other.m_timeout),
      m_errorStatus(other.m_errorStatus),
      m_error(std::move(other.m_error)) {}

FtpClient& FtpClient::operator=(FtpClient&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::move(other.m_fd);
    m_timeout = other.m_timeout;
    m_errorStatus = other.m_errorStatus;
    m_error = std::move(other.m_error);
  }
  return *this;
}

void FtpClient::Close() { m_fd.Reset(); }

ClientStatus FtpClient::Fail(ClientStatus status, std::string what) {
  m_error = std::move(what);
  Close();
  return status;
}

ClientStatus FtpClient::Connect(const std::string& address, std::uint16_t port, plat::Millis timeout) {
  Close();
  m_timeout = timeout;
  m_error.clear();
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1)
    return Fail(ClientStatus::ConnectFailed, "not an IPv4 address: " + address);

  m_fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!m_fd) return Fail(ClientStatus::IoError, std::string("socket: ") + ErrorText(errno));
  if (::connect(m_fd.Get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    if (errno != EINPROGRESS) return Fail(ClientStatus::ConnectFailed, std::string("connect: ") + ErrorText(errno));
    const plat::WaitResult wait = plat::WaitEvents(m_fd.Get(), POLLOUT, plat::Clock::Now() + timeout);
    if (wait == plat::WaitResult::Timeout) return Fail(ClientStatus::Timeout, "connect: no answer");
    int error = 0;
    socklen_t len = sizeof error;
    if (wait != plat::WaitResult::Ready || ::getsockopt(m_fd.Get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0)
      error = errno;
    if (error != 0) return Fail(ClientStatus::ConnectFailed, std::string("connect: ") + ErrorText(error));
  }
  // Back to blocking calls, each bounded by the time-out.
  ::fcntl(m_fd.Get(), F_SETFL, ::fcntl(m_fd.Get(), F_GETFL) & ~O_NONBLOCK);
  const int on = 1;
  if (!plat::SetReceiveTimeout(m_fd.Get(), timeout) || !plat::SetSendTimeout(m_fd.Get(), timeout) ||
      ::setsockopt(m_fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
    return Fail(ClientStatus::IoError, std::string("setsockopt: ") + ErrorText(errno));

  std::uint32_t status = 0;
  if (const ClientStatus r = ReceiveReply(kTypeGreeting, status); r != ClientStatus::Ok) return r;
  if (status == kGreetingRefused) return Fail(ClientStatus::Refused, "greeting status 0: all slots in use");
  if (status != kGreetingServed) return Fail(ClientStatus::BadReply, "greeting status " + Hex(status));
  return ClientStatus::Ok;
}

ClientStatus FtpClient::SendRequest(std::span<const std::uint8_t> bytes) {
  if (!m_fd) return ClientStatus::NotConnected;
  if (plat::SendAll(m_fd.Get(), bytes)) return ClientStatus::Ok;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return Fail(ClientStatus::Timeout, "send: the server takes nothing");
  if (errno == EPIPE || errno == ECONNRESET) return Fail(ClientStatus::Closed, std::string("send: ") + ErrorText(errno));
  return Fail(ClientStatus::IoError, std::string("send: ") + ErrorText(errno));
}

ClientStatus FtpClient::Receive(std::uint8_t* p, std::size_t length) {
  if (!m_fd) return ClientStatus::NotConnected;
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::recv(m_fd.Get(), p + got, length - got, MSG_WAITALL);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n == 0) {
      return Fail(ClientStatus::Closed, "the server closed the connection");
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return Fail(ClientStatus::Timeout, "no reply within the time-out");
    } else if (errno == ECONNRESET) {
      return Fail(ClientStatus::Closed, "the server reset the connection");
    } else {
      return Fail(ClientStatus::IoError, std::string("recv: ") + ErrorText(errno));
    }
  }
  return ClientStatus::Ok;
}

ClientStatus FtpClient::ReceiveReply(std::uint32_t type, std::uint32_t& status) {
  std::array<std::uint8_t, kReplySize> bytes;
  if (const ClientStatus r = Receive(bytes.data(), bytes.size()); r != ClientStatus::Ok) return r;
  const Reply reply = DecodeReply(bytes);
  switch (CheckHeader(reply.header)) {
    case HeaderCheck::BadMagic:
      return Fail(ClientStatus::BadReply, "bad magic |" + MagicText(reply.header.magic) + "|");
    case HeaderCheck::BadVersion:
      return Fail(ClientStatus::BadReply, "bad version " + Hex(reply.header.version));
    case HeaderCheck::Ok:
      break;
  }
  if (reply.header.type != type)
    return Fail(ClientStatus::BadReply, "reply type " + Hex(reply.header.type) + ", expected " + Hex(type));
  status = reply.status;
  return ClientStatus::Ok;
}

ClientStatus FtpClient::ReceiveFileReplyLength(std::uint32_t& value) {
  std::uint32_t status = 0;
  if (const ClientStatus r = ReceiveReply(kTypeFileReply, status); r != ClientStatus::Ok) return r;
  if (status != kStatusOk) {
    m_errorStatus = status;
    return Fail(ClientStatus::ErrorReply, "error reply, status " + std::to_string(status));
  }
  std::array<std::uint8_t, 4> word;
  if (const ClientStatus r = Receive(word.data(), word.size()); r != ClientStatus::Ok) return r;
  value = LoadBE32(word);
  return ClientStatus::Ok;
}

ClientStatus FtpClient::RequestSize(std::string_view name, std::uint32_t& size) {
  const auto request = EncodeFileRequest(name, kSizeRequestOffset, 0);
  if (!request) return Fail(ClientStatus::BadRequest, "file name too long or holding a NUL");
  if (const ClientStatus r = SendRequest(*request); r != ClientStatus::Ok) return r;
  return ReceiveFileReplyLength(size);
}

ClientStatus FtpClient::ReadBlock(std::string_view name, std::uint32_t offset, std::span<std::uint8_t> buffer,
                                  std::uint32_t& length, bool& more) {
  if (buffer.size() > 0xFFFFFFFFu) return Fail(ClientStatus::BadRequest, "offset or block size out of range");
  const auto size = static_cast<std::uint32_t>(buffer.size());
  return ReceiveBlock(name, offset, size, size, buffer, [](std::span<const std::uint8_t>) { return true; }, length,
                      more);
}

ClientStatus FtpClient::ReceiveBlock(std::string_view name, std::uint32_t offset, std::uint32_t size,
                                     std::uint32_t most, std::span<std::uint8_t> window, const PieceSink& sink,
                                     std::uint32_t& length, bool& more) {
  if (offset == kSizeRequestOffset) return Fail(ClientStatus::BadRequest, "offset or block size out of range");
  const auto request = EncodeFileRequest(name, offset, size);
  if (!request) return Fail(ClientStatus::BadRequest, "file name too long or holding a NUL");
  if (const ClientStatus r = SendRequest(*request); r != ClientStatus::Ok) return r;

  std::uint32_t n = 0;
  if (const ClientStatus r = ReceiveFileReplyLength(n); r != ClientStatus::Ok) return r;
  if (n > most)
    return Fail(ClientStatus::BadReply,
                "data reply of " + std::to_string(n) + " bytes where at most " + std::to_string(most) + " can come");
  // A window smaller than the block is filled again for each piece.
  for (std::uint32_t done = 0; done < n;) {
    const auto piece = window.first(std::min<std::size_t>(window.size(), n - done));
    if (const ClientStatus r = Receive(piece.data(), piece.size()); r != ClientStatus::Ok) return r;
    if (!sink(piece)) return Fail(ClientStatus::IoError, "transfer stopped by the receiver");
    done += static_cast<std::uint32_t>(piece.size());
  }
  std::array<std::uint8_t, kMaxTrailerSize> trailer;
  const std::size_t pad = PaddingOf(n);
  if (const ClientStatus r = Receive(trailer.data(), pad + kEndFlagSize); r != ClientStatus::Ok) return r;
  if (!std::all_of(trailer.begin(), trailer.begin() + static_cast<std::ptrdiff_t>(pad), [](std::uint8_t b) { return b == kPadByte; }))
    return Fail(ClientStatus::BadReply, "padding is not spaces");
  const std::uint32_t flag = LoadBE32(std::span<const std::uint8_t, 4>(trailer.data() + pad, 4));
  if (flag > 1) return Fail(ClientStatus::BadReply, "end flag " + Hex(flag));
  if (flag == 1 && n < size) return Fail(ClientStatus::BadReply, "short block with more to follow");
  length = n;
  more = flag == 1;
  return ClientStatus::Ok;
}

ClientStatus FtpClient::ReadBlock(std::string_view name, std::uint32_t offset, std::uint32_t size,
                                  std::vector<std::uint8_t>& data, bool& more) {
  data.resize(size);
  std::uint32_t length = 0;
  const ClientStatus r = ReadBlock(name, offset, data, length, more);
  data.resize(r == ClientStatus::Ok ? length : 0);
  return r;
}

ClientStatus FtpClient::End() {
  const auto request = EncodeHeader(kTypeEndRequest);
  if (const ClientStatus r = SendRequest(request); r != ClientStatus::Ok) return r;
  std::uint32_t status = 0;
  if (const ClientStatus r = ReceiveReply(kTypeEndReply, status); r != ClientStatus::Ok) return r;
  if (status != kStatusOk) return Fail(ClientStatus::BadReply, "end reply status " + Hex(status));
  Close();
  return ClientStatus::Ok;
}

ClientStatus FtpClient::FetchFile(std::string_view name, std::uint32_t blockSize, const Sink& sink,
                                  std::uint32_t* pSize) {
  if (blockSize == 0) return Fail(ClientStatus::BadRequest, "block size 0");
  std::uint32_t size = 0;
  if (const ClientStatus r = RequestSize(name, size); r != ClientStatus::Ok) return r;
  if (pSize != nullptr) *pSize = size;
  // The pieces of a block go through a window that stays in the cache, however large the block.
  std::vector<std::uint8_t> window(std::min({blockSize, kWindowSize, std::max<std::uint32_t>(size, 1)}));
  std::uint64_t offset = 0;
  for (;;) {
    if (offset >= kSizeRequestOffset) return Fail(ClientStatus::BadReply, "file goes on past the 32-bit offsets");
    std::uint32_t length = 0;
    bool more = false;
    const auto at = static_cast<std::uint32_t>(offset);
    const auto most = static_cast<std::uint32_t>(std::min<std::uint64_t>(blockSize, size - offset));
    std::uint32_t piecesAt = at;
    const auto deliver = [&](std::span<const std::uint8_t> piece) {
      const bool taken = sink(piecesAt, piece);
      piecesAt += static_cast<std::uint32_t>(piece.size());
      return taken;
    };
    if (const ClientStatus r = ReceiveBlock(name, at, blockSize, most, window, deliver, length, more);
        r != ClientStatus::Ok)
      return r;
    if (more && (length == 0 || offset + length == size))
      return Fail(ClientStatus::BadReply, "end flag 1 at the end of the file");
    offset += length;
    if (!more) break;
  }
  if (offset != size) return Fail(ClientStatus::BadReply, "file ended after " + std::to_string(offset) + " of " + std::to_string(size) + " bytes");
  return ClientStatus::Ok;
}

}  // namespace kelpftp
