#include "AgentServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "agent/FrameCodec.h"
#include "agent/Pack.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "plat/Clock.h"

namespace agentsim {
namespace {

constexpr std::size_t kMaxConnections = 64;
constexpr int kStatusCheckMs = 200;

int Slot(int k) { return (k / 2) * 8 + k % 2; }

int RealMs(plat::Millis logical) {
  const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(plat::Clock::ToReal(logical));
  return static_cast<int>(std::min<std::int64_t>(real.count(), INT32_MAX));
}

enum class Wait { Ready, TimedOut, Stopped };

// Waits for fd to become readable (or the peer to close), at most timeoutMs of real time (-1:
// no limit), or until stopFd is readable.
Wait WaitReadable(int fd, int stopFd, int timeoutMs) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
  for (;;) {
    const int n = ::poll(fds, 2, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || fds[1].revents != 0) return Wait::Stopped;
    return n == 0 ? Wait::TimedOut : Wait::Ready;
  }
}

// Reads exactly out.size() bytes, each wait at most the reply time-out a client uses.
bool ReadExactly(int fd, int stopFd, std::span<std::uint8_t> out) {
  for (std::size_t got = 0; got < out.size();) {
    if (WaitReadable(fd, stopFd, RealMs(std::chrono::seconds(agent::kReplyTimeoutSec))) != Wait::Ready)
      return false;
    const ssize_t n = ::recv(fd, out.data() + got, out.size() - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool SendAll(int fd, std::span<const std::uint8_t> bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// A logical pause that ends early when the client goes away or the server stops: false then.
bool Pause(int fd, int stopFd, std::uint32_t logicalMs) {
  if (logicalMs == 0) return true;
  return WaitReadable(fd, stopFd, RealMs(plat::Millis(logicalMs))) == Wait::TimedOut;
}

std::vector<std::uint8_t> ReplyBytes(const Request& request, const Answer& answer, const Behaviour& b) {
  const agent::ExchangeInfo& info = agent::Info(request.id);
  std::vector<std::uint8_t> reply =
      agent::EncodeReply(b.protoVer.value_or(info.protoVer), b.msgType.value_or(info.msgType),
                         b.dataType.value_or(agent::ReplyDataType(request.id)), answer.result, answer.data);
  if (b.magic) {
    const std::string magic = agent::PadBlanks(*b.magic, agent::kMagicSize);
    std::copy(magic.begin(), magic.begin() + agent::kMagicSize, reply.begin());
  }
  return reply;
}

}  // namespace

AgentServer::AgentServer(ServerOptions options)
    : m_options(std::move(options)), m_scenario(ScenarioFile(m_options.unit)) {}

AgentServer::~AgentServer() {
  Reap(true);
  for (Board& board : m_boards) Close(board);
}

bool AgentServer::IgnoresStatus() const {
  return m_options.ignoreArrayStatus || ReadUnitOptions(m_scenario).ignoreArrayStatus;
}

bool AgentServer::Start(std::string* pError) {
  corvid::sim::UnitSpec scenario;
  if (!corvid::sim::LoadUnitSpec(m_options.unit, &scenario, pError)) return false;
  const UnitOptions unit = ReadUnitOptions(m_scenario);
  const std::filesystem::path unitDir = corvid::sim::UnitDir(m_options.unit);
  for (const corvid::sim::BoardSpec& b : scenario.boards) {
    const std::string address = agent::AddressText(b.ip.data());
    Board board;
    board.k = b.k;
    board.agent = std::make_unique<BoardAgent>(Slot(b.k), address, unitDir);
    board.port = m_options.port.value_or(
        ReadBoardOptions(m_scenario, Slot(b.k)).port.value_or(unit.port.value_or(agent::kDefaultAgentPort)));
    m_boards.push_back(std::move(board));
  }
  for (Board& board : m_boards)
    if (!Open(board, pError)) return false;
  ApplyStatus();
  return true;
}

std::vector<std::string> AgentServer::Endpoints() const {
  std::vector<std::string> lines;
  for (const Board& board : m_boards)
    lines.push_back("slot " + std::to_string(board.agent->Slot()) + ": " + board.agent->Address() + ":" +
                    std::to_string(board.port));
  return lines;
}

bool AgentServer::Open(Board& board, std::string* pError) {
  if (board.listenFd >= 0) return true;
  const std::string where = board.agent->Address() + ":" + std::to_string(board.port);
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(board.port);
  const int on = 1;
  const bool ok = fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                  ::inet_pton(AF_INET, board.agent->Address().c_str(), &sa.sin_addr) == 1 &&
                  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && ::listen(fd, 16) == 0;
  if (!ok) {
    *pError = "slot " + std::to_string(board.agent->Slot()) + ": cannot listen on " + where + ": " +
              std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  board.listenFd = fd;
  return true;
}

void AgentServer::Close(Board& board) {
  if (board.listenFd < 0) return;
  ::close(board.listenFd);
  board.listenFd = -1;
}

std::optional<std::vector<bool>> AgentServer::UpBoards() const {
  std::vector<corvid::sim::BoardState> states;
  if (!corvid::sim::GetBoardStates(m_options.unit, &states)) return std::nullopt;
  std::vector<bool> up(corvid::pages::kBoards, false);
  for (const corvid::sim::BoardState& s : states)
    if (s.k >= 0 && s.k < static_cast<int>(up.size())) up[static_cast<std::size_t>(s.k)] = s.status == corvid::pages::kStatusOsUp;
  return up;
}

void AgentServer::ApplyStatus() {
  const bool ignore = IgnoresStatus();
  const auto up = ignore ? std::nullopt : UpBoards();
  if (!ignore && !up) return;  // the array cannot be read now; keep things as they are
  for (Board& board : m_boards) {
    if (ignore || (*up)[static_cast<std::size_t>(board.k)]) {
      std::string error;
      if (board.listenFd < 0 && !Open(board, &error)) std::fprintf(stderr, "kelp-agentsim: %s\n", error.c_str());
    } else {
      Close(board);
    }
  }
}

void AgentServer::Run(int stopFd) {
  m_stopFd = stopFd;
  auto lastCheck = std::chrono::steady_clock::now();
  for (;;) {
    std::vector<pollfd> fds{{stopFd, POLLIN, 0}};
    std::vector<Board*> polled;
    for (Board& board : m_boards) {
      if (board.listenFd < 0) continue;
      fds.push_back({board.listenFd, POLLIN, 0});
      polled.push_back(&board);
    }
    const int n = ::poll(fds.data(), fds.size(), kStatusCheckMs);
    if (n < 0 && errno != EINTR) break;
    if (fds[0].revents != 0) break;
    for (std::size_t i = 1; n > 0 && i < fds.size(); ++i)
      if (fds[i].revents != 0) Accept(*polled[i - 1]);
    Reap(false);
    if (std::chrono::steady_clock::now() - lastCheck >= std::chrono::milliseconds(kStatusCheckMs)) {
      ApplyStatus();
      lastCheck = std::chrono::steady_clock::now();
    }
  }
  for (Board& board : m_boards) Close(board);
  Reap(true);
}

void AgentServer::Accept(Board& board) {
  const int fd = ::accept4(board.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  if (!IgnoresStatus()) {
    const auto up = UpBoards();
    if (up && !(*up)[static_cast<std::size_t>(board.k)]) {
      ::close(fd);
      Close(board);
      return;
    }
  }
  if (m_connections.size() >= kMaxConnections) {
    std::fprintf(stderr, "kelp-agentsim: slot %d: too many connections, one refused\n", board.agent->Slot());
    ::close(fd);
    return;
  }
  Connection& connection = m_connections.emplace_back();
  connection.thread = std::thread([this, fd, &board, &connection] {
    Serve(fd, board);
    ::close(fd);
    connection.done = true;
  });
}

void AgentServer::Reap(bool all) {
  for (auto it = m_connections.begin(); it != m_connections.end();) {
    if (all || it->done) {
      if (it->thread.joinable()) it->thread.join();
      it = m_connections.erase(it);
    } else {
      ++it;
    }
  }
}

void AgentServer::Serve(int fd, Board& board) {
  const int slot = board.agent->Slot();
  const auto note = [slot](const std::string& text) {
    std::fprintf(stderr, "kelp-agentsim: slot %d: %s\n", slot, text.c_str());
  };
  std::uint8_t headerBytes[agent::kHeaderSize];
  RequestHeader header;
  std::string why;
  if (!ReadExactly(fd, m_stopFd, headerBytes)) return;
  if (!ParseRequestHeader(headerBytes, &header, &why)) return note("request refused: " + why);
  std::vector<std::uint8_t> body(header.msgSize);
  Request request;
  if (!ReadExactly(fd, m_stopFd, body)) return;
  if (!ParseRequestBody(header, body, &request, &why)) return note("request refused: " + why);

  const BoardOptions options = ReadBoardOptions(m_scenario, slot);
  const Behaviour behaviour = TakeBehaviour(m_scenario, slot, request.id).value_or(Behaviour{});
  std::optional<Answer> answer;
  if (behaviour.result) {
    answer = Answer{*behaviour.result, {}};
  } else {
    std::string problem;
    answer = board.agent->Handle(request, options, &problem);
    if (!problem.empty()) note(std::string(agent::Info(request.id).name) + ": " + problem);
  }
  if (!answer) return note(std::string("malformed ") + agent::Info(request.id).name + " request refused");

  if (!Pause(fd, m_stopFd, behaviour.delayMs)) return;
  if (behaviour.stall) {
    WaitReadable(fd, m_stopFd, -1);
    return;
  }
  std::vector<std::uint8_t> reply = ReplyBytes(request, *answer, behaviour);
  if (behaviour.closeAfter && *behaviour.closeAfter < reply.size()) reply.resize(*behaviour.closeAfter);
  const std::size_t chunk = behaviour.chunkSize ? behaviour.chunkSize : reply.size();
  for (std::size_t sent = 0; sent < reply.size(); sent += chunk) {
    if (sent > 0 && !Pause(fd, m_stopFd, behaviour.chunkGapMs)) return;
    if (!SendAll(fd, std::span(reply).subspan(sent, std::min(chunk, reply.size() - sent)))) return;
  }
}

}  // namespace agentsim
