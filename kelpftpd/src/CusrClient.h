// One client slot: a connected board's stream, its in-use flag and the thread that serves it,
// with the framing of the file-transfer protocol. The in-use flag belongs to CusrSession, which
// changes it under its critical section.
//
// Receives wait for each piece at most the given time (not for the whole message); sends go out
// whole, and a send that makes no progress for the stream's send time-out fails. Results: 0,
// kTimeout, kError, and for RecvHeader kBadHeader; every failure is traced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ClientStream.h"
#include "FileBlock.h"
#include "kelpftp/FtpProtocol.h"

class CusrClient {
 public:
  static constexpr std::uint32_t kOk = 0;
  static constexpr std::uint32_t kTimeout = 6;
  static constexpr std::uint32_t kError = 8;
  static constexpr std::uint32_t kBadHeader = 9;
  // The server's wait for each piece of a header or body, in seconds.
  static constexpr int kRecvTimeoutSeconds = 60;

  CusrClient() = default;
  ~CusrClient();
  CusrClient(const CusrClient&) = delete;
  CusrClient& operator=(const CusrClient&) = delete;

  // Takes the accepted connection and runs body on the slot's own thread, after the slot's
  // previous thread (which has freed the slot already) has ended. False when no thread can be
  // started; the connection is then closed.
  bool Launch(std::unique_ptr<ClientStream> pStream, std::function<void()> body);
  // Takes a connection to be served on the caller's thread (after the slot's own has ended).
  void Attach(std::unique_ptr<ClientStream> pStream);
  // Waits for the slot's thread, if any.
  void Join();
  // Shuts the connection down from outside (server end): the thread's pending receive or send
  // fails and the thread ends.
  void Abort();

  std::uint32_t RecvMessage(std::uint8_t* pBuffer, std::size_t length, int nTimeoutSeconds);
  std::uint32_t SendMessage(const std::uint8_t* pData, std::size_t length);
  // Reads one header; on 0, type holds the message type.
  std::uint32_t RecvHeader(std::uint32_t& type);
  std::uint32_t RecvBody(kelpftp::FileRequest& request);
  std::uint32_t ReplyFileSize(std::uint32_t size);
  // Length-word reply, the block's bytes straight from its file, padding and end flag. A failure
  // part-way leaves the reply cut off: the connection must end.
  std::uint32_t ReplyFileData(const FileBlock& block);
  std::uint32_t ReplyShutdown();
  std::uint32_t ReplyError(std::uint32_t type, std::uint32_t status);
  // Shuts the connection down both ways and closes it.
  void ClostSocket();

 private:
  friend class CusrSession;

  // Replaced by the slot's thread only while it runs; guarded for Abort.
  std::unique_ptr<ClientStream> m_pStream;
  std::mutex m_streamMutex;
  bool m_bInUse = false;  // guarded by CusrSession
  std::thread m_thread;
};
