#include "shell/trends_window/trends_chart_view.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace verdelo {

TrendsChartView::TrendsChartView(const QString& title, const QString& unit, bool showTimes, QWidget* parent)
    : QChartView(new QChart, parent),
      timeAxis_(new QDateTimeAxis),
      valueAxis_(new QValueAxis),
      cursorLine_(new QGraphicsLineItem) {
  setRenderHint(QPainter::Antialiasing, false);
  setFocusPolicy(Qt::NoFocus);  // the window takes the keys
  setMouseTracking(true);
  setMinimumHeight(showTimes ? 96 : 64);
  QChart* c = chart();
  c->setAnimationOptions(QChart::NoAnimation);
  c->legend()->hide();
  c->setMargins(kMargins);
  c->setBackgroundRoundness(0);
  c->setTitle(title);
  QFont titleFont = c->titleFont();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 0.9);
  c->setTitleFont(titleFont);

  timeAxis_->setFormat(QStringLiteral("dd.MM. hh:mm"));
  timeAxis_->setTickCount(7);
  timeAxis_->setLabelsVisible(showTimes);
  c->addAxis(timeAxis_, Qt::AlignBottom);

  QFont labels = valueAxis_->labelsFont();
  labels.setPointSizeF(std::max(7.0, titleFont.pointSizeF() * 0.85));
  valueAxis_->setLabelsFont(labels);
  valueAxis_->setLabelFormat(QStringLiteral("%.4g"));
  valueAxis_->setTitleText(unit.isEmpty() ? QStringLiteral(" ") : unit);
  valueAxis_->setTickCount(3);
  c->addAxis(valueAxis_, Qt::AlignLeft);

  QPen pen(QColor(40, 40, 40, 160));
  pen.setStyle(Qt::DashLine);
  cursorLine_->setPen(pen);
  cursorLine_->setZValue(100);
  cursorLine_->hide();
  scene()->addItem(cursorLine_);
}

void TrendsChartView::Attach(QAbstractSeries* series) {
  chart()->addSeries(series);
  series->attachAxis(timeAxis_);
  series->attachAxis(valueAxis_);
}

void TrendsChartView::SetTimeRange(qint64 from, qint64 to) {
  // Seconds when a few minutes are shown, the year when months are.
  const qint64 span = to - from;
  timeAxis_->setFormat(span < 15 * 60'000          ? QStringLiteral("hh:mm:ss")
                       : span < 3 * 24 * 3'600'000  ? QStringLiteral("dd.MM. hh:mm")
                       : span < 60 * 24 * 3'600'000LL ? QStringLiteral("ddd dd.MM.")
                                                     : QStringLiteral("dd.MM.yyyy"));
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
  PlaceCursor();
}

TrendsChartView::ValueScale TrendsChartView::ScaleFor(double least, double greatest) const {
  // A narrow spread is widened about its middle to what a single value
  // gets, a twentieth of its size either side (at least 1): a few units of
  // noise should not fill the chart.
  const double pad = std::max(1.0, std::max(std::abs(least), std::abs(greatest)) * 0.05);
  if (!(greatest - least >= 2 * pad)) {
    const double middle = least / 2 + greatest / 2;
    least = middle - pad;
    greatest = middle + pad;
  }
  // Round steps of 1, 2 or 5 times a power of ten, as many as fit the
  // plot's height with room for their labels.
  const int fit = std::clamp(static_cast<int>(chart()->plotArea().height() / 22), 1, 6);
  const double rough = (greatest - least) / fit;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= rough) break;
  }
  const double bottom = std::floor(least / step) * step;
  const double top = std::ceil(greatest / step) * step;
  return {bottom, top, static_cast<int>(std::lround((top - bottom) / step)) + 1};
}

TrendsChartView::ValueScale TrendsChartView::ScaleToShow(double least, double greatest) const {
  if (!scaleChosen_) return ScaleFor(least, greatest);
  const double bottom = valueAxis_->min(), top = valueAxis_->max();
  if (bottom <= least && greatest <= top) {
    const ValueScale wanted = ScaleFor(least, greatest);
    return 2 * (wanted.top - wanted.bottom) >= top - bottom ? ValueScale{bottom, top, valueAxis_->tickCount()} : wanted;
  }
  // Values that left the scale are mostly still going that way (a battery
  // draining, a signal fading): a quarter of the old span of room beyond
  // them spares a new scale for every further step.
  const double room = (top - bottom) / 4;
  return ScaleFor(least < bottom ? least - room : least, greatest > top ? greatest + room : greatest);
}

