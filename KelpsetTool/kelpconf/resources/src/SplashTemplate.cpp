// The start-up splash shown while the main window initialises.
#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr ControlTemplate kControls[] = {
    {kSplashText, ControlKind::Static, "Initializing the Kelpset Tool.\n\nPlease wait...", 20, 20, 260, 60},
};

constexpr DialogTemplate kSplash{kTemplateSplash, "", 300, 100, kControls};

}  // namespace

const DialogTemplate& SplashTemplate() { return kSplash; }

}  // namespace kelp::res
