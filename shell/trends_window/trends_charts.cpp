#include "shell/trends_window/trends_charts.h"

#include <QGraphicsLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace verdelo {

using trends::Info;
using trends::Point;
using trends::SeriesId;

namespace {

QString Unit(SeriesId id) { return QString::fromUtf8(Info(id).unit.data(), static_cast<int>(Info(id).unit.size())); }
QString Label(SeriesId id) { return QString::fromUtf8(Info(id).label.data(), static_cast<int>(Info(id).label.size())); }

QList<QPointF> Scaled(const std::vector<Point>& points, double scale) {
  QList<QPointF> list;
  list.reserve(static_cast<qsizetype>(points.size()));
  for (const Point& p : points) list.append(QPointF(static_cast<double>(p.t), p.v * scale));
  return list;
}

// Least and greatest value shown between `from` and `to`; the points just
// outside count only when nothing lies inside.
struct Extent {
  double least = std::numeric_limits<double>::max();
  double greatest = std::numeric_limits<double>::lowest();
  bool any() const { return least <= greatest; }
  void Take(double v) {
    least = std::min(least, v);
    greatest = std::max(greatest, v);
  }
};

Extent ExtentOf(const QList<QPointF>& points, qint64 from, qint64 to) {
  Extent inside, all;
  for (const QPointF& p : points) {
    all.Take(p.y());
    if (p.x() >= static_cast<double>(from) && p.x() <= static_cast<double>(to)) inside.Take(p.y());
  }
  return inside.any() ? inside : all;
}

QScatterSeries::MarkerShape ShapeOf(trends::MarkerKind kind) {
  switch (kind) {
    case trends::MarkerKind::Alarm: return QScatterSeries::MarkerShapeTriangle;
    case trends::MarkerKind::Script: return QScatterSeries::MarkerShapeStar;
    case trends::MarkerKind::Pulse: return QScatterSeries::MarkerShapeRectangle;
    case trends::MarkerKind::Event: return QScatterSeries::MarkerShapeCircle;
  }
  return QScatterSeries::MarkerShapeCircle;
}

QColor ColorOf(trends::MarkerKind kind) {
  switch (kind) {
    case trends::MarkerKind::Alarm: return QColor(200, 0, 0);
    case trends::MarkerKind::Script: return QColor(120, 40, 160);
    case trends::MarkerKind::Pulse: return QColor(0, 90, 200);
    case trends::MarkerKind::Event: return QColor(60, 60, 60);
  }
  return Qt::black;
}

// The pixel column of time `t` on a plot `width` pixels wide showing
// [from, to]. In double, and points far off the plot keep only their side,
// so no time and no span overflows.
int ColumnOf(qint64 t, qint64 from, qint64 to, int width) {
  const double perMs = width / std::max(1.0, static_cast<double>(to) - static_cast<double>(from));
  const double column = std::floor((static_cast<double>(t) - static_cast<double>(from)) * perMs);
  return static_cast<int>(std::clamp(column, -1e9, 1e9));
}

}  // namespace

QColor TrendsCharts::GroupColor(trends::StatusGroup group) {
  switch (group) {
    case trends::StatusGroup::Cutting: return QColor(76, 175, 80);
    case trends::StatusGroup::Returning: return QColor(255, 152, 0);
    case trends::StatusGroup::Charging: return QColor(33, 150, 243);
    case trends::StatusGroup::Idle: return QColor(176, 176, 176);
    case trends::StatusGroup::Attention: return QColor(240, 210, 40);
    case trends::StatusGroup::Error: return QColor(229, 57, 53);
    case trends::StatusGroup::Unknown: return QColor(171, 71, 188);
  }
  return Qt::gray;
}

