// The trends window offscreen: a week of data log opened, drawn and read
// back from the picture; live values; the exports.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QSettings>
#include <QTest>

#include <fstream>

#include "shell/trends_window/trends_window.h"
#include "tests/support/qt_wait.h"
#include "tests/trends/log_maker.h"
#include "tests/trends/time_zone.h"
#include "trends/live_input.h"

namespace verdelo::test {
namespace {

using trends::SeriesId;

class TrendsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // The window's remembered geometry goes to a folder of the test's own.
    // QSettings reads XDG_CONFIG_HOME once a process, so later tests in the
    // same process are given the folder directly.
    ::setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((dir.path() / "config").string()));
    window = std::make_unique<CTrendsWindow>(nullptr, dir.path() / "Moro-log.txt", live);
    window->resize(1000, 1100);
    window->ShowAndRaise();
  }
  void TearDown() override { window.reset(); }

  // Pixels inside the plot area of `view` in the window's grab that match.
  template <typename Match>
  int PixelsWhere(const QImage& image, TrendsChartView* view, Match match) {
    const QRectF plot = view->chart()->plotArea();
    const QPoint topLeft = view->viewport()->mapTo(window.get(), view->mapFromScene(plot.topLeft()));
    const QRect area(topLeft, plot.size().toSize());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (match(image.pixelColor(x, y))) ++count;
    return count;
  }
  int PixelsOf(const QImage& image, TrendsChartView* view, QColor color) {
    return PixelsWhere(image, view, [&](QColor c) { return c.rgb() == color.rgb(); });
  }
  // Every shown chart's plot has the status strip's left and right edges.
  void ExpectPlotsLinedUp() {
    const auto edges = [](TrendsChartView* v) {
      const QRectF plot = v->chart()->plotArea();
      const double x = v->mapToGlobal(QPoint()).x();
      return std::make_pair(x + plot.left(), x + plot.right());
    };
    TrendsChartView* status = window->charts().statusView();
    for (TrendsChartView* view : window->charts().views()) {
      if (view->isHidden()) continue;
      EXPECT_NEAR(edges(view).first, edges(status).first, 1.0) << view->chart()->title().toStdString();
      EXPECT_NEAR(edges(view).second, edges(status).second, 1.0) << view->chart()->title().toStdString();
    }
  }

  ScopedTimeZone zone{"UTC"};
  TempDir dir;
  trends::SeriesStore live;
  trends::LiveInput input{live};
  std::unique_ptr<CTrendsWindow> window;
};

