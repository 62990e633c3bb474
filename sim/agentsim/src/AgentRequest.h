// A request as an agent receives it, checked against the exchange table: pure functions over the
// bytes received (no sockets). Anything that is not a request of the table, or whose sizes do not
// add up, is refused; the agent then closes the connection without a reply.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "agent/AgentWire.h"

namespace agentsim {

// Requests are small; a MsgSize beyond this is refused before anything is allocated.
inline constexpr std::uint32_t kMaxRequestSize = 64 * 1024;

struct RequestHeader {
  std::uint32_t protoVer = 0;
  std::uint32_t msgType = 0;
  std::uint32_t msgSize = 0;
};

struct Request {
  agent::Exchange id = agent::Exchange::Version;
  std::vector<std::uint8_t> params;  // after DataSize, or after the command where there is none
};

// The first kHeaderSize bytes: magic, ProtoVer, MsgType, MsgSize. False (with why) when the
// magic is wrong or MsgSize cannot be a request.
bool ParseRequestHeader(std::span<const std::uint8_t> bytes, RequestHeader* pHeader, std::string* pWhy);
// The MsgSize bytes after the header: the command names the exchange with the header's MsgType,
// whose ProtoVer must match; DataSize must account for exactly the bytes that follow.
bool ParseRequestBody(const RequestHeader& header, std::span<const std::uint8_t> body, Request* pRequest,
                      std::string* pWhy);

// Reads items off a span from the front; every read checks the bytes left first.
class Cursor {
 public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  bool Word(std::uint32_t* pValue);
  bool Text(std::size_t size, std::string* pText);
  std::size_t Left() const { return m_bytes.size() - m_used; }

 private:
  std::span<const std::uint8_t> m_bytes;
  std::size_t m_used = 0;
};

}  // namespace agentsim
