// The port window's Open and Close buttons. A colour button drops the
// colours set on it whenever the system colours change (its own palette,
// the application's or the theme), so each of these keeps the face the
// window gave it and puts it back right after: the link's green and red
// survive a palette change.
#pragma once

#include <QEvent>

#include "widgets/state_color_button.h"

namespace verdelo {

class LinkButton : public CStateColorButton {
 public:
  using CStateColorButton::CStateColorButton;

  void SetFace(const QColor& color) {
    face_ = color;
    ApplyFace();
  }

 protected:
  void changeEvent(QEvent* event) override {
    CStateColorButton::changeEvent(event);
    switch (event->type()) {
      case QEvent::PaletteChange:
      case QEvent::ApplicationPaletteChange:
      case QEvent::ThemeChange:
        if (face_.isValid()) ApplyFace();
        break;
      default:
        break;
    }
  }

 private:
  void ApplyFace() {
    SetStateColor(kNormalFace, face_);
    SetStateColor(kFocusFace, face_);
  }

  QColor face_;
};

}  // namespace verdelo