TEST_F(TrendsWindow, AWeekOfLogIsDrawnOnEveryChartWithStatusBandsAndMarkers) {
  const MadeLog week = MakeMowingLog({2026, 5, 1, 0, 0, 0, 0}, 7 * 24 * 60);
  {
    std::ofstream out(dir.path() / "Moro-log.txt", std::ios::binary);
    out << "garbage from before a crash\r\n" << week.bytes << "31/02/2026;00:00:00;0;0;0;0;0;0;0;0;0;0;0;\r\n";
  }
  window->ShowConsoleLog();
  ASSERT_TRUE(window->WaitForLoad(30000));
  window->RefreshNow();
  EXPECT_TRUE(window->sourceText().startsWith(QStringLiteral("Moro-log.txt: ")));
  EXPECT_EQ(window->skippedText(), QStringLiteral("2 lines skipped"));

  TrendsCharts& charts = window->charts();
  const int width = charts.statusView()->PlotWidth();
  for (SeriesId id : {SeriesId::Voltage, SeriesId::Current, SeriesId::Charge, SeriesId::Temperature,
                      SeriesId::BoundaryFront, SeriesId::CuttingEffort, SeriesId::RainLevel}) {
    EXPECT_GT(charts.PointCount(id), 10) << trends::Info(id).name;
    EXPECT_LE(charts.PointCount(id), 4 * width + 2) << trends::Info(id).name;  // cut to the pixels
  }
  // The log holds no rear boundary, guide or quality.
  EXPECT_EQ(charts.PointCount(SeriesId::Guide), 0);
  EXPECT_EQ(charts.BandCount(), 7 * 8);  // eight statuses a day, bands of one status joined
  EXPECT_GT(charts.MarkerCount(), 0);
  // One time axis: every chart spans the same time, to the pixel.
  for (TrendsChartView* view : charts.views()) {
    EXPECT_EQ(view->timeAxis()->min(), charts.statusView()->timeAxis()->min());
    EXPECT_EQ(view->timeAxis()->max(), charts.statusView()->timeAxis()->max());
  }
  ExpectPlotsLinedUp();

  const QImage image = window->grab().toImage();
  struct Drawn {
    SeriesId id;
    QColor color;
  };
  for (const Drawn& d : {Drawn{SeriesId::Voltage, QColor(0, 120, 60)}, Drawn{SeriesId::Current, QColor(50, 50, 50)},
                         Drawn{SeriesId::Charge, QColor(0, 90, 200)}, Drawn{SeriesId::Temperature, QColor(200, 90, 0)},
                         Drawn{SeriesId::BoundaryFront, QColor(0, 120, 200)},
                         Drawn{SeriesId::CuttingEffort, QColor(60, 140, 40)},
                         Drawn{SeriesId::RainLevel, QColor(30, 60, 200)}})
    EXPECT_GT(PixelsOf(image, charts.ViewOf(d.id), d.color), width / 2) << trends::Info(d.id).name;
  for (trends::StatusGroup group : {trends::StatusGroup::Cutting, trends::StatusGroup::Charging,
                                    trends::StatusGroup::Idle, trends::StatusGroup::Returning})
    EXPECT_GT(PixelsOf(image, charts.statusView(), TrendsCharts::GroupColor(group)), 100) << trends::GroupName(group);

  // The cursor reads every series at the time under the pointer.
  TrendsChartView* voltage = charts.ViewOf(SeriesId::Voltage);
  const QPoint inside = voltage->mapFromScene(voltage->chart()->plotArea().center());
  QTest::mouseMove(voltage->viewport(), inside);
  QMouseEvent move(QEvent::MouseMove, inside, voltage->viewport()->mapToGlobal(inside), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(voltage->viewport(), &move);
  EXPECT_TRUE(window->readoutText().contains(QStringLiteral("Battery voltage")));
  EXPECT_TRUE(window->readoutText().contains(QStringLiteral(" mA")));

  // Exports of the shown range.
  const QString png = QString::fromStdString((dir.path() / "shown.png").string());
  const QString csv = QString::fromStdString((dir.path() / "shown.csv").string());
  // One that cannot be written says so on the status row.
  const QString nowhere = QString::fromStdString((dir.path() / "no folder" / "shown").string());
  struct Failing {
    bool (CTrendsWindow::*exports)(const QString&);
    QString file, says;
  };
  for (const Failing& f :
       {Failing{&CTrendsWindow::ExportPng, nowhere + ".png", "shown.png was not written: "},
        Failing{&CTrendsWindow::ExportCsv, nowhere + ".csv", "shown.csv was not written: No such file or directory"},
        Failing{&CTrendsWindow::ExportCsv, "/dev/full", "full was not written: No space left on device"}}) {
    EXPECT_FALSE((window.get()->*f.exports)(f.file)) << f.file.toStdString();
    EXPECT_TRUE(window->exportText().startsWith(f.says)) << window->exportText().toStdString();
  }
  ASSERT_TRUE(window->ExportPng(png));
  EXPECT_FALSE(QImage(png).isNull());
  ASSERT_TRUE(window->ExportCsv(csv));
  EXPECT_EQ(window->exportText(), QString());
  std::ifstream in(csv.toStdString());
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header.rfind("time,voltage_V,current_mA,", 0), 0u);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.rfind("2026-05-01T00:00:00.000+00:00,24.500,", 0), 0u) << first;
  long rows = 1;
  for (std::string row; std::getline(in, row);) ++rows;
  // A row a minute while the mower is busy (390 minutes a day, its values
  // change every minute); idle stretches keep only the ends of their runs.
  EXPECT_GT(rows, 7 * 390);

  // Zooming out ends at twice the log's week, and the charts still draw it.
  for (int i = 0; i < 100; ++i) QTest::keyClick(window.get(), Qt::Key_Minus);
  window->RefreshNow();
  EXPECT_LE(window->viewRange().to() - window->viewRange().from(), 14 * 24 * 3'600'000LL);
  EXPECT_GT(charts.PointCount(SeriesId::Voltage), 10);
}

TEST_F(TrendsWindow, AFileWithoutDataLogLinesSaysSo) {
  const std::filesystem::path zeros = dir.path() / "zeros.log";
  std::ofstream(zeros).close();
  std::filesystem::resize_file(zeros, 2LL << 30);  // sparse: 2 GB read as zeros, at once
  window->OpenLog(zeros);
  ASSERT_TRUE(window->WaitForLoad(30000));
  window->RefreshNow();
  EXPECT_EQ(window->sourceText().toStdString(), "zeros.log: no data-log lines found");
  EXPECT_LE(window->loadStatus().done, trends::LogLoader::kGiveUpBytes);  // given up on early
}

