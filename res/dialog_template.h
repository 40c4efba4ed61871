// Window templates: every control of a window with its identifier, kind,
// caption and rectangle in dialog units, kept free of any toolkit so the
// layout can be checked on its own.
#pragma once

#include <span>

namespace verdelo {

enum class ControlKind {
  GroupBox,
  PushButton,
  DefaultPushButton,
  CheckBox,
  Edit,
  Label,
  ClickableLabel,
  ComboBox,
  ListBox,
  ColorButton,
};

enum ControlFlags : unsigned {
  kNone = 0,
  kDisabled = 1u << 0,    // created disabled
  kWrap = 1u << 1,        // caption breaks over several lines
  kNoWrap = 1u << 2,      // label keeps to one line
};

// The identifier of a window's default button that closes it.
inline constexpr int IDOK = 1;

struct ControlTemplate {
  int id;               // -1 for controls without an identifier
  ControlKind kind;
  const char* caption;  // UTF-8
  int x, y, width, height;
  unsigned flags;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int x, y, width, height;
  std::span<const ControlTemplate> controls;
};

// Template 102: the console window.
const DialogTemplate& ConsoleWindowTemplate();
// Template 100: the About box.
const DialogTemplate& AboutBoxTemplate();
// Template 103: the port window.
const DialogTemplate& PortWindowTemplate();

// String resource 101: the About item of the window menu.
inline constexpr const char* kAboutMenuText = "&About Kelvo-PC...";

}  // namespace verdelo
