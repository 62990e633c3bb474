// The listening socket and the accept loop. Each accepted connection with a free slot is greeted
// with status 1 and served on the slot's thread; without a slot it is greeted with status 0 and
// shut down. Between connections the loop waits 5 seconds at a time and ends once the named
// mutex "kelpconf" (held by the setup tool while it runs) can be taken.
#pragma once

#include <cstdint>

#include "plat/Clock.h"
#include "plat/NamedMutex.h"
#include "plat/Socket.h"

class CusrService;
class CusrSession;
class CusrTraceScope;

class CusrConnection {
 public:
  static constexpr std::uint32_t kOk = 0;
  static constexpr std::uint32_t kSocketError = 8;
  static constexpr int kBacklog = 8;
  static constexpr int kSendBufferSize = 1 << 20;
  static constexpr plat::Millis kAcceptWait{5000};
  static constexpr plat::Millis kMutexWait{500};
  // A board that takes no byte of a reply for this long loses its connection.
  static constexpr plat::Millis kSendTimeout{60000};

  CusrConnection(CusrSession& session, CusrService& service);

  // Creates the socket (address reuse, 1 MiB send buffer), binds it to the IPv4 address (host
  // byte order) and port, and listens, so that connections are taken from here on. 0 or 8.
  std::uint32_t Initialize(std::uint32_t address, std::uint16_t port);
  // The accept loop: 0 when the setup tool has ended, 8 on a failure of the listening socket.
  // Every served connection is shut down and its thread joined before it returns.
  std::uint32_t Run();

 private:
  bool SetupToolEnded();
  // Traces a failure of the listening socket, shows message 3514 and ends every connection.
  std::uint32_t Fail(const CusrTraceScope& scope, const char* pszCall, int error);

  CusrSession& m_session;
  CusrService& m_service;
  plat::UniqueFd m_listen;
  plat::NamedMutex m_setupTool{"kelpconf"};
};
