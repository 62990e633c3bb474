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
  // The array installs the NAS OS: the products list's NAS OS row follows the version the array
  // reports for the board (dated now when it changes); an empty version changes nothing.
  void FollowNasOs(const std::string& version);

 private:
  // The two installation exchanges: the file is fetched outside the lock.
  std::optional<Answer> Install(const Request& request, std::string* pNote);
  void Save();

  const int m_slot;
  const std::string m_address;
  const std::filesystem::path m_stateFile;
  std::mutex m_mutex;
  BoardData m_data;
};

}  // namespace agentsim