TrendsCharts::TrendsCharts(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  visible_.fill(true);

  TrendsChartView* status = AddView(QStringLiteral("Status and events"), QString());
  status->setMinimumHeight(56);
  status->setMaximumHeight(90);
  status->valueAxis()->setRange(0, 1);
  status->valueAxis()->setLabelsColor(Qt::transparent);
  status->valueAxis()->setGridLineVisible(false);
  viewOf_[trends::Index(SeriesId::Status)] = status;
  for (int g = 0; g < trends::kStatusGroupCount; ++g) {
    auto* area = new QAreaSeries(new QLineSeries(this));
    const QColor color = GroupColor(static_cast<trends::StatusGroup>(g));
    area->setColor(color);
    area->setBorderColor(color);
    area->setName(QString::fromLatin1(trends::GroupName(static_cast<trends::StatusGroup>(g))));
    status->Attach(area);
    bands_[static_cast<std::size_t>(g)] = area;
  }
  for (int k = 0; k < trends::kMarkerKindCount; ++k) {
    auto* scatter = new QScatterSeries;
    scatter->setMarkerShape(ShapeOf(static_cast<trends::MarkerKind>(k)));
    scatter->setMarkerSize(9);
    scatter->setColor(ColorOf(static_cast<trends::MarkerKind>(k)));
    scatter->setBorderColor(Qt::white);
    status->Attach(scatter);
    markers_[static_cast<std::size_t>(k)] = scatter;
  }

  TrendsChartView* voltage = AddView(Label(SeriesId::Voltage), Unit(SeriesId::Voltage));
  AddLine(voltage, SeriesId::Voltage, QColor(0, 120, 60));
  minimumVoltage_ = new QLineSeries;
  QPen dashed(QColor(200, 0, 0));
  dashed.setStyle(Qt::DashLine);
  minimumVoltage_->setPen(dashed);
  minimumVoltage_->setName(QStringLiteral("minimum voltage"));
  voltage->Attach(minimumVoltage_);

  TrendsChartView* current = AddView(Label(SeriesId::Current), Unit(SeriesId::Current));
  charging_ = new QAreaSeries(new QLineSeries(this), new QLineSeries(this));
  charging_->setColor(QColor(33, 150, 243, 110));
  charging_->setBorderColor(Qt::transparent);
  charging_->setName(QStringLiteral("charging"));
  draining_ = new QAreaSeries(new QLineSeries(this), new QLineSeries(this));
  draining_->setColor(QColor(229, 57, 53, 110));
  draining_->setBorderColor(Qt::transparent);
  draining_->setName(QStringLiteral("draining"));
  current->Attach(charging_);
  current->Attach(draining_);
  AddLine(current, SeriesId::Current, QColor(50, 50, 50));

  AddLine(AddView(Label(SeriesId::Charge), Unit(SeriesId::Charge)), SeriesId::Charge, QColor(0, 90, 200));
  AddLine(AddView(Label(SeriesId::Temperature), Unit(SeriesId::Temperature)), SeriesId::Temperature,
          QColor(200, 90, 0));
  // The signals' key is in the title: a legend beside a fixed plot area
  // leaves Qt Charts drawing the grid where the plot was before.
  struct Signal {
    SeriesId id;
    QColor color;
  };
  const Signal signalLines[] = {{SeriesId::BoundaryFront, QColor(0, 120, 200)},
                                {SeriesId::BoundaryRear, QColor(120, 180, 240)},
                                {SeriesId::Guide, QColor(200, 120, 0)},
                                {SeriesId::Quality, QColor(90, 90, 90)}};
  QString key = QStringLiteral("Signals:");
  for (const Signal& s : signalLines)
    key += QStringLiteral(" &nbsp;<span style=\"color:%1\">\u25A0</span> %2").arg(s.color.name(), Label(s.id).toLower());
  TrendsChartView* signalView = AddView(key, QString());
  for (const Signal& s : signalLines) AddLine(signalView, s.id, s.color);
  AddLine(AddView(Label(SeriesId::CuttingEffort), QString()), SeriesId::CuttingEffort, QColor(60, 140, 40));
  AddLine(AddView(Label(SeriesId::RainLevel), QString()), SeriesId::RainLevel, QColor(30, 60, 200));
  UpdateTimeLabels();

  for (TrendsChartView* view : views_) {
    connect(view, &TrendsChartView::zoomRequested, this, &TrendsCharts::zoomRequested);
    connect(view, &TrendsChartView::panRequested, this, &TrendsCharts::panRequested);
    connect(view, &TrendsChartView::cursorMoved, this,
            [this, view](qint64 t, QPoint global) { emit cursorMoved(t, global, view); });
    connect(view, &TrendsChartView::cursorLeft, this, &TrendsCharts::cursorLeft);
    connect(view, &TrendsChartView::resized, this, [this] {
      if (alignPosted_) return;
      alignPosted_ = true;
      QTimer::singleShot(0, this, [this] {
        alignPosted_ = false;
        AlignPlots();
      });
    });
  }
}

