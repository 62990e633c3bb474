#include "AgentRequest.h"

#include "agent/Pack.h"

namespace agentsim {

bool Cursor::Word(std::uint32_t* pValue) {
  const agent::UnpackResult r = agent::Unpack(m_bytes.subspan(m_used), "l", {pValue});
  if (!r.complete) return false;
  m_used += r.used;
  return true;
}

bool Cursor::Text(std::size_t size, std::string* pText) {
  if (size > Left()) return false;
  const agent::UnpackResult r = agent::Unpack(m_bytes.subspan(m_used), agent::MakeFormat("S(%zu)", size), {pText});
  if (!r.complete) return false;
  m_used += r.used;
  return true;
}

bool ParseRequestHeader(std::span<const std::uint8_t> bytes, RequestHeader* pHeader, std::string* pWhy) {
  std::string magic;
  if (!agent::Unpack(bytes, "S(16)lll", {&magic, &pHeader->protoVer, &pHeader->msgType, &pHeader->msgSize})
           .complete) {
    *pWhy = "short header";
    return false;
  }
  if (magic != agent::kMagic) {
    *pWhy = "bad magic";
    return false;
  }
  if (pHeader->msgSize < 4 || pHeader->msgSize > kMaxRequestSize) {
    *pWhy = "bad MsgSize " + std::to_string(pHeader->msgSize);
    return false;
  }
  return true;
}

bool ParseRequestBody(const RequestHeader& header, std::span<const std::uint8_t> body, Request* pRequest,
                      std::string* pWhy) {
  Cursor cursor(body);
  std::uint32_t command = 0;
  if (body.size() != header.msgSize || !cursor.Word(&command)) {
    *pWhy = "short body";
    return false;
  }
  const agent::ExchangeInfo* info = agent::FindExchange(header.msgType, command);
  if (info == nullptr) {
    *pWhy = "unknown exchange " + std::to_string(header.msgType) + "/" + std::to_string(command);
    return false;
  }
  if (info->protoVer != header.protoVer) {
    *pWhy = std::string("ProtoVer of ") + info->name + " is not " + std::to_string(header.protoVer);
    return false;
  }
  pRequest->id = info->id;
  const bool bNoDataSize =
      info->id == agent::Exchange::StopCluster || info->id == agent::Exchange::NasSystemLuExtract;
  std::uint32_t dataSize = static_cast<std::uint32_t>(cursor.Left());
  if (!bNoDataSize && cursor.Left() > 0 && (!cursor.Word(&dataSize) || dataSize != cursor.Left())) {
    *pWhy = std::string("DataSize of ") + info->name + " does not match MsgSize";
    return false;
  }
  const std::span<const std::uint8_t> params = body.last(cursor.Left());
  pRequest->params.assign(params.begin(), params.end());
  return true;
}

}  // namespace agentsim
