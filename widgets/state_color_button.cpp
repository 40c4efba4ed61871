#include "widgets/state_color_button.h"

#include <QApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace verdelo {

namespace {

// Fills the pixels of a horizontal or vertical line from `from` towards `to`,
// `to` itself excluded: the rule of a pen moved from point to point, which the
// bevel coordinates below are written for.
void LineTo(QPainter& painter, QPoint from, QPoint to, const QColor& color) {
  if (from == to) return;
  QPoint last = to;
  if (from.y() == to.y()) {
    last.rx() += (to.x() > from.x()) ? -1 : 1;
  } else {
    last.ry() += (to.y() > from.y()) ? -1 : 1;
  }
  const QRect pixels(QPoint(std::min(from.x(), last.x()), std::min(from.y(), last.y())),
                     QPoint(std::max(from.x(), last.x()), std::max(from.y(), last.y())));
  painter.fillRect(pixels, color);
}

// A one-pixel frame on the outermost pixels of `r`.
void FrameRect(QPainter& painter, const QRect& r, const QColor& color) {
  if (r.isEmpty()) return;
  painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), color);
  painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), color);
  painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), color);
  painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), color);
}

// A one-pixel 3D rectangle: `topLeft` on the top row and left column (each
// without its last pixel), `bottomRight` on the whole right column and
// bottom row.
void Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft,
                const QColor& bottomRight) {
  if (r.isEmpty()) return;
  const int x = r.left();
  const int y = r.top();
  const int cx = r.width();
  const int cy = r.height();
  painter.fillRect(QRect(x, y, cx - 1, 1), topLeft);
  painter.fillRect(QRect(x, y, 1, cy - 1), topLeft);
  painter.fillRect(QRect(x + cx - 1, y, 1, cy), bottomRight);
  painter.fillRect(QRect(x, y + cy - 1, cx, 1), bottomRight);
}

constexpr int kCaptionFlags =
    Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;

}  // namespace

CStateColorButton::CStateColorButton(QWidget* parent) : QPushButton(parent) {
  Init(Kind::PushButton);
}

CStateColorButton::CStateColorButton(const QString& text, QWidget* parent, Kind kind)
    : QPushButton(text, parent) {
  Init(kind);
}

void CStateColorButton::Init(Kind kind) {
  ResetStateColors();
  switch (kind) {
    case Kind::PushButton:
      break;
    case Kind::DefaultPushButton:
      setDefault(true);
      break;
    case Kind::CheckBox:
      checkBoxMode_ = 1;
      break;
  }
  isDefault_ = isDefault() ? 1 : 0;
  // Connected before anyone else can connect, so the check state is already
  // inverted when the window's own handler sees the click.
  connect(this, &QAbstractButton::clicked, this, &CStateColorButton::OnClicked);
}

QColor CStateColorButton::SystemColor(QPalette::ColorRole role) const {
  return palette().color(QPalette::Active, role);
}

void CStateColorButton::ResetStateColors() {
  const QColor face = SystemColor(QPalette::Button);
  const QColor text = SystemColor(QPalette::ButtonText);
  stateColors_[kPressedFace] = face;
  stateColors_[kPressedText] = text;
  stateColors_[kNormalFace] = face;
  stateColors_[kNormalText] = text;
  stateColors_[kFocusFace] = face;
  stateColors_[kFocusText] = text;
}

void CStateColorButton::SetFlatLook(bool on) {
  flatLook_ = on ? 1 : 0;
  update();
}

void CStateColorButton::SetStateColor(int index, const QColor& color) {
  if (index < 0 || index >= kStateColorCount) return;
  stateColors_[static_cast<size_t>(index)] = color;
  update();
}

QColor CStateColorButton::StateColor(int index) const {
  if (index < 0 || index >= kStateColorCount) return {};
  return stateColors_[static_cast<size_t>(index)];
}

void CStateColorButton::SetCheckBoxMode(bool on) {
  checkBoxMode_ = on ? 1 : 0;
  update();
}

