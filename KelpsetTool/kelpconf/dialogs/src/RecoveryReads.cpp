#include "dialogs/RecoveryReads.h"

#include "board/DumpDownload.h"
#include "board/DumpTransfer.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "dialogs/RestorePhases.h"

namespace recovery {
namespace {

// The trace keeps the main window's handler names: these reads are their first half.
constexpr const char* kClass = "CdlgMain";
constexpr const char* kDumpWriteMinutes = "30";  // the longest a board takes to write its dump file
constexpr std::uint32_t kBadUploadCode = 6;     // shown with 3556 for an upload status that names no board

}  // namespace

std::optional<CdlgDownloadDump::DumpInfo> ReadDumpDownload(CusrCHN& board) {
  CusrTraceScope trace(kClass, "OnDownloadDump", TRC_FUNC);
  const std::string strName = board.LocationName();
  if (board.GetAgentVersion() < CusrCHN::kOldNasOsAgentVersion) {
    trace.Warn(ShowMessage(msg::kOsLuVersionOld, strName), TRC_WARN);
    return std::nullopt;
  }
  // A download that outran its wait: the dialog follows it until a poll sees its end.
  std::string strFiled;
  const bool bStillDownloading = board::CheckDownloadMark(board, &strFiled);
  if (!strFiled.empty()) ShowMessage(msg::kDumpDownloaded, strName, strFiled);
  CdlgDownloadDump::DumpInfo info;
  std::uint32_t ulError = 0;
  if (!board.GetDumpInfo(&info.ulStatus, &info.strDate, &info.ulSize, &ulError)) {
    trace.Error(TraceFmt("GetDumpInfo(): 0x%08x", ulError), TRC_ERROR);
    return std::nullopt;
  }
  trace.Info(TraceFmt("Status: 0x%08x, Date: %s, Size: %d", info.ulStatus, info.strDate.c_str(),
                      static_cast<int>(info.ulSize)),
             TRC_INFO);
  if (bStillDownloading) {
    info.ulStatus = board::kDumpDownloading;
    return info;
  }
  switch (board::ClassifyDumpStatus(info.ulStatus)) {
    case board::DumpState::Error:
      trace.Error(ShowMessage(msg::kNasOsError, common::CodeText(info.ulStatus)), TRC_ERROR);
      return std::nullopt;
    case board::DumpState::Nothing:
      trace.Warn(ShowMessage(msg::kDumpNotReady, strName, kDumpWriteMinutes), TRC_WARN);
      return std::nullopt;
    default:
      return info;
  }
}

std::optional<agent::LuBackupInfo> ReadOsLuBackup(CusrCHN& board) {
  CusrTraceScope trace(kClass, "OnRestoreOsLu", TRC_FUNC);
  const std::string strName = board.LocationName();
  agent::LuBackupInfo info;
  if (board.GetAgentVersion() < CusrCHN::kOldNasOsAgentVersion) {
    trace.Warn(ShowMessage(msg::kOsLuVersionOld, strName), TRC_WARN);
  } else if (const std::uint32_t ulResult = board.GetOsLuBackupInfo(&info)) {
    trace.Error(TraceFmt("GetOsLuBackupInfo(): 0x%08x", ulResult), TRC_ERROR);
  } else if (info.strDate == kNoBackupDate) {
    trace.Warn(ShowMessage(msg::kNoOsLuBackup, strName), TRC_WARN);
  } else {
    return info;
  }
  return std::nullopt;
}

std::optional<LatestBackup<agent::LuBackupInfo>> ReadCmLuBackup(const session::ArraySession& session) {
  CusrTraceScope trace(kClass, "OnRestoreCmLu", TRC_FUNC);
  LatestBackup<agent::LuBackupInfo> latest;
  latest.pBoard = session.GetLatestCHN();
  if (latest.pBoard == nullptr || latest.pBoard->GetAgentVersion() < CusrCHN::kOldNasOsAgentVersion) {
    trace.Warn(ShowMessage(msg::kNoRunningNasOs, LoadString(str::kNasOsVersion0200)), TRC_WARN);
    return std::nullopt;
  }
  if (const std::uint32_t ulResult = latest.pBoard->GetSharedLuBackupInfo(&latest.info)) {
    trace.Error(TraceFmt("GetSharedLuBackupInfo(): 0x%08x", ulResult), TRC_ERROR);
    return std::nullopt;
  }
  trace.Info(TraceFmt("Status : 0x%08x, Date : %s", latest.info.ulBackupStatus, latest.info.strDate.c_str()),
             TRC_INFO);
  if (latest.info.strDate == kNoBackupDate) {
    trace.Warn(ShowMessage(msg::kNoCmLuBackup), TRC_WARN);
    return std::nullopt;
  }
  return latest;
}

std::optional<LatestBackup<agent::SystemLuBackupInfo>> ReadSystemLuBackup(const session::ArraySession& session) {
  CusrTraceScope trace(kClass, "OnRestoreSystemLu", TRC_FUNC);
  LatestBackup<agent::SystemLuBackupInfo> latest;
  latest.pBoard = session.GetLatestCHN();
  if (latest.pBoard == nullptr || latest.pBoard->GetAgentVersion() < kSystemLuAgentVersion) {
    trace.Warn(ShowMessage(msg::kNoRunningNasOs, LoadString(str::kNasOsVersion0500)), TRC_WARN);
    return std::nullopt;
  }
  const agent::SystemLuBackupInfo& info = latest.info;
  if (const std::uint32_t ulResult = latest.pBoard->GetSystemLuBackupInfo(&latest.info)) {
    trace.Error(TraceFmt("GetSystemLuBackupInfo(): 0x%08x", ulResult), TRC_ERROR);
    return std::nullopt;
  }
  trace.Info(TraceFmt("Execute Status = 0x%08x, Upload Status = 0x%08x, File Name = %s, Download Date = %s",
                      info.ulExecuteStatus, info.ulUploadStatus, info.strFileName.c_str(), info.strDate.c_str()),
             TRC_INFO);
  if (const std::uint32_t u = info.ulUploadStatus; u != 0) {
    const bool bNamesSlot = u <= 8;
    const std::uint32_t ulSlot = u <= 4 ? u - 1 : u + 3;
    if (!bNamesSlot || !session.Array().IsCHN(ulSlot)) {
      trace.Error(TraceFmt(bNamesSlot ? "Update Data is amusing: 0x%08x" : "Upload data is illegal: 0x%08x", u),
                  TRC_ERROR);
      ShowMessage(msg::kNasManagerError, common::CodeText(kBadUploadCode));
      return std::nullopt;
    }
  }
  return latest;
}

}  // namespace recovery
