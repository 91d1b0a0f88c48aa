// The two dialog templates as data: every control with its id, kind, caption, position in dialog
// units and style. The order is the template order, which fixes the tab order and the radio
// groups: a group runs from a control with the group style up to the next one.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "res/resource.h"

namespace taloran::res {

enum class ControlKind {
  Label,
  Edit,
  PushButton,
  DefaultPushButton,
  Radio,
  CheckBox,
  GroupBox,
  Trackbar,
  Picture,
  Bitmap,
  Icon
};

enum Style : unsigned {
  kGroup = 1u << 0,  // starts a group (labels and the picture area)
  kTabStop = 1u << 1,
  kReadOnly = 1u << 2,
  kBorder = 1u << 3,
  kSunken = 1u << 4,
  kNoPrefix = 1u << 5,  // "&" is shown as it stands
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* caption;
  int x, y, width, height;  // dialog units
  unsigned style;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int width, height;  // dialog units
  int fontPoints;
  std::span<const ControlTemplate> controls;
};

extern const DialogTemplate kMainDialog;                            // template 102
extern const DialogTemplate kAboutDialog;                           // template 100
inline constexpr const char* kAboutMenuText = "&About Taloran...";  // string 101

// A caption as a person reads it: without the trailing blanks some carry ("Color Image ", "Blue ").
std::string_view TrimmedCaption(std::string_view caption);

// The control with this id, or nullptr.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

// The radio buttons of the group `id` belongs to, in template order; empty for a control that is
// no radio button.
std::vector<int> RadioGroupOf(const DialogTemplate& dialog, int id);

// The ids of the tab-stop controls in tab order.
std::vector<int> TabOrder(const DialogTemplate& dialog);

}  // namespace taloran::res
