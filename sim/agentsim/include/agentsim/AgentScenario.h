// The scenario of a unit's simulated board agents: the file "agents.ini" in the unit's folder,
// written by kelp-arraysim and read by kelp-agentsim on every connection, so that a change
// applies to a running simulator.
//
//   [Unit]            Port (all boards), IgnoreArrayStatus (1: serve boards whatever their status)
//   [Board<slot>]     Port, AgentVersion, ClusterStatus, ClusterDefinedStatus (words that replace
//                     the board's own), HaProcess (0/1: an "ha_" process in the ps output),
//                     StatPolls (polls answered 101 before an operation finishes), StatMs (least
//                     logical running time), InitStates (e.g. "15,16,17": results of the
//                     cluster initialisation polls after the running ones)
//   [Board<slot>.<Exchange>]  a behaviour for one exchange (names of agent::kExchanges): Result,
//                     DelayMs, ChunkSize, ChunkGapMs, Stall, CloseAfter, Magic, ProtoVer,
//                     MsgType, DataType, Count (how many more exchanges it applies to)
//
// Slots are the boards' slot numbers (sCluster * 8 + sPCB). Numbers may be written as 0x hex.
// Reads never fail: a missing file or key is the default. Writes go through plat::Profile
// (atomic rewrite) and return false with a reason on failure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "agent/AgentWire.h"

namespace agentsim {

struct UnitOptions {
  std::optional<std::uint16_t> port;
  bool ignoreArrayStatus = false;
};

struct BoardOptions {
  std::optional<std::uint16_t> port;
  std::optional<std::uint32_t> agentVersion;
  std::optional<std::uint32_t> clusterStatus;
  std::optional<std::uint32_t> clusterDefinedStatus;
  bool haProcess = true;
  std::uint32_t statPolls = 2;
  std::uint32_t statMs = 0;
  std::vector<std::uint32_t> initStates;
};

// How the agent misbehaves for one exchange. Unset fields leave the exchange as it is.
struct Behaviour {
  std::optional<std::uint32_t> result;  // the reply carries this Result, no data; nothing changes
  std::uint32_t delayMs = 0;            // logical wait before the reply
  std::uint32_t chunkSize = 0;          // the reply goes out in pieces of this many bytes...
  std::uint32_t chunkGapMs = 0;         // ...with this logical gap between them
  bool stall = false;                   // no reply; the connection is held until the client closes
  std::optional<std::uint32_t> closeAfter;  // the connection closes after this many reply bytes
  std::optional<std::string> magic;     // replaces the 16 bytes of magic (blank-padded)
  std::optional<std::uint32_t> protoVer;
  std::optional<std::uint32_t> msgType;
  std::optional<std::uint32_t> dataType;
  std::optional<std::uint32_t> count;   // none: every exchange

  bool operator==(const Behaviour&) const = default;
};

// <unit dir>/agents.ini.
std::filesystem::path ScenarioFile(const std::string& unit);
std::string BoardSection(int slot);
std::string BehaviourSection(int slot, agent::Exchange id);

UnitOptions ReadUnitOptions(const std::filesystem::path& file);
BoardOptions ReadBoardOptions(const std::filesystem::path& file, int slot);
std::optional<Behaviour> ReadBehaviour(const std::filesystem::path& file, int slot, agent::Exchange id);

// Sets one key of [Unit] or [Board<slot>] after checking it names an option and its value fits;
// an empty value removes the key.
bool SetUnitOption(const std::filesystem::path& file, const std::string& key, const std::string& value,
                   std::string* pError);
bool SetBoardOption(const std::filesystem::path& file, int slot, const std::string& key, const std::string& value,
                    std::string* pError);
// Sets "Key=value" settings of a behaviour (replacing those keys, keeping the others).
bool SetBehaviour(const std::filesystem::path& file, int slot, const std::string& exchange,
                  const std::vector<std::string>& settings, std::string* pError);
bool WriteBehaviour(const std::filesystem::path& file, int slot, agent::Exchange id, const Behaviour& behaviour,
                    std::string* pError);
// Removes the behaviours of one slot, or of every slot when slot is empty.
bool ClearBehaviours(const std::filesystem::path& file, std::optional<int> slot, std::string* pError);

// The behaviour that applies to this exchange now, counting it when it has a Count (a spent
// behaviour is removed). Serialised with other takers of this process.
std::optional<Behaviour> TakeBehaviour(const std::filesystem::path& file, int slot, agent::Exchange id);

// The exchange of a name of agent::kExchanges, matched without regard to case.
std::optional<agent::Exchange> ExchangeByName(const std::string& name);
// Decimal or 0x hex, up to 32 bits.
std::optional<std::uint32_t> ParseWord(const std::string& text);

}  // namespace agentsim
