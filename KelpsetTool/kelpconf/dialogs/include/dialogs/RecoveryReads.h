// What the main window reads from the boards before it opens a recovery or the dump download.
// Each runs on a worker and tells the engineer itself (message or trace) why the dialog does not
// open; an empty result then means "do not open". The board's own location name is used.
#pragma once

#include <cstdint>
#include <optional>

#include "agent/AgentTypes.h"
#include "board/CusrCHN.h"
#include "dialogs/CdlgDownloadDump.h"
#include "session/ArraySession.h"

namespace recovery {

// The NAS OS below this agent version cannot restore the system LUs.
inline constexpr std::uint32_t kSystemLuAgentVersion = 0x05000000;

// Download Dump: an agent new enough, the board's dump information, and a dump to take (or a
// download of it that outran its wait, which the dialog then follows).
std::optional<CdlgDownloadDump::DumpInfo> ReadDumpDownload(CusrCHN& board);
// Restore NAS OS LU: an agent new enough and a backup of the board's OS LU.
std::optional<agent::LuBackupInfo> ReadOsLuBackup(CusrCHN& board);

// The board an array-wide recovery runs on and its backup information.
template <class Info>
struct LatestBackup {
  CusrCHN* pBoard = nullptr;
  Info info;
};
// Restore NAS CM LU: the session's latest running board (agent 02-00 or later) and a backup.
std::optional<LatestBackup<agent::LuBackupInfo>> ReadCmLuBackup(const session::ArraySession& session);
// Restore All NAS System LU: the latest running board (agent 05-00 or later), its backup
// information, and an upload status that names a fitted board (1-4: slots 0-3, 5-8: 8-11).
std::optional<LatestBackup<agent::SystemLuBackupInfo>> ReadSystemLuBackup(const session::ArraySession& session);

}  // namespace recovery
