// A series' memory bound: a week at full rate, older minutes as their least
// and greatest value; runs of one value kept as their two ends; and the
// store around the series.
#include <gtest/gtest.h>

#include <random>

#include "trends/series_store.h"

namespace verdelo::trends {
namespace {

constexpr std::int64_t kMinute = 60000;
constexpr std::int64_t kDay = 24 * 60 * kMinute;
constexpr std::int64_t kStart = 1'770'000'000'000;  // a whole minute

std::vector<Point> All(const Series& s) {
  std::vector<Point> points;
  s.Visit(std::numeric_limits<std::int64_t>::min() / 2, std::numeric_limits<std::int64_t>::max() / 2,
          [&](const Point& p) { points.push_back(p); });
  return points;
}

TEST(Series, KeepsAWeekAtFullRateAndSummarisesOlderMinutes) {
  Series s;
  // Two weeks, a point every 10 s, a value that never repeats.
  const std::int64_t step = 10'000;
  const std::int64_t count = 14 * kDay / step;
  for (std::int64_t i = 0; i < count; ++i) ASSERT_TRUE(s.Add(kStart + i * step, static_cast<std::int32_t>(i)));
  const std::int64_t newest = kStart + (count - 1) * step;
  EXPECT_EQ(s.fullRateCount(), static_cast<std::size_t>(7 * kDay / step + 1));
  // Older than a week before the newest: the points of the first 604,780 s,
  // in minutes 0 to 10079.
  EXPECT_EQ(s.minuteCount(), 10080u);
  // An old minute reads as the least and greatest of its six points.
  const std::optional<Reading> old = s.At(kStart + 90'000);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->t, kStart + kMinute);
  EXPECT_EQ(old->least, 6);
  EXPECT_EQ(old->greatest, 11);
  // A recent time reads the point itself.
  const std::optional<Reading> recent = s.At(newest - 15'000);
  ASSERT_TRUE(recent);
  EXPECT_EQ(recent->t, newest - 20'000);
  EXPECT_EQ(recent->least, recent->greatest);
  // Visiting yields time order across the two tiers.
  const std::vector<Point> points = All(s);
  for (std::size_t i = 1; i < points.size(); ++i) ASSERT_LE(points[i - 1].t, points[i].t);
  EXPECT_EQ(points.back().t, newest);
}

TEST(Series, FullRateCountIsBoundedEvenWithinTheWeek) {
  Series s(SeriesLimits{.fullRateMs = 7 * kDay, .maxFullRatePoints = 1000});
  for (int i = 0; i < 5000; ++i) s.Add(kStart + i * 100, i);  // ten a second
  EXPECT_EQ(s.fullRateCount(), 1000u);
  EXPECT_EQ(s.minuteCount(), 7u);  // the 4000 older points span 400 s
}

TEST(Series, MinuteSummariesKeepTheirTimesAtAnyDate) {
  // Before 1970, 2026, and the last minutes before the year 10000.
  for (const std::int64_t start : {-kMinute * 50, kStart, std::int64_t{253'402'294'800'000}}) {
    Series s(SeriesLimits{.fullRateMs = kMinute, .maxFullRatePoints = 10});
    for (int i = 0; i < 200; ++i) s.Add(start + i * 30'000, i);
    const std::optional<Reading> old = s.At(start + 7 * kMinute + 1);
    ASSERT_TRUE(old);
    EXPECT_EQ(std::make_pair(old->t, old->least), std::make_pair(start + 7 * kMinute, 14));
    EXPECT_EQ(s.FirstTime(), start);
  }
}

TEST(Series, RunsOfOneValueKeepTheirEndsAndReadTheSame) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> pick(0, 2);
  Series compact(SeriesLimits{.fullRateMs = 10 * kMinute, .maxFullRatePoints = 100000});
  std::vector<Point> every;
  for (int i = 0; i < 5000; ++i) {
    const Point p{kStart + i * 1000, i % 500 < 250 ? 5 : pick(random)};
    every.push_back(p);
    compact.Add(p.t, p.v);
  }
  EXPECT_LT(compact.fullRateCount() + compact.minuteCount(), every.size() / 2);
  // Every full-rate time still reads the value added there.
  for (const Point& p : every) {
    if (p.t < every.back().t - 10 * kMinute) continue;
    const std::optional<Reading> r = compact.At(p.t);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->least, p.v) << p.t;
  }
}

TEST(Series, RefusesPointsBeforeItsNewestAndKeepsThoseOfOneTime) {
  Series s;
  EXPECT_TRUE(s.Add(kStart, 1));
  EXPECT_TRUE(s.Add(kStart, 2));  // same time: kept
  EXPECT_FALSE(s.Add(kStart - 1, 3));
  EXPECT_EQ(All(s), (std::vector<Point>{{kStart, 1}, {kStart, 2}}));
  // A visit from that very time sees both (two log lines of one second).
  std::vector<Point> from;
  s.Visit(kStart, kStart, [&](const Point& p) { from.push_back(p); });
  EXPECT_EQ(from, (std::vector<Point>{{kStart, 1}, {kStart, 2}}));
}

TEST(SeriesStore, KeepsTheStatusChangesOfAnyAgeAtFullRate) {
  SeriesStore store(SeriesLimits{.fullRateMs = kDay, .maxFullRatePoints = 1000});
  for (int day = 0; day < 30; ++day) {
    store.Add(SeriesId::Status, kStart + day * kDay, 1014);
    store.Add(SeriesId::Status, kStart + day * kDay + 90'001, 1002);
    store.Add(SeriesId::Voltage, kStart + day * kDay + 90'001, 25000 + day);
  }
  const std::vector<Band> bands = store.Bands(kStart, kStart + 30 * kDay, 100000);
  ASSERT_EQ(bands.size(), 59u);
  EXPECT_EQ(bands[0], (Band{kStart, kStart + 90'001, 1014}));
  EXPECT_EQ(bands[1], (Band{kStart + 90'001, kStart + kDay, 1002}));
  EXPECT_EQ(store.TimeRange(), std::make_pair(kStart, kStart + 29 * kDay + 90'001));
}

TEST(SeriesStore, CountsPointsThatComeTooLateAndClearsAll) {
  SeriesStore store;
  const std::uint64_t before = store.generation();
  EXPECT_TRUE(store.Add(SeriesId::Current, kStart, -100));
  EXPECT_FALSE(store.Add(SeriesId::Current, kStart - 5, -200));
  EXPECT_TRUE(store.Add(SeriesId::Voltage, kStart - 5, 24000));  // each series has its own order
  EXPECT_EQ(store.outOfOrder(), 1u);
  EXPECT_GT(store.generation(), before);
  store.Clear();
  EXPECT_FALSE(store.TimeRange());
  EXPECT_EQ(store.outOfOrder(), 0u);
}

TEST(SeriesStore, MarkersAreThinnedToOneOfEachKindPerColumn) {
  SeriesStore store;
  Batch batch;
  for (int i = 0; i < 100; ++i) {
    batch.markers.push_back({kStart + i * 1000, MarkerKind::Alarm, "ALARM !!"});
    batch.markers.push_back({kStart + i * 1000 + 1, MarkerKind::Script, "script"});
  }
  store.Add(batch);
  EXPECT_EQ(store.Markers(kStart, kStart + 100'000, 10).size(), 20u);
  EXPECT_EQ(store.Markers(kStart, kStart + 100'000, 1000).size(), 200u);
  const std::optional<Marker> near = store.MarkerNear(kStart + 5'400, 500);
  ASSERT_TRUE(near);
  EXPECT_EQ(near->t, kStart + 5'001);
  EXPECT_FALSE(store.MarkerNear(kStart + 500'000, 500));
}

}  // namespace
}  // namespace verdelo::trends
