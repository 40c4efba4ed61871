// CStateColorButton: a push button that paints itself so that its face and
// caption can carry a colour per state (normal, focused, pressed or hovered),
// with either a classic 3D bevel or a flat look.
//
// The port window uses two of them ("Open" and "Close"): it switches the flat
// look off and paints the face of the button whose action is available green,
// the other red.
//
// A click gives the button the keyboard focus. A double-click counts as a
// second click: Qt delivers the second press as a double-click event, which
// QWidget hands on to the press handler.
//
// System colours come from the widget's palette (Active group):
//   button face        QPalette::Button
//   button text        QPalette::ButtonText
//   button highlight   QPalette::Light
//   3D light           QPalette::Midlight
//   3D dark shadow     QPalette::Shadow
//   button shadow      QPalette::Dark
// This is the same assignment Qt's own Windows theme makes when it builds a
// palette from the Windows system colours, so a bevel looks as it would there.
#pragma once

#include <QColor>
#include <QPushButton>
#include <QString>

#include <array>

class QPainter;

namespace verdelo {

class CStateColorButton : public QPushButton {
  Q_OBJECT

 public:
  // Indexes of the six state colours.
  enum StateColorIndex {
    kPressedFace = 0,  // face while pressed or hovered
    kPressedText = 1,  // caption while pressed or hovered
    kNormalFace = 2,   // face in the normal state
    kNormalText = 3,   // caption in the normal state
    kFocusFace = 4,    // face while focused
    kFocusText = 5,    // caption while focused
    kStateColorCount = 6
  };

  // What the button stands in for on its window: a plain push button, the
  // window's default push button (Enter presses it; drawn with a black frame
  // in the 3D look) or a check box (each click inverts its check state, and
  // it is drawn pressed while checked).
  enum class Kind { PushButton, DefaultPushButton, CheckBox };

  explicit CStateColorButton(QWidget* parent = nullptr);
  explicit CStateColorButton(const QString& text, QWidget* parent = nullptr,
                             Kind kind = Kind::PushButton);

  // On: flat look (no bevel, a frame only while hovered). Off: 3D bevel.
  // Repaints the button.
  void SetFlatLook(bool on);
  bool FlatLook() const { return flatLook_ != 0; }

  // Sets state colour `index` (0 to 5, see StateColorIndex) and repaints the
  // button. Other indexes are ignored.
  void SetStateColor(int index, const QColor& color);
  QColor StateColor(int index) const;

  // Check-box mode. SetCheck with 1 or 2 checks the button, any other value
  // unchecks it; outside check-box mode it does nothing. GetCheck returns
  // the check state (0 or 1).
  void SetCheckBoxMode(bool on);
  bool CheckBoxMode() const { return checkBoxMode_ != 0; }
  void SetCheck(int value);
  int GetCheck() const { return checked_; }

  // 1 while the mouse is over a flat button.
  bool IsMouseOver() const { return mouseOver_ != 0; }

 protected:
  // The paint steps, in order; a derived class may replace any of them.
  // PaintFace fills the face of `r` and may shrink `r` (by the default
  // frame); PaintFrame then draws the border on what is left of it.
  virtual void PaintFace(QPainter& painter, QRect& r);
  virtual void PaintFrame(QPainter& painter, const QRect& r);
  virtual void PaintCaption(QPainter& painter, const QString& text, QRect c);

  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

  // Colours of the system roles listed at the top of this file.
  QColor SystemColor(QPalette::ColorRole role) const;

  int pressShiftX_ = 1;  // caption offset while pressed
  int pressShiftY_ = 1;
  int flatLook_ = 1;
  int mouseOver_ = 0;
  // Captured at the start of each paint.
  int pressed_ = 0;
  int focused_ = 0;
  int disabled_ = 0;
  int isDefault_ = 0;  // mirrors QPushButton::isDefault()
  int checkBoxMode_ = 0;
  int checked_ = 0;
  int drawBorder_ = 1;     // flat look: draw the hover and pressed frames
  int drawFlatFocus_ = 0;  // flat look: draw the focus rectangle too
  int trackInactive_ = 1;  // flat look: hover also while no window is active
  std::array<QColor, kStateColorCount> stateColors_;

 private:
  void Init(Kind kind);
  void ResetStateColors();
  void OnClicked();
  // Follows the mouse for the hover look; `inside` tells whether it is over
  // this button, `leftDown` whether the left button is held.
  void TrackHover(bool inside, bool leftDown);
  void ClearHover();
  void PaintFocusRect(QPainter& painter, const QRect& r);
};

}  // namespace verdelo
