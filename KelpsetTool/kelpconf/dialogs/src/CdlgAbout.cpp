#include "dialogs/CdlgAbout.h"

#include "common/CusrTrace.h"
#include "common/CusrTraceScope.h"
#include "resources/ControlIds.h"

CdlgAbout::CdlgAbout(kelp::ui::Host& host) : Dialog(host, kelp::res::kTemplateAbout) {}

bool CdlgAbout::OnInitDialog() {
  char szVersion[256] = {};
  GetModuleVersion(szVersion);
  GetDlgItem(kelp::res::kAboutBuildText).SetWindowText(TraceFmt("build: %s,%s, ver.%s", __DATE__, __TIME__, szVersion));
  return true;
}
