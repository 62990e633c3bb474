// state.ini: the living state of one simulated array — its clock, what each board shows and is
// doing, the faults injected into it and the images last selected into its pages.
//
// Board activities are kept as (kind, logical start time) and the pages are derived from the
// elapsed time, so reading a page never writes the state: it changes only when a command is
// accepted, an activity ends, or a fault is injected or consumed.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvid/NasPages.h"
#include "corvid/Sim.h"

namespace corvid::detail {

enum class Activity { Idle, Shutdown, Reboot, Boot, Install, Dump, Blockade, Reset };
const char* ActivityName(Activity activity);
std::optional<Activity> ParseActivity(std::string_view text);

struct BoardRuntime {
  bool present = false;  // the unit has this board
  // What the board shows while idle.
  std::uint16_t status = pages::kStatusNew;
  std::uint32_t installStatus = 0;
  std::uint32_t netBootResult = 0;
  std::uint8_t hibStat = 0;
  std::uint8_t shutdownProgress = pages::kProgressDone;
  std::uint32_t dumpStatus = pages::kDumpAbsent;
  std::uint32_t dumpSize = 0;  // MB
  std::string dumpDate;        // "YYYYMMDDhhmmss"
  std::uint32_t downloadStatus = pages::kDownloadDone;
  std::string downloadFile;
  std::string bootOption;
  std::string nasOsVersion;
  std::array<std::uint32_t, pages::a3::kTimeOutCount> timeOuts{};
  // The command being carried out.
  Activity activity = Activity::Idle;
  std::int64_t activityStart = 0;
  std::uint16_t returnStatus = 0;     // status a failed install falls back to
  std::uint32_t installResult = 0;    // final A6 word of the running install
  bool dumpSkips = false;             // the running dump ends as skipped
  std::string pendingDumpDate;        // date the running dump will carry
  bool downloading = false;
  std::int64_t downloadStart = 0;
  std::string downloadDumpDate;       // date of the dump being downloaded
  std::uint32_t downloadResult = pages::kDownloadDone;  // final AC word of the running download
  bool stalled = false;               // activity and download frozen since stalledAt
  std::int64_t stalledAt = 0;
  // Install inherit protocol: refusals given in this round, RetryInfo expected next.
  std::uint32_t refusals = 0;
  std::uint32_t nextRetry = 0;
  // Injected board faults.
  std::int32_t forceStatus = -1;      // shown status word, -1 none
  std::int32_t mpFault = -1;          // shown MP status, -1 none
  std::uint32_t netBootFault = 0;     // NetBootResult of the next install
  std::uint32_t installFailureFault = 0;  // final A6 word of the next install
  bool dumpSkippedFault = false;      // the next dump ends as skipped
  std::uint32_t downloadResultFault = 0;  // final AC word of the next download, 0 none
};

struct CallFault {
  std::string op;  // "GetUnitParam", "ModeSense", "ModeSelect"
  int page = -1;   // -1: any
  int subPage = -1;
  int count = 0;   // calls still to fail
  std::uint32_t code = 0;
};

struct Poke {
  int page = 0;
  int subPage = 0;
  std::size_t offset = 0;
  std::vector<std::uint8_t> bytes;
};

constexpr int PageKey(int page, int subPage) { return page * 256 + subPage; }

struct UnitState {
  // The unit's clock: logical ms at the raw CLOCK_MONOTONIC time rawNs.
  std::int64_t logicalMs = 0;
  std::int64_t rawNs = 0;
  std::array<BoardRuntime, pages::kBoards> boards;
  std::vector<CallFault> callFaults;  // in injection order
  std::vector<Poke> pokes;            // applied in order
  std::map<int, std::size_t> cuts;    // by PageKey: sensed images end after this many bytes
  std::map<int, std::vector<std::uint8_t>> selected;  // by PageKey
};

// A board as the scenario starts it.
BoardRuntime InitialBoard(const sim::BoardSpec& scenario);
// The state of a unit that has just been made: every board resting as its scenario says.
UnitState InitialState(const sim::UnitSpec& scenario, std::int64_t rawNs);

bool ParseUnitState(std::string_view text, UnitState* pState, std::string* pError);
std::string FormatUnitState(const UnitState& state);

}  // namespace corvid::detail
