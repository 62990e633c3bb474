#include "session/FtpdLauncher.h"

#include <algorithm>
#include <vector>

#include "plat/SyncPipe.h"

namespace session {
namespace {

constexpr std::size_t kMaxAnswer = 63;
// Pipe waits run in slices so that a child that died is noticed without waiting out the limit.
constexpr plat::Millis kSlice{250};

FtpdStart Failed(const char* pszStep, std::string detail) { return {false, pszStep, std::move(detail)}; }

// Repeats one pipe wait in slices until it is not a time-out, the child is gone or the deadline
// passes.
template <class Wait>
plat::PipeStatus SlicedWait(plat::Process* pChild, plat::TimePoint deadline, const Wait& wait, bool* pbChildGone) {
  for (;;) {
    const plat::Millis left = deadline - plat::Clock::Now();
    if (left.count() <= 0) return plat::PipeStatus::Timeout;
    const plat::PipeStatus status = wait(std::min(left, kSlice));
    if (status != plat::PipeStatus::Timeout) return status;
    if (!pChild->IsRunning()) {
      *pbChildGone = true;
      return plat::PipeStatus::Closed;
    }
  }
}

}  // namespace

FtpdStart StartFtpd(const std::string& ftpdPath, const std::filesystem::path& settingsFile,
                    const std::array<std::uint8_t, 4>& svpAddress, plat::Process* pChild, plat::Millis limit) {
  plat::SyncPipe pipe;
  if (pipe.Create() != plat::PipeStatus::Ok) return Failed("CreateNamedPipe", pipe.Error());

  std::vector<std::string> args{settingsFile.string()};
  for (const std::uint8_t octet : svpAddress) args.push_back(std::to_string(octet));
  if (!pChild->Start(ftpdPath, args)) return Failed("CreateProcess", pChild->Error());

  const plat::TimePoint deadline = plat::Clock::Now() + limit;
  bool bChildGone = false;
  const plat::PipeStatus accepted =
      SlicedWait(pChild, deadline, [&](plat::Millis slice) { return pipe.Accept(slice); }, &bChildGone);
  if (accepted != plat::PipeStatus::Ok)
    return Failed("ConnectNamedPipe", bChildGone ? "kelpftpd ended" : plat::ToText(accepted));

  std::string answer;
  const plat::PipeStatus read = SlicedWait(
      pChild, deadline, [&](plat::Millis slice) { return pipe.Read(answer, kMaxAnswer, slice); }, &bChildGone);
  if (read != plat::PipeStatus::Ok && read != plat::PipeStatus::Truncated)
    return Failed("ReadFile", bChildGone ? "kelpftpd ended" : plat::ToText(read));
  pipe.Close();
  if (answer.compare(0, kFtpdReady.size(), kFtpdReady) != 0) return Failed("memcmp", answer);
  return {true, {}, {}};
}

}  // namespace session
