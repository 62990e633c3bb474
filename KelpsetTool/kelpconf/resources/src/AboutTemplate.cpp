// The About box: the tool's version string and a build line the dialog fills in.
#include "Templates.h"
#include "common/MessageBoxStyle.h"
#include "common/StringIds.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr ControlTemplate kControls[] = {
    {kAboutVersionText, ControlKind::Static, "", 20, 20, 300, 20, 0, {}, str::kToolVersion},
    {kAboutBuildText, ControlKind::Static, "", 20, 45, 300, 20},
    {IDOK, ControlKind::PushButton, "OK", 130, 85, 80, 28, kStyleDefaultButton | kStyleGroup},
};

constexpr DialogTemplate kAbout{kTemplateAbout, "", 340, 130, kControls, str::kAbout};

}  // namespace

const DialogTemplate& AboutTemplate() { return kAbout; }

}  // namespace kelp::res
