// "Kelpset Tool ( Boot Management )": one board's label and status, the boot option and the
// power buttons.
#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr int kLeft = 20;
constexpr int kValueX = 120;
constexpr int kValueW = 270;
constexpr int kButtonW = 110;
constexpr int kButtonH = 30;
constexpr int kButtonPitch = 130;

constexpr ControlTemplate kControls[] = {
    {kBootBoardLabel, ControlKind::Static, "", kLeft, 18, 370, 20},
    {kBootStatusLabel, ControlKind::Static, "Status", kLeft, 50, 90, 20},
    {kBootStatusText, ControlKind::ProgressText, "", kValueX, 50, kValueW, 20},
    {kBootOptionLabel, ControlKind::Static, "Boot Option", kLeft, 84, 90, 20},
    {kBootOption, ControlKind::Edit, "", kValueX, 80, kValueW, 26},
    {kBootBoot, ControlKind::PushButton, "Boot", kLeft, 128, kButtonW, kButtonH},
    {kBootReboot, ControlKind::PushButton, "Reboot", kLeft + kButtonPitch, 128, kButtonW, kButtonH},
    {kBootShutdown, ControlKind::PushButton, "Shutdown", kLeft + 2 * kButtonPitch, 128, kButtonW, kButtonH},
    {kBootNncReset, ControlKind::PushButton, "NNC Reset", kLeft, 178, kButtonW, kButtonH},
    {kBootClose, ControlKind::PushButton, "Close", kLeft + 2 * kButtonPitch, 178, kButtonW, kButtonH},
};

constexpr DialogTemplate kBootManagement{kTemplateBootManagement, "Kelpset Tool ( Boot Management )", 410, 228,
                                         kControls};

}  // namespace

const DialogTemplate& BootManagementTemplate() { return kBootManagement; }

}  // namespace kelp::res
