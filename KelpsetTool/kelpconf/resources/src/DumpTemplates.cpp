// "Kelpset Tool ( NAS Dump )": one board's label and status with Dump, Cancel (stops a running
// dump) and Close. "Kelpset Tool ( Download Dump )": one board's last dump, its download status,
// date and size, with Download and Close.
#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr int kLeft = 20;
constexpr int kValueX = 160;
constexpr int kValueW = 230;
constexpr int kButtonW = 110;
constexpr int kButtonH = 30;
constexpr int kButtonPitch = 130;

constexpr ControlTemplate kDumpControls[] = {
    {kDumpBoardLabel, ControlKind::Static, "", kLeft, 18, 370, 20},
    {kDumpStatusLabel, ControlKind::Static, "Status", kLeft, 50, 90, 20},
    {kDumpStatusText, ControlKind::Static, "", kValueX, 50, kValueW, 20},
    {kDumpDump, ControlKind::PushButton, "Dump", kLeft, 90, kButtonW, kButtonH},
    {kDumpStop, ControlKind::PushButton, "Cancel", kLeft + kButtonPitch, 90, kButtonW, kButtonH},
    {kDumpClose, ControlKind::PushButton, "Close", kLeft + 2 * kButtonPitch, 90, kButtonW, kButtonH},
};

constexpr ControlTemplate kDownloadControls[] = {
    {kDownloadBoardLabel, ControlKind::Static, "", kLeft, 18, 370, 20},
    {kDownloadStatusLabel, ControlKind::Static, "Download Status :", kLeft, 50, 130, 20},
    {kDownloadStatusText, ControlKind::ProgressText, "", kValueX, 50, kValueW, 20},
    {kDownloadDateLabel, ControlKind::Static, "Last Save Date :", kLeft, 78, 130, 20},
    {kDownloadDateText, ControlKind::Static, "", kValueX, 78, kValueW, 20},
    {kDownloadSizeLabel, ControlKind::Static, "Size of Dump :", kLeft, 106, 130, 20},
    {kDownloadSizeText, ControlKind::Static, "", kValueX, 106, kValueW, 20},
    {kDownloadDownload, ControlKind::PushButton, "Download", kLeft + kButtonPitch, 146, kButtonW, kButtonH},
    {kDownloadClose, ControlKind::PushButton, "Close", kLeft + 2 * kButtonPitch, 146, kButtonW, kButtonH},
};

constexpr DialogTemplate kHibernationDumpDialog{kTemplateHibernationDump, "Kelpset Tool ( NAS Dump )", 410, 140,
                                          kDumpControls};
constexpr DialogTemplate kDownloadDumpDialog{kTemplateDownloadDump, "Kelpset Tool ( Download Dump )", 410, 196,
                                       kDownloadControls};

}  // namespace

const DialogTemplate& HibernationDumpTemplate() { return kHibernationDumpDialog; }
const DialogTemplate& DownloadDumpTemplate() { return kDownloadDumpDialog; }

}  // namespace kelp::res
