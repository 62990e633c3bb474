#include "Watch.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "board/CusrCHN.h"
#include "plat/Clock.h"
#include "session/MainSettings.h"

namespace kelpctl {
namespace {

// "HH:MM:SS" of a wall-clock time in milliseconds, "never" for 0.
std::string ClockText(std::uint64_t ullMs) {
  if (ullMs == 0) return "never";
  const std::time_t seconds = static_cast<std::time_t>(ullMs / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

}  // namespace

std::unique_ptr<session::ArraySession> OpenSession(const Invocation& invocation, Report& report) {
  auto pSession =
      std::make_unique<session::ArraySession>(invocation.settingsFile, session::ReadMainSettings(invocation.settingsFile));
  std::uint32_t ulError = 0;
  const bool bStarted = pSession->Start(
      &ulError, [err = report.Notes()](std::uint32_t ulSlot, CusrCHN::AgentAccess access, std::uint32_t ulAccessError) {
        if (access == CusrCHN::AgentAccess::NoMacAddress)
          std::fprintf(err, "kelpctl: slot %u: no MAC address (0x%08x)\n", ulSlot, ulAccessError);
        else if (access == CusrCHN::AgentAccess::NoConnection)
          std::fprintf(err, "kelpctl: slot %u: no agent connection (0x%08x)\n", ulSlot, ulAccessError);
      });
  if (!bStarted) {
    report.Fail(CodedError("the array could not be read", ulError));
    return nullptr;
  }
  return pSession;
}

namespace {

void PrintRound(std::FILE* out, const Invocation& invocation, unsigned round, const session::ArraySession& session) {
  // On a terminal each round replaces the last one.
  if (isatty(fileno(out))) std::fputs("\033[H\033[2J", out);
  const std::uint64_t ullNow =
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     plat::Clock::WallNow().time_since_epoch()).count());
  std::fprintf(out, "Unit %s, round %u at %s\n", invocation.unit.c_str(), round, ClockText(ullNow).c_str());
  std::fprintf(out, "%-4s  %-10s  %-10s  %-7s  %-9s  %s\n", "SLOT", "LOCATION", "STATUS", "MP", "LAST SEEN", "STAGE");
  for (const std::uint32_t ulSlot : session.Array().ModelSlots()) {
    const CusrCHN& board = *session.Board(ulSlot);
    const std::string stage = board.StageText();
    std::fprintf(out, "%-4u  %-10s  %-10s  %-7s  %-9s  %s\n", ulSlot, board.LocationName().c_str(),
                 CusrCHN::StatusWord(board.GetStatus()).c_str(), board.MpBlockadeFlag() != 0 ? "blocked" : "normal",
                 ClockText(board.LastSeenMs()).c_str(), stage.empty() ? "-" : stage.c_str());
  }
  std::fflush(out);
}

}  // namespace

int RunWatch(const Invocation& invocation, Report& report) {
  // SIGINT and SIGTERM end the wait between rounds (sigtimedwait), from every thread.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  const std::unique_ptr<session::ArraySession> pSession = OpenSession(invocation, report);
  if (!pSession) return 1;
  board::ArrayTables& array = pSession->Array();
  const auto realInterval = plat::Clock::ToReal(std::chrono::seconds(invocation.intervalSeconds));
  for (unsigned round = 1; invocation.rounds == 0 || round <= invocation.rounds; ++round) {
    array.GetMPStatus();
    array.GetChnStatusKestrel(1);
    for (const std::uint32_t ulSlot : array.ModelSlots()) pSession->Board(ulSlot)->SetChnStatusKestrel();
    PrintRound(report.Lines(), invocation, round, *pSession);
    if (round == invocation.rounds) break;
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(realInterval);
    const timespec wait{static_cast<std::time_t>(whole.count()),
                        static_cast<long>((realInterval - whole).count())};
    if (sigtimedwait(&stopSignals, nullptr, &wait) >= 0) break;
  }
  return 0;
}

}  // namespace kelpctl
