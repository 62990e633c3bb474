#include "CusrClient.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <span>
#include <system_error>
#include <utility>

#include "SocketIo.h"
#include "common/CusrTraceScope.h"
#include "plat/Socket.h"

using namespace kelpftp;

CusrClient::~CusrClient() {
  Join();
  ClostSocket();
}

bool CusrClient::Launch(int fd, std::function<void()> body) {
  Join();
  {
    std::lock_guard lock(m_fdMutex);
    m_fd = fd;
  }
  try {
    m_thread = std::thread(std::move(body));
    return true;
  } catch (const std::system_error& e) {
    CusrTraceScope scope("CusrClient", "Launch", TRC_FUNC);
    scope.Error(TraceFmt("thread start failed: %s", e.what()), TRC_ERROR);
    ClostSocket();
    return false;
  }
}

void CusrClient::Join() {
  if (m_thread.joinable()) m_thread.join();
}

void CusrClient::Abort() {
  std::lock_guard lock(m_fdMutex);
  if (m_fd >= 0) ::shutdown(m_fd, SHUT_RDWR);
}

std::uint32_t CusrClient::RecvMessage(std::uint8_t* pBuffer, std::size_t length, int nTimeoutSeconds) {
  CusrTraceScope scope("CusrClient", "RecvMessage", TRC_DEBUG);
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::recv(m_fd, pBuffer + got, length - got, MSG_DONTWAIT);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const plat::WaitResult wait =
          plat::WaitReadable(m_fd, plat::Clock::Now() + plat::Millis(nTimeoutSeconds * 1000LL));
      if (wait == plat::WaitResult::Timeout) {
        scope.Error("select() timeout", TRC_ERROR);
        return kTimeout;
      }
      if (wait == plat::WaitResult::Failed) {
        scope.Error(TraceFmt("select() code=%d", errno), TRC_ERROR);
        return kError;
      }
      continue;
    }
    scope.Error(TraceFmt("recv() code=%d", n == 0 ? 0 : errno), TRC_ERROR);
    return kError;
  }
  return kOk;
}

std::uint32_t CusrClient::SendMessage(const std::uint8_t* pData, std::size_t length) {
  CusrTraceScope scope("CusrClient", "SendMessage", TRC_DEBUG);
  if (plat::SendAll(m_fd, std::span(pData, length))) return kOk;
  scope.Error(TraceFmt("send() code=%d", errno), TRC_ERROR);
  return kError;
}

std::uint32_t CusrClient::RecvHeader(std::uint32_t& type) {
  CusrTraceScope scope("CusrClient", "RecvHeader", TRC_DEBUG);
  std::array<std::uint8_t, kHeaderSize> bytes;
  if (const std::uint32_t r = RecvMessage(bytes.data(), bytes.size(), kRecvTimeoutSeconds)) return r;
  const Header header = DecodeHeader(bytes);
  switch (CheckHeader(header)) {
    case HeaderCheck::BadMagic:
      scope.Error(TraceFmt("header : |%s|", MagicText(header.magic).c_str()), TRC_ERROR);
      return kBadHeader;
    case HeaderCheck::BadVersion:
      scope.Error(TraceFmt("version : 0x%08x", header.version), TRC_ERROR);
      return kBadHeader;
    case HeaderCheck::Ok:
      break;
  }
  type = header.type;
  return kOk;
}

std::uint32_t CusrClient::RecvBody(FileRequest& request) {
  CusrTraceScope scope("CusrClient", "RecvBody", TRC_DEBUG);
  std::array<std::uint8_t, kRequestBodySize> bytes;
  if (const std::uint32_t r = RecvMessage(bytes.data(), bytes.size(), kRecvTimeoutSeconds)) return r;
  request = DecodeRequestBody(bytes);
  if (TraceOn(TRC_DEBUG)) {
    scope.Debug(TraceFmt("filename = |%s|", Printable(request.name).c_str()), TRC_DEBUG);
    scope.Debug(TraceFmt("offset   = %d", static_cast<int>(request.offset)), TRC_DEBUG);
    scope.Debug(TraceFmt("size     = %d", static_cast<int>(request.size)), TRC_DEBUG);
  }
  return kOk;
}

std::uint32_t CusrClient::ReplyFileSize(std::uint32_t size) {
  const auto bytes = EncodeLengthReply(size);
  return SendMessage(bytes.data(), bytes.size());
}

std::uint32_t CusrClient::ReplyFileData(const FileBlock& block) {
  CusrTraceScope scope("CusrClient", "ReplyFileData", TRC_DEBUG);
  const auto head = EncodeLengthReply(block.length);
  const Trailer trailer = EncodeDataTrailer(block.length, block.more);
  const kelpftpd::Cork cork(m_fd);
  if (!plat::SendAll(m_fd, head)) {
    scope.Error(TraceFmt("send() code=%d", errno), TRC_ERROR);
    return kError;
  }
  if (!kelpftpd::SendFileAll(m_fd, block.file.Get(), block.offset, block.length)) {
    scope.Error(TraceFmt("sendfile() code=%d", errno), TRC_ERROR);
    return kError;
  }
  if (!plat::SendAll(m_fd, std::span(trailer.bytes.data(), trailer.size))) {
    scope.Error(TraceFmt("send() code=%d", errno), TRC_ERROR);
    return kError;
  }
  return kOk;
}

std::uint32_t CusrClient::ReplyShutdown() {
  const auto bytes = EncodeReply(kTypeEndReply, kStatusOk);
  return SendMessage(bytes.data(), bytes.size());
}

std::uint32_t CusrClient::ReplyError(std::uint32_t type, std::uint32_t status) {
  const auto bytes = EncodeReply(type, status);
  return SendMessage(bytes.data(), bytes.size());
}

void CusrClient::ClostSocket() {
  std::lock_guard lock(m_fdMutex);
  if (m_fd < 0) return;
  CusrTraceScope scope("CusrClient", "ClostSocket", TRC_FUNC);
  if (::shutdown(m_fd, SHUT_RDWR) != 0 && errno != ENOTCONN)
    scope.Error(TraceFmt("shotdown() : WSAGetLastError = %d", errno), TRC_ERROR);
  if (::close(m_fd) != 0) scope.Error(TraceFmt("closesocket() : WSAGetLastError = %d", errno), TRC_ERROR);
  m_fd = -1;
}
