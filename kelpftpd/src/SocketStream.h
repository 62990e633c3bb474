// A board's connection as an accepted TCP socket. File data goes straight from the page cache to
// the socket, without passing through user memory.
#pragma once

#include "ClientStream.h"
#include "plat/Socket.h"

class SocketStream final : public ClientStream {
 public:
  // Takes ownership of the connected socket.
  explicit SocketStream(int fd) : m_fd(fd) {}

  Arrival Receive(std::span<std::uint8_t> buffer, plat::Millis wait, std::size_t& got, int& error) override;
  bool Send(std::span<const std::uint8_t> bytes, bool bMore, int& error) override;
  bool SendFile(int file, std::uint64_t offset, std::size_t length, int& error) override;
  // A socket the board has already reset counts as shut down.
  int Shutdown() override;
  int Close() override;

 private:
  plat::UniqueFd m_fd;
};