TrendsChartView* TrendsCharts::AddView(const QString& title, const QString& unit) {
  auto* view = new TrendsChartView(title, unit, false, this);
  layout()->addWidget(view);
  views_.push_back(view);
  return view;
}

QLineSeries* TrendsCharts::AddLine(TrendsChartView* view, SeriesId id, QColor color) {
  auto* line = new QLineSeries;
  QPen pen(color);
  pen.setWidthF(1.5);
  line->setPen(pen);
  line->setMarkerSize(6);  // the dot of a value seen once
  line->setName(Label(id));
  view->Attach(line);
  lines_[static_cast<std::size_t>(trends::Index(id))] = line;
  viewOf_[static_cast<std::size_t>(trends::Index(id))] = view;
  return line;
}

TrendsChartView* TrendsCharts::ViewOf(SeriesId id) const { return viewOf_[static_cast<std::size_t>(trends::Index(id))]; }

void TrendsCharts::Show(const trends::SeriesStore& store, qint64 from, qint64 to) {
  const int width = views_.front()->PlotWidth();
  const bool resized = width != drawn_.width;
  const bool moved = resized || from != drawn_.from || to != drawn_.to;
  if (moved)
    for (TrendsChartView* view : views_) view->SetTimeRange(from, to);
  // Each series' points and what they span, then each chart's scale.
  std::array<std::vector<Point>, trends::kSeriesCount> points;
  std::array<QList<QPointF>, trends::kSeriesCount> scaled;
  Extents extents;
  extents.fill({1.0, 0.0});
  for (SeriesId id : trends::AllSeries()) {
    const auto i = static_cast<std::size_t>(trends::Index(id));
    if (lines_[i] == nullptr) continue;
    points[i] = store.Decimated(id, from, to, width);
    scaled[i] = Scaled(points[i], Info(id).scale);
    const Extent extent = ExtentOf(scaled[i], from, to);
    extents[i] = {extent.least, extent.greatest};
  }
  const ScaleChanges changes = UpdateValueScales(extents, from, to, moved || layoutChanged_);
  // A series is drawn anew only when its pixels would change.
  for (SeriesId id : trends::AllSeries()) {
    const auto i = static_cast<std::size_t>(trends::Index(id));
    if (lines_[i] == nullptr) continue;
    const TrendsChartView* view = ViewOf(id);
    Trace trace;
    trace.reserve(points[i].size());
    for (qsizetype k = 0; k < scaled[i].size(); ++k) {
      const std::pair<int, std::int64_t> pixel(ColumnOf(points[i][static_cast<std::size_t>(k)].t, from, to, width),
                                               view->RowOf(scaled[i][k].y()));
      if (trace.empty() || trace.back() != pixel) trace.push_back(pixel);  // a repeat draws nothing new
    }
    const auto v = static_cast<std::size_t>(std::find(views_.begin(), views_.end(), view) - views_.begin());
    if (!moved && !changes.rescaled[v] && trace == drawn_.lines[i]) continue;
    drawn_.lines[i] = std::move(trace);
    lines_[i]->replace(scaled[i]);
    // A value seen once shows as a dot: a line needs two.
    if (const bool lone = scaled[i].size() == 1; lines_[i]->pointsVisible() != lone) lines_[i]->setPointsVisible(lone);
    if (id == SeriesId::Current) ShowCurrent(points[i], from, to);
  }
  ShowStatus(store, from, to, width, moved);
  drawn_.from = from;
  drawn_.to = to;
  drawn_.width = width;
  if (layoutChanged_ || resized) {
    layoutChanged_ = false;
    AlignPlots();
  } else if (std::find(changes.relabelled.begin(), changes.relabelled.end(), true) != changes.relabelled.end()) {
    AlignPlots(changes.relabelled);
  }
}

