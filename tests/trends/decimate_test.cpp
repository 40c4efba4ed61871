// Pictures cut to the pixels shown: every column keeps its least, greatest,
// first and last point, and the status its bands.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "trends/decimate.h"
#include "trends/series_store.h"

namespace verdelo::trends {
namespace {

constexpr std::int64_t kStart = 1'770'000'000'000;

struct Column {
  std::int32_t least = INT32_MAX, greatest = INT32_MIN;
  Point first{}, last{};
  int count = 0;
};

std::map<int, Column> Columns(const std::vector<Point>& points, const ColumnReducer& geometry, std::int64_t from,
                              std::int64_t to) {
  std::map<int, Column> columns;
  for (const Point& p : points) {
    if (p.t < from || p.t > to) continue;
    Column& c = columns[geometry.ColumnOf(p.t)];
    if (c.count++ == 0) c.first = p;
    c.last = p;
    c.least = std::min(c.least, p.v);
    c.greatest = std::max(c.greatest, p.v);
  }
  return columns;
}

TEST(Decimate, EveryColumnKeepsItsLeastGreatestFirstAndLast) {
  std::mt19937 random(3);
  struct Case {
    int points, width;
    std::int64_t step;
  };
  for (const Case& c : {Case{100000, 800, 1000}, Case{5000, 1920, 7}, Case{50, 1000, 60000}, Case{20000, 1, 10}}) {
    Series series(SeriesLimits{.fullRateMs = INT64_MAX / 4, .maxFullRatePoints = 1'000'000});
    std::normal_distribution<double> noise(0, 300);
    for (int i = 0; i < c.points; ++i) {
      // Rare spikes that must survive any zoom.
      const int v = static_cast<int>(noise(random)) + (i % 997 == 0 ? 30000 : 0);
      series.Add(kStart + i * c.step, v);
    }
    const std::int64_t from = kStart + c.points * c.step / 5 + 1;  // just after a point
    const std::int64_t to = kStart + c.points * c.step * 4 / 5;
    const std::vector<Point> kept = Decimate(series, from, to, c.width);
    const ColumnReducer geometry(from, to, c.width);
    // Against every point the series holds (runs of one value keep only
    // their ends).
    std::vector<Point> held;
    series.Visit(kStart - 1, INT64_MAX / 4, [&](const Point& p) { held.push_back(p); });
    const auto expected = Columns(held, geometry, from, to);
    const auto got = Columns(kept, geometry, from, to);
    ASSERT_EQ(got.size(), expected.size()) << c.points;
    for (const auto& [column, e] : expected) {
      const Column& g = got.at(column);
      ASSERT_EQ(g.least, e.least) << "column " << column;
      ASSERT_EQ(g.greatest, e.greatest) << "column " << column;
      ASSERT_EQ(g.first, e.first) << "column " << column;
      ASSERT_EQ(g.last, e.last) << "column " << column;
    }
    EXPECT_LE(kept.size(), static_cast<std::size_t>(4 * c.width + 2));
    // The points just outside the range come along, so lines reach the edges.
    ASSERT_FALSE(kept.empty());
    EXPECT_LT(kept.front().t, from);
    EXPECT_GT(kept.back().t, to);
    for (std::size_t i = 1; i < kept.size(); ++i) ASSERT_LE(kept[i - 1].t, kept[i].t);
  }
}

TEST(Decimate, MinuteSummariesKeepTheirPeaks) {
  Series series(SeriesLimits{.fullRateMs = 60'000, .maxFullRatePoints = 100});
  for (int i = 0; i < 24 * 3600; ++i) series.Add(kStart + i * 1000, i == 40000 ? 9999 : i == 50000 ? -9999 : i % 7);
  std::int32_t least = INT32_MAX, greatest = INT32_MIN;
  for (const Point& p : Decimate(series, kStart, kStart + 24 * 3600 * 1000LL, 300)) {
    least = std::min(least, p.v);
    greatest = std::max(greatest, p.v);
  }
  EXPECT_EQ(least, -9999);
  EXPECT_EQ(greatest, 9999);
}

TEST(Decimate, EmptyAndOutsideRanges) {
  Series series;
  EXPECT_TRUE(Decimate(series, kStart, kStart + 1000, 100).empty());
  series.Add(kStart, 1);
  series.Add(kStart + 10, 2);
  // Wholly before the range: only the last point before it, for the edge.
  EXPECT_EQ(Decimate(series, kStart + 100, kStart + 200, 10), (std::vector<Point>{{kStart + 10, 2}}));
  EXPECT_EQ(Decimate(series, kStart - 200, kStart - 100, 10), (std::vector<Point>{{kStart, 1}}));
}

TEST(Decimate, AnySpanMapsToColumnsWithoutOverflow) {
  Series series;
  SeriesStore store;
  for (const auto& [dt, v] : {std::pair{0, 1002}, {1000, 16}, {2000, 1014}, {3000, 1014}}) {
    series.Add(kStart + dt, v);
    store.Add(SeriesId::Status, kStart + dt, v);
    store.Add(Batch{{}, {Marker{kStart + dt, MarkerKind::Event, "event"}}});
  }
  struct Case {
    std::int64_t from, to;
    bool holdsAll;
  };
  for (const Case& c : {Case{INT64_MIN, INT64_MAX, true}, Case{0, INT64_MAX, true}, Case{INT64_MIN, kStart + 5000, true},
                        Case{kStart - (1LL << 62), kStart + (1LL << 62), true}, Case{INT64_MAX - 5, INT64_MAX, false},
                        Case{INT64_MAX, INT64_MAX, false}}) {
    for (const int width : {1920, 2}) {  // two columns: three bands are cut to columns
      EXPECT_EQ(Decimate(series, c.from, c.to, width).size(), c.holdsAll ? 4u : 1u) << c.from << ".." << c.to;
      EXPECT_EQ(store.Bands(c.from, c.to, width).empty(), !c.holdsAll);
      EXPECT_EQ(store.Markers(c.from, c.to, width).empty(), !c.holdsAll);
    }
  }
}

TEST(StatusBands, ExactWhenFewAndOneStatusPerColumnWhenMany) {
  Series status;
  // 1002 for 50 s, then 16 for 1 s, then 1014 for 49 s; ten times.
  for (int i = 0; i < 10; ++i) {
    const std::int64_t t = kStart + i * 100'000;
    status.Add(t, 1002);
    status.Add(t + 50'000, 16);
    status.Add(t + 51'000, 1014);
  }
  status.Add(kStart + 1'000'000, 1014);
  const std::vector<Band> exact = StatusBands(status, kStart, kStart + 1'000'000, 2000);
  ASSERT_EQ(exact.size(), 30u);
  EXPECT_EQ(exact[0], (Band{kStart, kStart + 50'000, 1002}));
  EXPECT_EQ(exact[1], (Band{kStart + 50'000, kStart + 51'000, 16}));
  EXPECT_EQ(exact[2], (Band{kStart + 51'000, kStart + 100'000, 1014}));
  // 20 columns of 50 s: the one-second error never covers most of one.
  const std::vector<Band> coarse = StatusBands(status, kStart, kStart + 1'000'000, 20);
  EXPECT_LE(coarse.size(), 20u);
  for (const Band& b : coarse) EXPECT_NE(b.status, 16);
  EXPECT_EQ(coarse.front().from, kStart);
  EXPECT_EQ(coarse.back().to, kStart + 1'000'000);
  for (std::size_t i = 1; i < coarse.size(); ++i) EXPECT_EQ(coarse[i - 1].to, coarse[i].from);
}

}  // namespace
}  // namespace verdelo::trends
