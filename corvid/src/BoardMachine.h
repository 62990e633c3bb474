// The life-cycle of one simulated NAS board: the commands the array accepts for it, how its
// activities run on the unit's logical clock, and what the query pages show at a given moment.
//
// Activities (kind + start time) are settled lazily: Settle ends those whose time has come and
// applies their results; the view of a moment between two settles is derived from the elapsed
// time. Command methods return 0 or the code with which the array refuses the command.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "UnitState.h"
#include "corvid/Sim.h"

namespace corvid::detail {

// What the query pages show for a board at one moment.
struct BoardView {
  std::uint16_t status = 0;
  std::uint16_t mpStatus = 0;
  std::uint32_t installStatus = 0;
  std::uint32_t netBootResult = 0;
  std::uint8_t hibStat = 0;
  std::uint8_t shutdownProgress = 0;
  std::uint32_t dumpStatus = 0;
  std::uint32_t dumpSize = 0;
  std::string dumpDate;
  std::uint32_t downloadStatus = 0;
  std::string downloadFile;
  std::string activity;  // "idle", "boot", ..., "+download" while downloading, " (stalled)"
};

// The install progress words in the order the installer reports them, ending with 0x00FF.
inline constexpr std::uint32_t kInstallSteps[] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0105,
                                                  0x0205, 0x0305, 0x0405, 0x0505, 0x0605, 0x0705,
                                                  0x0805, 0x0905, 0x0A05, 0x0006, 0x0007};
inline constexpr std::uint32_t kInstallDone = 0x00FF;
inline constexpr std::uint32_t kDownloadTransferFailed = 0xFFFE0000;

// The view of a settled board at logical time now.
BoardView ViewBoard(const BoardRuntime& board, const sim::UnitSpec& unit, const sim::BoardSpec& config,
                    std::int64_t now);

// Writes the dump file of a finished download; false when it could not be written.
using DumpWriter = std::function<bool(const std::string& fileName, const std::string& dumpDate)>;

class BoardMachine {
 public:
  BoardMachine(BoardRuntime& board, const sim::UnitSpec& unit, const sim::BoardSpec& config);

  // Ends what has finished by now; true when the board changed.
  bool Settle(std::int64_t now, const DumpWriter& writeDump);

  // A7: shutdown, reboot, boot (keeping bootOption), blockade, restore.
  std::uint32_t Power(std::uint32_t option, const std::string& bootOption, std::int64_t now);
  // A1 with its RetryInfo word.
  std::uint32_t Install(std::uint32_t retryInfo, std::int64_t now);
  // A5; dumpDate is the date the finished dump will carry.
  std::uint32_t HibernationDump(const std::string& dumpDate, std::int64_t now);
  // AB.
  std::uint32_t Download(std::int64_t now);

  // Rests the board in a status, ending its activity.
  void SetStatus(std::uint16_t status);
  // Freezes (true) or resumes (false) the activity and download.
  void Stall(bool on, std::int64_t now);

  // The file name a download of the given dump gets (at most 26 characters).
  std::string DumpFileName(const std::string& dumpDate) const;

 private:
  std::int64_t Effective(std::int64_t now) const;
  void Start(Activity activity, std::int64_t now);

  BoardRuntime& m_board;
  const sim::UnitSpec& m_unit;
  const sim::BoardSpec& m_config;
};

}  // namespace corvid::detail
