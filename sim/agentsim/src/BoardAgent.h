// The agent of one simulated board: answers each exchange from the board's state and changes it
// as the exchange asks, saving it after every change. Thread-safe: connections of the same board
// are served one exchange at a time (an install's file transfer runs outside the lock).
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AgentRequest.h"
#include "BoardState.h"
#include "agentsim/AgentScenario.h"

namespace agentsim {

// Agent codes of the settings exchanges.
inline constexpr std::uint32_t kErrField0 = 0x200;  // first field rejected (NIC type, NTP server 1)
inline constexpr std::uint32_t kErrField1 = 0x201;
inline constexpr std::uint32_t kErrField2 = 0x202;
inline constexpr std::uint32_t kErrTooManyServers = 0x600;
inline constexpr std::uint32_t kErrRouteInterface = 0xC9;
inline constexpr std::uint32_t kErrRouteTarget = 0xCA;
inline constexpr std::uint32_t kErrRouteNetmask = 0xCB;
inline constexpr std::uint32_t kErrRouteGateway = 0xCC;
inline constexpr std::uint32_t kErrRouteExists = 0xCE;
inline constexpr std::uint32_t kErrRouteNotFound = 0xCF;
inline constexpr std::uint32_t kErrAddressConflict = 0xD1;
inline constexpr std::uint32_t kErrNotChanged = 0xD3;
inline constexpr std::uint32_t kErrRouteTableFull = 0xD4;
inline constexpr std::uint32_t kErrNoSuchProduct = 1;
inline constexpr std::size_t kMaxRoutes = 16;
inline constexpr char kPsCommand[] = "ps -eo comm --sort cmd --no-headers";

// What an exchange answers: the Result word (or the value in its place) and the data after it.
struct Answer {
  std::uint32_t result = 0;
  std::vector<std::uint8_t> data;
};

class BoardAgent {
 public:
  BoardAgent(int slot, std::string address, const std::filesystem::path& unitDir);

  int Slot() const { return m_slot; }
  const std::string& Address() const { return m_address; }

  // The answer to a request, or none when its parameters are malformed (the connection is then
  // closed without a reply). Failures worth a line on stderr go to *pNote.
  std::optional<Answer> Handle(const Request& request, const BoardOptions& options, std::string* pNote);

 private:
  std::optional<Answer> Settings(const Request& request, const BoardOptions& options);
  std::optional<Answer> Install(const Request& request, std::string* pNote);
  std::optional<Answer> Recovery(const Request& request, const BoardOptions& options);
  std::uint32_t Poll(Operation op, const BoardOptions& options);
  void Save();

  const int m_slot;
  const std::string m_address;
  const std::filesystem::path m_stateFile;
  std::mutex m_mutex;
  BoardData m_data;
};

}  // namespace agentsim