bool TrendsChartView::SetValueScale(const ValueScale& scale) {
  scaleChosen_ = true;
  if (scale == ValueScale{valueAxis_->min(), valueAxis_->max(), valueAxis_->tickCount()}) return false;
  valueAxis_->setRange(scale.bottom, scale.top);
  valueAxis_->setTickCount(scale.ticks);
  PlaceCursor();
  return true;
}

int TrendsChartView::RowOf(double v) const {
  const double span = valueAxis_->max() - valueAxis_->min();
  if (!(span > 0)) return 0;
  return static_cast<int>(std::floor((v - valueAxis_->min()) / span * chart()->plotArea().height()));
}

std::optional<qint64> TrendsChartView::TimeAt(QPointF viewPos) const {
  const QPointF scenePos = mapToScene(viewPos.toPoint());
  const QPointF chartPos = chart()->mapFromScene(scenePos);
  if (!chart()->plotArea().contains(chartPos)) return std::nullopt;
  return static_cast<qint64>(std::llround(chart()->mapToValue(chartPos).x()));
}

int TrendsChartView::ValueLabelWidth() const {
  const QFontMetrics metrics(valueAxis_->labelsFont());
  const int ticks = std::max(2, valueAxis_->tickCount());
  const double step = (valueAxis_->max() - valueAxis_->min()) / (ticks - 1);
  int widest = 0;
  for (int i = 0; i < ticks; ++i)
    widest = std::max(widest, metrics.horizontalAdvance(QString::asprintf("%.4g", valueAxis_->min() + i * step)));
  return widest;
}

int TrendsChartView::PlotWidth() const { return std::max(1, static_cast<int>(chart()->plotArea().width())); }

void TrendsChartView::SetCursor(std::optional<qint64> t) {
  cursor_ = t;
  PlaceCursor();
}

void TrendsChartView::PlaceCursor() {
  const QRectF plot = chart()->plotArea();
  if (!cursor_ || plot.isEmpty()) {
    cursorLine_->hide();
    return;
  }
  const double x = chart()->mapToPosition(QPointF(static_cast<double>(*cursor_), 0)).x();
  if (x < plot.left() || x > plot.right()) {
    cursorLine_->hide();
    return;
  }
  const QPointF top = chart()->mapToScene(QPointF(x, plot.top()));
  const QPointF bottom = chart()->mapToScene(QPointF(x, plot.bottom()));
  cursorLine_->setLine(QLineF(top, bottom));
  cursorLine_->show();
}

void TrendsChartView::wheelEvent(QWheelEvent* event) {
  const std::optional<qint64> anchor = TimeAt(event->position());
  const int steps = event->angleDelta().y();
  if (!anchor || steps == 0) return;
  emit zoomRequested(*anchor, std::pow(0.8, steps / 120.0));
  event->accept();
}

void TrendsChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragX_ = event->position().toPoint().x();
  event->accept();
}

void TrendsChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  if (dragX_ && (event->buttons() & Qt::LeftButton)) {
    const double msPerPixel = (timeAxis_->max().toMSecsSinceEpoch() - timeAxis_->min().toMSecsSinceEpoch()) /
                              std::max(1.0, chart()->plotArea().width());
    const int dx = pos.toPoint().x() - *dragX_;
    dragX_ = pos.toPoint().x();
    if (dx != 0) emit panRequested(static_cast<qint64>(std::llround(-dx * msPerPixel)));
  }
  if (const std::optional<qint64> t = TimeAt(pos)) {
    emit cursorMoved(*t, event->globalPosition().toPoint());
  }
  event->accept();
}

void TrendsChartView::mouseReleaseEvent(QMouseEvent* event) {
  dragX_.reset();
  event->accept();
}

void TrendsChartView::leaveEvent(QEvent* event) {
  emit cursorLeft();
  QChartView::leaveEvent(event);
}

void TrendsChartView::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  if (event->size().height() != event->oldSize().height()) ChooseScaleAfresh();  // more or fewer steps fit
  PlaceCursor();
  emit resized();
}

}  // namespace verdelo
