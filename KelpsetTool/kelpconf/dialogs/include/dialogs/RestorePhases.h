// What the LU recovery dialogs share: the time limits of the settings file, the texts of their
// status values, the paced polling of the boards an operation runs on, and the reboot of every
// NAS OS (slots 8-15 first, slots 0-7 only when all of those came back).
//
// Everything here but the texts runs on the dialogs' worker threads; nothing touches a control.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "board/CusrCHN.h"
#include "board/MultiReboot.h"
#include "board/SettingsLimits.h"
#include "plat/Clock.h"

namespace recovery {

inline constexpr const char* kNoBackupDate = "----/--/-- --:--";  // a backup that does not exist
inline constexpr plat::Millis kPollInterval{30'000};
inline constexpr plat::Millis kBlinkPeriod{1'000};

// ---- status values and their texts ----
// The Cluster Management LU and NAS OS LU dialogs.
enum LuStatus : std::uint32_t {
  kLuNormal = 0,
  kLuSaving = 1,
  kLuRestoring = 2,
  kLuStoppingCluster = 3,  // Cluster Management LU only
  kLuRemovingCluster = 4,  // Cluster Management LU only
  kLuFailed = 5,
};
// The shown text; *pbKnown false for a status the dialog does not know ("Unknown", traced by the
// caller). A failed status also reads "Unknown".
std::string LuStatusText(std::uint32_t ulStatus, bool bClusterDialog, bool* pbKnown);
std::string RebootingAllText();

// The system LU dialog.
enum SystemLuStatus : std::uint32_t {
  kSysNoBackup = 1,
  kSysSaving = 2,
  kSysUploading = 3,
  kSysNormal = 4,
  kSysExpanding = 5,
  kSysRestoring = 6,
  kSysFailed = 7,
  kSysRebooting = 8,
};
std::string SystemLuStatusText(std::uint32_t ulStatus, bool* pbKnown);
// The dialog's first status from the backup's execute status and download date.
std::uint32_t SystemLuInitialStatus(std::uint32_t ulExecuteStatus, const std::string& strDate);

// ---- the paced wait of a phase ----
// Sleeps on logical time; Stop (the dialog goes away) ends every sleep at once.
class PhaseClock {
 public:
  // False when stopped before or during the sleep.
  bool Sleep(plat::Millis period);
  void Stop();

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_bStopped = false;
};

// What a phase shows while it waits between polls: the status text blinks.
class PhaseView {
 public:
  virtual ~PhaseView() = default;
  virtual void Flash(bool bOn) = 0;
};

// Per slot during a phase on several boards.
enum BoardState : int { kNotInvolved = -1, kRequested = 1, kWorking = 2, kFinished = 3 };
struct BoardRun {
  int nState = kNotInvolved;
  bool bFailed = false;
  std::uint32_t ulResult = 0;  // the poll's failure code, or the final status word
};
using BoardRuns = std::array<BoardRun, CusrCHN::kSlots>;

// The traces of one polled operation (printf formats; a null one is not written).
struct PollTexts {
  const char* pszWorking;   // "%s": the board's name
  const char* pszFinished;  // "%s": the board's name
  const char* pszFailure;   // "%08x": the poll's code
};
using PollCall = std::uint32_t (CusrCHN::*)(std::uint32_t*) const;
using BoardOf = std::function<const CusrCHN*(std::uint32_t ulSlot)>;
// The lookup of a phase that runs on one board only.
BoardOf OnlyBoard(const CusrCHN& board);

enum class WaitEnd { Finished, Failed, TimedOut, Stopped };
// Every kPollInterval (blinking meanwhile), up to the limit (board::ReadLimit), polls each requested board still
// working: 101 keeps it working, any other status finishes it with that status as its result,
// a failing poll finishes it failed. With bStopAtFailure the first failure ends the wait
// (*pulFailedSlot names it). Finished when no board is left working.
WaitEnd WaitForBoards(PhaseClock& clock, PhaseView& view, std::chrono::seconds limit, BoardRuns& runs,
                      const BoardOf& boardOf, PollCall poll, const PollTexts& texts, bool bStopAtFailure,
                      std::uint32_t* pulFailedSlot);

// ---- message texts ----
// "Failed(CTL0-0:0x0000000d)" and the like, for the board of that name.
std::string FailedText(const char* pszWord, const std::string& strName, std::uint32_t ulCode);
// One line per entry, or the placeholder when there is none.
std::string JoinLines(const std::vector<std::string>& lines, const std::string& strEmpty);

// ---- Reboot all ----
// The statuses a reboot of the NAS OS suits: booting, running, stopping, panic, hung up. New,
// stopped, down, installing, dumping, fatal and disused boards are left alone.
bool IsRebootable(std::int32_t nStatus);
inline constexpr std::int32_t kNoNasPackage = INT32_MIN;
struct RebootPlan {
  board::RebootMarks marks{};
  bool bAnyMarked = false;
  bool bActiveNode = false;  // a board is UP: the reboot stops its services
};
// From each slot's status (kNoNasPackage for a slot without one); traces each slot's choice.
RebootPlan PlanRebootAll(const std::array<std::int32_t, CusrCHN::kSlots>& statuses);
struct RebootOutcome {
  bool bSucceeded = false;
  std::string strFailed;        // "   %s  Code = 0x%08x\n" per board
  std::string strNotRestarted;  // "   %s\n" per board of group 1 left alone
};
// Reboots the marked boards of group 2 and, when all of them came back, those of group 1.
using MultiRebootCall = std::function<std::uint32_t(int nMode, const board::RebootMarks&, board::RebootResults&)>;
// The location name of a slot, for the outcome's lines.
using NameOf = std::function<std::string(std::uint32_t ulSlot)>;
RebootOutcome RebootAll(const RebootPlan& plan, const NameOf& nameOf, const MultiRebootCall& multiReboot);

}  // namespace recovery
