#include "CusrConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

#include "CusrService.h"
#include "CusrSession.h"
#include "SocketStream.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "kelpftp/FtpProtocol.h"
#include "plat/Socket.h"

using namespace kelpftp;

namespace {

std::string WordText(const std::uint8_t* p) {
  return TraceFmt("|0x%02x%02x%02x%02x|", p[0], p[1], p[2], p[3]);
}

// Accept errors that concern only the connection that was pending, not the listening socket.
bool IsTransientAcceptError(int error) {
  return error == EINTR || error == EAGAIN || error == EWOULDBLOCK || error == ECONNABORTED || error == EPROTO ||
         error == EPERM;
}

}  // namespace

CusrConnection::CusrConnection(CusrSession& session, CusrService& service)
    : m_session(session), m_service(service) {}

std::uint32_t CusrConnection::Initialize(std::uint32_t address, std::uint16_t port) {
  CusrTraceScope scope("CusrConnection", "Initialize", TRC_FUNC);
  m_listen.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!m_listen) {
    scope.Error(TraceFmt("socket code=%d", errno), TRC_ERROR);
    return kSocketError;
  }
  const int on = 1;
  if (::setsockopt(m_listen.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    scope.Error(TraceFmt("setsockopt(SO_REUSEADDR) code=%d", errno), TRC_ERROR);
    return kSocketError;
  }
  const int sendBuffer = kSendBufferSize;
  if (::setsockopt(m_listen.Get(), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer) != 0) {
    scope.Error(TraceFmt("setsockopt(SO_SNDBUF) code=%d", errno), TRC_ERROR);
    return kSocketError;
  }
  scope.Info(TraceFmt("SVP IP:%s, Port: %u", common::AddressText(address).c_str(), port), TRC_INFO);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  if (::bind(m_listen.Get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    scope.Error(TraceFmt("bint cond=%d", errno), TRC_ERROR);
    return kSocketError;
  }
  if (::listen(m_listen.Get(), kBacklog) != 0) {
    scope.Error(TraceFmt("listen() code=%d", errno), TRC_ERROR);
    return kSocketError;
  }
  return kOk;
}

std::uint32_t CusrConnection::Fail(const CusrTraceScope& scope, const char* pszCall, int error) {
  scope.Error(TraceFmt("%s code=%d", pszCall, error), TRC_ERROR);
  scope.Error(ShowMessage(msg::kCommunication, common::CodeText(static_cast<unsigned>(error))), TRC_ERROR);
  m_session.CloseAll();
  return kSocketError;
}

bool CusrConnection::SetupToolEnded() {
  // A mutex that cannot be used at all cannot tell that the setup tool runs: end rather than
  // serve on unwatched.
  const plat::LockResult r = m_setupTool.Lock(kMutexWait);
  if (r == plat::LockResult::Timeout) return false;
  if (r == plat::LockResult::Acquired || r == plat::LockResult::Abandoned) m_setupTool.Unlock();
  return true;
}

std::uint32_t CusrConnection::Run() {
  CusrTraceScope scope("CusrConnection", "Run", TRC_FUNC);
  if (!m_listen) return Fail(scope, "listen()", EBADF);
  for (;;) {
    const plat::WaitResult wait = plat::WaitReadable(m_listen.Get(), plat::Clock::Now() + kAcceptWait);
    if (wait == plat::WaitResult::Failed) return Fail(scope, "select()", errno);
    if (wait == plat::WaitResult::Timeout) {
      if (SetupToolEnded()) {
        scope.Info("kelpconf has ended", TRC_INFO);
        m_session.CloseAll();
        return kOk;
      }
      continue;
    }

    CusrClient* pClient = m_session.Increment();
    if (pClient != nullptr) {
      scope.Info("Incriment() is successfull", TRC_INFO);
    } else {
      scope.Warn(TraceFmt("SessionLimit Over : %d", static_cast<int>(m_session.Limit())), TRC_WARN);
      scope.Warn("Can't get CusrClient object", TRC_WARN);
    }
    sockaddr_in peer{};
    socklen_t peerLen = sizeof peer;
    plat::UniqueFd fd(::accept4(m_listen.Get(), reinterpret_cast<sockaddr*>(&peer), &peerLen, SOCK_CLOEXEC));
    if (!fd) {
      const int error = errno;
      m_session.Decrement(pClient);
      if (IsTransientAcceptError(error)) continue;
      return Fail(scope, "accept()", error);
    }
    char szPeer[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &peer.sin_addr, szPeer, sizeof szPeer);
    scope.Info(TraceFmt("accept() ok: client IP address is %s, port is %d", szPeer, ntohs(peer.sin_port)), TRC_INFO);

    // Replies are coalesced into one send each, so nothing is gained by delaying small segments.
    const int on = 1;
    ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    plat::SetSendTimeout(fd.Get(), kSendTimeout);

    const auto greeting = EncodeReply(kTypeGreeting, pClient != nullptr ? kGreetingServed : kGreetingRefused);
    if (TraceOn(TRC_DETAIL)) {
      scope.Call(TraceFmt("SendMess: Header  = |%16.16s|", MagicText(std::span(greeting).first<kMagicSize>()).c_str()),
                 TRC_DETAIL);
      scope.Call("SendMess: Version = " + WordText(greeting.data() + 16), TRC_DETAIL);
      scope.Call("SendMess: Type    = " + WordText(greeting.data() + 20), TRC_DETAIL);
      scope.Call("SendMess: Status  = " + WordText(greeting.data() + 24), TRC_DETAIL);
    }
    if (!plat::SendAll(fd.Get(), greeting)) {
      // The board is gone before its greeting: only this connection ends.
      scope.Error(TraceFmt("send() code=%d", errno), TRC_ERROR);
      m_session.Decrement(pClient);
      continue;
    }

    if (pClient != nullptr) {
      if (!pClient->Launch(std::make_unique<SocketStream>(fd.Release()),
                           [this, pClient] { m_service.StartService(*pClient); }))
        m_session.Decrement(pClient);
    } else {
      ::shutdown(fd.Get(), SHUT_WR);
      ::shutdown(fd.Get(), SHUT_RDWR);
    }
  }
}
