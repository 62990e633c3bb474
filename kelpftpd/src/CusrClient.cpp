#include "CusrClient.h"

#include <span>
#include <system_error>
#include <utility>

#include "common/CusrTraceScope.h"

using namespace kelpftp;

CusrClient::~CusrClient() {
  Join();
  ClostSocket();
}

bool CusrClient::Launch(std::unique_ptr<ClientStream> pStream, std::function<void()> body) {
  Attach(std::move(pStream));
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

void CusrClient::Attach(std::unique_ptr<ClientStream> pStream) {
  Join();
  std::lock_guard lock(m_streamMutex);
  m_pStream = std::move(pStream);
}

void CusrClient::Join() {
  if (m_thread.joinable()) m_thread.join();
}

void CusrClient::Abort() {
  std::lock_guard lock(m_streamMutex);
  if (m_pStream) m_pStream->Shutdown();
}

std::uint32_t CusrClient::RecvMessage(std::uint8_t* pBuffer, std::size_t length, int nTimeoutSeconds) {
  CusrTraceScope scope("CusrClient", "RecvMessage", TRC_DEBUG);
  const plat::Millis wait(nTimeoutSeconds * 1000LL);
  std::size_t got = 0;
  while (got < length) {
    std::size_t n = 0;
    int error = 0;
    switch (m_pStream->Receive(std::span(pBuffer + got, length - got), wait, n, error)) {
      case ClientStream::Arrival::Data:
        got += n;
        break;
      case ClientStream::Arrival::Timeout:
        scope.Error("select() timeout", TRC_ERROR);
        return kTimeout;
      case ClientStream::Arrival::WaitFailed:
        scope.Error(TraceFmt("select() code=%d", error), TRC_ERROR);
        return kError;
      case ClientStream::Arrival::Closed:
      case ClientStream::Arrival::Failed:
        scope.Error(TraceFmt("recv() code=%d", error), TRC_ERROR);
        return kError;
    }
  }
  return kOk;
}

std::uint32_t CusrClient::SendMessage(const std::uint8_t* pData, std::size_t length) {
  CusrTraceScope scope("CusrClient", "SendMessage", TRC_DEBUG);
  int error = 0;
  if (m_pStream->Send(std::span(pData, length), false, error)) return kOk;
  scope.Error(TraceFmt("send() code=%d", error), TRC_ERROR);
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
  // The head waits for the first data segment. The reply is not corked as a whole: a corked
  // socket sends only full segments as the board's window opens, which stalls every block larger
  // than that window.
  int error = 0;
  if (!m_pStream->Send(head, true, error)) {
    scope.Error(TraceFmt("send() code=%d", error), TRC_ERROR);
    return kError;
  }
  if (!m_pStream->SendFile(block.file.Get(), block.offset, block.length, error)) {
    scope.Error(TraceFmt("sendfile() code=%d", error), TRC_ERROR);
    return kError;
  }
  if (!m_pStream->Send(trailer.view(), false, error)) {
    scope.Error(TraceFmt("send() code=%d", error), TRC_ERROR);
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
  std::lock_guard lock(m_streamMutex);
  if (!m_pStream) return;
  CusrTraceScope scope("CusrClient", "ClostSocket", TRC_FUNC);
  if (const int error = m_pStream->Shutdown())
    scope.Error(TraceFmt("shotdown() : WSAGetLastError = %d", error), TRC_ERROR);
  if (const int error = m_pStream->Close())
    scope.Error(TraceFmt("closesocket() : WSAGetLastError = %d", error), TRC_ERROR);
  m_pStream.reset();
}
