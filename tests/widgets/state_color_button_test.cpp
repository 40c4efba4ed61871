// The colour button, checked on its pixels: each test renders buttons with
// QWidget::grab() and looks at faces, frames, the focus rectangle and the
// caption, under a palette whose system colours are all distinct.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "widgets/state_color_button.h"

// Readable rectangles in failure messages.
void PrintTo(const QRect& r, std::ostream* os) {
  *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << "x" << r.height() << ")";
}

namespace verdelo {
namespace {

using Kind = CStateColorButton::Kind;

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

const QColor kFace(192, 192, 192);       // Button
const QColor kText(0, 0, 128);           // ButtonText
const QColor kHighlight(255, 255, 255);  // Light
const QColor kLight3d(224, 224, 224);    // Midlight
const QColor kShadow(128, 128, 128);     // Dark
const QColor kDarkShadow(64, 64, 64);    // Shadow

QPalette TestPalette() {
  QPalette p;
  p.setColor(QPalette::Button, kFace);
  p.setColor(QPalette::ButtonText, kText);
  p.setColor(QPalette::Light, kHighlight);
  p.setColor(QPalette::Midlight, kLight3d);
  p.setColor(QPalette::Dark, kShadow);
  p.setColor(QPalette::Shadow, kDarkShadow);
  return p;
}

std::string Name(QRgb c) { return QColor(c).name().toStdString(); }
std::string Name(const QColor& c) { return c.name().toStdString(); }

QImage Snap(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

std::string At(const QImage& img, int x, int y) { return Name(img.pixel(x, y)); }

// The smallest rectangle inside `area` holding every pixel that `match`
// accepts.
QRect BoxOf(const QImage& img, const QRect& area, const std::function<bool(QColor)>& match) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (match(img.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

// The caption's ink: pixels inside the bevel and the focus rectangle that are
// not the face colour.
QRect InkBox(const QImage& img, const QColor& face) {
  return BoxOf(img, img.rect().adjusted(4, 4, -4, -4),
               [&](QColor c) { return c.rgb() != face.rgb(); });
}

class StateColorButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->setPalette(TestPalette());
    window_->resize(400, 200);
  }

  CStateColorButton* Add(const QString& text, const QRect& geometry, Kind kind = Kind::PushButton) {
    auto* b = new CStateColorButton(text, window_.get(), kind);
    b->setGeometry(geometry);
    return b;
  }

  // A button as the port window sets it up: 3D look, green face in the
  // normal and the focused state.
  CStateColorButton* AddGreen3d(const QString& text, const QRect& geometry,
                                Kind kind = Kind::PushButton) {
    CStateColorButton* b = Add(text, geometry, kind);
    b->SetFlatLook(false);
    b->SetStateColor(CStateColorButton::kNormalFace, kGreen);
    b->SetStateColor(CStateColorButton::kFocusFace, kGreen);
    return b;
  }

  void ShowActive() {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  void Focus(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(w->hasFocus());
  }

  std::unique_ptr<QWidget> window_;
};

TEST_F(StateColorButtonTest, StartsFlatWithTheSystemColours) {
  CStateColorButton* b = Add("Open", {10, 10, 100, 30});
  EXPECT_TRUE(b->FlatLook());
  EXPECT_FALSE(b->IsMouseOver());
  for (int i : {0, 2, 4}) EXPECT_EQ(Name(b->StateColor(i)), Name(kFace)) << i;
  for (int i : {1, 3, 5}) EXPECT_EQ(Name(b->StateColor(i)), Name(kText)) << i;

  // Flat and idle: no frame at all, the face reaches the edge.
  const QImage img = Snap(b);
  EXPECT_EQ(At(img, 0, 0), Name(kFace));
  EXPECT_EQ(At(img, 99, 29), Name(kFace));
}

TEST_F(StateColorButtonTest, FaceFollowsNormalFocusedAndPressedStates) {
  CStateColorButton* b = Add("Open", {10, 10, 100, 30});
  b->SetFlatLook(false);
  b->SetStateColor(CStateColorButton::kNormalFace, kGreen);
  b->SetStateColor(CStateColorButton::kFocusFace, kRed);
  Add("Close", {10, 50, 100, 30});

  // (8, 15) lies inside the bevel and the focus rectangle, left of the caption.
  EXPECT_EQ(At(Snap(b), 8, 15), Name(kGreen));

  ShowActive();
  Focus(b);
  EXPECT_EQ(At(Snap(b), 8, 15), Name(kRed));

  QTest::mousePress(b, Qt::LeftButton);
  EXPECT_TRUE(b->isDown());
  EXPECT_EQ(At(Snap(b), 8, 15), Name(kFace)) << "index 0 is still the system face";
  b->SetStateColor(CStateColorButton::kPressedFace, kBlue);
  EXPECT_EQ(At(Snap(b), 8, 15), Name(kBlue));

  QTest::mouseRelease(b, Qt::LeftButton);
  EXPECT_EQ(At(Snap(b), 8, 15), Name(kRed));
}

TEST_F(StateColorButtonTest, ThreeDBevelSitsInsideABlackFrameForDefaultOrFocusedButtons) {
  CStateColorButton* plain = AddGreen3d("", {10, 10, 60, 24});
  CStateColorButton* dflt = AddGreen3d("", {10, 50, 60, 24}, Kind::DefaultPushButton);
  EXPECT_TRUE(dflt->isDefault());
  EXPECT_FALSE(plain->isDefault());

  // The bevel on the rectangle (l, t)-(r, b), r and b inclusive.
  auto expectBevel = [](const QImage& img, int l, int t, int r, int b, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(At(img, l, t), Name(kHighlight));
    EXPECT_EQ(At(img, l, b - 1), Name(kHighlight));
    EXPECT_EQ(At(img, r - 1, t), Name(kHighlight));
    EXPECT_EQ(At(img, l + 1, t + 1), Name(kLight3d));
    EXPECT_EQ(At(img, l + 1, b - 2), Name(kLight3d));
    EXPECT_EQ(At(img, r - 2, t + 1), Name(kLight3d));
    EXPECT_EQ(At(img, l, b), Name(kDarkShadow));
    EXPECT_EQ(At(img, r, b), Name(kDarkShadow));
    EXPECT_EQ(At(img, r, t), Name(kDarkShadow));
    EXPECT_EQ(At(img, l + 1, b - 1), Name(kShadow));
    EXPECT_EQ(At(img, l + 2, b - 1), Name(kShadow));
    EXPECT_EQ(At(img, r - 1, b - 1), Name(kShadow));
    EXPECT_EQ(At(img, r - 1, t + 1), Name(kShadow));
    EXPECT_EQ(At(img, l + 2, t + 2), Name(kGreen));
    EXPECT_EQ(At(img, r - 2, b - 2), Name(kGreen));
  };

  expectBevel(Snap(plain), 0, 0, 59, 23, "plain button: bevel on the edge");

  const QImage d = Snap(dflt);
  for (QPoint p : {QPoint(0, 0), QPoint(59, 0), QPoint(0, 23), QPoint(59, 23), QPoint(30, 0),
                   QPoint(0, 12)}) {
    EXPECT_EQ(At(d, p.x(), p.y()), Name(kBlack)) << p.x() << "," << p.y();
  }
  expectBevel(d, 1, 1, 58, 22, "default button: bevel inside the black frame");

  // Losing the default role takes the black frame away.
  dflt->setDefault(false);
  expectBevel(Snap(dflt), 0, 0, 59, 23, "no longer default");

  // A focused button gets the black frame too.
  ShowActive();
  Focus(plain);
  const QImage f = Snap(plain);
  EXPECT_EQ(At(f, 0, 0), Name(kBlack));
  EXPECT_EQ(At(f, 59, 23), Name(kBlack));
  EXPECT_EQ(At(f, 1, 1), Name(kHighlight));
  EXPECT_EQ(At(f, 58, 22), Name(kDarkShadow));
}

TEST_F(StateColorButtonTest, PressedFrames) {
  // 3D: a one-pixel button-shadow frame instead of the bevel, inside the
  // default button's black frame.
  CStateColorButton* b = AddGreen3d("", {10, 10, 60, 24}, Kind::DefaultPushButton);
  QTest::mousePress(b, Qt::LeftButton);
  QImage img = Snap(b);
  EXPECT_EQ(At(img, 0, 0), Name(kBlack));
  for (QPoint p : {QPoint(1, 1), QPoint(58, 1), QPoint(1, 22), QPoint(58, 22), QPoint(30, 22)}) {
    EXPECT_EQ(At(img, p.x(), p.y()), Name(kShadow)) << p.x() << "," << p.y();
  }
  EXPECT_EQ(At(img, 2, 2), Name(kFace));
  QTest::mouseRelease(b, Qt::LeftButton);

  // Flat: sunken, shadow on top and left, highlight on bottom and right.
  CStateColorButton* flat = Add("", {10, 50, 60, 24});
  QTest::mousePress(flat, Qt::LeftButton);
  img = Snap(flat);
  EXPECT_EQ(At(img, 0, 0), Name(kShadow));
  EXPECT_EQ(At(img, 58, 0), Name(kShadow));
  EXPECT_EQ(At(img, 0, 22), Name(kShadow));
  EXPECT_EQ(At(img, 59, 0), Name(kHighlight));
  EXPECT_EQ(At(img, 0, 23), Name(kHighlight));
  EXPECT_EQ(At(img, 59, 23), Name(kHighlight));
  EXPECT_EQ(At(img, 1, 1), Name(kFace));
  QTest::mouseRelease(flat, Qt::LeftButton);
}

TEST_F(StateColorButtonTest, FocusRectangleIsDottedThreePixelsInEvenWithoutCaption) {
  CStateColorButton* b = AddGreen3d("", {10, 10, 60, 24});
  CStateColorButton* other = AddGreen3d("", {10, 50, 60, 24});
  ShowActive();
  Focus(b);

  // Every other pixel of the outline (3, 3)-(56, 20) is inverted, starting at
  // the corner; the other half and everything inside stay green (the caption
  // is empty, so no text is drawn).
  const QImage img = Snap(b);
  const std::string dot = Name(QColor(255, 0, 255));
  auto expectDotted = [&](int x, int y) {
    EXPECT_EQ(At(img, x, y), (x + y) % 2 == 0 ? dot : Name(kGreen)) << x << "," << y;
  };
  for (int x = 3; x <= 56; ++x) {
    expectDotted(x, 3);
    expectDotted(x, 20);
  }
  for (int y = 4; y <= 19; ++y) {
    expectDotted(3, y);
    expectDotted(56, y);
  }
  EXPECT_EQ(BoxOf(img, img.rect().adjusted(4, 4, -4, -4), [](QColor c) { return c != kGreen; }),
            QRect());

  // Not focused: no dots anywhere.
  const QImage unfocused = Snap(other);
  EXPECT_EQ(BoxOf(unfocused, unfocused.rect().adjusted(3, 3, -3, -3),
                  [](QColor c) { return c != kGreen; }),
            QRect());

  // The flat look draws no focus rectangle.
  other->SetFlatLook(true);
  Focus(other);
  const QImage flat = Snap(other);
  EXPECT_EQ(At(flat, 3, 3), Name(kGreen));
}

TEST_F(StateColorButtonTest, CaptionIsCentredAndMovesWhilePressed) {
  CStateColorButton* b = Add("Open", {10, 10, 120, 40});
  b->SetFlatLook(false);
  for (int i : {0, 2, 4}) b->SetStateColor(i, kGreen);
  for (int i : {1, 3, 5}) b->SetStateColor(i, kBlue);

  const QRect idle = InkBox(Snap(b), kGreen);
  ASSERT_FALSE(idle.isEmpty());
  const QPointF centre = QRectF(idle).center();
  EXPECT_NEAR(centre.x(), 60.0, 1.5);
  EXPECT_NEAR(centre.y(), 20.0, 3.0);

  QTest::mousePress(b, Qt::LeftButton);
  EXPECT_EQ(InkBox(Snap(b), kGreen), idle.translated(1, 1));
  QTest::mouseRelease(b, Qt::LeftButton);

  // A checked check box is drawn pressed but its caption stays in place.
  b->SetCheckBoxMode(true);
  b->SetCheck(1);
  EXPECT_EQ(InkBox(Snap(b), kGreen), idle);
}

TEST_F(StateColorButtonTest, CaptionWrapsInANarrowButton) {
  CStateColorButton* b = Add("Close the port", {10, 10, 60, 60});
  for (int i : {0, 2, 4}) b->SetStateColor(i, kGreen);
  const QRect ink = InkBox(Snap(b), kGreen);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GT(ink.height(), b->fontMetrics().height()) << "more than one line";
  EXPECT_NEAR(QRectF(ink).center().y(), 30.0, 3.0);
}

TEST_F(StateColorButtonTest, CaptionColourFollowsTheState) {
  CStateColorButton* b = AddGreen3d("Open", {10, 10, 120, 40});
  AddGreen3d("Close", {10, 60, 120, 40});
  b->SetStateColor(CStateColorButton::kPressedFace, kGreen);
  b->SetStateColor(CStateColorButton::kNormalText, kBlue);
  b->SetStateColor(CStateColorButton::kFocusText, kRed);
  b->SetStateColor(CStateColorButton::kPressedText, kBlack);

  // The most saturated caption pixel tells which colour was used.
  auto strongest = [](const QImage& img, auto channel) {
    int best = 0;
    const QRect inner = img.rect().adjusted(4, 4, -4, -4);
    for (int y = inner.top(); y <= inner.bottom(); ++y)
      for (int x = inner.left(); x <= inner.right(); ++x)
        best = std::max(best, channel(img.pixelColor(x, y)));
    return best;
  };
  auto blue = [](QColor c) { return c.blue(); };
  auto red = [](QColor c) { return c.red(); };
  auto dark = [](QColor c) { return 255 - c.green(); };

  QImage img = Snap(b);
  EXPECT_GT(strongest(img, blue), 200);
  EXPECT_EQ(strongest(img, red), 0);

  ShowActive();
  Focus(b);
  img = Snap(b);
  EXPECT_GT(strongest(img, red), 200);
  EXPECT_EQ(strongest(img, blue), 0);

  QTest::mousePress(b, Qt::LeftButton);
  img = Snap(b);
  EXPECT_GT(strongest(img, dark), 200);
  EXPECT_EQ(strongest(img, red), 0);
  EXPECT_EQ(strongest(img, blue), 0);
  QTest::mouseRelease(b, Qt::LeftButton);
}

TEST_F(StateColorButtonTest, DisabledCaptionIsEmbossed) {
  QPalette p = TestPalette();
  p.setColor(QPalette::Light, QColor(255, 255, 255));
  p.setColor(QPalette::Dark, kBlue);
  window_->setPalette(p);
  CStateColorButton* b = Add("Open", {10, 10, 120, 40});
  for (int i : {0, 2, 4}) b->SetStateColor(i, kGreen);
  const QRect area = QRect(0, 0, 120, 40).adjusted(4, 4, -4, -4);

  // Enabled, the caption (button text, no red in it) shows no highlight.
  EXPECT_EQ(BoxOf(Snap(b), area, [](QColor c) { return c.red() > 0; }), QRect());

  b->setEnabled(false);
  const QImage img = Snap(b);
  // Only the highlight copy brings red; the shadow copy is pure blue on green.
  const QRect light = BoxOf(img, area, [](QColor c) { return c.red() > 0; });
  const QRect shadow =
      BoxOf(img, area, [](QColor c) { return c.red() == 0 && c.blue() > 0; });
  ASSERT_FALSE(light.isEmpty());
  ASSERT_FALSE(shadow.isEmpty());
  EXPECT_EQ(light.bottomRight(), shadow.bottomRight() + QPoint(1, 1));
}

TEST_F(StateColorButtonTest, PaletteChangeBringsBackTheSystemColours) {
  CStateColorButton* b = AddGreen3d("Open", {10, 10, 100, 30});
  b->SetStateColor(CStateColorButton::kNormalText, kRed);

  QPalette p = TestPalette();
  const QColor face(200, 180, 160);
  const QColor text(10, 20, 30);
  p.setColor(QPalette::Button, face);
  p.setColor(QPalette::ButtonText, text);
  window_->setPalette(p);

  for (int i : {0, 2, 4}) EXPECT_EQ(Name(b->StateColor(i)), Name(face)) << i;
  for (int i : {1, 3, 5}) EXPECT_EQ(Name(b->StateColor(i)), Name(text)) << i;
  EXPECT_EQ(At(Snap(b), 8, 15), Name(face));
  EXPECT_FALSE(b->FlatLook()) << "the look is kept";

  // The owner's next colours hold again.
  b->SetStateColor(CStateColorButton::kNormalFace, kRed);
  EXPECT_EQ(At(Snap(b), 8, 15), Name(kRed));

  // An application-wide palette change reaches a button without a parent.
  CStateColorButton lone("Lone");
  lone.SetStateColor(CStateColorButton::kNormalFace, kGreen);
  const QPalette saved = QApplication::palette();
  QApplication::setPalette(p);
  QCoreApplication::processEvents();  // the change reaches widgets as posted events
  EXPECT_EQ(Name(lone.StateColor(CStateColorButton::kNormalFace)), Name(face));
  QApplication::setPalette(saved);
  QCoreApplication::processEvents();
}

TEST_F(StateColorButtonTest, DoubleClickCountsAsTwoClicks) {
  CStateColorButton* b = Add("Open", {10, 10, 100, 30});
  ShowActive();
  QSignalSpy clicked(b, &QAbstractButton::clicked);
  QSignalSpy pressed(b, &QAbstractButton::pressed);

  // Through the window system, as a real mouse delivers it.
  QWindow* handle = window_->windowHandle();
  ASSERT_NE(handle, nullptr);
  QTest::mouseDClick(handle, Qt::LeftButton, {}, b->geometry().center());
  EXPECT_EQ(clicked.count(), 2);
  EXPECT_EQ(pressed.count(), 2);
  EXPECT_FALSE(b->isDown());
}

TEST_F(StateColorButtonTest, CheckBoxModeInvertsOnEachClick) {
  CStateColorButton* b = Add("Log", {10, 10, 100, 30}, Kind::CheckBox);
  EXPECT_TRUE(b->CheckBoxMode());
  for (int i : {0, 2, 4}) b->SetStateColor(i, kGreen);
  b->SetStateColor(CStateColorButton::kPressedFace, kRed);
  CStateColorButton* push = Add("Open", {10, 50, 100, 30});
  ShowActive();

  // A handler connected by the window sees the new state.
  std::vector<int> seen;
  QObject::connect(b, &QAbstractButton::clicked, [&] { seen.push_back(b->GetCheck()); });

  QTest::mouseClick(b, Qt::LeftButton);
  EXPECT_EQ(b->GetCheck(), 1);
  EXPECT_TRUE(b->hasFocus());
  EXPECT_EQ(At(Snap(b), 1, 1), Name(kRed)) << "checked is drawn pressed";
  QTest::mouseClick(b, Qt::LeftButton);
  EXPECT_EQ(b->GetCheck(), 0);
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));

  b->SetCheck(2);
  EXPECT_EQ(b->GetCheck(), 1);
  b->SetCheck(3);
  EXPECT_EQ(b->GetCheck(), 0);

  // Outside check-box mode clicks and SetCheck leave the state alone.
  push->SetCheck(1);
  QTest::mouseClick(push, Qt::LeftButton);
  EXPECT_EQ(push->GetCheck(), 0);
  EXPECT_TRUE(push->hasFocus()) << "a click gives the focus";
}

TEST_F(StateColorButtonTest, HoverShowsOnlyInTheFlatLook) {
  CStateColorButton* flat = Add("", {10, 10, 60, 24});
  for (int i : {2, 4}) flat->SetStateColor(i, kGreen);
  flat->SetStateColor(CStateColorButton::kPressedFace, kRed);

  auto enter = [](QWidget* w) {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(w, &e);
  };
  auto leave = [](QWidget* w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
  };

  enter(flat);
  EXPECT_TRUE(flat->IsMouseOver());
  QImage img = Snap(flat);
  EXPECT_EQ(At(img, 0, 0), Name(kHighlight)) << "raised frame";
  EXPECT_EQ(At(img, 59, 23), Name(kShadow));
  EXPECT_EQ(At(img, 1, 1), Name(kRed));

  leave(flat);
  EXPECT_FALSE(flat->IsMouseOver());
  img = Snap(flat);
  EXPECT_EQ(At(img, 0, 0), Name(kGreen));
  EXPECT_EQ(At(img, 1, 1), Name(kGreen));

  // Being disabled ends the hover look.
  enter(flat);
  ASSERT_TRUE(flat->IsMouseOver());
  flat->setEnabled(false);
  EXPECT_FALSE(flat->IsMouseOver());

  // The 3D look never hovers.
  CStateColorButton* solid = AddGreen3d("", {10, 50, 60, 24});
  enter(solid);
  EXPECT_FALSE(solid->IsMouseOver());
  EXPECT_EQ(At(Snap(solid), 5, 5), Name(kGreen));
}

TEST_F(StateColorButtonTest, DisablingTheFocusedButtonPassesTheFocusOn) {
  CStateColorButton* open = AddGreen3d("Open", {10, 10, 100, 30});
  CStateColorButton* close = AddGreen3d("Close", {10, 50, 100, 30});
  CStateColorButton* send = AddGreen3d("Send", {10, 90, 100, 30});
  ShowActive();
  Focus(open);

  open->setEnabled(false);
  EXPECT_TRUE(close->hasFocus());

  // A button without the focus leaves it where it is.
  send->setEnabled(false);
  EXPECT_TRUE(close->hasFocus());
}

}  // namespace
}  // namespace verdelo