// Each chart's value axis spans what its visible series show; which charts
// took a new scale, and whether any one's labels now take more or less
// room, so the plots need lining up again.
TrendsCharts::ScaleChanges TrendsCharts::UpdateValueScales(const Extents& extents, qint64 from, qint64 to, bool all) {
  ScaleChanges changes{std::vector<bool>(views_.size(), all), std::vector<bool>(views_.size(), false)};
  labelWidths_.resize(views_.size());
  const bool newMinimum = minimumVolts_ != drawn_.minimumVolts;
  for (std::size_t v = 0; v < views_.size(); ++v) {
    TrendsChartView* view = views_[v];
    if (view == statusView()) continue;
    Extent extent;
    for (SeriesId id : trends::AllSeries()) {
      const auto& [least, greatest] = extents[static_cast<std::size_t>(trends::Index(id))];
      if (ViewOf(id) == view && IsSeriesVisible(id) && least <= greatest) extent.Take(least), extent.Take(greatest);
    }
    if (view == ViewOf(SeriesId::Voltage)) {
      if (all || newMinimum) {
        QList<QPointF> limit;
        if (minimumVolts_)
          limit = {QPointF(static_cast<double>(from), *minimumVolts_), QPointF(static_cast<double>(to), *minimumVolts_)};
        minimumVoltage_->replace(limit);
      }
      if (minimumVolts_) extent.Take(*minimumVolts_);
    }
    if (!extent.any() || !view->SetValueScale(view->ScaleToShow(extent.least, extent.greatest))) continue;
    changes.rescaled[v] = true;
    const int labels = view->ValueLabelWidth();
    changes.relabelled[v] = labels != labelWidths_[v];
    labelWidths_[v] = labels;
  }
  drawn_.minimumVolts = minimumVolts_;
  return changes;
}

// Each chart's own layout places its plot after its value labels; wider
// margins on the charts with narrower labels bring every plot to the same
// left and right edges. (A fixed plot area would do it too, but Qt Charts
// then draws some grids where the plot would have been.) Laying a chart out
// is most of a live refresh's cost, so charts whose labels kept their room
// are neither measured again nor, unless the edges moved, laid out again.
void TrendsCharts::AlignPlots(const std::vector<bool>& relabelled) {
  naturalPlots_.resize(views_.size());
  std::vector<bool> measured(views_.size(), false);
  double left = 0, right = std::numeric_limits<double>::max();
  for (std::size_t v = 0; v < views_.size(); ++v) {
    if (views_[v]->isHidden()) continue;
    if (relabelled.empty() || relabelled[v] || !naturalPlots_[v]) {
      views_[v]->chart()->setMargins(TrendsChartView::kMargins);
      views_[v]->chart()->layout()->activate();
      naturalPlots_[v] = views_[v]->chart()->plotArea();
      measured[v] = true;
    }
    left = std::max(left, naturalPlots_[v]->left());
    right = std::min(right, naturalPlots_[v]->right());
  }
  for (std::size_t v = 0; v < views_.size(); ++v) {
    if (views_[v]->isHidden()) continue;
    QChart* chart = views_[v]->chart();
    QMargins margins = TrendsChartView::kMargins;
    margins.setLeft(margins.left() + static_cast<int>(std::lround(left - naturalPlots_[v]->left())));
    margins.setRight(margins.right() + static_cast<int>(std::lround(naturalPlots_[v]->right() - right)));
    if (!measured[v] && margins == chart->margins()) continue;
    chart->setMargins(margins);
    chart->layout()->activate();
    views_[v]->SetCursor(views_[v]->cursor());
  }
}


// Current above zero (charging) and below (draining) as two filled areas
// from the zero line, meeting where the line crosses zero.
void TrendsCharts::ShowCurrent(const std::vector<Point>& points, qint64 from, qint64 to) {
  QList<QPointF> above, below;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const double x = static_cast<double>(points[i].t);
    const double v = points[i].v;
    if (i > 0) {
      const double px = static_cast<double>(points[i - 1].t);
      const double pv = points[i - 1].v;
      if ((pv < 0 && v > 0) || (pv > 0 && v < 0)) {
        const QPointF zero(px + (x - px) * (-pv) / (v - pv), 0);
        above.append(zero);
        below.append(zero);
      }
    }
    above.append(QPointF(x, std::max(v, 0.0)));
    below.append(QPointF(x, std::min(v, 0.0)));
  }
  const double left = points.empty() ? static_cast<double>(from) : static_cast<double>(points.front().t);
  const double right = points.empty() ? static_cast<double>(to) : static_cast<double>(points.back().t);
  const QList<QPointF> zero = {QPointF(left, 0), QPointF(right, 0)};
  charging_->upperSeries()->replace(above);
  charging_->lowerSeries()->replace(zero);
  draining_->upperSeries()->replace(zero);
  draining_->lowerSeries()->replace(below);
}

