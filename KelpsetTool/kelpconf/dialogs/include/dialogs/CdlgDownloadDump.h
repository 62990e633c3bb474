// The download of one board's last NAS dump into C:\NASDUMP. A modal dialog the main window's
// "Download Dump" button opens once its checks passed (template 211).
//
// The download runs on a worker that polls the board every 20 seconds up to [Dump] Timeout
// minutes and only posts to the UI thread; meanwhile the status text blinks, both buttons are off
// and Esc and the close control are ignored. A download that outruns its wait leaves the board
// marked (CusrCHN::IsDumpDownloading) until a later poll sees it end.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/BoardDialog.h"

class CdlgDownloadDump : public dialogs::BoardDialog {
 public:
  // What GetDumpInfo told about the board's dump.
  struct DumpInfo {
    std::uint32_t ulStatus = 0;
    std::string strDate;  // "YYYYMMDDhhmmss"
    std::uint32_t ulSize = 0;  // MB
  };

  CdlgDownloadDump(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, DumpInfo info);
  ~CdlgDownloadDump() override;

  // "YYYY/MM/DD hh:mm:ss" of a 14-digit date; any other text as it is.
  static std::string DateText(const std::string& strDate);

 protected:
  bool OnInitDialog() override;

 private:
  void SetShowStatus();
  void OnDownload();
  bool CheckFreeSpace();
  // Worker: the download and its polls; the result code (0, 9 time-out, else the failure).
  std::uint32_t StartDownload(std::string* pstrFiled);
  // Worker: nSeconds of blinking status text, one change every nStep seconds.
  void FlashSleep(int nSeconds, int nStep);
  // Worker: the status word and its display.
  void PostStatus(std::uint32_t ulStatus);
  void DownloadFinished(std::uint32_t ulResult);

  DumpInfo m_info;          // UI thread
};
