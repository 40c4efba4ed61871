// The traffic list keeps exact lines at once and tells its view in batches,
// and shows the longest line it expects whole.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "widgets/traffic_list.h"

namespace verdelo {
namespace {

TEST(TrafficList, LinesAreExactAtOnceAndReachTheViewInOneBatch) {
  TrafficList list(40);
  list.resize(200, 100);
  list.show();
  QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(list.model(), &QAbstractItemModel::modelReset);
  for (int i = 0; i < 1000; ++i) list.AddLine(QStringLiteral("RX line %1").arg(i));
  EXPECT_EQ(list.count(), 1000);
  EXPECT_EQ(list.text(999), "RX line 999");
  EXPECT_EQ(list.model()->rowCount(), 0) << "the view heard before its refresh";

  // The refresh comes by itself, within a frame of the refresh rate.
  EXPECT_TRUE(QTest::qWaitFor([&] { return list.model()->rowCount() == 1000; }, 1000));
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(list.model()->index(999, 0).data().toString(), "RX line 999");

  // Emptied: the view hears at once, and a repaint before the next refresh
  // reads no row that is gone.
  list.Clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.model()->rowCount(), 0);
  list.grab();
  // Refilled before the refresh: the view starts again.
  list.AddLine(QStringLiteral("TX first"));
  list.Refresh();
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(list.model()->rowCount(), 1);
  EXPECT_EQ(list.model()->index(0, 0).data().toString(), "TX first");
  list.Clear();
  list.Refresh();
  EXPECT_EQ(list.model()->rowCount(), 0);
}

TEST(TrafficList, TheLongestLineItExpectsIsShownWhole) {
  const QString longest = QStringLiteral("RX 12:34:56:789 ") + QString(" 0F").repeated(511);
  TrafficList list(static_cast<int>(longest.size()));
  list.resize(300, 100);
  list.show();
  list.AddLine(QStringLiteral("RX 12:34:56:789  0F"));
  list.AddLine(longest);
  list.Refresh();
  QApplication::processEvents();
  const QFontMetrics metrics(list.font());
  const QSize row = list.model()->index(1, 0).data(Qt::SizeHintRole).toSize();
  EXPECT_GE(row.width(), metrics.horizontalAdvance(longest));
  // Scrolled fully right, the end of the line is in view.
  list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
  EXPECT_GE(list.horizontalScrollBar()->maximum() + list.viewport()->width(),
            metrics.horizontalAdvance(longest));
  EXPECT_TRUE(QFontInfo(list.font()).fixedPitch());
}

}  // namespace
}  // namespace verdelo
