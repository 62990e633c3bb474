// Control side of the simulated array behind libcorvid: create and list units, read and change
// their state, inject faults. Used by kelp-arraysim, kelpctl's demo set-up, tests and benchmarks;
// VELAPI and corvidj see the array only through corvid.h.
//
// A unit is the folder <system root>/arrays/<name>/ holding "unit.ini" (the scenario: model,
// serial, addresses, boards, durations, options) and "state.ini" (the living state, with the
// injected faults, which calls consume). Every function here and every ZQ_ call locks the unit across processes, brings the
// simulation up to the current time, acts and saves. Functions return false with a readable
// reason in *pError (when given) on failure; they never throw.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvid::sim {

// Codes with which the simulated boards refuse a command selected into page 62 (bit 24 set).
inline constexpr std::uint32_t kErrNoBoard = 0x01000020;    // Cluster/Pcb name no board of the unit
inline constexpr std::uint32_t kErrBoardBusy = 0x01000021;  // the board is still running a command
inline constexpr std::uint32_t kErrBadState = 0x01000022;   // the command does not fit the status
inline constexpr std::uint32_t kErrNoDump = 0x01000023;     // AB without a dump to download

enum class Model : std::uint16_t { ZQS = 0x1700, ZQXS = 0x1701, ZQM = 0x1702, ZQH = 0x1703 };

// "ZQS", "ZQXS", "ZQM", "ZQH" and back.
const char* ModelName(Model model);
std::optional<Model> ParseModel(const std::string& text);

// Durations of the board state machines, in logical milliseconds (plat::Clock scale applies).
struct Durations {
  std::int64_t shutdownMs = 60'000;
  std::int64_t bootMs = 90'000;
  std::int64_t installMs = 600'000;
  std::int64_t dumpMs = 120'000;
  std::int64_t downloadMs = 60'000;
  std::int64_t resetMs = 30'000;  // blockade/restore: down, then stopped
};

// One board, k = sCluster * 2 + sPCB (0..3).
struct BoardSpec {
  int k = 0;
  std::uint8_t portStatus = 1;   // page 0x33: 1 installed, 0 not installed
  std::uint8_t portKind = 2;     // page 0x33: 2 NAS board, 1/3 other kinds
  std::uint8_t valid = 1;        // A3/A6/AA/AC Valid byte
  std::uint8_t nasTypeFlag = 1;
  std::uint8_t nasType = 1;
  std::string location;          // at most 13 characters (the whole page field)
  std::array<std::uint8_t, 4> ip{};
  std::array<std::uint8_t, 6> mac{};
  char userPortNum = '4';
  char cacheCap = '4';
  char badkFCExist = 'F';
  std::uint16_t status = 2;      // initial status word (corvid::pages::StatusWord)
  std::uint16_t mpStatus = 0x1000;
  std::array<std::uint32_t, 6> timeOuts{};
  std::string nasOsVersion;      // last version received through A2
};

struct UnitSpec {
  std::string name;
  Model model = Model::ZQH;
  std::string serial = "00000001";  // 8 ASCII digits in the page (any 8 bytes accepted here)
  std::array<std::uint8_t, 4> svpIp{127, 0, 0, 1};
  std::array<std::uint8_t, 4> subnet{255, 0, 0, 0};
  std::uint8_t deviceType = 1;       // page 0x33 byte 3: 1 four ports, 0/2/4 two ports
  std::vector<BoardSpec> boards;
  Durations durations;
  bool autoBootAfterInstall = false; // old NAS OS: the board comes up by itself after install
  std::uint8_t versionFlag = 1;      // A2 byte 15
  int installRefusals = 0;           // install refused this many times with ZQ_ERR_INHERIT_RETRY
  std::uint32_t dumpSizeMb = 1;      // size a finished dump reports (AA), any 32-bit word
};

// A preset unit: ZQH with 4 boards (device type 1, k 0..3), other models with 2 boards
// (device type 2, k 0 and 2). Board IPs are 127.0.0.(10 + slot), slot = sCluster * 8 + sPCB;
// boards rest stopped (status word 3) with a NAS OS installed, or new (0) when `fresh` is set.
UnitSpec PresetUnit(const std::string& name, Model model, int boards, bool fresh = false);