// Each status group's bands as one area whose outline rises to 1 over a
// band and drops to 0 between them.
void TrendsCharts::ShowStatus(const trends::SeriesStore& store, qint64 from, qint64 to, int width, bool moved) {
  const std::vector<trends::Band> bands =
      IsSeriesVisible(SeriesId::Status) ? store.Bands(from, to, width) : std::vector<trends::Band>{};
  const std::vector<trends::Marker> markers =
      markersVisible_ ? store.Markers(from, to, width) : std::vector<trends::Marker>{};
  bandCount_ = static_cast<int>(bands.size());
  markerCount_ = static_cast<int>(markers.size());
  Trace trace;
  for (const trends::Band& band : bands) {
    trace.emplace_back(ColumnOf(band.from, from, to, width), band.status);
    trace.emplace_back(ColumnOf(band.to, from, to, width), band.status);
  }
  for (const trends::Marker& m : markers)
    trace.emplace_back(ColumnOf(m.t, from, to, width), -1 - static_cast<std::int64_t>(m.kind));
  if (!moved && trace == drawn_.status) return;
  drawn_.status = std::move(trace);

  std::array<QList<QPointF>, trends::kStatusGroupCount> combs;
  for (const trends::Band& band : bands) {
    auto& comb = combs[static_cast<std::size_t>(trends::GroupOfStatus(band.status))];
    const double a = static_cast<double>(band.from), b = static_cast<double>(band.to);
    comb.append({QPointF(a, 0), QPointF(a, 1), QPointF(b, 1), QPointF(b, 0)});
  }
  for (int g = 0; g < trends::kStatusGroupCount; ++g)
    bands_[static_cast<std::size_t>(g)]->upperSeries()->replace(combs[static_cast<std::size_t>(g)]);

  std::array<QList<QPointF>, trends::kMarkerKindCount> marks;
  for (const trends::Marker& m : markers)
    marks[static_cast<std::size_t>(m.kind)].append(QPointF(static_cast<double>(m.t), 0.5));
  for (int k = 0; k < trends::kMarkerKindCount; ++k)
    markers_[static_cast<std::size_t>(k)]->replace(marks[static_cast<std::size_t>(k)]);
}

void TrendsCharts::SetSeriesVisible(SeriesId id, bool visible) {
  visible_[static_cast<std::size_t>(trends::Index(id))] = visible;
  if (QLineSeries* line = lines_[static_cast<std::size_t>(trends::Index(id))]) line->setVisible(visible);
  if (id == SeriesId::Current) {
    charging_->setVisible(visible);
    draining_->setVisible(visible);
  }
  // A chart stays while any of its series, or the status strip's markers,
  // is shown.
  TrendsChartView* view = ViewOf(id);
  view->ChooseScaleAfresh();
  bool any = view == statusView() && markersVisible_;
  for (SeriesId other : trends::AllSeries())
    if (ViewOf(other) == view && IsSeriesVisible(other)) any = true;
  view->setVisible(any);
  UpdateTimeLabels();
  layoutChanged_ = true;
}

bool TrendsCharts::IsSeriesVisible(SeriesId id) const { return visible_[static_cast<std::size_t>(trends::Index(id))]; }

void TrendsCharts::SetMarkersVisible(bool visible) {
  markersVisible_ = visible;
  SetSeriesVisible(SeriesId::Status, IsSeriesVisible(SeriesId::Status));
}

void TrendsCharts::SetMinimumVoltage(std::optional<double> volts) { minimumVolts_ = volts; }

void TrendsCharts::SetCursor(std::optional<qint64> t) {
  for (TrendsChartView* view : views_) view->SetCursor(t);
}

void TrendsCharts::ChooseScalesAfresh() {
  for (TrendsChartView* view : views_) view->ChooseScaleAfresh();
}

int TrendsCharts::PointCount(SeriesId id) const {
  if (id == SeriesId::Status) return bandCount_;
  const QLineSeries* line = lines_[static_cast<std::size_t>(trends::Index(id))];
  return line ? static_cast<int>(line->count()) : 0;
}

// Times are written under the lowest chart shown only.
void TrendsCharts::UpdateTimeLabels() {
  TrendsChartView* lowest = nullptr;
  for (TrendsChartView* view : views_)
    if (!view->isHidden()) lowest = view;
  for (TrendsChartView* view : views_) {
    view->timeAxis()->setLabelsVisible(view == lowest);
    view->setMinimumHeight(view == statusView() ? 56 : view == lowest ? 96 : 64);
  }
}

}  // namespace verdelo
