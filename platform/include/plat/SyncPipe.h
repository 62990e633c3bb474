// The message-mode pipe that stands for the Win32 named pipe "\\.\pipe\KelpSyncPipe": a Unix
// domain SOCK_SEQPACKET socket "<runtime dir>/<escaped name>".
//
// Server: Create, Accept one client, then Read/Write. Client: Connect, then Write/Read. Each
// Write is one message and each Read takes exactly one; a message longer than the reader's
// limit comes truncated (the rest is lost), as in a message-mode read into a short buffer.
// The server owns the socket file: it replaces a stale one left by a dead server, refuses the
// name while another live server holds it (a flock on "<socket>.pipelock" tells), and removes
// the file on Close or destruction. Time-outs are logical (KELP_TIME_SCALE, ManualClock).
// Failures are returned as PipeStatus, with Error() saying why. One thread at a time per object.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "plat/Clock.h"
#include "plat/Socket.h"

namespace plat {

enum class PipeStatus {
  Ok,
  Truncated,  // Read: the message was longer than the limit; its first bytes were read
  Timeout,    // nothing came within the time-out
  NoServer,   // Connect: no server listens under that name
  InUse,      // Create: another live server holds the name
  Closed,     // the peer closed its end
  Failed,     // anything else; see Error()
};

const char* ToText(PipeStatus status);

class SyncPipe {
 public:
  static constexpr std::string_view kDefaultName = "KelpSyncPipe";

  SyncPipe() = default;
  ~SyncPipe();
  SyncPipe(const SyncPipe&) = delete;
  SyncPipe& operator=(const SyncPipe&) = delete;

  // Server: creates the pipe and listens. Failed when this object is already open.
  PipeStatus Create(std::string_view name = kDefaultName);
  // Server: waits for one client (no time-out when empty); a previous client is dropped first.
  PipeStatus Accept(std::optional<Millis> timeout = std::nullopt);
  // Client: connects to the server of that name at once; NoServer when there is none.
  PipeStatus Connect(std::string_view name = kDefaultName);

  // Sends one non-empty message to the peer.
  PipeStatus Write(std::string_view message);
  // Receives one message of at most maxBytes into message (no time-out when empty).
  PipeStatus Read(std::string& message, std::size_t maxBytes,
                  std::optional<Millis> timeout = std::nullopt);

  // Closes both ends; a server removes its socket file. The object can then be used again.
  void Close();

  // The socket file of the last Create or Connect.
  const std::filesystem::path& Path() const { return m_path; }
  // Why the last call failed.
  const std::string& Error() const { return m_error; }

 private:
  PipeStatus Fail(PipeStatus status, std::string what, int error = 0);
  PipeStatus Locate(std::string_view name);

  std::filesystem::path m_path;
  std::string m_error;
  UniqueFd m_lockFd;    // server: flock held for the life of the socket file
  UniqueFd m_listenFd;  // server
  UniqueFd m_peerFd;    // the connection
};

}  // namespace plat
