// The unit chooser: kelpconf started with no arguments (the desktop's way in) lists the units the
// array library knows and starts on the chosen one.
#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr int kButtonW = 110;
constexpr int kButtonH = 30;

constexpr ListColumn kUnitColumns[] = {{"Array unit", 200}, {"Model", 110}, {"NAS boards", 110}};

constexpr ControlTemplate kSelectUnitControls[] = {
    {kSuLabel, ControlKind::Static, "Select the array unit to maintain.", 20, 14, 440, 20},
    {kSuList, ControlKind::ListView, "", 20, 42, 440, 170, 0, kUnitColumns},
    {1, ControlKind::PushButton, "OK", 230, 226, kButtonW, kButtonH, kStyleDefaultButton},
    {2, ControlKind::PushButton, "Cancel", 350, 226, kButtonW, kButtonH},
};

constexpr DialogTemplate kSelectUnit{kTemplateSelectUnit, "Kelpset Tool ( Select the array unit )", 480, 272,
                                     kSelectUnitControls};

}  // namespace

const DialogTemplate& SelectUnitTemplate() { return kSelectUnit; }

}  // namespace kelp::res
