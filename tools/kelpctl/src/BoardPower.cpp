#include "BoardPower.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ApiCall.h"
#include "Watch.h"
#include "board/BoardPorts.h"
#include "board/CusrCHN.h"
#include "board/DumpDownload.h"
#include "board/DumpTransfer.h"
#include "board/PowerCommands.h"
#include "board/SettingsLimits.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "plat/Clock.h"
#include "plat/DiskSpace.h"
#include "velapi.h"

namespace kelpctl {
namespace {

struct PowerVerb {
  Command command;
  board::PowerCommand power;
  const char* word;  // as typed
};
constexpr PowerVerb kVerbs[] = {
    {Command::Boot, board::PowerCommand::Boot, "boot"},
    {Command::Shutdown, board::PowerCommand::Shutdown, "shutdown"},
    {Command::Reboot, board::PowerCommand::Reboot, "reboot"},
};

const PowerVerb& VerbOf(Command command) {
  for (const PowerVerb& verb : kVerbs)
    if (verb.command == command) return verb;
  return kVerbs[0];
}

// Logical seconds since the operation began, for the progress lines.
class Stopwatch {
 public:
  long long Seconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(plat::Clock::Now() - m_start).count();
  }

 private:
  plat::TimePoint m_start = plat::Clock::Now();
};

// The main window of a console run: prints the target board's status each time it changes.
class ConsoleMain : public board::MainDialogLink, public board::BoardObserver {
 public:
  ConsoleMain(const board::ArrayTables& array, std::uint32_t ulSlot, std::FILE* out, const Stopwatch& clock)
      : m_array(array), m_ulSlot(ulSlot), m_out(out), m_clock(clock) {}
  void BoardChanged(std::uint32_t ulSlot) override {
    const CusrCHN* pBoard = ulSlot == m_ulSlot ? m_array.GetCHN(ulSlot) : nullptr;
    if (pBoard == nullptr) return;
    std::lock_guard lock(m_mutex);
    const std::int32_t nStatus = pBoard->GetStatus();
    if (nStatus == m_nShown) return;
    m_nShown = nStatus;
    std::fprintf(m_out, "  +%5llds  board %s\n", m_clock.Seconds(), CusrCHN::StatusWord(nStatus).c_str());
    std::fflush(m_out);
  }
  bool MarkNewerAgent() override { return false; }
  bool PostAgentFinished() override { return true; }

 private:
  const board::ArrayTables& m_array;
  const std::uint32_t m_ulSlot;
  std::FILE* const m_out;
  const Stopwatch& m_clock;
  std::mutex m_mutex;
  std::int32_t m_nShown = board::CHN_STATUS_CREATED;
};

// The dialog of a console run: prints the interim status word the operation shows.
class ConsolePowerDialog : public board::PowerDialog {
 public:
  ConsolePowerDialog(std::FILE* out, const Stopwatch& clock) : m_out(out), m_clock(clock) {}
  void ShowPowerStatus(std::int32_t, int nStatusWordId) override {
    std::lock_guard lock(m_mutex);
    if (nStatusWordId == m_nShown) return;
    m_nShown = nStatusWordId;
    std::fprintf(m_out, "  +%5llds  status %s\n", m_clock.Seconds(),
                 LoadString(static_cast<std::uint32_t>(nStatusWordId)).c_str());
    std::fflush(m_out);
  }

