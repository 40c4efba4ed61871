// What a plot a given number of pixels wide can show of a series: every
// pixel column keeps its first, least, greatest and last point, so a year
// draws as fast as an hour and no peak is lost.
#pragma once

#include <cstdint>
#include <vector>

#include "trends/series.h"

namespace verdelo::trends {

// The column of `width` over [from, to] that time `t` falls in, clamped to
// the plot: exact, and free of overflow for any times and any span.
int PixelColumn(std::int64_t t, std::int64_t from, std::int64_t to, int width);
// The time at which column `column` of `width` over [from, to] begins.
std::int64_t ColumnStart(int column, std::int64_t from, std::int64_t to, int width);

// Takes points in time order and keeps, for each of `width` columns over
// [from, to], the first, least, greatest and last point (each once, in time
// order), plus the last point before `from` and the first after `to`, so
// that lines run on to the plot's edges.
class ColumnReducer {
 public:
  ColumnReducer(std::int64_t from, std::int64_t to, int width);
  void Add(const Point& p);
  std::vector<Point> Take();

  // The column a time inside [from, to] falls in.
  int ColumnOf(std::int64_t t) const;

 private:
  void Flush();

  std::int64_t from_, to_;
  int width_;
  std::vector<Point> out_;
  Point before_{};
  bool haveBefore_ = false;
  bool done_ = false;
  // The column being gathered: its points by order of arrival.
  int column_ = -1;
  long index_ = 0;
  struct Kept {
    Point p;
    long index;
  };
  Kept first_{}, least_{}, greatest_{}, last_{};
};

std::vector<Point> Decimate(const Series& series, std::int64_t from, std::int64_t to, int width);

// A stretch of one operating status.
struct Band {
  std::int64_t from, to;
  std::int32_t status;
  bool operator==(const Band&) const = default;
};

// The status over [from, to] as bands: a point's status lasts until the
// next point, the last one's ends with it. When more bands fall in the
// range than there are columns, each column shows the status of the longest
// stretch in it and neighbouring columns of one status join.
std::vector<Band> StatusBands(const Series& status, std::int64_t from, std::int64_t to, int width);

}  // namespace verdelo::trends
