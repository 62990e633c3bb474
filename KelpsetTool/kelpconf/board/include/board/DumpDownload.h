// The download of a board's last NAS dump to the maintenance PC, as the download dialog and
// kelpctl run it: the request under the board lock, a poll every 20 seconds up to the limit,
// every end of the download with its catalogue message, and the filing of the received file
// under the dump folder. A download that outruns the limit keeps the board's download mark, so
// that no new dump is taken while it may still run (CheckDownloadMark clears it later).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

class CusrCHN;

namespace board {

inline constexpr int kDownloadPollSeconds = 20;

// What the caller shows meanwhile; called on the downloading thread.
class DownloadProgress {
 public:
  virtual ~DownloadProgress() = default;
  // The dump status word to show (Now downloading..., Normal).
  virtual void Status(std::uint32_t ulWord) = 0;
  // Waits nSeconds (logical) before the next poll.
  virtual void Wait(int nSeconds) = 0;
};

// 0 with *pstrFiled the name the dump was filed under, or the failure's code (its message shown;
// agent::kResultTimeout past the limit, which the caller reads as kDumpDownloadLimit).
std::uint32_t RunDumpDownload(CusrCHN& board, std::chrono::seconds limit, DownloadProgress& progress,
                              std::string* pstrFiled);

// For a board marked as downloading (a download left running by a time-out): one poll of its
// download. A download that has ended clears the mark, and a delivered file is filed into the
// dump folder (*pstrFiled, may be null, gets its name). True while the download still runs or
// cannot be asked about. Paces: may wait up to 20 s.
bool CheckDownloadMark(CusrCHN& board, std::string* pstrFiled);

}  // namespace board
