#include "dialogs/CdlgDownloadDump.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "board/CusrCHN.h"
#include "board/DumpDownload.h"
#include "board/DumpTransfer.h"
#include "board/SettingsLimits.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "plat/Clock.h"
#include "plat/DiskSpace.h"
#include "plat/Paths.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"

namespace res = kelp::res;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgDownloadDump";
constexpr const char* kNoDate = "----/--/-- --:--:--";
constexpr const char* kNoSize = "- MB";
constexpr const char* kDriveName = "C:";
constexpr const char* kDrivePath = "C:\\";

}  // namespace

CdlgDownloadDump::CdlgDownloadDump(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, DumpInfo info)
    : BoardDialog(host, res::kTemplateDownloadDump, rSession, rBoard, "download"), m_info(std::move(info)) {
  OnCommand(res::kDownloadDownload, [this] { OnDownload(); });
  OnCommand(res::kDownloadClose, [this] { OnOK(); });
}

CdlgDownloadDump::~CdlgDownloadDump() { JoinWorkers(); }

std::string CdlgDownloadDump::DateText(const std::string& strDate) {
  if (strDate.size() != 14 || !std::all_of(strDate.begin(), strDate.end(), [](unsigned char c) { return std::isdigit(c); }))
    return strDate;
  return strDate.substr(0, 4) + "/" + strDate.substr(4, 2) + "/" + strDate.substr(6, 2) + " " + strDate.substr(8, 2) +
         ":" + strDate.substr(10, 2) + ":" + strDate.substr(12, 2);
}

bool CdlgDownloadDump::OnInitDialog() {
  CusrTraceScope trace(kClass, "OnInitDialog", TRC_FUNC);
  GetDlgItem(res::kDownloadBoardLabel).SetWindowText(Board().LocationName());
  SetShowStatus();
  return true;
}

void CdlgDownloadDump::SetShowStatus() {
  CusrTraceScope trace(kClass, "SetShowStatus", TRC_FUNC);
  const DumpState state = ClassifyDumpStatus(m_info.ulStatus);
  const bool bNoDump = state == DumpState::Nothing || state == DumpState::Unknown || state == DumpState::Error;
  if (state == DumpState::Unknown || state == DumpState::Error)
    trace.Info(TraceFmt("dump status : 0x%08x", m_info.ulStatus), TRC_INFO);
  const std::uint32_t ulText = DumpStateTextId(state == DumpState::Error ? DumpState::Unknown : state);
  GetDlgItem(res::kDownloadStatusText).SetWindowText(LoadString(ulText));
  GetDlgItem(res::kDownloadDateText).SetWindowText(bNoDump ? kNoDate : DateText(m_info.strDate));
  GetDlgItem(res::kDownloadSizeText)
      .SetWindowText(bNoDump ? kNoSize : TraceFmt("%d MB", static_cast<int>(m_info.ulSize)));
  GetDlgItem(res::kDownloadDownload).EnableWindow(!IsWorking() && state == DumpState::Normal);
  GetDlgItem(res::kDownloadClose).EnableWindow(!IsWorking());
}

bool CdlgDownloadDump::CheckFreeSpace() {
  CusrTraceScope trace(kClass, "CheckFreeSpace", TRC_FUNC);
  const std::optional<std::uint64_t> required = RequiredDumpBytes(static_cast<std::int32_t>(m_info.ulSize));
  if (!required) {
    trace.Error(TraceFmt("Size of Dump is invalid: %d", static_cast<int>(m_info.ulSize)), TRC_ERROR);
    trace.Error(ShowMessage(msg::kNasOsError, common::CodeText(m_info.ulSize)), TRC_ERROR);
    return false;
  }
  const std::filesystem::path drive = plat::MapPath(kDrivePath);
  std::error_code error;
  const std::optional<plat::DiskSpace> space = plat::QueryDiskSpace(drive, error);
  if (!space) {
    const auto ulCode = static_cast<std::uint32_t>(error.value());
    trace.Error(TraceFmt("GetDiskFreeSpaceEx(): 0x%08x", ulCode), TRC_ERROR);
    trace.Error(ShowMessage(msg::kPcInternalError, common::CodeText(ulCode)), TRC_ERROR);
    return false;
  }
  trace.Info(TraceFmt("Dir: %s, FreeBytesAvailable: %llu, TotalNumberOfBytes: %llu, TotalNumberOfFreeBytes: %llu",
                      drive.c_str(), static_cast<unsigned long long>(space->availableBytes),
                      static_cast<unsigned long long>(space->totalBytes),
                      static_cast<unsigned long long>(space->freeBytes)),
             TRC_INFO);
  if (space->availableBytes < *required) {
    trace.Warn(ShowMessage(msg::kDumpSpaceShort, kDriveName), TRC_WARN);
    return false;
  }
  return true;
}

