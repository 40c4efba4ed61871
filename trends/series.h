// One series of values over time, bounded in memory: the newest week at
// full rate, everything older as the least and greatest value of each
// minute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace verdelo::trends {

struct Point {
  std::int64_t t;  // ms since the epoch
  std::int32_t v;
  bool operator==(const Point&) const = default;
};

struct SeriesLimits {
  // Points younger than this (counted from the newest point) are kept as
  // they came.
  std::int64_t fullRateMs = 7LL * 24 * 3600 * 1000;
  // ...but never more than this many: one a second for a week. The console
  // polls each value every few seconds; a faster poll shortens the stretch
  // kept at full rate instead of growing memory.
  std::size_t maxFullRatePoints = 7 * 24 * 3600;
};

// What a series holds at one time: a value kept at full rate (least ==
// greatest), or the minute summary it falls in.
struct Reading {
  std::int64_t t;  // of the point or the minute's start
  std::int32_t least;
  std::int32_t greatest;
};

class Series {
 public:
  explicit Series(SeriesLimits limits = {}) : limits_(limits) {}

  // Adds a point; false, keeping nothing, when `t` lies before the newest
  // point. A run of equal values keeps only its first and last point: the
  // drawing and every reading stay the same.
  bool Add(std::int64_t t, std::int32_t v);
  void Clear();

  bool empty() const { return minutes_.empty() && times_.size() == head_; }
  std::optional<std::int64_t> FirstTime() const;
  std::optional<std::int64_t> LastTime() const;
  // The newest point at or before `t`.
  std::optional<Reading> At(std::int64_t t) const;

  // Calls visit(Point) in time order for every kept point from the last
  // one at or before `from` to the first one after `to`. A minute summary
  // is visited as its least value then (if different) its greatest, both
  // at the minute's start.
  template <typename Visitor>
  void Visit(std::int64_t from, std::int64_t to, Visitor&& visit) const;

  std::size_t fullRateCount() const { return times_.size() - head_; }
  std::size_t minuteCount() const { return minutes_.size(); }

 private:
  struct Minute {
    std::int64_t minute;  // since the epoch (32 bits end in the year 6053)
    std::int32_t least;
    std::int32_t greatest;
  };
  static std::int64_t StartOf(const Minute& m) { return m.minute * 60000; }
  void Summarise(std::int64_t t, std::int32_t v);
  void AgeOut();
  // Index of the first minute summary to visit for `from`.
  std::size_t FirstMinuteFor(std::int64_t from) const;

  SeriesLimits limits_;
  std::vector<Minute> minutes_;
  // The full-rate points, oldest first from head_ (aged-out points before
  // it are dropped in bulk).
  std::vector<std::int64_t> times_;
  std::vector<std::int32_t> values_;
  std::size_t head_ = 0;
};

template <typename Visitor>
void Series::Visit(std::int64_t from, std::int64_t to, Visitor&& visit) const {
  const bool startsInFullRate = times_.size() > head_ && times_[head_] <= from;
  if (!startsInFullRate) {
    for (std::size_t i = FirstMinuteFor(from); i < minutes_.size(); ++i) {
      const Minute& m = minutes_[i];
      const std::int64_t t = StartOf(m);
      visit(Point{t, m.least});
      if (m.greatest != m.least) visit(Point{t, m.greatest});
      if (t > to) return;
    }
  }
  std::size_t i = head_;
  if (startsInFullRate) {
    // The last full-rate point at or before `from`.
    std::size_t lo = head_, hi = times_.size();
    while (hi - lo > 1) {
      const std::size_t mid = lo + (hi - lo) / 2;
      (times_[mid] <= from ? lo : hi) = mid;
    }
    while (lo > head_ && times_[lo - 1] == times_[lo]) --lo;  // all points of that time
    i = lo;
  }
  for (; i < times_.size(); ++i) {
    visit(Point{times_[i], values_[i]});
    if (times_[i] > to) return;
  }
}

}  // namespace verdelo::trends