void CStateColorButton::SetCheck(int value) {
  if (checkBoxMode_ == 0) return;
  checked_ = (value == 1 || value == 2) ? 1 : 0;
  update();
}

void CStateColorButton::OnClicked() {
  setFocus(Qt::OtherFocusReason);
  if (checkBoxMode_ != 0) {
    checked_ = checked_ != 0 ? 0 : 1;
    update();
  }
}

// ---- Painting --------------------------------------------------------------

void CStateColorButton::paintEvent(QPaintEvent*) {
  pressed_ = (isDown() || (checkBoxMode_ != 0 && checked_ != 0)) ? 1 : 0;
  focused_ = hasFocus() ? 1 : 0;
  disabled_ = isEnabled() ? 0 : 1;
  isDefault_ = isDefault() ? 1 : 0;

  QPainter painter(this);
  painter.setBackgroundMode(Qt::TransparentMode);

  const QRect item = rect();
  QRect r = item;
  PaintFace(painter, r);
  PaintFrame(painter, r);

  const QString caption = text();
  if (!caption.isEmpty()) PaintCaption(painter, caption, item);

  if ((flatLook_ == 0 || drawFlatFocus_ != 0) && focused_ != 0) {
    PaintFocusRect(painter, item.adjusted(3, 3, -3, -3));
  }
}

void CStateColorButton::PaintFace(QPainter& painter, QRect& r) {
  // In the 3D look the default button and the focused one get a black
  // outline; everything else is drawn inside it.
  if (flatLook_ == 0 && (focused_ != 0 || isDefault_ != 0)) {
    FrameRect(painter, r, QColor(0, 0, 0));
    r.adjust(1, 1, -1, -1);
  }
  QColor face;
  if (mouseOver_ != 0 || pressed_ != 0) {
    face = stateColors_[kPressedFace];
  } else if (focused_ != 0) {
    face = stateColors_[kFocusFace];
  } else {
    face = stateColors_[kNormalFace];
  }
  if (!r.isEmpty()) painter.fillRect(r, face);
}

void CStateColorButton::PaintFrame(QPainter& painter, const QRect& r) {
  if (r.isEmpty()) return;
  const QColor highlight = SystemColor(QPalette::Light);
  const QColor shadow = SystemColor(QPalette::Dark);

  if (pressed_ != 0) {
    if (flatLook_ != 0) {
      if (drawBorder_ != 0) Draw3dRect(painter, r, shadow, highlight);  // sunken
    } else {
      FrameRect(painter, r, shadow);
    }
    return;
  }

  if (flatLook_ != 0) {
    if (mouseOver_ != 0 && drawBorder_ != 0) Draw3dRect(painter, r, highlight, shadow);  // raised
    return;
  }

  // The raised bevel: light lines outside top and left, dark lines outside
  // bottom and right, each pair one pixel deep. Right and bottom are
  // exclusive here.
  const int left = r.left();
  const int top = r.top();
  const int right = r.left() + r.width();
  const int bottom = r.top() + r.height();
  const QColor light3d = SystemColor(QPalette::Midlight);
  const QColor darkShadow = SystemColor(QPalette::Shadow);

  painter.save();
  LineTo(painter, {left, bottom - 1}, {left, top}, highlight);
  LineTo(painter, {left, top}, {right, top}, highlight);

  LineTo(painter, {left + 1, bottom - 1}, {left + 1, top + 1}, light3d);
  LineTo(painter, {left + 1, top + 1}, {right, top + 1}, light3d);

  LineTo(painter, {left, bottom - 1}, {right - 1, bottom - 1}, darkShadow);
  LineTo(painter, {right - 1, bottom - 1}, {right - 1, top - 1}, darkShadow);

  LineTo(painter, {left + 1, bottom - 2}, {right - 2, bottom - 2}, shadow);
  LineTo(painter, {right - 2, bottom - 2}, {right - 2, top}, shadow);
  painter.restore();
}

