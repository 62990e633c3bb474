#include "dialogs/RecoveryFunctions.h"

#include <cerrno>

#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "dialogs/CdlgDownloadDump.h"
#include "dialogs/CdlgRestoreNasCmLu.h"
#include "dialogs/CdlgRestoreNasOsLu.h"
#include "dialogs/CdlgRestoreNasSystemLu.h"
#include "dialogs/RecoveryReads.h"
#include "resources/ControlIds.h"

namespace dialogs {

namespace {

constexpr const char* kClass = "CdlgMain";

// A modal dialog that could not run: the catalogue's message with the system's error.
void TellNotRun(CusrTraceScope& trace) {
  trace.Error(ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno))), TRC_ERROR);
}

bool NotRun(int nResult) { return nResult == -1 || nResult == 3; }

}  // namespace

RecoveryFunctions::RecoveryFunctions(kelp::ui::Host& host, kelp::ui::Dialog& owner, session::ArraySession& rSession,
                                     std::function<void()> changed)
    : m_rHost(host), m_rOwner(owner), m_rSession(rSession), m_changed(std::move(changed)) {}

RecoveryFunctions::~RecoveryFunctions() = default;

template <class Read, class FollowUp>
void RecoveryFunctions::ReadThen(Read read, FollowUp followUp) {
  m_rOwner.StartRead(
      std::move(read),
      [this, followUp = std::move(followUp)](auto result) mutable {
        m_changed();
        followUp(std::move(result));
      },
      false);
  m_changed();
}

void RecoveryFunctions::DownloadDump(std::uint32_t ulSlot) {
  CusrCHN* pBoard = m_rSession.Board(ulSlot);
  if (pBoard == nullptr || m_rOwner.IsReading()) return;
  ReadThen([pBoard] { return recovery::ReadDumpDownload(*pBoard); },
           [this, pBoard](const std::optional<CdlgDownloadDump::DumpInfo>& info) {
             CusrTraceScope trace(kClass, "OnDownloadDump", TRC_FUNC);
             if (!info) return;
             CdlgDownloadDump dlg(m_rHost, m_rSession, *pBoard, *info);
             if (dlg.DoModal() == -1) TellNotRun(trace);
             m_changed();
           });
}

void RecoveryFunctions::RestoreOsLu(std::uint32_t ulSlot) {
  CusrCHN* pBoard = m_rSession.Board(ulSlot);
  if (pBoard == nullptr || m_rOwner.IsReading()) return;
  ReadThen([pBoard] { return recovery::ReadOsLuBackup(*pBoard); },
           [this, pBoard](const std::optional<agent::LuBackupInfo>& info) {
             CusrTraceScope trace(kClass, "OnRestoreOsLu", TRC_FUNC);
             if (info) {
               CdlgRestoreNasOsLu dlg(m_rHost, m_rSession, *pBoard, pBoard->LocationName(), info->ulBackupStatus,
                                      info->strDate, m_rSession.SettingsFile());
               if (NotRun(dlg.DoModal())) TellNotRun(trace);
               m_changed();
             }
             m_rOwner.GetDlgItem(kelp::res::kRestoreOsLu).SetFocus();
           });
}

void RecoveryFunctions::RestoreCmLu() {
  if (m_rOwner.IsReading()) return;
  if (m_bRestoreCmLu && m_pdlgRestoreCmLu) {
    m_pdlgRestoreCmLu->BringToForeground();
    return;
  }
  ReadThen([&session = m_rSession] { return recovery::ReadCmLuBackup(session); },
           [this](const std::optional<recovery::LatestBackup<agent::LuBackupInfo>>& latest) {
             if (!latest) return;
             if (!m_pdlgRestoreCmLu) {
               m_pdlgRestoreCmLu =
                   std::make_unique<CdlgRestoreNasCmLu>(m_rHost, m_rSession, [this] { RestoreCmLuClosed(); });
               m_pdlgRestoreCmLu->Create();
             }
             m_pdlgRestoreCmLu->Prepare(*latest->pBoard, latest->info.ulBackupStatus, latest->info.strDate,
                                        m_rSession.SettingsFile());
             m_bRestoreCmLu = true;
             m_changed();
             m_pdlgRestoreCmLu->ShowWindow(true);
             m_pdlgRestoreCmLu->BringToForeground();
           });
}

void RecoveryFunctions::RestoreCmLuClosed() {
  m_bRestoreCmLu = false;
  m_changed();
}

void RecoveryFunctions::RestoreSystemLu() {
  if (m_rOwner.IsReading() || m_bRestoreSystemLu) return;
  ReadThen([&session = m_rSession] { return recovery::ReadSystemLuBackup(session); },
           [this](const std::optional<recovery::LatestBackup<agent::SystemLuBackupInfo>>& latest) {
             CusrTraceScope trace(kClass, "OnRestoreSystemLu", TRC_FUNC);
             if (!latest) return;
             const agent::SystemLuBackupInfo& info = latest->info;
             m_bRestoreSystemLu = true;
             m_changed();
             {
               CdlgRestoreNasSystemLu dlg(m_rHost, m_rSession, *latest->pBoard,
                                          {recovery::SystemLuInitialStatus(info.ulExecuteStatus, info.strDate),
                                           info.strFileName, info.strDate},
                                          m_rSession.SettingsFile());
               if (NotRun(dlg.DoModal())) TellNotRun(trace);
             }
             m_bRestoreSystemLu = false;
             m_changed();
           });
}

}  // namespace dialogs
