// Every series of one source (the live console, or a data log) with the
// log's event markers. Safe to share between the thread that fills it and
// the window that draws it: every call takes the store's lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trends/decimate.h"
#include "trends/series.h"
#include "trends/series_id.h"

namespace verdelo::trends {

enum class MarkerKind : std::uint8_t { Alarm, Script, Pulse, Event };
inline constexpr int kMarkerKindCount = static_cast<int>(MarkerKind::Event) + 1;

struct Marker {
  std::int64_t t;
  MarkerKind kind;
  std::string text;  // UTF-8
};

struct Sample {
  SeriesId id;
  std::int64_t t;
  std::int32_t v;
};

// What a reader hands over at once, under one lock.
struct Batch {
  std::vector<Sample> samples;
  std::vector<Marker> markers;
  bool empty() const { return samples.empty() && markers.empty(); }
  void clear() {
    samples.clear();
    markers.clear();
  }
};

class SeriesStore {
 public:
  // The status keeps its changes at full rate however old (a few a day),
  // within the same count bound as the other series.
  explicit SeriesStore(SeriesLimits limits = {});

  // False when the point lies before the series' newest and was dropped.
  bool Add(SeriesId id, std::int64_t t, std::int32_t v);
  void Add(const Batch& batch);
  void Clear();

  // Changes with every change of the content.
  std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
  // Points dropped because they came before their series' newest.
  std::uint64_t outOfOrder() const;

  // First and last time over every series and marker.
  std::optional<std::pair<std::int64_t, std::int64_t>> TimeRange() const;
  std::vector<Point> Decimated(SeriesId id, std::int64_t from, std::int64_t to, int width) const;
  std::vector<Band> Bands(std::int64_t from, std::int64_t to, int width) const;
  std::optional<Reading> At(SeriesId id, std::int64_t t) const;
  std::optional<std::int64_t> LastTime(SeriesId id) const;
  // The markers over [from, to], at most one of each kind per column.
  std::vector<Marker> Markers(std::int64_t from, std::int64_t to, int width) const;
  // The marker nearest to `t`, if one lies within `tolerance`.
  std::optional<Marker> MarkerNear(std::int64_t t, std::int64_t tolerance) const;

  // Calls read(series, markers) under the lock, for a pass over everything
  // (the CSV export).
  template <typename Read>
  void Inspect(Read&& read) const {
    std::lock_guard lock(mutex_);
    read(series_, markers_);
  }

  static constexpr std::size_t kMaxMarkers = 200'000;

 private:
  bool AddLocked(SeriesId id, std::int64_t t, std::int32_t v);
  void AddMarkerLocked(const Marker& m);
  void Changed() { generation_.fetch_add(1, std::memory_order_acq_rel); }

  mutable std::mutex mutex_;
  std::array<Series, kSeriesCount> series_;
  std::deque<Marker> markers_;
  std::uint64_t outOfOrder_ = 0;
  std::atomic<std::uint64_t> generation_{0};
};

}  // namespace verdelo::trends
