#include "AgentServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "agent/FrameCodec.h"
#include "agent/Pack.h"
#include "common/TextFormats.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "plat/Clock.h"
#include "plat/Socket.h"

namespace agentsim {
namespace {

constexpr std::size_t kMaxConnections = 64;
constexpr int kStatusCheckMs = 200;

int Slot(int k) { return (k / 2) * 8 + k % 2; }

// Reads exactly out.size() bytes within the reply time-out a client uses.
bool ReadPart(int fd, int stopFd, std::span<std::uint8_t> out) {
  const plat::TimePoint deadline = plat::Clock::Now() + std::chrono::seconds(agent::kReplyTimeoutSec);
  return plat::ReadExactly(fd, out, deadline, stopFd) == plat::ReadResult::Complete;
}

// A logical pause that ends early when the client goes away or the server stops: false then.
bool Pause(int fd, int stopFd, std::uint32_t logicalMs) {
  if (logicalMs == 0) return true;
  return plat::WaitReadable(fd, plat::Clock::Now() + plat::Millis(logicalMs), stopFd) == plat::WaitResult::Timeout;
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
    const std::string address = common::AddressText(b.ip.data());
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
  if (board.listener) return true;
  const std::string where = board.agent->Address() + ":" + std::to_string(board.port);
  plat::UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int fd = listener.Get();
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
    return false;
  }
  board.listener = std::move(listener);
  return true;
}

void AgentServer::Close(Board& board) { board.listener.Reset(); }

std::optional<std::vector<AgentServer::BoardView>> AgentServer::ViewBoards() const {
  std::vector<corvid::sim::BoardState> states;
  if (!corvid::sim::GetBoardStates(m_options.unit, &states)) return std::nullopt;
  std::vector<BoardView> views(corvid::pages::kBoards);
  for (const corvid::sim::BoardState& s : states)
    if (s.k >= 0 && s.k < static_cast<int>(views.size()))
      views[static_cast<std::size_t>(s.k)] = {s.status == corvid::pages::kStatusOsUp, s.nasOsVersion};
  return views;
}

void AgentServer::ApplyStatus() {
  const bool ignore = IgnoresStatus();
  const auto views = ignore ? std::nullopt : ViewBoards();
  if (!ignore && !views) return;  // the array cannot be read now; keep things as they are
  for (Board& board : m_boards) {
    if (views) board.agent->FollowNasOs((*views)[static_cast<std::size_t>(board.k)].nasOsVersion);
    if (ignore || (*views)[static_cast<std::size_t>(board.k)].up) {
      std::string error;
      if (!board.listener && !Open(board, &error)) std::fprintf(stderr, "kelp-agentsim: %s\n", error.c_str());
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
      if (!board.listener) continue;
      fds.push_back({board.listener.Get(), POLLIN, 0});
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
  plat::UniqueFd fd(::accept4(board.listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
  if (!fd) return;
  if (!IgnoresStatus()) {
    const auto views = ViewBoards();
    if (views && !(*views)[static_cast<std::size_t>(board.k)].up) {
      Close(board);
      return;
    }
  }
  if (m_connections.size() >= kMaxConnections) {
    std::fprintf(stderr, "kelp-agentsim: slot %d: too many connections, one refused\n", board.agent->Slot());
    return;
  }
  Connection& connection = m_connections.emplace_back();
  connection.thread = std::thread([this, fd = std::move(fd), &board, &connection]() mutable {
    Serve(fd.Get(), board);
    fd.Reset();
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
  if (!ReadPart(fd, m_stopFd, headerBytes)) return;
  if (!ParseRequestHeader(headerBytes, &header, &why)) return note("request refused: " + why);
  std::vector<std::uint8_t> body(header.msgSize);
  Request request;
  if (!ReadPart(fd, m_stopFd, body)) return;
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
    plat::WaitReadable(fd, plat::kNoDeadline, m_stopFd);
    return;
  }
  std::vector<std::uint8_t> reply = ReplyBytes(request, *answer, behaviour);
  if (behaviour.closeAfter && *behaviour.closeAfter < reply.size()) reply.resize(*behaviour.closeAfter);
  const std::size_t chunk = behaviour.chunkSize ? behaviour.chunkSize : reply.size();
  for (std::size_t sent = 0; sent < reply.size(); sent += chunk) {
    if (sent > 0 && !Pause(fd, m_stopFd, behaviour.chunkGapMs)) return;
    if (!plat::SendAll(fd, std::span<const std::uint8_t>(reply).subspan(sent, std::min(chunk, reply.size() - sent)))) return;
  }
}

}  // namespace agentsim
