// One chart of the trends window: a value axis with its unit under the
// shared time axis, the cursor's line, and the mouse turned into zooming,
// panning and cursor moves on the time axis.
#pragma once

#include <QChartView>
#include <QDateTimeAxis>
#include <QGraphicsLineItem>
#include <QValueAxis>

#include <optional>

namespace verdelo {

class TrendsChartView : public QChartView {
  Q_OBJECT
 public:
  // `unit` titles the value axis; `showTimes` puts the times under it.
  TrendsChartView(const QString& title, const QString& unit, bool showTimes, QWidget* parent = nullptr);

  // Around the chart's content; the window widens them to line the plots up.
  static constexpr QMargins kMargins{4, 2, 8, 2};

  QDateTimeAxis* timeAxis() const { return timeAxis_; }
  QValueAxis* valueAxis() const { return valueAxis_; }
  // Adds a series on both axes.
  void Attach(QAbstractSeries* series);

  void SetTimeRange(qint64 from, qint64 to);
  // The value axis: from `bottom` to `top` in `ticks` round steps.
  struct ValueScale {
    double bottom = 0, top = 1;
    int ticks = 2;
    bool operator==(const ValueScale&) const = default;
  };
  // The scale that shows values from `least` to `greatest` with some room
  // around them, in as many round steps as the plot's height fits.
  ValueScale ScaleFor(double least, double greatest) const;
  // The scale the axis has while it still holds `least` to `greatest` and
  // they fill at least half of it, else a new one, with room beyond values
  // that left it: a scale that moved with every value reaching a little
  // further would lay the chart out again on every refresh.
  ValueScale ScaleToShow(double least, double greatest) const;
  // False when the axis had that scale already.
  bool SetValueScale(const ValueScale& scale);
  // The next scale is chosen afresh, as for a new chart: its series or its
  // height changed.
  void ChooseScaleAfresh() { scaleChosen_ = false; }
  // The pixel row of value `v` on the axis as it is, 0 at the bottom.
  int RowOf(double v) const;
  // The time under a point of the view; empty outside the plot.
  std::optional<qint64> TimeAt(QPointF viewPos) const;
  // The width of the widest value label: the room the labels take beside
  // the plot, which moves its left edge.
  int ValueLabelWidth() const;
  void SetCursor(std::optional<qint64> t);
  std::optional<qint64> cursor() const { return cursor_; }
  int PlotWidth() const;

 signals:
  void zoomRequested(qint64 anchor, double factor);
  void panRequested(qint64 byMs);
  void cursorMoved(qint64 t, QPoint globalPos);
  void cursorLeft();
  void resized();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceCursor();

  QDateTimeAxis* timeAxis_;
  QValueAxis* valueAxis_;
  QGraphicsLineItem* cursorLine_;
  std::optional<qint64> cursor_;
  std::optional<int> dragX_;
  bool scaleChosen_ = false;
};

}  // namespace verdelo