// The folder of a unit (whether or not it exists).
std::string UnitDir(const std::string& name);
// Writes a new unit; fails if it exists unless `replace` is set.
bool CreateUnit(const UnitSpec& scenario, bool replace, std::string* pError = nullptr);
bool DeleteUnit(const std::string& name, std::string* pError = nullptr);
// Names of the units under <system root>/arrays, sorted.
std::vector<std::string> ListUnits();
bool LoadUnitSpec(const std::string& name, UnitSpec* pSpec, std::string* pError = nullptr);
// Reads a scenario in the unit.ini format from any file; the scenario gets the given name.
bool ReadUnitSpecFile(const std::string& file, const std::string& name, UnitSpec* pSpec,
                      std::string* pError = nullptr);

// What a board is doing now, as the pages show it.
struct BoardState {
  int k = 0;
  std::uint16_t status = 0;       // A3 status word
  std::uint16_t mpStatus = 0;
  std::uint32_t installStatus = 0;  // A6 progress word
  std::uint32_t netBootResult = 0;
  std::uint8_t hibStat = 0;
  std::uint8_t shutdownProgress = 0;  // A8
  std::uint32_t dumpStatus = 0;       // AA
  std::uint32_t downloadStatus = 0;   // AC
  std::string downloadFile;
  std::string bootOption;             // last boot option text received through A7
  std::string nasOsVersion;
  std::string activity;               // "idle", "shutdown", "reboot", "boot", "install", ...
};
bool GetBoardStates(const std::string& unit, std::vector<BoardState>* pStates,
                    std::string* pError = nullptr);

// Sets a board's resting status word and ends whatever it was doing.
bool SetBoardStatus(const std::string& unit, int k, std::uint16_t status,
                    std::string* pError = nullptr);
// The time scale of this process's view of the arrays (default KELP_TIME_SCALE). libcorvid keeps
// its own clock settings, so a test sets the scale here rather than only through plat::Clock. A
// very large scale (e.g. 1e9) all but stops real time, leaving AdvanceTime as the only driver.
void SetTimeScale(double scale);
// Moves the simulated time of one unit forward (deterministic tests at any time scale).
bool AdvanceTime(const std::string& unit, std::int64_t logicalMs, std::string* pError = nullptr);

// Injected faults. `op` names a ZQ_ function without the prefix ("GetUnitParam", "ModeSense",
// "ModeSelect", or any function of the JNI family such as "GetLANInformation");
// subPage -1 matches any page; the next `count` matching calls return `code`.
bool InjectCallFault(const std::string& unit, const std::string& op, int page, int subPage,
                     int count, std::uint32_t code, std::string* pError = nullptr);
enum class BoardFault {
  MpStatus,        // value: MP status word (0x1001 blockade)
  ForceStatus,     // value: status word held until cleared (value 0xFFFFFFFF clears)
  NetBootResult,   // value: NetBootResult reported by the next install
  InstallFailure,  // value: final progress word 0x00FE, or 0x05FE | cause << 16
  DumpSkipped,     // value: 1 = the next dump ends as skipped (status 9)
  DownloadResult,  // value: final AC word of the next download, which then delivers no file
  Stall,           // value: 1 = the board's current activity stops progressing, 0 resumes
};
bool InjectBoardFault(const std::string& unit, int k, BoardFault fault, std::uint32_t value,
                      std::string* pError = nullptr);
bool ClearFaults(const std::string& unit, std::string* pError = nullptr);

// Raw page access for tests of what crosses the page boundary. PokePage overlays bytes on every
// later sensed image of that page (until ClearFaults), e.g. an HibStat or Valid value the model
// never produces. LastSelected gives the image most recently selected into a page, recorded once
// its size is right whether or not the board accepted the command (false when none was).
bool PokePage(const std::string& unit, int page, int subPage, std::size_t offset,
              const std::vector<std::uint8_t>& bytes, std::string* pError = nullptr);
// ShortenPage cuts every later sensed image of that page to its first size bytes (until
// ClearFaults), as an array answering with a short page would; size must be below the page's.
bool ShortenPage(const std::string& unit, int page, int subPage, std::size_t size, std::string* pError = nullptr);
bool LastSelected(const std::string& unit, int page, int subPage, std::vector<std::uint8_t>* pImage,
                  std::string* pError = nullptr);
// The image ZQ_ModeSenseonMemory would return now, without consuming injected call faults.
bool PeekPage(const std::string& unit, int page, int subPage, std::vector<std::uint8_t>* pImage,
              std::string* pError = nullptr);

}  // namespace corvid::sim
