// The console's decoded values into the live store, and the view's moves
// over time.
#include <gtest/gtest.h>

#include "tests/trends/time_zone.h"
#include "trends/live_input.h"
#include "trends/view_range.h"

namespace verdelo::trends {
namespace {

TEST(LiveInput, EachChartedValueLandsInItsSeriesAtItsArrivalTime) {
  test::ScopedTimeZone zone("Europe/Berlin");
  SeriesStore store;
  LiveInput live(store);
  IValueObserver& observer = live;
  const LocalTime arrival{2026, 7, 1, 12, 0, 5, 250};  // summer time: UTC+2
  const std::int64_t expectedMs = 1782900005250;        // 2026-07-01 10:00:05.250 UTC
  struct Case {
    ValueId value;
    std::optional<SeriesId> series;
  };
  for (const Case& c : {Case{ValueId::Voltage, SeriesId::Voltage}, Case{ValueId::Current, SeriesId::Current},
                        Case{ValueId::Charge, SeriesId::Charge}, Case{ValueId::Temperature, SeriesId::Temperature},
                        Case{ValueId::BoundaryFront, SeriesId::BoundaryFront},
                        Case{ValueId::BoundaryRear, SeriesId::BoundaryRear}, Case{ValueId::GuideG1, SeriesId::Guide},
                        Case{ValueId::Quality, SeriesId::Quality}, Case{ValueId::CuttingEffort, SeriesId::CuttingEffort},
                        Case{ValueId::RainLevel, SeriesId::RainLevel}, Case{ValueId::Status, SeriesId::Status},
                        Case{ValueId::ClockHours, std::nullopt}, Case{ValueId::Value12030, std::nullopt},
                        Case{ValueId::FarSignal, std::nullopt}, Case{ValueId::Power, std::nullopt}}) {
    const int value = 100 + static_cast<int>(c.value);
    observer.OnValue(c.value, value, arrival);
    if (!c.series) continue;
    const std::optional<Reading> r = store.At(*c.series, expectedMs);
    ASSERT_TRUE(r) << ValueName(c.value);
    EXPECT_EQ(r->t, expectedMs) << ValueName(c.value);
    EXPECT_EQ(r->least, value) << ValueName(c.value);
  }
  EXPECT_EQ(live.received(), 11u);
  EXPECT_EQ(store.TimeRange(), std::make_pair(expectedMs, expectedMs));
  // No such time: dropped.
  observer.OnValue(ValueId::Voltage, 1, LocalTime{2026, 2, 30, 12, 0, 0, 0});
  EXPECT_EQ(live.received(), 11u);
}

TEST(LiveInput, TheDataLogsEventsBecomeMarkersAsWhenTheLogIsReadBack) {
  test::ScopedTimeZone zone("UTC");
  SeriesStore store;
  LiveInput live(store);
  ILogEventObserver& events = live;
  const LocalTime at{2026, 7, 1, 12, 0, 5, 0};
  const std::int64_t ms = 1782907205000;
  events.OnLogEvent("ALARM low voltage  ", at);
  events.OnLogEvent("=> Charging :1014", at);  // a status change: the status series shows it
  events.OnLogEvent("Stop \xE4nderung", at);  // the log's own code page
  const std::vector<Marker> markers = store.Markers(ms - 1000, ms + 1000, 100);
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0].t, ms);
  EXPECT_EQ(markers[0].kind, MarkerKind::Alarm);
  EXPECT_EQ(markers[0].text, "ALARM low voltage");
  EXPECT_EQ(markers[1].kind, MarkerKind::Event);
  EXPECT_EQ(markers[1].text, "Stop \u00E4nderung");
}

TEST(LiveInput, TheHourRepeatedWhenClocksGoBackRunsOn) {
  test::ScopedTimeZone zone("Europe/Berlin");
  SeriesStore store;
  LiveInput live(store);
  // 02:59:59 summer time, then 02:00:00 winter time one second later.
  live.OnValue(ValueId::Voltage, 1, LocalTime{2025, 10, 26, 2, 59, 59, 0});
  live.OnValue(ValueId::Voltage, 2, LocalTime{2025, 10, 26, 2, 0, 0, 0});
  const auto range = store.TimeRange();
  ASSERT_TRUE(range);
  EXPECT_EQ(range->second - range->first, 1000);
  EXPECT_EQ(store.outOfOrder(), 0u);
}