void CStateColorButton::PaintCaption(QPainter& painter, const QString& text, QRect c) {
  if (pressed_ != 0 && checkBoxMode_ == 0) c.translate(pressShiftX_, pressShiftY_);

  // Measure the wrapped text, then centre its box in `c` both ways; lines
  // are centred within the box.
  const QSize size = painter.boundingRect(c, kCaptionFlags, text).size();
  QRect box(c.topLeft(), size);
  box.translate((c.width() - size.width()) / 2, (c.height() - size.height()) / 2);

  painter.save();
  if (disabled_ != 0) {
    // Embossed: a highlight copy one pixel down and right, the shadow copy
    // on top of it.
    painter.setPen(SystemColor(QPalette::Light));
    painter.drawText(box.translated(1, 1), kCaptionFlags, text);
    painter.setPen(SystemColor(QPalette::Dark));
    painter.drawText(box, kCaptionFlags, text);
  } else {
    QColor color;
    if (mouseOver_ != 0 || pressed_ != 0) {
      color = stateColors_[kPressedText];
    } else if (focused_ != 0) {
      color = stateColors_[kFocusText];
    } else {
      color = stateColors_[kNormalText];
    }
    painter.setPen(color);
    painter.drawText(box, kCaptionFlags, text);
  }
  painter.restore();
}

// The focus rectangle: every other pixel of a one-pixel outline inverted,
// starting at the top-left corner, so the dots show on any face colour (the
// classic dotted focus rectangle). QStyle's focus frame is not used because
// its look differs between styles.
void CStateColorButton::PaintFocusRect(QPainter& painter, const QRect& r) {
  if (r.isEmpty()) return;
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Difference);
  const QColor white(255, 255, 255);
  auto dot = [&](int x, int y) {
    if (((x - r.left()) + (y - r.top())) % 2 == 0) painter.fillRect(QRect(x, y, 1, 1), white);
  };
  for (int x = r.left(); x <= r.right(); ++x) {
    dot(x, r.top());
    if (r.bottom() != r.top()) dot(x, r.bottom());
  }
  for (int y = r.top() + 1; y < r.bottom(); ++y) {
    dot(r.left(), y);
    if (r.right() != r.left()) dot(r.right(), y);
  }
  painter.restore();
}

// ---- Mouse, focus and state changes -----------------------------------------

void CStateColorButton::TrackHover(bool inside, bool leftDown) {
  if ((leftDown && mouseOver_ == 0) || flatLook_ == 0) return;
  if (inside && (trackInactive_ != 0 || QApplication::activeWindow() != nullptr)) {
    if (mouseOver_ == 0) {
      mouseOver_ = 1;
      update();
    }
  } else if (!inside && mouseOver_ != 0) {
    mouseOver_ = 0;
    update();
  }
}

void CStateColorButton::ClearHover() {
  if (flatLook_ != 0 && mouseOver_ != 0) {
    mouseOver_ = 0;
    update();
  }
}

void CStateColorButton::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  TrackHover(true, (QApplication::mouseButtons() & Qt::LeftButton) != 0);
}

void CStateColorButton::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  ClearHover();
}

void CStateColorButton::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  TrackHover(rect().contains(event->position().toPoint()),
             (event->buttons() & Qt::LeftButton) != 0);
}

void CStateColorButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  ClearHover();
}

void CStateColorButton::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::ThemeChange:
      // The system colours changed: colours set by the owner are dropped
      // until the owner sets them again.
      ResetStateColors();
      update();
      break;
    case QEvent::ActivationChange:
      if (!isActiveWindow()) ClearHover();
      break;
    case QEvent::EnabledChange:
      // A focused button that gets disabled has already passed the focus to
      // the next tab stop of its window (QWidget does that); what is left
      // is the hover look.
      if (!isEnabled()) ClearHover();
      break;
    default:
      break;
  }
}

}  // namespace verdelo
