// The LU recovery dialogs: "Restore NAS OS LU" of one board, "Restore NAS Cluster Management LU"
// and "Restore All NAS System LU", each a status, a date and its buttons.
#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr int kLeft = 20;
constexpr int kValueX = 170;
constexpr int kValueW = 230;
constexpr int kButtonW = 110;
constexpr int kButtonH = 30;
constexpr int kButtonPitch = 130;
constexpr int kWidth = 420;

constexpr ControlTemplate kOsLuControls[] = {
    {kOsLuBoardLabel, ControlKind::Static, "", kLeft, 18, 380, 20},
    {kOsLuStatusLabel, ControlKind::Static, "NAS OS LU Status :", kLeft, 50, 150, 20},
    {kOsLuStatusText, ControlKind::ProgressText, "", kValueX, 50, kValueW, 20},
    {kOsLuDateLabel, ControlKind::Static, "Last Save Date :", kLeft, 78, 150, 20},
    {kOsLuDateText, ControlKind::Static, "", kValueX, 78, kValueW, 20},
    {kOsLuRestore, ControlKind::PushButton, "Restore", kLeft + kButtonPitch, 120, kButtonW, kButtonH},
    {kOsLuClose, ControlKind::PushButton, "Close", kLeft + 2 * kButtonPitch, 120, kButtonW, kButtonH,
     kStyleDefaultButton},
};

constexpr ControlTemplate kCmLuControls[] = {
    {kCmLuTitle, ControlKind::Static, "NAS Cluster Management LU", kLeft, 18, 380, 20},
    {kCmLuStatusLabel, ControlKind::Static, "Status :", kLeft, 50, 150, 20},
    {kCmLuStatusText, ControlKind::ProgressText, "", kValueX, 50, kValueW, 20},
    {kCmLuDateLabel, ControlKind::Static, "Last Save Date :", kLeft, 78, 150, 20},
    {kCmLuDateText, ControlKind::Static, "", kValueX, 78, kValueW, 20},
    {kCmLuRebootAll, ControlKind::PushButton, "Reboot all", kLeft, 120, kButtonW, kButtonH},
    {kCmLuRestore, ControlKind::PushButton, "Restore", kLeft + kButtonPitch, 120, kButtonW, kButtonH},
    {kCmLuClose, ControlKind::PushButton, "Close", kLeft + 2 * kButtonPitch, 120, kButtonW, kButtonH,
     kStyleDefaultButton},
};

constexpr ControlTemplate kSystemLuControls[] = {
    {kSysLuTitle, ControlKind::Static, "NAS System LU", kLeft, 18, 380, 20},
    {kSysLuStatusLabel, ControlKind::Static, "Status      :", kLeft, 50, 150, 20},
    {kSysLuStatusText, ControlKind::ProgressText, "", kValueX, 50, kValueW, 20},
    {kSysLuDateLabel, ControlKind::Static, "Backup Date :", kLeft, 78, 150, 20},
    {kSysLuDateText, ControlKind::Static, "", kValueX, 78, kValueW, 20},
    {kSysLuRebootAll, ControlKind::PushButton, "Reboot all", kLeft, 120, kButtonW, kButtonH},
    {kSysLuRestore, ControlKind::PushButton, "Restore", kLeft + kButtonPitch, 120, kButtonW, kButtonH},
    {kSysLuClose, ControlKind::PushButton, "Close", kLeft + 2 * kButtonPitch, 120, kButtonW, kButtonH,
     kStyleDefaultButton},
};

constexpr DialogTemplate kOsLu{kTemplateRestoreOsLu, "Kelpset Tool ( Restore NAS OS LU )", kWidth, 170, kOsLuControls};
constexpr DialogTemplate kCmLu{kTemplateRestoreCmLu, "Kelpset Tool ( Restore NAS Cluster Management LU )", kWidth, 170,
                               kCmLuControls};
constexpr DialogTemplate kSystemLu{kTemplateRestoreSystemLu, "Kelpset Tool ( Restore All NAS System LU )", kWidth, 170,
                                   kSystemLuControls};

}  // namespace

const DialogTemplate& RestoreOsLuTemplate() { return kOsLu; }
const DialogTemplate& RestoreCmLuTemplate() { return kCmLu; }
const DialogTemplate& RestoreSystemLuTemplate() { return kSystemLu; }

}  // namespace kelp::res
