// What one simulated board's agent remembers: its settings, installed products, backups and the
// operation it runs. Kept in <unit dir>/agents/board<slot>.ini, rewritten atomically after
// every change, so it survives a restart of the simulator. A file that is missing or unreadable
// gives the defaults of a freshly installed board.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace agentsim {

struct Interface {
  std::string ip;
  std::string mask;
  std::string gateway;
  std::uint32_t mtu = 1500;
};

// A static route as the agent keeps it; texts without padding.
struct Route {
  std::string interface;
  std::string target;   // "a.b.c.d" or "default"
  std::string netmask;
  std::string gateway;  // empty: none
  std::uint32_t hostFlag = 0;
  std::uint32_t routeFlag = 0;
  std::uint32_t mss = 0;

  bool operator==(const Route&) const = default;
};

struct InstalledProduct {
  std::uint32_t code = 0;
  std::string name;
  std::string version;
  std::string date;  // kInstallDateWidth characters
  std::string type;  // kInstallTypeWidth characters
};

struct LuBackup {
  std::uint32_t dataSize = 0;
  std::uint32_t status = 0;
  std::string date;  // kBackupDateWidth characters
};

// Long-running operations started by one exchange and followed by its Stat exchange.
enum class Operation { OsLuRestore, SharedLuRestore, SystemLuExtract, SystemLuRestore, StopCluster, InitCluster };
inline constexpr Operation kOperations[] = {Operation::OsLuRestore,     Operation::SharedLuRestore,
                                            Operation::SystemLuExtract, Operation::SystemLuRestore,
                                            Operation::StopCluster,     Operation::InitCluster};
const char* OperationName(Operation op);

struct RunningOperation {
  std::uint32_t pollsLeft = 0;    // polls still answered 101
  std::uint32_t statesShown = 0;  // cluster initialisation: intermediate states answered so far
  std::int64_t startMs = 0;       // logical start (plat::Clock), this process only
};

struct BoardData {
  std::uint32_t agentVersion = 0x05000000;  // not newer than the setup tool (0x05000001 or more locks it)
  std::uint32_t clusterStatus = 1;
  std::uint32_t clusterDefinedStatus = 1;
  std::optional<std::string> name;
  std::vector<std::string> ntpServers;
  std::map<std::string, Interface> interfaces;  // "mng0", "mng1"
  std::vector<Route> routes;
  std::vector<InstalledProduct> products;
  LuBackup osBackup;
  LuBackup sharedBackup;
  std::uint32_t systemExecuteStatus = 0;
  std::uint32_t systemUploadStatus = 0;
  std::string systemFile;
  std::string systemDate;
  std::map<Operation, RunningOperation> running;
};

// The defaults of a board at this address.
BoardData DefaultBoardData(int slot, const std::string& address);
std::filesystem::path BoardStateFile(const std::filesystem::path& unitDir, int slot);
// Reads the file over the defaults.
BoardData LoadBoardData(const std::filesystem::path& file, BoardData defaults);
bool SaveBoardData(const std::filesystem::path& file, const BoardData& data, std::string* pError);

}  // namespace agentsim
