#include "plat/SyncPipe.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "plat/RuntimeDir.h"

namespace plat {
namespace {

constexpr int kBacklog = 4;

TimePoint DeadlineOf(std::optional<Millis> timeout) {
  return timeout ? Clock::Now() + *timeout : kNoDeadline;
}

sockaddr_un AddressOf(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.native().size());
  return address;
}

}  // namespace

const char* ToText(PipeStatus status) {
  switch (status) {
    case PipeStatus::Ok:
      return "Ok";
    case PipeStatus::Truncated:
      return "Truncated";
    case PipeStatus::Timeout:
      return "Timeout";
    case PipeStatus::NoServer:
      return "NoServer";
    case PipeStatus::InUse:
      return "InUse";
    case PipeStatus::Closed:
      return "Closed";
    case PipeStatus::Failed:
      return "Failed";
  }
  return "Unknown";
}

SyncPipe::~SyncPipe() { Close(); }

PipeStatus SyncPipe::Fail(PipeStatus status, std::string what, int error) {
  m_error = std::move(what);
  if (error != 0) m_error += ": " + std::system_category().message(error);
  return status;
}

PipeStatus SyncPipe::Locate(std::string_view name) {
  if (m_peerFd || m_listenFd)
    return Fail(PipeStatus::Failed, "pipe '" + m_path.string() + "' is already open");
  std::error_code ec;
  const std::filesystem::path dir = RuntimeDir(ec);
  if (ec)
    return Fail(PipeStatus::Failed, "runtime dir '" + dir.string() + "' unusable", ec.value());
  m_path = dir / EscapeObjectName(name);
  if (m_path.native().size() >= sizeof(sockaddr_un{}.sun_path))
    return Fail(PipeStatus::Failed, "pipe path '" + m_path.string() + "' is too long for a socket");
  return PipeStatus::Ok;
}

PipeStatus SyncPipe::Create(std::string_view name) {
  if (const PipeStatus located = Locate(name); located != PipeStatus::Ok) return located;
  const std::string lockFile = m_path.string() + ".pipelock";
  m_lockFd.Reset(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!m_lockFd) return Fail(PipeStatus::Failed, "cannot open '" + lockFile + "'", errno);
  if (::flock(m_lockFd.Get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    m_lockFd.Reset();
    if (error == EWOULDBLOCK)
      return Fail(PipeStatus::InUse, "another server holds pipe '" + m_path.string() + "'");
    return Fail(PipeStatus::Failed, "cannot lock '" + lockFile + "'", error);
  }
  // Holding the name, any socket file left here belongs to a server that died.
  if (::unlink(m_path.c_str()) != 0 && errno != ENOENT) {
    const int error = errno;
    m_lockFd.Reset();
    return Fail(PipeStatus::Failed, "cannot remove stale '" + m_path.string() + "'", error);
  }
  m_listenFd.Reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  const sockaddr_un address = AddressOf(m_path);
  if (!m_listenFd ||
      ::bind(m_listenFd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_listenFd.Get(), kBacklog) != 0) {
    const int error = errno;
    Close();
    return Fail(PipeStatus::Failed, "cannot create pipe '" + m_path.string() + "'", error);
  }
  return PipeStatus::Ok;
}

PipeStatus SyncPipe::Accept(std::optional<Millis> timeout) {
  if (!m_listenFd) return Fail(PipeStatus::Failed, "pipe not created");
  m_peerFd.Reset();
  const WaitResult wait = WaitReadable(m_listenFd.Get(), DeadlineOf(timeout));
  const int waitError = errno;
  if (wait == WaitResult::Timeout) return Fail(PipeStatus::Timeout, "no client connected in time");
  if (wait == WaitResult::Failed)
    return Fail(PipeStatus::Failed, "waiting on '" + m_path.string() + "' failed", waitError);
  do {
    m_peerFd.Reset(::accept4(m_listenFd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
  } while (!m_peerFd && errno == EINTR);
  if (!m_peerFd)
    return Fail(PipeStatus::Failed, "accept on '" + m_path.string() + "' failed", errno);
  return PipeStatus::Ok;
}

PipeStatus SyncPipe::Connect(std::string_view name) {
  if (const PipeStatus located = Locate(name); located != PipeStatus::Ok) return located;
  m_peerFd.Reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  if (!m_peerFd) return Fail(PipeStatus::Failed, "cannot create socket", errno);
  const sockaddr_un address = AddressOf(m_path);
  int rc;
  do {
    rc = ::connect(m_peerFd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int error = errno;
    m_peerFd.Reset();
    const bool absent = error == ENOENT || error == ECONNREFUSED;
    return Fail(absent ? PipeStatus::NoServer : PipeStatus::Failed,
                "cannot connect to '" + m_path.string() + "'", error);
  }
  return PipeStatus::Ok;
}

PipeStatus SyncPipe::Write(std::string_view message) {
  if (!m_peerFd) return Fail(PipeStatus::Failed, "pipe not connected");
  // A zero-length message would read as the peer closing.
  if (message.empty()) return Fail(PipeStatus::Failed, "empty message");
  ssize_t n;
  do {
    n = ::send(m_peerFd.Get(), message.data(), message.size(), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    const int error = errno;
    const bool gone = error == EPIPE || error == ECONNRESET || error == ENOTCONN;
    return Fail(gone ? PipeStatus::Closed : PipeStatus::Failed,
                "write to '" + m_path.string() + "' failed", error);
  }
  return PipeStatus::Ok;
}

PipeStatus SyncPipe::Read(std::string& message, std::size_t maxBytes,
                          std::optional<Millis> timeout) {
  message.clear();
  if (!m_peerFd) return Fail(PipeStatus::Failed, "pipe not connected");
  const WaitResult wait = WaitReadable(m_peerFd.Get(), DeadlineOf(timeout));
  const int waitError = errno;
  if (wait == WaitResult::Timeout) return Fail(PipeStatus::Timeout, "no message in time");
  if (wait == WaitResult::Failed)
    return Fail(PipeStatus::Failed, "waiting on '" + m_path.string() + "' failed", waitError);
  std::string buffer(maxBytes, '\0');
  iovec part{buffer.data(), buffer.size()};
  msghdr header{};
  header.msg_iov = &part;
  header.msg_iovlen = 1;
  ssize_t n;
  do {
    n = ::recvmsg(m_peerFd.Get(), &header, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    const int error = errno;
    return Fail(error == ECONNRESET ? PipeStatus::Closed : PipeStatus::Failed,
                "read from '" + m_path.string() + "' failed", error);
  }
  const bool truncated = (header.msg_flags & MSG_TRUNC) != 0;
  if (n == 0 && !truncated)
    return Fail(PipeStatus::Closed, "peer closed '" + m_path.string() + "'");
  buffer.resize(static_cast<std::size_t>(n));
  message = std::move(buffer);
  return truncated ? PipeStatus::Truncated : PipeStatus::Ok;
}

void SyncPipe::Close() {
  m_peerFd.Reset();
  if (m_listenFd) {
    // Remove the file while still holding the name, so a new server never sees it half gone.
    ::unlink(m_path.c_str());
    m_listenFd.Reset();
  }
  m_lockFd.Reset();
}

}  // namespace plat
