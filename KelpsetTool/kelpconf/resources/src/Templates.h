// The templates, one per source file; FindDialogTemplate lists them.
#pragma once

#include "resources/DialogTemplate.h"

namespace kelp::res {

const DialogTemplate& AboutTemplate();
const DialogTemplate& BootManagementTemplate();
const DialogTemplate& MainWindowTemplate();
const DialogTemplate& SplashTemplate();
const DialogTemplate& ConfigurationTemplate();
const DialogTemplate& ProgramInstallTemplate();
const DialogTemplate& ConfirmInstallTemplate();
const DialogTemplate& InstallProgressTemplate();
const DialogTemplate& InheritInstallTemplate();
const DialogTemplate& HibernationDumpTemplate();
const DialogTemplate& DownloadDumpTemplate();
const DialogTemplate& NetworkSettingTemplate();
const DialogTemplate& RoutingManagementTemplate();
const DialogTemplate& RoutingAddTemplate();
const DialogTemplate& RestoreOsLuTemplate();
const DialogTemplate& RestoreCmLuTemplate();
const DialogTemplate& RestoreSystemLuTemplate();
const DialogTemplate& SelectUnitTemplate();

}  // namespace kelp::res