TEST_F(TrendsWindow, HidingASeriesHidesItsChartAndTheLowestShownCarriesTheTimes) {
  window->RefreshNow();
  TrendsCharts& charts = window->charts();
  charts.SetSeriesVisible(SeriesId::RainLevel, false);
  EXPECT_TRUE(charts.ViewOf(SeriesId::RainLevel)->isHidden());
  EXPECT_TRUE(charts.ViewOf(SeriesId::CuttingEffort)->timeAxis()->labelsVisible());
  for (SeriesId id : {SeriesId::BoundaryFront, SeriesId::BoundaryRear, SeriesId::Guide})
    charts.SetSeriesVisible(id, false);
  EXPECT_FALSE(charts.ViewOf(SeriesId::Quality)->isHidden());  // one signal still shown
  charts.SetSeriesVisible(SeriesId::Quality, false);
  EXPECT_TRUE(charts.ViewOf(SeriesId::Quality)->isHidden());
}

TEST_F(TrendsWindow, ClosingOnlyHidesAndTheNextWindowComesBackWhereItWasAndAsItWas) {
  window->setGeometry(120, 80, 700, 650);
  const QSize placed = window->geometry().size();  // as tall as its charts need at least
  ASSERT_EQ(placed.width(), 700);
  window->charts().SetSeriesVisible(SeriesId::Temperature, false);
  for (QAction* action : window->findChildren<QAction*>())
    if (action->text() == QStringLiteral("Temperature")) action->setChecked(false);
  input.OnValue(ValueId::Voltage, 25000, LocalTime{2026, 5, 1, 10, 0, 0, 0});
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->liveStore().TimeRange());  // still gathering
  CTrendsWindow next(nullptr, dir.path() / "Moro-log.txt", live);
  EXPECT_EQ(next.geometry().size(), placed);
  EXPECT_FALSE(next.charts().IsSeriesVisible(SeriesId::Temperature));
  EXPECT_TRUE(next.charts().IsSeriesVisible(SeriesId::Voltage));
}

TEST_F(TrendsWindow, LiveValuesAreDrawnWithTheMinimumVoltageLine) {
  window->SetMinimumVoltageSource([] { return 24000; });
  IValueObserver& values = input;
  for (int s = 0; s < 600; ++s) {
    const LocalTime at{2026, 5, 1, 10, s / 60, s % 60, 0};
    values.OnValue(ValueId::Voltage, 25000 - s, at);
    values.OnValue(ValueId::Current, s < 300 ? 1500 : -1500, at);
    values.OnValue(ValueId::Status, s < 300 ? 1002 : 1014, at);
  }
  window->ShowLive();
  window->RefreshNow();
  TrendsCharts& charts = window->charts();
  EXPECT_GT(charts.PointCount(SeriesId::Voltage), 10);
  EXPECT_EQ(charts.BandCount(), 2);
  EXPECT_TRUE(window->sourceText().startsWith(QStringLiteral("Live")));
  // The view follows the newest value: the last hour up to it, moving on
  // in steps of a fiftieth of the hour.
  const qint64 newest = window->liveStore().TimeRange()->second;
  const qint64 step = (window->viewRange().to() - window->viewRange().from()) / CTrendsWindow::kFollowSteps;
  EXPECT_GE(window->viewRange().to(), newest);
  EXPECT_LT(window->viewRange().to() - newest, step);
  EXPECT_EQ(window->viewRange().to() % step, 0);
  const QImage image = window->grab().toImage();
  EXPECT_GT(PixelsOf(image, charts.ViewOf(SeriesId::Voltage), QColor(200, 0, 0)), 100);  // the minimum line
  // Charging and draining at a glance: blue above zero, red below.
  TrendsChartView* current = charts.ViewOf(SeriesId::Current);
  EXPECT_GT(PixelsWhere(image, current, [](QColor c) { return c.blue() > c.red() + 60; }), 1000);
  EXPECT_GT(PixelsWhere(image, current, [](QColor c) { return c.red() > c.blue() + 60; }), 1000);
}

