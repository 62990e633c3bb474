// The agents of all boards of one simulated unit: a listener per board on the board's address,
// a thread per connection (bounded), one request and one reply per connection, behaviours of the
// unit's scenario applied to the reply. A board whose array status is not OS UP has its listener
// closed, so connecting to it fails as with a stopped board; the status is checked about every
// 200 ms of real time and again at each accept.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BoardAgent.h"
#include "plat/Socket.h"

namespace agentsim {

struct ServerOptions {
  std::string unit;
  std::optional<std::uint16_t> port;  // every board; else the scenario's, else kDefaultAgentPort
  bool ignoreArrayStatus = false;
};

class AgentServer {
 public:
  explicit AgentServer(ServerOptions options);
  ~AgentServer();
  AgentServer(const AgentServer&) = delete;
  AgentServer& operator=(const AgentServer&) = delete;

  // Loads the unit and binds every board's listener once (so a taken address or port shows at
  // start), then applies the boards' status. False with a reason on failure.
  bool Start(std::string* pError);
  // "slot S: a.b.c.d:PORT" per board.
  std::vector<std::string> Endpoints() const;
  // Serves until stopFd becomes readable, then closes the listeners and joins every connection.
  void Run(int stopFd);

 private:
  struct Board {
    std::unique_ptr<BoardAgent> agent;
    int k = 0;
    std::uint16_t port = 0;
    plat::UniqueFd listener;
  };
  struct Connection {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  bool IgnoresStatus() const;
  // Board k's "is OS UP" and installed NAS OS version by k; empty when the array cannot be read.
  struct BoardView {
    bool up = false;
    std::string nasOsVersion;
  };
  std::optional<std::vector<BoardView>> ViewBoards() const;
  void ApplyStatus();
  bool Open(Board& board, std::string* pError);
  void Close(Board& board);
  void Accept(Board& board);
  void Serve(int fd, Board& board);
  void Reap(bool all);

  ServerOptions m_options;
  std::filesystem::path m_scenario;
  std::vector<Board> m_boards;
  std::list<Connection> m_connections;
  int m_stopFd = -1;
};

}  // namespace agentsim
