#include "CommandPages.h"

#include <ctime>

#include "BoardMachine.h"
#include "PageImage.h"
#include "corvid.h"
#include "plat/Clock.h"

namespace corvid::detail {
namespace {

using namespace corvid::pages;

// "YYYYMMDDhhmmss" in local time, logicalDelay (scaled) after now.
std::string DumpDate(std::int64_t logicalDelay) {
  const auto when = plat::Clock::WallNow() +
                    std::chrono::duration_cast<std::chrono::system_clock::duration>(
                        plat::Clock::ToReal(plat::Millis(logicalDelay)));
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

const sim::BoardSpec* FindBoard(const sim::UnitSpec& scenario, int k) {
  for (const sim::BoardSpec& b : scenario.boards)
    if (b.k == k) return &b;
  return nullptr;
}

}  // namespace

std::uint32_t SelectPage(UnitSession& session, int page, int subPage, std::span<const std::uint8_t> image) {
  if (!IsCommandPage(page, subPage)) return ZQ_ERR_NO_PAGE;
  if (image.size() != PageSize(page, subPage)) return ZQ_ERR_BAD_ARGUMENT;
  UnitState& state = session.state();
  state.selected[PageKey(page, subPage)].assign(image.begin(), image.end());
  session.Touch();

  const std::uint16_t cluster = Get16(image, cmd::kCluster).value_or(0xFFFF);
  const std::uint16_t pcb = Get16(image, cmd::kPcb).value_or(0xFFFF);
  if (cluster > 1 || pcb > 1) return sim::kErrNoBoard;
  const int k = cluster * 2 + pcb;
  const sim::BoardSpec* config = FindBoard(session.scenario(), k);
  if (config == nullptr) return sim::kErrNoBoard;
  BoardRuntime& board = state.boards[static_cast<std::size_t>(k)];
  BoardMachine machine(board, session.scenario(), *config);
  const std::int64_t now = session.now();

  switch (subPage) {
    case kA1Install:
      return machine.Install(Get32(image, a1::kRetryInfo).value_or(0), now);
    case kA2InstallInfo:
      if (session.scenario().versionFlag == 1)
        board.nasOsVersion = GetText(image, a2::kNasOSVersion, a2::kNasOSVersionSize);
      return 0;
    case kA4TimeOut:
      for (std::size_t t = 0; t < board.timeOuts.size(); ++t)
        board.timeOuts[t] = Get32(image, a4::kTimeOut0 + 4 * t).value_or(0);
      return 0;
    case kA5HibDump:
      return machine.HibernationDump(DumpDate(session.scenario().durations.dumpMs), now);
    case kA7Power:
      return machine.Power(Get32(image, a7::kOption).value_or(0),
                           GetText(image, a7::kBootOpt, a7::kBootOptMax + 1), now);
    case kA9DumpPrepare:
      return 0;  // the dump information is always current
    case kABDownload:
      return machine.Download(now);
    default:
      return ZQ_ERR_NO_PAGE;
  }
}

std::uint32_t TakeCallFault(UnitSession& session, const char* op, int page, int subPage) {
  auto& faults = session.state().callFaults;
  for (auto it = faults.begin(); it != faults.end(); ++it) {
    const bool pageMatches = it->page == -1 || page == -1 || it->page == page;
    const bool subPageMatches = it->subPage == -1 || subPage == -1 || it->subPage == subPage;
    if (it->op != op || !pageMatches || !subPageMatches) continue;
    const std::uint32_t code = it->code;
    if (--it->count <= 0) faults.erase(it);
    session.Touch();
    return code;
  }
  return 0;
}

}  // namespace corvid::detail
