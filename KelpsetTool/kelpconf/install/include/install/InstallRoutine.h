// The installation of the selected products on one board, as a worker thread runs it: the NAS
// OS through the array (installer, progress, boot, wait for the running NAS OS), then each
// product through the board's agent. The routine owns no dialog: it reports into a sink, so
// that one board's progress dialog and a several-board installation can both drive it.
//
// Threads: RunInstallation runs on a worker; the sink is called on that worker and must only
// post to its UI thread. The board lock is taken for each array call, after the 20 s pace before
// it, and released between the rounds of a poll, so the status poller keeps the board's status
// fresh meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/InstallRules.h"

class CusrCHN;

namespace install {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // The status text of row nRow of the request's products.
  virtual void RowStatus(std::size_t nRow, const std::string& strText) = 0;
  // The progress label; bBlink while a step runs.
  virtual void Label(const std::string& strText, bool bBlink) = 0;
  virtual void StopEnabled(bool bEnable) = 0;
  virtual bool StopRequested() const = 0;
  virtual void ClearStopRequest() = 0;
  // Asked between products after a stop request or a failed product: true ends the loop.
  virtual bool CancelRemaining() = 0;
  // A product went to the board's agent, which fetches and installs it within limit (the
  // progress shows the time spent against it).
  virtual void ProductStarted(std::size_t /*nRow*/, plat::Millis /*limit*/) {}
  // True once the whole installation was given up: the polls end at their next round.
  virtual bool Abandoned() const { return false; }
};

struct InstallRequest {
  ProductList products;        // copies of the catalogue records, NAS OS first
  std::size_t nOsCount = 0;    // NAS OS records at the head (0 or 1)
  std::uint32_t ulInitStatus = 0;   // LU initialisation flags for the installer
  std::uint32_t ulInstallType = 0;  // 0 new, 1 update, 2 inherit
  bool bInitRegistered = false;     // the flags are registered with AddInitStatus
  plat::Millis productGap{0};       // pause before each product after the first step
};

// How far an installation came.
enum class Stage { NasOs, NasOsBoot, Products, Done };

struct InstallOutcome {
  std::uint32_t ulCode = 0;   // the first failure's code, 0 when everything was installed
  bool bNasOsFailed = false;  // the NAS OS step failed: nothing else was tried
  bool bInstalledAny = false;
  bool bRestartNeeded = false;  // a patch asks for the NAS OS to be restarted
  Stage stage = Stage::NasOs;   // the step that failed, or Done
  std::vector<std::size_t> failedRows;  // every product row that failed
};

// Releases the LU registration on every path (when the NAS OS runs again at the latest).
InstallOutcome RunInstallation(CusrCHN& board, const InstallRequest& request, ProgressSink& sink);

// Tells the array that the board's installed products changed; one retry after the array's
// time-out. 0 or the array's error (its message shown).
std::uint32_t ChangeInstallInfo(CusrCHN& board);

// "Failed(0x%08x)" of a code.
std::string FailedText(std::uint32_t ulCode);

// The installing mark of a board: set from the confirmation until the worker ends. bLuInit
// tells whether that installation initialises LUs.
void SetInstalling(std::uint32_t ulSlot, bool bInstalling, bool bLuInit = false);
// True when another board is being installed without LU initialisation.
bool IsOtherInstallingWithoutLu(std::uint32_t ulSlot);

}  // namespace install