void CdlgDownloadDump::OnDownload() {
  CusrTraceScope trace(kClass, "OnDownload", TRC_FUNC);
  if (IsWorking() || IsFunctionDisable()) return;
  if (!CheckFreeSpace()) return;
  const std::string strName = Board().LocationName();
  int nButton = IDCANCEL;
  ShowMessage(msg::kDumpDownloadQuestion, strName, {}, &nButton);
  if (nButton != IDOK) return;
  const std::filesystem::path folder = DumpFolder();
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error) && !std::filesystem::create_directories(folder, error) &&
      error) {
    const auto ulCode = static_cast<std::uint32_t>(error.value());
    trace.Error(TraceFmt("CreateDirectory(%s): 0x%08x", folder.c_str(), ulCode), TRC_ERROR);
    trace.Error(ShowMessage(msg::kPcInternalError, common::CodeText(ulCode)), TRC_ERROR);
    return;
  }
  SetWorking(true);
  GetHost().SetWaitCursor(true);
  SetShowStatus();
  StartWorker([this, strName] {
    std::string strFiled;
    const std::uint32_t ulResult = StartDownload(&strFiled);
    if (ulResult == 0) ShowMessage(msg::kDumpDownloaded, strName, strFiled);
    Post([this, ulResult] { DownloadFinished(ulResult); });
  });
}

void CdlgDownloadDump::DownloadFinished(std::uint32_t ulResult) {
  CusrTraceScope trace(kClass, "OnDownload", TRC_FUNC);
  if (ulResult != 0) trace.Error(TraceFmt("StartDownload(): 0x%08x", ulResult), TRC_ERROR);
  SetWorking(false);
  GetHost().SetWaitCursor(false);
  SetShowStatus();
}

void CdlgDownloadDump::PostStatus(std::uint32_t ulStatus) {
  Post([this, ulStatus] {
    m_info.ulStatus = ulStatus;
    SetShowStatus();
  });
}

void CdlgDownloadDump::FlashSleep(int nSeconds, int nStep) {
  const std::string strText = LoadString(DumpStateTextId(DumpState::Downloading));
  for (int i = 0; i < nSeconds / nStep; ++i) {
    const std::string strShown = i % 2 == 0 ? std::string() : strText;
    Post([this, strShown] { GetDlgItem(res::kDownloadStatusText).SetWindowText(strShown); });
    plat::Clock::Sleep(plat::Millis(nStep * 1000));
  }
  Post([this, strText] { GetDlgItem(res::kDownloadStatusText).SetWindowText(strText); });
}

std::uint32_t CdlgDownloadDump::StartDownload(std::string* pstrFiled) {
  // The status text blinks through the poll waits.
  class Progress : public DownloadProgress {
   public:
    explicit Progress(CdlgDownloadDump& dialog) : m_dialog(dialog) {}
    void Status(std::uint32_t ulWord) override { m_dialog.PostStatus(ulWord); }
    void Wait(int nSeconds) override { m_dialog.FlashSleep(nSeconds, 1); }

   private:
    CdlgDownloadDump& m_dialog;
  } progress(*this);
  const std::chrono::seconds limit = ReadLimit(Session().SettingsFile(), kDumpDownloadLimit);
  return RunDumpDownload(Board(), limit, progress, pstrFiled);
}