// A refresh leaves a chart alone unless its pixels would change, so the
// charts cost nothing while the newest values repeat the last.
TEST_F(TrendsWindow, LiveChartsAreRedrawnOnlyWhenTheirPixelsChange) {
  const LocalTime at{2026, 5, 1, 10, 0, 0, 0};
  input.OnValue(ValueId::Voltage, 25000, at);
  input.OnValue(ValueId::Temperature, 21, at);
  for (int settle = 0; settle < 3; ++settle) {  // the plots line up after the first drawing
    QCoreApplication::processEvents();
    window->RefreshNow();
  }
  int replaced = 0;
  for (TrendsChartView* view : window->charts().views())
    for (QAbstractSeries* series : view->chart()->series())
      if (auto* xy = qobject_cast<QXYSeries*>(series))
        QObject::connect(xy, &QXYSeries::pointsReplaced, window.get(), [&] { ++replaced; });
  input.OnValue(ValueId::Voltage, 25000, at);
  input.OnValue(ValueId::Temperature, 21, at);
  window->RefreshNow();
  EXPECT_EQ(replaced, 0);
  input.OnValue(ValueId::Voltage, 24000, at);
  window->RefreshNow();
  EXPECT_EQ(replaced, 1) << "the voltage line, and nothing else";
}

// The values polled in turn come about once a minute; the first of them
// shows as a dot before there is a line to draw.
TEST_F(TrendsWindow, AValueSeenOnceShowsAsADot) {
  TrendsChartView* charge = window->charts().ViewOf(SeriesId::Charge);
  const auto blue = [](QColor c) { return c.blue() > 150 && c.red() < 60 && c.green() < 140; };
  input.OnValue(ValueId::Charge, 3500, LocalTime{2026, 5, 1, 10, 0, 0, 0});
  window->RefreshNow();
  EXPECT_EQ(window->charts().PointCount(SeriesId::Charge), 1);
  EXPECT_GT(PixelsWhere(window->grab().toImage(), charge, blue), 10);
  input.OnValue(ValueId::Charge, 3400, LocalTime{2026, 5, 1, 10, 1, 0, 0});
  window->RefreshNow();
  auto* line = qobject_cast<QXYSeries*>(charge->chart()->series().front());
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->count(), 2);
  EXPECT_FALSE(line->pointsVisible()) << "two values make a line, without dots";
  EXPECT_GT(PixelsWhere(window->grab().toImage(), charge, blue), 10);
}

// A value scale holds while the values stay inside it and fill half of it,
// so a chart is not laid out again for every value; values that leave it
// get a new one, and the plots stay lined up whichever chart's labels
// changed. Data shown anew gets scales fitted afresh.
TEST_F(TrendsWindow, LiveValueScalesHoldUntilValuesLeaveThemAndThePlotsStayLinedUp) {
  TrendsChartView* voltage = window->charts().ViewOf(SeriesId::Voltage);
  const auto scale = [&] { return std::make_pair(voltage->valueAxis()->min(), voltage->valueAxis()->max()); };
  int second = 0;
  const auto add = [&](int millivolts) {
    input.OnValue(ValueId::Voltage, millivolts, LocalTime{2026, 5, 1, 10, 0, second++, 0});
    input.OnValue(ValueId::Temperature, 21, LocalTime{2026, 5, 1, 10, 0, second, 0});
    QCoreApplication::processEvents();
    window->RefreshNow();
  };
  add(24390);
  add(24392);
  const auto first = scale();
  EXPECT_GE(first.second - first.first, 2.0) << "two millivolts of noise fill the chart";
  EXPECT_LE(first.first, 24.39);
  EXPECT_GE(first.second, 24.392);
  for (const int mv : {24395, 24800, 24100, 24391}) {
    add(mv);
    EXPECT_EQ(scale(), first) << mv << " mV";
  }
  struct Leaving {
    int millivolts;
    const char* why;
  };
  for (const Leaving& step : {Leaving{30000, "above the scale"}, Leaving{3000, "below it"},
                              Leaving{250000, "labels a digit wider"}}) {
    add(step.millivolts);
    EXPECT_LE(scale().first, step.millivolts / 1000.0) << step.why;
    EXPECT_GE(scale().second, step.millivolts / 1000.0) << step.why;
    EXPECT_LE(scale().first, 24.39) << step.why;
    QCoreApplication::processEvents();  // the charts' own layouts, as before they are painted
    ExpectPlotsLinedUp();
  }
  // Values filling two thirds of the scale keep it, until the data shown
  // is chosen again: then the scale fits them afresh.
  const TrendsChartView::ValueScale held{scale().first, scale().second, voltage->valueAxis()->tickCount()};
  const double least = held.bottom, greatest = held.bottom + (held.top - held.bottom) * 2 / 3;
  ASSERT_NE(voltage->ScaleFor(least, greatest), held);
  EXPECT_EQ(voltage->ScaleToShow(least, greatest), held);
  window->ShowLive();
  EXPECT_EQ(voltage->ScaleToShow(least, greatest), voltage->ScaleFor(least, greatest));
}

}  // namespace
}  // namespace verdelo::test
