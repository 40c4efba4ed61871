// The stack of charts in the trends window, one above the other on one
// time axis: the status bands with the log's markers, then battery voltage,
// current, charge, temperature, signals, cutting effort and rain level.
#pragma once

#include <QAreaSeries>
#include <QLineSeries>
#include <QScatterSeries>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

#include "shell/trends_window/trends_chart_view.h"
#include "trends/series_store.h"
#include "trends/status_info.h"

namespace verdelo {

class TrendsCharts : public QWidget {
  Q_OBJECT
 public:
  explicit TrendsCharts(QWidget* parent = nullptr);

  // Draws [from, to] of the store, each series cut to the plot's pixels.
  void Show(const trends::SeriesStore& store, qint64 from, qint64 to);
  void SetSeriesVisible(trends::SeriesId id, bool visible);
  bool IsSeriesVisible(trends::SeriesId id) const;
  void SetMarkersVisible(bool visible);
  // The console's minimum voltage as a line on the voltage chart.
  void SetMinimumVoltage(std::optional<double> volts);
  void SetCursor(std::optional<qint64> t);
  // Other data is shown: every chart's next value scale fits it afresh.
  void ChooseScalesAfresh();

  const std::vector<TrendsChartView*>& views() const { return views_; }
  TrendsChartView* statusView() const { return views_.front(); }
  TrendsChartView* ViewOf(trends::SeriesId id) const;
  // What is drawn now, for the window's checks and tests.
  int PointCount(trends::SeriesId id) const;
  int BandCount() const { return bandCount_; }
  int MarkerCount() const { return markerCount_; }
  static QColor GroupColor(trends::StatusGroup group);

 signals:
  void zoomRequested(qint64 anchor, double factor);
  void panRequested(qint64 byMs);
  void cursorMoved(qint64 t, QPoint globalPos, TrendsChartView* view);
  void cursorLeft();

 private:
  TrendsChartView* AddView(const QString& title, const QString& unit);
  QLineSeries* AddLine(TrendsChartView* view, trends::SeriesId id, QColor color);
  void ShowCurrent(const std::vector<trends::Point>& points, qint64 from, qint64 to);
  void ShowStatus(const trends::SeriesStore& store, qint64 from, qint64 to, int width, bool moved);
  void UpdateTimeLabels();
  // Gives every shown chart the same plot left and right edges, those of
  // the chart whose value labels need the most room. Only the charts in
  // `relabelled` are measured again (all when it is empty), and only those
  // whose margins change are laid out again.
  void AlignPlots(const std::vector<bool>& relabelled = {});

  // What each series looks like on screen: its points' pixel columns and
  // rows. A refresh whose trace matches the drawn one leaves the chart
  // alone, so a chart repaints only when its pixels would change.
  using Trace = std::vector<std::pair<int, std::int64_t>>;
  struct Drawn {
    qint64 from = 0, to = 0;
    int width = 0;
    std::array<Trace, trends::kSeriesCount> lines;
    Trace status;
    std::optional<double> minimumVolts;
  };
  // Each series' least and greatest value shown; empty when least > greatest.
  using Extents = std::array<std::pair<double, double>, trends::kSeriesCount>;
  struct ScaleChanges {
    std::vector<bool> rescaled;    // each chart whose value scale changed
    std::vector<bool> relabelled;  // each chart whose value labels take more or less room
  };
  ScaleChanges UpdateValueScales(const Extents& extents, qint64 from, qint64 to, bool all);

  std::vector<TrendsChartView*> views_;
  std::array<QLineSeries*, trends::kSeriesCount> lines_{};
  std::array<TrendsChartView*, trends::kSeriesCount> viewOf_{};
  std::array<bool, trends::kSeriesCount> visible_{};
  QLineSeries* minimumVoltage_ = nullptr;
  std::optional<double> minimumVolts_;
  QAreaSeries* charging_ = nullptr;  // current above zero
  QAreaSeries* draining_ = nullptr;  // current below zero
  std::array<QAreaSeries*, trends::kStatusGroupCount> bands_{};
  std::array<QScatterSeries*, trends::kMarkerKindCount> markers_{};
  bool markersVisible_ = true;
  int bandCount_ = 0;
  int markerCount_ = 0;
  std::vector<int> labelWidths_;  // each chart's value labels when the plots were lined up
  std::vector<std::optional<QRectF>> naturalPlots_;  // each chart's plot area at the plain margins
  bool alignPosted_ = false;
  bool layoutChanged_ = true;  // shown charts or labels changed since the plots were lined up
  Drawn drawn_;
};

}  // namespace verdelo