 private:
  std::FILE* const m_out;
  const Stopwatch& m_clock;
  std::mutex m_mutex;
  int m_nShown = 0;
};

// Runs op on the board of the invocation's slot with the board objects and the status poller of
// a kelpconf run around it. Its lines go where the report puts progress; returns the logical
// seconds it took, nullopt when it failed (reported).
std::optional<long long> RunOnBoard(const Invocation& invocation, const char* pszWord, Report& report,
                                    const std::function<bool(CusrCHN&, const Stopwatch&, std::uint32_t*)>& op) {
  const Stopwatch clock;
  const auto ulSlot = static_cast<std::uint32_t>(invocation.slot);
  const std::unique_ptr<session::ArraySession> pSession = OpenSession(invocation, report);
  if (!pSession) return std::nullopt;
  board::ArrayTables& array = pSession->Array();
  CusrCHN* pBoard = pSession->Board(ulSlot);
  if (pBoard == nullptr || !array.IsCHN(ulSlot)) {
    report.Fail(PlainError("slot " + std::to_string(invocation.slot) + " has no NAS board"));
    return std::nullopt;
  }
  ConsoleMain main(array, ulSlot, report.Lines(), clock);
  array.Subscribe(&main);
  array.GetMPStatus();  // a blocked board shows fatal from the first line on
  pBoard->SetChnStatusKestrel();
  main.BoardChanged(ulSlot);

  pSession->StartPoller(&main, static_cast<std::uint32_t>(board::kCommandPace.count()));
  std::uint32_t ulError = 0;
  const bool bOk = op(*pBoard, clock, &ulError);
  pSession->StopPoller();
  array.Unsubscribe(&main);
  if (!bOk) {
    report.Fail(CodedError(std::string(pszWord) + " of slot " + std::to_string(invocation.slot) + " failed", ulError));
    return std::nullopt;
  }
  std::fprintf(report.Lines(), "%s of slot %d finished\n", pszWord, invocation.slot);
  return clock.Seconds();
}

// The --json document of a finished board operation.
common::json::Value::Object FinishedDocument(const Invocation& invocation, const char* pszWord, long long seconds) {
  return {{"slot", invocation.slot}, {"operation", pszWord}, {"seconds", seconds}};
}

}  // namespace

int RunPower(const Invocation& invocation, Report& report) {
  const PowerVerb& verb = VerbOf(invocation.command);
  if (invocation.watch) {
    const auto seconds =
        RunOnBoard(invocation, verb.word, report, [&](CusrCHN& board, const Stopwatch& clock, std::uint32_t* pulError) {
          ConsolePowerDialog dialog(report.Lines(), clock);
          switch (invocation.command) {
            case Command::Shutdown: return board.StartShutdown(&dialog, pulError);
            case Command::Reboot: return board.StartReboot(&dialog, pulError);
            default: return board.StartBoot(&dialog, invocation.bootOption.value_or(""), pulError);
          }
        });
    return seconds ? 0 : 1;
  }
  const board::PowerCommandRow& command = board::PowerCommandOf(verb.power);
  const char* pszBootOpt = verb.power == board::PowerCommand::Boot && invocation.bootOption
                               ? invocation.bootOption->c_str()
                               : (verb.power == board::PowerCommand::Boot ? nullptr : "");
  ApiFailure failure;
  if (!CallApi(
          "dsvp_NasShutdown",
          [&](std::uint32_t* e) {
            return dsvp_NasShutdown(board::ClusterOf(invocation.slot), board::PcbOf(invocation.slot), command.dwOption,
                                    pszBootOpt, e);
          },
          &failure))
    return report.Fail(ApiError(failure));
  std::fprintf(report.Lines(), "%s of slot %d accepted\n", verb.word, invocation.slot);
  return 0;
}

int RunReset(const Invocation& invocation, Report& report) {
  std::fprintf(report.Lines(), "reset of slot %d: forced blockade, restore and settle time\n", invocation.slot);
  std::fflush(report.Lines());
  const auto seconds = RunOnBoard(
      invocation, "reset", report,
      [](CusrCHN& board, const Stopwatch&, std::uint32_t* pulError) { return board.StartP4Reset(nullptr, pulError); });
  return seconds ? 0 : 1;
}

int RunDump(const Invocation& invocation, Report& report) {
  std::fprintf(report.Lines(), "NAS dump of slot %d: the NAS OS stops at once and writes its memory image\n",
               invocation.slot);
  std::fflush(report.Lines());
  const auto seconds =
      RunOnBoard(invocation, "dump", report, [](CusrCHN& board, const Stopwatch&, std::uint32_t* pulError) {
        std::string strFiled;
        if (board::CheckDownloadMark(board, &strFiled)) {
          *pulError = board::kDumpDownloading;  // the dump being downloaded would be lost
          return false;
        }
        return board.StartDump(pulError);
      });
  if (!seconds) return 1;
  report.Result(FinishedDocument(invocation, "dump", *seconds));
  return 0;
}

