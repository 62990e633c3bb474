// The program installation dialogs of one board (choosing the products, confirming them, the
// progress of their installation) and the inherit installation of every board.
#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr int kButtonW = 110;
constexpr int kButtonH = 30;

constexpr ListColumn kNameVersion[] = {{"Program Product Name", 300}, {"Version", 110}};
constexpr ListColumn kNameVersionStatus[] = {{"Program Product Name", 250}, {"Version", 90}, {"Status", 110}};

constexpr ControlTemplate kProgramInstallControls[] = {
    {kPiBoardLabel, ControlKind::Static, "", 20, 14, 440, 20},
    {kPiInstalledLabel, ControlKind::Static, "Available Program Product", 20, 42, 300, 20},
    {kPiInstalledList, ControlKind::ListView, "", 20, 64, 440, 120, 0, kNameVersion},
    {kPiUninstall, ControlKind::PushButton, "Uninstall", 350, 192, kButtonW, kButtonH, kStyleDisabled},
    {kPiMediaLabel, ControlKind::Static, "Install Program Product", 20, 232, 300, 20},
    {kPiMediaList, ControlKind::ListView, "", 20, 254, 440, 140, kStyleCheckBoxes, kNameVersion},
    {kPiFromLabel, ControlKind::Static, "Install from :", 20, 402, 100, 20},
    {kPiMediaFolder, ControlKind::Static, "", 120, 402, 340, 20},
    {kPiInitGroup, ControlKind::GroupBox, " Initialize ", 20, 432, 250, 82},
    {kPiInitCmLu, ControlKind::CheckBox, "NAS Cluster Management LU", 34, 454, 226, 24},
    {kPiInitErrorLu, ControlKind::CheckBox, "Error Information LU", 34, 482, 226, 24},
    {kPiTypeGroup, ControlKind::GroupBox, " Install Type ", 290, 432, 170, 82},
    {kPiForcibly, ControlKind::CheckBox, "Forcibly install", 304, 466, 146, 24},
    {kPiInstall, ControlKind::PushButton, "Install", 230, 530, kButtonW, kButtonH, kStyleDefaultButton},
    {kPiClose, ControlKind::PushButton, "Close", 350, 530, kButtonW, kButtonH},
};

constexpr ControlTemplate kConfirmControls[] = {
    {kCiBoardLabel, ControlKind::Static, "", 20, 14, 440, 20},
    {kCiLine1, ControlKind::Static, "The products in the list below will be installed.", 20, 44, 440, 20},
    {kCiLine2, ControlKind::Static, "[OK]     : Starts installation of the products.", 20, 66, 440, 20},
    {kCiLine3, ControlKind::Static, "[Cancel] : Cancels installation of the products.", 20, 88, 440, 20},
    {kCiListLabel, ControlKind::Static, "Products To Be Installed", 20, 120, 300, 20},
    {kCiList, ControlKind::ListView, "", 20, 142, 440, 150, 0, kNameVersion},
    {1, ControlKind::PushButton, "OK", 230, 306, kButtonW, kButtonH, kStyleDefaultButton},
    {2, ControlKind::PushButton, "Cancel", 350, 306, kButtonW, kButtonH},
};

constexpr ControlTemplate kProgressControls[] = {
    {kIpBoardLabel, ControlKind::Static, "", 20, 14, 460, 20},
    {kIpList, ControlKind::ListView, "", 20, 42, 460, 170, 0, kNameVersionStatus},
    {kIpLabel, ControlKind::ProgressText, "", 20, 222, 460, 20},
    {kIpStop, ControlKind::PushButton, "         Cancel\n(the leftover products)", 190, 254, 170, 44, kStyleDisabled},
    {kIpClose, ControlKind::PushButton, "Close", 370, 261, kButtonW, kButtonH, kStyleDisabled},
};

// Wide enough for a failed board's stage ("product NAS Backup Support") and reason unclipped.
constexpr ListColumn kInheritInfo[] = {{"Node", 110}, {"Program Product Name", 330}, {"Status", 435}};
constexpr ListColumn kInheritResult[] = {
    {"Node", 70}, {"Stage", 200}, {"Result", 140}, {"Reason", 414}, {"Elapsed", 70}};

constexpr ControlTemplate kInheritControls[] = {
    {kIiProductLabel, ControlKind::Static, "Install Program Product", 20, 14, 300, 20},
    {kIiProductList, ControlKind::ListView, "", 20, 36, 900, 110, 0, kNameVersion},
    {kIiFromLabel, ControlKind::Static, "Install from :", 20, 154, 100, 20},
    {kIiMediaFolder, ControlKind::Static, "", 120, 154, 800, 20},
    {kIiInfoLabel, ControlKind::Static, "Install Information", 20, 184, 300, 20},
    {kIiInfoList, ControlKind::ListView, "", 20, 206, 900, 170, 0, kInheritInfo},
    {kIiResultLabel, ControlKind::Static, "Result", 20, 386, 300, 20},
    {kIiResultList, ControlKind::ListView, "", 20, 408, 900, 110, 0, kInheritResult},
    {kIiRetry, ControlKind::PushButton, "Retry failed boards", 20, 532, 170, kButtonH, kStyleDisabled},
    {kIiInstall, ControlKind::PushButton, "Install", 690, 532, kButtonW, kButtonH, kStyleDefaultButton},
    {kIiClose, ControlKind::PushButton, "Close", 810, 532, kButtonW, kButtonH},
};

constexpr DialogTemplate kProgramInstallDialog{kTemplateProgramInstall, "Kelpset Tool ( Program Install )", 480, 576,
                                         kProgramInstallControls};
constexpr DialogTemplate kConfirm{kTemplateConfirmInstall, "Kelpset Tool ( Confirm Products To Be Installed )", 480,
                                  352, kConfirmControls};
constexpr DialogTemplate kProgress{kTemplateInstallProgress, "Kelpset Tool ( Install Progress )", 500, 314,
                                   kProgressControls};
constexpr DialogTemplate kInherit{kTemplateInheritInstall, "Kelpset Tool ( Inherit and Install )", 940, 578,
                                  kInheritControls};

}  // namespace

const DialogTemplate& InheritInstallTemplate() { return kInherit; }
const DialogTemplate& ProgramInstallTemplate() { return kProgramInstallDialog; }
const DialogTemplate& ConfirmInstallTemplate() { return kConfirm; }
const DialogTemplate& InstallProgressTemplate() { return kProgress; }

}  // namespace kelp::res
