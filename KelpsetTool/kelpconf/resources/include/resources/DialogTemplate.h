// Dialog templates: per dialog its caption, size and controls, held once as constant data.
// Hosts render a template (the Qt host as widgets at this geometry); the framework builds each
// control's initial state from it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kelp::res {

enum class ControlKind {
  PushButton,
  PushRadio,  // push-like radio button (board buttons)
  CheckBox,
  Radio,
  Edit,
  Static,
  GroupBox,
  ListView,
  IpAddress,
  ProgressText,
};

// Style bits of a control.
inline constexpr std::uint32_t kStyleHidden = 0x1;         // not visible at creation
inline constexpr std::uint32_t kStyleDisabled = 0x2;       // not enabled at creation
inline constexpr std::uint32_t kStyleGroup = 0x4;          // starts a new group of radio buttons
inline constexpr std::uint32_t kStyleDefaultButton = 0x8;  // the button Enter presses
inline constexpr std::uint32_t kStyleCheckBoxes = 0x10;    // list view rows carry a check box
inline constexpr std::uint32_t kStyleReadOnly = 0x20;      // an edit the user cannot type into

struct ListColumn {
  std::string_view header;
  int width;
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  std::string_view caption;
  int x;
  int y;
  int w;
  int h;
  std::uint32_t style = 0;
  std::span<const ListColumn> columns = {};  // list views only
  std::uint32_t captionString = 0;  // when not 0, the caption is this string resource
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  int w;
  int h;
  std::span<const ControlTemplate> controls;
  std::uint32_t captionString = 0;  // when not 0, the caption is this string resource
};

// The template of a dialog id, or null for an id without template.
const DialogTemplate* FindDialogTemplate(int id);

// The control of a template, or null.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int controlId);

}  // namespace kelp::res
