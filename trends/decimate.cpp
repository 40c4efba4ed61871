#include "trends/decimate.h"

#include <algorithm>

namespace verdelo::trends {

namespace {

// Time differences times a column count need up to 95 bits: done in 128,
// any span and any time maps without overflow.
__extension__ typedef __int128 Wide;

// A range of at least one millisecond.
std::int64_t EndAfter(std::int64_t from, std::int64_t to) {
  return to > from ? to : from == INT64_MAX ? from : from + 1;
}

}  // namespace

int PixelColumn(std::int64_t t, std::int64_t from, std::int64_t to, int width) {
  width = std::max(width, 1);
  const Wide span = std::max<Wide>(Wide{to} - from, 1);
  const Wide c = (Wide{t} - from) * width / span;
  return static_cast<int>(std::clamp<Wide>(c, 0, width - 1));
}

std::int64_t ColumnStart(int column, std::int64_t from, std::int64_t to, int width) {
  const Wide span = std::max<Wide>(Wide{to} - from, 0);
  return static_cast<std::int64_t>(from + span * column / std::max(width, 1));
}

ColumnReducer::ColumnReducer(std::int64_t from, std::int64_t to, int width)
    : from_(from), to_(EndAfter(from, to)), width_(std::max(width, 1)) {}

int ColumnReducer::ColumnOf(std::int64_t t) const { return PixelColumn(t, from_, to_, width_); }

void ColumnReducer::Add(const Point& p) {
  if (done_) return;
  if (p.t < from_) {
    before_ = p;
    haveBefore_ = true;
    return;
  }
  if (haveBefore_) {
    out_.push_back(before_);
    haveBefore_ = false;
  }
  if (p.t > to_) {
    Flush();
    out_.push_back(p);
    done_ = true;
    return;
  }
  const int column = ColumnOf(p.t);
  const Kept k{p, index_++};
  if (column != column_) {
    Flush();
    column_ = column;
    first_ = least_ = greatest_ = last_ = k;
    return;
  }
  if (p.v < least_.p.v) least_ = k;
  if (p.v > greatest_.p.v) greatest_ = k;
  last_ = k;
}

void ColumnReducer::Flush() {
  if (column_ < 0) return;
  Kept kept[4] = {first_, least_, greatest_, last_};
  std::sort(std::begin(kept), std::end(kept), [](const Kept& a, const Kept& b) { return a.index < b.index; });
  long previous = -1;
  for (const Kept& k : kept) {
    if (k.index == previous) continue;
    out_.push_back(k.p);
    previous = k.index;
  }
  column_ = -1;
}

std::vector<Point> ColumnReducer::Take() {
  if (haveBefore_) {
    out_.push_back(before_);
    haveBefore_ = false;
  }
  Flush();
  done_ = true;
  return std::move(out_);
}

std::vector<Point> Decimate(const Series& series, std::int64_t from, std::int64_t to, int width) {
  ColumnReducer reducer(from, to, width);
  series.Visit(from, to, [&](const Point& p) { reducer.Add(p); });
  return reducer.Take();
}

namespace {

void Append(std::vector<Band>& bands, Band b) {
  if (b.to <= b.from) return;
  if (!bands.empty() && bands.back().status == b.status && bands.back().to >= b.from) {
    bands.back().to = std::max(bands.back().to, b.to);
    return;
  }
  bands.push_back(b);
}

// One status per column: the longest stretch in it.
std::vector<Band> ByColumn(const std::vector<Band>& exact, std::int64_t from, std::int64_t to, int width) {
  const auto edge = [&](int c) { return ColumnStart(c, from, to, width); };
  std::vector<std::int32_t> best(static_cast<std::size_t>(width), 0);
  std::vector<Wide> length(static_cast<std::size_t>(width), 0);
  const auto offer = [&](int c, Wide len, std::int32_t status) {
    if (len > length[static_cast<std::size_t>(c)]) {
      length[static_cast<std::size_t>(c)] = len;
      best[static_cast<std::size_t>(c)] = status;
    }
  };
  for (const Band& b : exact) {
    const int first = PixelColumn(b.from, from, to, width);
    const int last = PixelColumn(b.to - 1, from, to, width);
    if (first == last) {
      offer(first, Wide{b.to} - b.from, b.status);
      continue;
    }
    offer(first, Wide{edge(first + 1)} - b.from, b.status);
    for (int c = first + 1; c < last; ++c) offer(c, Wide{edge(c + 1)} - edge(c), b.status);
    offer(last, Wide{b.to} - edge(last), b.status);
  }
  std::vector<Band> bands;
  for (int c = 0; c < width; ++c)
    if (length[static_cast<std::size_t>(c)] > 0) Append(bands, Band{edge(c), edge(c + 1), best[static_cast<std::size_t>(c)]});
  return bands;
}

}  // namespace

std::vector<Band> StatusBands(const Series& status, std::int64_t from, std::int64_t to, int width) {
  to = EndAfter(from, to);
  width = std::max(width, 1);
  std::vector<Band> exact;
  bool havePrevious = false;
  Point previous{};
  status.Visit(from, to, [&](const Point& p) {
    if (havePrevious)
      Append(exact, Band{std::max(previous.t, from), std::min(p.t, to), previous.v});
    previous = p;
    havePrevious = true;
  });
  if (exact.size() <= static_cast<std::size_t>(width)) return exact;
  return ByColumn(exact, from, to, width);
}

}  // namespace verdelo::trends
