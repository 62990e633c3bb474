// The configuration dialog: the folder that holds a copy of the installation medium.
#include "Templates.h"
#include "common/MessageBoxStyle.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr ControlTemplate kControls[] = {
    {kConfigGroup, ControlKind::GroupBox, " Program Install ", 10, 10, 400, 90},
    {kConfigFolderLabel, ControlKind::Static, "Installation folder :", 25, 35, 200, 20},
    {kConfigFolder, ControlKind::Edit, "", 25, 60, 285, 24, kStyleReadOnly},
    {kConfigBrowse, ControlKind::PushButton, "Browse...", 320, 59, 80, 26},
    {IDOK, ControlKind::PushButton, "OK", 220, 115, 90, 28, kStyleDefaultButton | kStyleGroup},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 320, 115, 90, 28},
};

constexpr DialogTemplate kConfigurationDialog{kTemplateConfiguration, "Kelpset Tool ( Configuration )", 420, 155,
                                        kControls};

}  // namespace

const DialogTemplate& ConfigurationTemplate() { return kConfigurationDialog; }

}  // namespace kelp::res
