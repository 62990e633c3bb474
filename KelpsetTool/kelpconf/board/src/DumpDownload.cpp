#include "board/DumpDownload.h"

#include "agent/AgentWire.h"
#include "board/BoardLock.h"
#include "board/CusrCHN.h"
#include "board/DumpTransfer.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "plat/Clock.h"

namespace board {
namespace {

constexpr const char* kClass = "CdlgDownloadDump";

// Files a finished download's file; the failure has been shown when it returns false.
bool FileDump(const CusrTraceScope& trace, const std::string& strReported, std::string* pstrFiled) {
  std::error_code error;
  switch (FileReceivedDump(strReported, pstrFiled, &error)) {
    case FileResult::Filed:
      trace.Info(TraceFmt("Download File: %s -> %s", strReported.c_str(), pstrFiled->c_str()), TRC_INFO);
      return true;
    case FileResult::BadName:
      trace.Error(TraceFmt("Download File name refused: %s", strReported.c_str()), TRC_ERROR);
      break;
    case FileResult::Missing:
      trace.Error(TraceFmt("Download File not found: %s", strReported.c_str()), TRC_ERROR);
      break;
    case FileResult::Empty:
      trace.Error(TraceFmt("Download File is empty: %s", strReported.c_str()), TRC_ERROR);
      break;
    case FileResult::IoError:
      trace.Error(TraceFmt("link(%s): 0x%08x", strReported.c_str(), static_cast<unsigned>(error.value())), TRC_ERROR);
      trace.Error(ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<std::uint32_t>(error.value()))),
                  TRC_ERROR);
      return false;
  }
  trace.Error(ShowMessage(msg::kDumpTransferFailed), TRC_ERROR);
  return false;
}

// Holds a board's lock for one command.
class HeldLock {
 public:
  explicit HeldLock(BoardLock& lock) : m_lock(lock) { m_lock.Lock(); }
  ~HeldLock() { m_lock.Unlock(); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

 private:
  BoardLock& m_lock;
};

}  // namespace

bool CheckDownloadMark(CusrCHN& board, std::string* pstrFiled) {
  CusrTraceScope trace(kClass, "CheckDownloadMark", TRC_FUNC);
  if (!board.IsDumpDownloading()) return false;
  std::uint32_t ulStatus = 0;
  std::uint32_t ulError = 0;
  std::string strFile;
  if (!board.GetDownloadDumpStatus(&ulStatus, &strFile, &ulError)) {
    trace.Error(TraceFmt("GetDownloadDumpStatus(): 0x%08x", ulError), TRC_ERROR);
    return true;
  }
  trace.Info(TraceFmt("Download Status: 0x%08x", ulStatus), TRC_INFO);
  const DownloadState state = ClassifyDownloadStatus(ulStatus);
  if (state == DownloadState::Running) return true;
  board.SetDumpDownloading(false);
  std::string strFiled;
  if (state == DownloadState::Succeeded && FileDump(trace, strFile, &strFiled) && pstrFiled != nullptr)
    *pstrFiled = strFiled;
  return false;
}

std::uint32_t RunDumpDownload(CusrCHN& board, std::chrono::seconds limit, DownloadProgress& progress,
                              std::string* pstrFiled) {
  CusrTraceScope trace(kClass, "StartDownload", TRC_FUNC);
  const std::string strName = board.LocationName();
  progress.Status(kDumpDownloading);
  std::uint32_t ulError = 0;
  bool bStarted = false;
  {
    HeldLock lock(board.TimerMutex());
    bStarted = board.DownloadDump(&ulError);
  }
  if (!bStarted) {
    trace.Error(TraceFmt("DownloadDump(): 0x%08x", ulError), TRC_ERROR);
    progress.Status(kDumpNormal);
    return ulError;
  }
  board.SetDumpDownloading(true);
  const plat::TimePoint start = plat::Clock::Now();
  // Every end of the download but the time-out: the mark goes, the status returns to Normal.
  const auto ended = [&](std::uint32_t ulResult) {
    board.SetDumpDownloading(false);
    progress.Status(kDumpNormal);
    return ulResult;
  };
  while (plat::Clock::Now() - start < limit) {
    progress.Wait(kDownloadPollSeconds);
    std::uint32_t ulStatus = 0;
    std::string strFile;
    if (!board.GetDownloadDumpStatus(&ulStatus, &strFile, &ulError)) {
      trace.Error(TraceFmt("GetDownloadDumpStatus(): 0x%08x", ulError), TRC_ERROR);
      // The download itself may still run: the mark stays until a poll sees it end.
      progress.Status(kDumpNormal);
      return ulError;
    }
    trace.Info(TraceFmt("Download Status: 0x%08x", ulStatus), TRC_INFO);
    switch (ClassifyDownloadStatus(ulStatus)) {
      case DownloadState::Running:
        continue;
      case DownloadState::Succeeded:
        return ended(FileDump(trace, strFile, pstrFiled) ? 0 : agent::kResultProtocol);
      case DownloadState::TransferCause:
        trace.Error(ShowMessage(msg::kDumpDownloadCause, strName, common::CodeText(ulStatus)), TRC_ERROR);
        return ended(ulStatus);
      case DownloadState::TransferFailed:
        trace.Error(ShowMessage(msg::kDumpTransferFailed), TRC_ERROR);
        return ended(ulStatus);
      case DownloadState::Failed:
      case DownloadState::Unknown:
        trace.Error(ShowMessage(msg::kNasOsError, common::CodeText(ulStatus)), TRC_ERROR);
        return ended(ulStatus);
    }
  }
  trace.Error(ShowMessage(msg::kDumpDownloadTimeout, common::CodeText(agent::kResultTimeout)), TRC_ERROR);
  return agent::kResultTimeout;
}

}  // namespace board