namespace {

// A progress line per poll of the download.
class ConsoleDownload : public board::DownloadProgress {
 public:
  ConsoleDownload(std::FILE* out, const Stopwatch& clock) : m_out(out), m_clock(clock) {}
  void Status(std::uint32_t ulWord) override {
    if (ulWord != board::kDumpDownloading) return;
    std::fprintf(m_out, "  +%5llds  downloading\n", m_clock.Seconds());
    std::fflush(m_out);
  }
  void Wait(int nSeconds) override {
    plat::Clock::Sleep(std::chrono::seconds(nSeconds));
    Status(board::kDumpDownloading);
  }

 private:
  std::FILE* const m_out;
  const Stopwatch& m_clock;
};

// The board's dump must exist and fit on the dump folder's file system with (size + 50) MiB.
bool CheckDumpReady(CusrCHN& board, Report& report, std::uint32_t* pulError) {
  std::uint32_t ulStatus = 0;
  std::uint32_t ulSize = 0;
  std::string strDate;
  if (!board.GetDumpInfo(&ulStatus, &strDate, &ulSize, pulError)) return false;
  if (board::ClassifyDumpStatus(ulStatus) != board::DumpState::Normal) {
    Failure none = CodedError("slot " + std::to_string(board.GetIndex()) + " has no dump to download", ulStatus);
    none.text = none.message + " (status " + common::CodeText(ulStatus) + ")";
    report.Fail(none);
    *pulError = ulStatus;
    return false;
  }
  const std::optional<std::uint64_t> required = board::RequiredDumpBytes(static_cast<std::int32_t>(ulSize));
  std::error_code error;
  std::filesystem::create_directories(board::DumpFolder(), error);
  const std::optional<plat::DiskSpace> space = plat::QueryDiskSpace(board::DumpFolder(), error);
  if (!required || !space || space->availableBytes < *required) {
    report.Fail(PlainError("a dump of " + std::to_string(ulSize) + " MB does not fit into " +
                           board::DumpFolder().string()));
    *pulError = ulSize;
    return false;
  }
  return true;
}

}  // namespace

int RunDownloadDump(const Invocation& invocation, Report& report) {
  // The copy's folder is made first, as mkdir -p would, so that a folder that cannot be made
  // stops the command before the board uploads anything.
  if (invocation.toFolder) {
    std::error_code error;
    std::filesystem::create_directories(*invocation.toFolder, error);
    if (!error && !std::filesystem::is_directory(*invocation.toFolder, error))
      error = std::make_error_code(std::errc::not_a_directory);
    if (error)
      return report.Fail(PlainError("cannot create the folder " + *invocation.toFolder + ": " + error.message()));
  }
  std::string strFiled;
  const auto seconds = RunOnBoard(invocation, "download-dump", report,
                                  [&](CusrCHN& board, const Stopwatch& clock, std::uint32_t* pulError) {
                                    if (!CheckDumpReady(board, report, pulError)) return false;
                                    ConsoleDownload progress(report.Lines(), clock);
                                    const std::chrono::seconds limit =
                                        board::ReadLimit(invocation.settingsFile, board::kDumpDownloadLimit);
                                    *pulError = board::RunDumpDownload(board, limit, progress, &strFiled);
                                    return *pulError == 0;
                                  });
  if (!seconds) return 1;
  const std::filesystem::path filed = board::DumpFolder() / strFiled;
  std::fprintf(report.Lines(), "dump of slot %d filed as %s\n", invocation.slot, filed.c_str());
  std::optional<std::string> copied;
  if (invocation.toFolder) {
    std::error_code error;
    const std::filesystem::path copy = std::filesystem::path(*invocation.toFolder) / strFiled;
    if (!std::filesystem::copy_file(filed, copy, std::filesystem::copy_options::none, error))
      return report.Fail(PlainError("cannot copy the dump to " + copy.string() + ": " + error.message()));
    std::fprintf(report.Lines(), "copied to %s\n", copy.c_str());
    copied = copy.string();
  }
  common::json::Value::Object document = FinishedDocument(invocation, "download-dump", *seconds);
  document.push_back({"file", filed.string()});
  document.push_back({"copy", copied});
  report.Result(std::move(document));
  return 0;
}

}  // namespace kelpctl
