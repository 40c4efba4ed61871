// A paced window paints far less often than its labels change, and paints the latest value last.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "widgets/paint_pacer.h"

namespace verdelo {
namespace {

struct PaintLog : QObject {  // the text a label showed at each of its paints
  bool eventFilter(QObject* label, QEvent* event) override {
    if (event->type() == QEvent::Paint) texts.push_back(static_cast<QLabel*>(label)->text());
    return false;
  }
  std::vector<QString> texts;
};

TEST(PaintPacer, PaintsAtMostOncePerRefreshAndEndsOnTheLatestValue) {
  QWidget window;
  QLabel label(QStringLiteral("-"), &window);
  label.setGeometry(0, 0, 100, 20);
  PaintPacer pacer(&window);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  PaintLog log;
  label.installEventFilter(&log);

  QTest::qWait(pacer.IntervalMs() + 5);  // after a quiet spell a change is painted at once
  label.setText(QStringLiteral("first"));
  QCoreApplication::processEvents();
  ASSERT_FALSE(log.texts.empty());
  EXPECT_EQ(log.texts.back(), "first");

  const int changes = 200;  // a flood, the event loop coming round after each
  for (int i = 1; i <= changes; ++i) {
    label.setText(QString::number(i));
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return log.texts.back() == QString::number(changes); }, 1000))
      << "last painted: " << log.texts.back().toStdString();
  EXPECT_LT(log.texts.size(), static_cast<std::size_t>(changes / 4)) << "every change painted";
}

}  // namespace
}  // namespace verdelo
