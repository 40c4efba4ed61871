// Builds a window's controls from its template, converting dialog units to
// pixels from the dialog font: x px = dlu × average character width / 4,
// y px = dlu × character height / 8.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>

#include "res/dialog_template.h"

namespace verdelo {

struct DialogUnits {
  int charWidth;   // average character width of the dialog font, px
  int charHeight;  // character height of the dialog font, px

  static DialogUnits ForFont(const QFont& font);
  int X(int dlu) const { return (dlu * charWidth + 2) / 4; }
  int Y(int dlu) const { return (dlu * charHeight + 4) / 8; }
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(x + width) - X(x), Y(y + height) - Y(y));
  }
};

// The dialog font: the desktop's sans-serif face at 8 points.
QFont DialogFont();

// Breaks a caption into lines that fit `width` pixels, at blanks where it
// can, for controls whose caption wraps.
QString WrapCaption(const QString& text, const QFont& font, int width);

// Creates every control of the template as a child of `window`, placed and
// sized in pixels, with its caption and initial enabled state; group boxes
// are kept beneath the controls they frame. `custom` may create a control
// of its own for a template entry (return nullptr to take the default).
// Returns the controls that have an identifier.
using CustomControlFactory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;
std::map<int, QWidget*> BuildTemplateControls(QWidget* window, const DialogTemplate& dialog,
                                              const DialogUnits& units,
                                              const CustomControlFactory& custom = {});

}  // namespace verdelo