TEST(ViewRange, LastAllZoomAndPan) {
  constexpr std::int64_t kHour = 3'600'000;
  const TimeSpan data{10 * kHour, 20 * kHour};
  ViewRange view;
  view.ShowLast(kHour, data);
  EXPECT_EQ(std::make_pair(view.from(), view.to()), std::make_pair(19 * kHour, 20 * kHour));
  view.Update(TimeSpan{10 * kHour, 21 * kHour});  // new data: it scrolls
  EXPECT_EQ(view.to(), 21 * kHour);
  view.Zoom(20 * kHour + kHour / 2, 0.5);  // keeps the anchor in place
  EXPECT_EQ(view.mode(), ViewRange::Mode::Fixed);
  EXPECT_EQ(std::make_pair(view.from(), view.to()), std::make_pair(20 * kHour + kHour / 4, 20 * kHour + kHour * 3 / 4));
  view.Update(TimeSpan{10 * kHour, 22 * kHour});  // fixed: stays
  EXPECT_EQ(view.to(), 20 * kHour + kHour * 3 / 4);
  view.Pan(-kHour, data);
  EXPECT_EQ(view.to(), 19 * kHour + kHour * 3 / 4);
  view.Pan(10 * kHour, TimeSpan{10 * kHour, 22 * kHour});  // past the newest: follows again
  EXPECT_EQ(view.mode(), ViewRange::Mode::Last);
  EXPECT_EQ(std::make_pair(view.from(), view.to()), std::make_pair(22 * kHour - kHour / 2, 22 * kHour));
  view.ShowAll(data);
  EXPECT_EQ(std::make_pair(view.from(), view.to()), std::make_pair(10 * kHour, 20 * kHour));
  for (int i = 0; i < 5; ++i) view.Zoom(view.from(), 0.01);  // never below the least span
  EXPECT_EQ(view.to() - view.from(), ViewRange::kMinSpan);

  // Following in steps: the end moves only when the newest data passes it.
  view.SetFollowStep(4'500);
  view.ShowLast(kHour, TimeSpan{0, 20 * kHour + 1});
  EXPECT_EQ(view.to(), 20 * kHour + 4'500);
  for (const std::int64_t newest : {20 * kHour + 2, 20 * kHour + 4'500}) {
    view.Update(TimeSpan{0, newest});
    EXPECT_EQ(std::make_pair(view.from(), view.to()), std::make_pair(19 * kHour + 4'500, 20 * kHour + 4'500));
  }
  view.Update(TimeSpan{0, 20 * kHour + 4'501});
  EXPECT_EQ(view.to(), 20 * kHour + 9'000);
  view.ShowAll(TimeSpan{-70'000, -100});  // before the epoch, too
  EXPECT_EQ(std::make_pair(view.from(), view.to()), std::make_pair(std::int64_t{-70'000}, std::int64_t{0}));
}

TEST(ViewRange, ZoomingOutAndPanningEnd) {
  constexpr std::int64_t kDay = 24 * 3'600'000, kT = 1'770'000'000'000;
  // The data, and the widest view: twice the data, at least a day.
  for (const auto& [data, widest] : {std::pair{std::optional<TimeSpan>(TimeSpan{kT, kT + 7 * kDay}), 14 * kDay},
                                     {TimeSpan{kT, kT}, kDay}, {std::nullopt, ViewRange::kMaxSpan}}) {
    ViewRange view;
    view.ShowLast(3'600'000, data);
    for (int i = 0; i < 100; ++i) view.Zoom(view.from() + (view.to() - view.from()) / 2, 2.0, data);
    EXPECT_LE(view.to() - view.from(), widest);
    EXPECT_GE(view.to() - view.from(), widest / 2);
    for (const std::int64_t by : {INT64_MIN, INT64_MIN, INT64_MAX / 2}) view.Pan(by, std::nullopt);
    EXPECT_LE(view.to(), ViewRange::kMaxTime);
    EXPECT_GE(view.to() - view.from(), widest / 2);
  }
}

}  // namespace
}  // namespace verdelo::trends
