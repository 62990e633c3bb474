#include "agent/CusrNasManager.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "agent/AgentCodes.h"
#include "agent/FailureCause.h"
#include "agent/Pack.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "common/TraceLine.h"
#include "plat/Clock.h"
#include "plat/Socket.h"

using namespace agent;

namespace {

constexpr const char* kClass = "CusrNasManager";
constexpr const char* kCodeProtocol = "0x00000005";

std::mutex g_nameMutex;
std::function<std::string(std::uint32_t)> g_nameProvider;
thread_local FailureCause* t_cause = nullptr;

// The trace line, the box (unless quiet), and the cause in plain words (the trace text when
// none is given).
void Fail(bool bQuiet, const std::string& text, std::uint32_t ulMessageId, const std::string& argument,
          const std::string& cause = {}) {
  FailureCause::Note(cause.empty() ? text : cause);
  common::TraceLine(TRC_ERROR, text);
  if (!bQuiet) common::TraceLine(TRC_ERROR, ShowMessage(ulMessageId, argument));
}

// What poll() returned for a wait on one socket, as the trace shows it.
int PollCount(plat::WaitResult wait) {
  if (wait == plat::WaitResult::Ready) return 1;
  return wait == plat::WaitResult::Timeout ? 0 : -1;
}

std::uint32_t Connect(const CusrNasManager& manager, int* pSocket, bool bQuiet) {
  CusrTraceScope trace(kClass, bQuiet ? "InitializeSocketEx" : "InitializeSocket", TRC_FUNC);
  *pSocket = CusrNasManager::INVALID_SOCKET;
  trace.Call("socket()", TRC_DETAIL);
  plat::UniqueFd guard(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int fd = guard.Get();
  trace.Return(TraceFmt("socket() = %d", fd), TRC_DETAIL);
  if (fd < 0) {
    const int socketError = errno;
    Fail(bQuiet, TraceFmt("Error socket(): %d", socketError), msg::kCommunication, kCodeProtocol,
         std::string("cannot create a socket: ") + std::strerror(socketError));
    return kResultProtocol;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  trace.Call("bind()", TRC_DETAIL);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
  const int bindError = errno;
  trace.Return(TraceFmt("bind() = %d", bound), TRC_DETAIL);
  if (bound != 0) {
    Fail(bQuiet, TraceFmt("bind error, WSAGetLastError() = %d", bindError), msg::kCommunication, kCodeProtocol,
         std::string("cannot bind a socket: ") + std::strerror(bindError));
    return kResultProtocol;
  }
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  std::memcpy(&remote.sin_addr.s_addr, manager.IPAddress(), 4);
  remote.sin_port = htons(manager.Port());
  trace.Info(TraceFmt("Manager IP(%s), Port(%d)", common::AddressText(manager.IPAddress()).c_str(), manager.Port()),
             TRC_INFO);
  trace.Call("connect()", TRC_DETAIL);
  int connected;
  do {
    connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
  } while (connected != 0 && errno == EINTR);
  const int connectError = errno;
  trace.Return(TraceFmt("connect() = %d", connected), TRC_DETAIL);
  if (connected != 0) {
    Fail(bQuiet, TraceFmt("connect() error, WSAGetLastError() = %d", connectError), msg::kCommunication,
         kCodeProtocol,
         TraceFmt("cannot connect to %s:%d: %s", common::AddressText(manager.IPAddress()).c_str(), manager.Port(),
                  std::strerror(connectError)));
    return kResultProtocol;
  }
  *pSocket = guard.Release();
  return kResultOk;
}

std::uint32_t SendAll(int nSocket, const std::uint8_t* pBuffer, std::size_t nLength, bool bQuiet) {
  CusrTraceScope trace(kClass, bQuiet ? "SendMessageEx" : "SendMessage", TRC_FUNC);
  std::size_t sent = 0;
  while (sent < nLength) {
    trace.Call(TraceFmt("send(%zu)", nLength - sent), TRC_DETAIL);
    const ssize_t n = ::send(nSocket, pBuffer + sent, nLength - sent, MSG_NOSIGNAL);
    const int error = errno;
    trace.Return(TraceFmt("send() = %zd", n), TRC_DETAIL);
    if (n < 0 && error == EINTR) continue;
    if (n <= 0) {
      Fail(bQuiet, TraceFmt("send() code=%d", n < 0 ? error : 0), msg::kCommunication, kCodeProtocol,
           n < 0 ? std::string("sending to the board failed: ") + std::strerror(error) : "the board took no bytes");
      return kResultProtocol;
    }
    sent += static_cast<std::size_t>(n);
  }
  return kResultOk;
}

// The non-quiet receive also wakes on an exception (error or urgent data without data to read).
std::uint32_t RecvAll(int nSocket, std::uint8_t* pBuffer, std::size_t nLength, std::uint32_t ulTimeoutSec,
                      bool bQuiet) {
  CusrTraceScope trace(kClass, bQuiet ? "RecvMessageEx" : "RecvMessage", TRC_FUNC);
  const short events = bQuiet ? POLLIN : (POLLIN | POLLPRI);
  std::size_t got = 0;
  while (got < nLength) {
    const plat::TimePoint deadline = plat::Clock::Now() + std::chrono::seconds(ulTimeoutSec);
    short revents = 0;
    trace.Call("select()", TRC_DETAIL);
    const plat::WaitResult wait = plat::WaitEvents(nSocket, events, deadline, -1, &revents);
    const int pollError = errno;
    trace.Return(TraceFmt("select() = %d", PollCount(wait)), TRC_DETAIL);
    if (wait == plat::WaitResult::Failed) {
      Fail(bQuiet, TraceFmt("select() code=%d", pollError), msg::kCommunication, kCodeProtocol,
           std::string("waiting for the board failed: ") + std::strerror(pollError));
      return kResultProtocol;
    }
    if (wait == plat::WaitResult::Timeout) {
      Fail(bQuiet, "select() timeout", msg::kTimeout, common::CodeText(kResultTimeout),
           TraceFmt("no reply within %u s", ulTimeoutSec));
      return kResultTimeout;
    }
    if (!bQuiet && (revents & (POLLIN | POLLHUP)) == 0) {
      Fail(bQuiet, TraceFmt("select() exception, revents=0x%x", revents), msg::kCommunication, kCodeProtocol,
           "the connection to the board signalled an error");
      return kResultProtocol;
    }
    trace.Call(TraceFmt("recv(%zu)", nLength - got), TRC_DETAIL);
    const ssize_t n = ::recv(nSocket, pBuffer + got, nLength - got, 0);
    const int recvError = errno;
    trace.Return(TraceFmt("recv() = %zd", n), TRC_DETAIL);
    if (n < 0 && recvError == EINTR) continue;
    if (n <= 0) {
      Fail(bQuiet, TraceFmt("recv() code=%d", n < 0 ? recvError : 0), msg::kCommunication, kCodeProtocol,
           n < 0 ? std::string("receiving from the board failed: ") + std::strerror(recvError)
                 : "connection closed by the board");
      return kResultProtocol;
    }
    got += static_cast<std::size_t>(n);
  }
  return kResultOk;
}

std::uint32_t ReceiveHeader(const CusrNasManager& manager, int nSocket, std::uint32_t ulProtoVer,
                            std::uint32_t ulMsgType, std::uint32_t* pulMsgSize, bool bQuiet) {
  CusrTraceScope trace(kClass, bQuiet ? "RecvHeaderEx" : "RecvHeader", TRC_FUNC);
  std::uint8_t bytes[kHeaderSize];
  const std::uint32_t ulResult = bQuiet ? manager.RecvMessageEx(nSocket, bytes, sizeof bytes, kReplyTimeoutSec)
                                        : manager.RecvMessage(nSocket, bytes, sizeof bytes, kReplyTimeoutSec);
  if (ulResult != kResultOk) return ulResult;
  ReplyHeader header;
  DecodeHeader(bytes, &header);
  if (!IsMagic(header.magic) || header.protoVer != ulProtoVer || header.msgType != ulMsgType) {
    Fail(bQuiet,
         TraceFmt("Invalid Message, Hesder(%s), ProtoVer(0x%08x), MsgType(0x%08x)", header.magic.c_str(),
                  header.protoVer, header.msgType),
         msg::kCommunication, kCodeProtocol);
    return kResultProtocol;
  }
  *pulMsgSize = header.msgSize;
  trace.Info(TraceFmt("MsgType = 0x%08x, MsgSize = %u", header.msgType, header.msgSize), TRC_INFO);
  return kResultOk;
}

}  // namespace

FailureCause::FailureCause() : m_previous(t_cause) { t_cause = this; }

FailureCause::~FailureCause() { t_cause = m_previous; }

void FailureCause::Note(std::string_view cause) {
  if (t_cause != nullptr && t_cause->m_text.empty()) t_cause->m_text = cause;
}

CusrNasManager::CusrNasManager(const std::uint8_t* pucIPAddress, const std::uint8_t* pucSubnetMask,
                               std::uint32_t ulPort, std::uint32_t ulIndex)
    : m_ulPort(ulPort), m_ulIndex(ulIndex) {
  CusrTraceScope trace(kClass, "CusrNasManager", TRC_FUNC);
  std::memcpy(m_ucIPAddress, pucIPAddress, sizeof m_ucIPAddress);
  std::memcpy(m_ucSubnetMask, pucSubnetMask, sizeof m_ucSubnetMask);
  trace.Info("IP Address = " + common::AddressText(m_ucIPAddress), TRC_INFO);
  trace.Info("SubnetMask = " + common::AddressText(m_ucSubnetMask), TRC_INFO);
  trace.Info(TraceFmt("TCP port   = %u", m_ulPort), TRC_INFO);
}

void CusrNasManager::SetBoardNameProvider(std::function<std::string(std::uint32_t)> provider) {
  std::lock_guard lock(g_nameMutex);
  g_nameProvider = std::move(provider);
}

std::string CusrNasManager::BoardName() const {
  std::function<std::string(std::uint32_t)> provider;
  {
    std::lock_guard lock(g_nameMutex);
    provider = g_nameProvider;
  }
  return provider ? provider(m_ulIndex) : "CHN-" + std::to_string(m_ulIndex);
}

std::uint32_t CusrNasManager::InitializeSocket(int* pSocket) const { return Connect(*this, pSocket, false); }

std::uint32_t CusrNasManager::InitializeSocketEx(int* pSocket) const { return Connect(*this, pSocket, true); }

std::uint32_t CusrNasManager::CloseSocket(int nSocket) const {
  CusrTraceScope trace(kClass, "CloseSocket", TRC_FUNC);
  std::uint32_t ulResult = kResultOk;
  trace.Call("shutdown()", TRC_DETAIL);
  const int down = ::shutdown(nSocket, SHUT_RDWR);
  const int downError = errno;
  trace.Return(TraceFmt("shutdown() = %d", down), TRC_DETAIL);
  if (down != 0) {
    trace.Error(TraceFmt("shotdown() : WSAGetLastError = %d", downError), TRC_ERROR);
    ulResult = kResultProtocol;
  }
  // Closed even after a failed shutdown: the caller never retries, so the descriptor would leak.
  trace.Call("closesocket()", TRC_DETAIL);
  const int closed = ::close(nSocket);
  const int closeError = errno;
  trace.Return(TraceFmt("closesocket() = %d", closed), TRC_DETAIL);
  if (closed != 0) {
    trace.Error(TraceFmt("closesocket() : WSAGetLastError = %d", closeError), TRC_ERROR);
    ulResult = kResultProtocol;
  }
  return ulResult;
}

std::uint32_t CusrNasManager::SendMessage(int nSocket, const std::uint8_t* pBuffer, std::size_t nLength) const {
  return SendAll(nSocket, pBuffer, nLength, false);
}

std::uint32_t CusrNasManager::SendMessageEx(int nSocket, const std::uint8_t* pBuffer, std::size_t nLength) const {
  return SendAll(nSocket, pBuffer, nLength, true);
}

std::uint32_t CusrNasManager::RecvMessage(int nSocket, std::uint8_t* pBuffer, std::size_t nLength,
                                          std::uint32_t ulTimeoutSec) const {
  return RecvAll(nSocket, pBuffer, nLength, ulTimeoutSec, false);
}

std::uint32_t CusrNasManager::RecvMessageEx(int nSocket, std::uint8_t* pBuffer, std::size_t nLength,
                                            std::uint32_t ulTimeoutSec) const {
  return RecvAll(nSocket, pBuffer, nLength, ulTimeoutSec, true);
}

std::uint32_t CusrNasManager::SendHeader(int nSocket, std::uint32_t ulProtoVer, std::uint32_t ulMsgType,
                                         std::uint32_t ulMsgSize, std::uint32_t ulCommand) const {
  CusrTraceScope trace(kClass, "SendHeader", TRC_FUNC);
  std::vector<std::uint8_t> header;
  try {
    header.reserve(kHeaderSize + 4);
  } catch (const std::bad_alloc&) {
    Fail(false, TraceFmt("Can't allocate memory : %zu", kHeaderSize + 4), msg::kNoMemory, std::to_string(kHeaderSize + 4));
    return kResultNoMemory;
  }
  Pack(header, "S(16)llll", {kMagic, ulProtoVer, ulMsgType, ulMsgSize, ulCommand});
  return SendMessage(nSocket, header.data(), header.size());
}

std::uint32_t CusrNasManager::RecvHeader(int nSocket, std::uint32_t ulProtoVer, std::uint32_t ulMsgType,
                                         std::uint32_t* pulMsgSize) const {
  return ReceiveHeader(*this, nSocket, ulProtoVer, ulMsgType, pulMsgSize, false);
}

std::uint32_t CusrNasManager::RecvHeaderEx(int nSocket, std::uint32_t ulProtoVer, std::uint32_t ulMsgType,
                                           std::uint32_t* pulMsgSize) const {
  return ReceiveHeader(*this, nSocket, ulProtoVer, ulMsgType, pulMsgSize, true);
}

std::uint32_t CusrNasManager::CheckProtocol(const std::string& strMagic, std::uint32_t ulProtoVer,
                                            std::uint32_t ulMsgType, std::uint32_t ulExpectedMsgType) const {
  CusrTraceScope trace(kClass, "CheckProtocol", TRC_FUNC);
  if (!IsMagic(strMagic)) return ProtocolError(TraceFmt("Invalid header : %s", strMagic.c_str()).c_str());
  if (ulProtoVer != kOlderProtoVer)
    return ProtocolError(TraceFmt("Invalid version : 0x%08x", ulProtoVer).c_str());
  if (ulMsgType != ulExpectedMsgType)
    return ProtocolError(
        TraceFmt("Invalid message : req(0x%08x), recv(0x%08x)", ulExpectedMsgType, ulMsgType).c_str());
  return kResultOk;
}

std::uint32_t CusrNasManager::GetMsgFormat(std::uint32_t ulCode, std::uint32_t* pulMessageId) {
  *pulMessageId = AgentCodeMessage(CodeScope::AnyReply, ulCode);
  return *pulMessageId;
}

std::uint32_t CusrNasManager::ReceiveBody(int nSocket, std::uint32_t ulMsgSize, std::vector<std::uint8_t>* pBody,
                                          bool bQuiet) const {
  CusrTraceScope trace(kClass, "ReceiveBody", TRC_FUNC);
  if (ulMsgSize > kMaxMsgSize) {
    Fail(bQuiet, TraceFmt("Invalid MsgSize = %u", ulMsgSize), msg::kCommunication, kCodeProtocol);
    return kResultProtocol;
  }
  try {
    pBody->assign(ulMsgSize, 0);
  } catch (const std::bad_alloc&) {
    Fail(bQuiet, TraceFmt("memory error size of %u", ulMsgSize), msg::kNoMemory, std::to_string(ulMsgSize));
    return kResultNoMemory;
  }
  return bQuiet ? RecvMessageEx(nSocket, pBody->data(), pBody->size(), kReplyTimeoutSec)
                : RecvMessage(nSocket, pBody->data(), pBody->size(), kReplyTimeoutSec);
}

std::uint32_t CusrNasManager::ReceiveBodyPrefix(int nSocket, std::uint32_t ulMsgSize, std::vector<std::uint8_t>* pBody,
                                                BodyPrefix* pPrefix, bool bQuiet) const {
  if (const std::uint32_t ulResult = ReceiveBody(nSocket, ulMsgSize, pBody, bQuiet); ulResult != kResultOk)
    return ulResult;
  if (DecodeBodyPrefix(*pBody, pPrefix) != Decode::Ok) {
    Fail(bQuiet, TraceFmt("Invalid Data size : %zu", pBody->size()), msg::kCommunication, kCodeProtocol);
    return kResultProtocol;
  }
  common::TraceLineFmt(TRC_INFO, "DataType = 0x%08x, Result = 0x%08x", pPrefix->dataType, pPrefix->result);
  return kResultOk;
}

std::uint32_t CusrNasManager::ReceiveReply(int nSocket, Exchange id, std::uint32_t ulMsgSize,
                                           std::vector<std::uint8_t>* pBody, BodyPrefix* pPrefix, bool bQuiet) const {
  if (const std::uint32_t ulResult = ReceiveBodyPrefix(nSocket, ulMsgSize, pBody, pPrefix, bQuiet);
      ulResult != kResultOk)
    return ulResult;
  if (pPrefix->dataType != ReplyDataType(id)) {
    Fail(bQuiet, "Invalid Data Type", msg::kCommunication, kCodeProtocol);
    return kResultProtocol;
  }
  return kResultOk;
}

std::uint32_t CusrNasManager::RecvReplyHeader(int nSocket, Exchange id, std::uint32_t ulTimeoutSec, bool bQuiet,
                                              std::uint32_t* pulMsgSize) const {
  const ExchangeInfo& info = Info(id);
  if (info.protoVer != kOlderProtoVer)
    return bQuiet ? RecvHeaderEx(nSocket, info.protoVer, info.msgType, pulMsgSize)
                  : RecvHeader(nSocket, info.protoVer, info.msgType, pulMsgSize);
  std::uint8_t bytes[kHeaderSize];
  if (const std::uint32_t ulResult = RecvMessage(nSocket, bytes, sizeof bytes, ulTimeoutSec); ulResult != kResultOk)
    return ulResult;
  ReplyHeader header;
  DecodeHeader(bytes, &header);
  if (const std::uint32_t ulResult = CheckProtocol(header.magic, header.protoVer, header.msgType, info.msgType);
      ulResult != kResultOk)
    return ulResult;
  *pulMsgSize = header.msgSize;
  common::TraceLineFmt(TRC_INFO, "MsgType = 0x%08x, MsgSize = %u", header.msgType, header.msgSize);
  return kResultOk;
}

std::uint32_t CusrNasManager::ReceiveHeaderAndPrefix(int nSocket, Exchange id, std::uint32_t ulTimeoutSec,
                                                     std::vector<std::uint8_t>* pBody, BodyPrefix* pPrefix) const {
  std::uint32_t ulMsgSize = 0;
  if (const std::uint32_t ulResult = RecvReplyHeader(nSocket, id, ulTimeoutSec, false, &ulMsgSize);
      ulResult != kResultOk)
    return ulResult;
  return ReceiveBodyPrefix(nSocket, ulMsgSize, pBody, pPrefix, false);
}

std::uint32_t CusrNasManager::ReceiveWholeReply(int nSocket, Exchange id, bool bQuiet, std::vector<std::uint8_t>* pBody,
                                                BodyPrefix* pPrefix) const {
  std::uint32_t ulMsgSize = 0;
  if (const std::uint32_t ulResult = RecvReplyHeader(nSocket, id, kReplyTimeoutSec, bQuiet, &ulMsgSize);
      ulResult != kResultOk)
    return ulResult;
  return ReceiveReply(nSocket, id, ulMsgSize, pBody, pPrefix, bQuiet);
}

std::uint32_t CusrNasManager::SendRequest(int nSocket, const std::vector<std::uint8_t>& request, bool bQuiet) const {
  if (request.size() < kHeaderSize + 4) {
    Fail(bQuiet, TraceFmt("Can't allocate memory : %zu", request.size()), msg::kNoMemory,
         std::to_string(request.size()));
    return kResultNoMemory;
  }
  if (TraceOn(TRC_DEBUG)) {
    ReplyHeader header;
    DecodeHeader(request, &header);
    if (header.msgSize >= 8) common::TraceLineFmt(TRC_DEBUG, "DataSize = %u", header.msgSize - 8);
    common::TraceLineFmt(TRC_DEBUG, "MsgSize = %u", header.msgSize);
    common::TraceLineFmt(TRC_DEBUG, "SendSize = %zu", request.size());
  }
  return bQuiet ? SendMessageEx(nSocket, request.data(), request.size())
                : SendMessage(nSocket, request.data(), request.size());
}

std::uint32_t CusrNasManager::ProtocolError(const char* pszTrace) {
  FailureCause::Note(pszTrace != nullptr ? pszTrace : "protocol error");
  if (pszTrace != nullptr) common::TraceLine(TRC_ERROR, pszTrace);
  common::TraceLine(TRC_ERROR, ShowMessage(msg::kCommunication, kCodeProtocol));
  return kResultProtocol;
}

void CusrNasManager::ShowAgentError(std::uint32_t ulCode) {
  std::uint32_t ulMessageId = 0;
  GetMsgFormat(ulCode, &ulMessageId);
  ShowAndTrace(ulMessageId, common::CodeText(ulCode), TRC_ERROR);
}

void CusrNasManager::ShowAndTrace(std::uint32_t ulMessageId, const std::string& strArgument, std::uint32_t ulLevel) {
  common::TraceLine(ulLevel, ShowMessage(ulMessageId, strArgument));
}
