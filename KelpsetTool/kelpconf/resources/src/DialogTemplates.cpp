#include <algorithm>

#include "Templates.h"

namespace kelp::res {

const DialogTemplate* FindDialogTemplate(int id) {
  const DialogTemplate* const all[] = {&AboutTemplate(), &MainWindowTemplate(), &SplashTemplate(),
                                       &ConfigurationTemplate(), &BootManagementTemplate(),
                                       &ProgramInstallTemplate(), &ConfirmInstallTemplate(),
                                       &InstallProgressTemplate(), &InheritInstallTemplate(),
                                       &HibernationDumpTemplate(), &DownloadDumpTemplate(),
                                       &NetworkSettingTemplate(), &RoutingManagementTemplate(),
                                       &RoutingAddTemplate(),
                                       &RestoreOsLuTemplate(), &RestoreCmLuTemplate(), &RestoreSystemLuTemplate(),
                                       &SelectUnitTemplate()};
  const auto it = std::find_if(std::begin(all), std::end(all), [id](const DialogTemplate* t) { return t->id == id; });
  return it != std::end(all) ? *it : nullptr;
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int controlId) {
  const auto it = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                               [controlId](const ControlTemplate& c) { return c.id == controlId; });
  return it != dialog.controls.end() ? &*it : nullptr;
}

}  // namespace kelp::res
