#include "BoardPower.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "ApiCall.h"
#include "Watch.h"
#include "board/BoardPorts.h"
#include "board/CusrCHN.h"
#include "board/CusrStatusAgent.h"
#include "board/PowerCommands.h"
#include "common/Strings.h"
#include "plat/Clock.h"
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
class ConsoleMain : public board::MainDialogLink {
 public:
  ConsoleMain(std::uint32_t ulSlot, std::FILE* out, const Stopwatch& clock) : m_ulSlot(ulSlot), m_out(out), m_clock(clock) {}
  bool OnInitDialogW(std::uint32_t) override { return true; }
  void RefreshBoard(std::uint32_t ulSlot) override {
    const CusrCHN* pBoard = ulSlot == m_ulSlot ? CusrCHN::GetCHN(ulSlot) : nullptr;
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
// a kelpconf run around it. Prints the result; the exit status.
int RunOnBoard(const Invocation& invocation, const char* pszWord, std::FILE* out, std::FILE* err,
               const std::function<bool(CusrCHN&, const Stopwatch&, std::uint32_t*)>& op) {
  const Stopwatch clock;
  const auto ulSlot = static_cast<std::uint32_t>(invocation.slot);
  ConsoleMain main(ulSlot, out, clock);
  std::uint32_t ulError = 0;
  if (!CusrCHN::Initialize(&main, board::ResolveFileServerPort(invocation.settingsFile), &ulError)) {
    std::fprintf(err, "kelpctl: the array could not be read: 0x%08x\n", ulError);
    return 1;
  }
  const std::vector<std::unique_ptr<CusrCHN>> boards = CreateBoards(invocation, err);
  CusrCHN* pBoard = CusrCHN::GetCHN(ulSlot);
  if (pBoard == nullptr || !CusrCHN::IsCHN(ulSlot)) {
    std::fprintf(err, "kelpctl: slot %d has no NAS board\n", invocation.slot);
    return 1;
  }
  CusrCHN::GetMPStatus();
  CusrCHN::GetChnStatusKestrel(0);
  pBoard->SetChnStatusKestrel();
  main.RefreshBoard(ulSlot);

  CusrStatusAgent poller;
  poller.Create(&main, static_cast<std::uint32_t>(board::kCommandPace.count()));
  poller.Start();
  const bool bOk = op(*pBoard, clock, &ulError);
  poller.Stop();
  if (bOk) {
    std::fprintf(out, "%s of slot %d finished\n", pszWord, invocation.slot);
    return 0;
  }
  std::fprintf(err, "kelpctl: %s of slot %d failed: 0x%08x\n", pszWord, invocation.slot, ulError);
  return 1;
}

}  // namespace

int RunPower(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  const PowerVerb& verb = VerbOf(invocation.command);
  if (invocation.watch) {
    return RunOnBoard(invocation, verb.word, out, err,
                      [&](CusrCHN& board, const Stopwatch& clock, std::uint32_t* pulError) {
                        ConsolePowerDialog dialog(out, clock);
                        switch (invocation.command) {
                          case Command::Shutdown: return board.StartShutdown(&dialog, pulError);
                          case Command::Reboot: return board.StartReboot(&dialog, pulError);
                          default: return board.StartBoot(&dialog, invocation.bootOption.value_or(""), pulError);
                        }
                      });
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
          &failure)) {
    ReportFailure(err, failure);
    return 1;
  }
  std::fprintf(out, "%s of slot %d accepted\n", verb.word, invocation.slot);
  return 0;
}

int RunReset(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  std::fprintf(out, "reset of slot %d: forced blockade, restore and settle time\n", invocation.slot);
  std::fflush(out);
  return RunOnBoard(invocation, "reset", out, err, [](CusrCHN& board, const Stopwatch&, std::uint32_t* pulError) {
    return board.StartP4Reset(nullptr, pulError);
  });
}

}  // namespace kelpctl
