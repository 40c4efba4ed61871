#include "trends/series_store.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace verdelo::trends {

SeriesStore::SeriesStore(SeriesLimits limits) {
  for (SeriesId id : AllSeries()) {
    SeriesLimits own = limits;
    if (id == SeriesId::Status) own.fullRateMs = std::numeric_limits<std::int64_t>::max() / 2;
    series_[static_cast<std::size_t>(Index(id))] = Series(own);
  }
}

bool SeriesStore::AddLocked(SeriesId id, std::int64_t t, std::int32_t v) {
  const bool kept = series_[static_cast<std::size_t>(Index(id))].Add(t, v);
  if (!kept) ++outOfOrder_;
  return kept;
}

void SeriesStore::AddMarkerLocked(const Marker& m) {
  if (!markers_.empty() && m.t < markers_.back().t) return;
  markers_.push_back(m);
  if (markers_.size() > kMaxMarkers) markers_.pop_front();
}

bool SeriesStore::Add(SeriesId id, std::int64_t t, std::int32_t v) {
  bool kept;
  {
    std::lock_guard lock(mutex_);
    kept = AddLocked(id, t, v);
  }
  if (kept) Changed();
  return kept;
}

void SeriesStore::Add(const Batch& batch) {
  if (batch.empty()) return;
  {
    std::lock_guard lock(mutex_);
    for (const Sample& s : batch.samples) AddLocked(s.id, s.t, s.v);
    for (const Marker& m : batch.markers) AddMarkerLocked(m);
  }
  Changed();
}

void SeriesStore::Clear() {
  {
    std::lock_guard lock(mutex_);
    for (Series& s : series_) s.Clear();
    markers_.clear();
    markers_.shrink_to_fit();
    outOfOrder_ = 0;
  }
  Changed();
}

std::uint64_t SeriesStore::outOfOrder() const {
  std::lock_guard lock(mutex_);
  return outOfOrder_;
}

std::optional<std::pair<std::int64_t, std::int64_t>> SeriesStore::TimeRange() const {
  std::lock_guard lock(mutex_);
  std::optional<std::pair<std::int64_t, std::int64_t>> range;
  const auto include = [&](std::int64_t first, std::int64_t last) {
    if (!range) range.emplace(first, last);
    range->first = std::min(range->first, first);
    range->second = std::max(range->second, last);
  };
  for (const Series& s : series_)
    if (!s.empty()) include(*s.FirstTime(), *s.LastTime());
  if (!markers_.empty()) include(markers_.front().t, markers_.back().t);
  return range;
}

std::vector<Point> SeriesStore::Decimated(SeriesId id, std::int64_t from, std::int64_t to, int width) const {
  std::lock_guard lock(mutex_);
  return Decimate(series_[static_cast<std::size_t>(Index(id))], from, to, width);
}

std::vector<Band> SeriesStore::Bands(std::int64_t from, std::int64_t to, int width) const {
  std::lock_guard lock(mutex_);
  return StatusBands(series_[static_cast<std::size_t>(Index(SeriesId::Status))], from, to, width);
}

std::optional<Reading> SeriesStore::At(SeriesId id, std::int64_t t) const {
  std::lock_guard lock(mutex_);
  return series_[static_cast<std::size_t>(Index(id))].At(t);
}

std::optional<std::int64_t> SeriesStore::LastTime(SeriesId id) const {
  std::lock_guard lock(mutex_);
  return series_[static_cast<std::size_t>(Index(id))].LastTime();
}

std::vector<Marker> SeriesStore::Markers(std::int64_t from, std::int64_t to, int width) const {
  std::lock_guard lock(mutex_);
  auto it = std::lower_bound(markers_.begin(), markers_.end(), from,
                             [](const Marker& m, std::int64_t t) { return m.t < t; });
  std::vector<Marker> shown;
  std::array<int, kMarkerKindCount> lastColumn;
  lastColumn.fill(-1);
  for (; it != markers_.end() && it->t <= to; ++it) {
    const int column = PixelColumn(it->t, from, to, width);
    int& last = lastColumn[static_cast<std::size_t>(it->kind)];
    if (column == last) continue;
    last = column;
    shown.push_back(*it);
  }
  return shown;
}

std::optional<Marker> SeriesStore::MarkerNear(std::int64_t t, std::int64_t tolerance) const {
  std::lock_guard lock(mutex_);
  auto it = std::lower_bound(markers_.begin(), markers_.end(), t,
                             [](const Marker& m, std::int64_t at) { return m.t < at; });
  const Marker* best = nullptr;
  if (it != markers_.end()) best = &*it;
  if (it != markers_.begin() && (best == nullptr || t - std::prev(it)->t < best->t - t)) best = &*std::prev(it);
  if (best == nullptr || std::abs(best->t - t) > tolerance) return std::nullopt;
  return *best;
}

}  // namespace verdelo::trends
