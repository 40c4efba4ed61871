// The stretch of time the charts show, and how zooming, panning and the
// "last hour / day / week / all" choices move it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace verdelo::trends {

using TimeSpan = std::pair<std::int64_t, std::int64_t>;  // first, last (ms)

class ViewRange {
 public:
  enum class Mode {
    Last,  // the newest `span` ms, moving on with new data
    All,   // everything, growing with new data
    Fixed, // where zooming or panning left it
  };
  static constexpr std::int64_t kMinSpan = 10'000;
  // A century: more than any data log holds, and what zooming out ends at.
  static constexpr std::int64_t kMaxSpan = 36'525LL * 24 * 3'600'000;
  // The view stays within ±this (the end of the year 9999, the last date a
  // data log can name), so that no sum or difference of its times overflows.
  static constexpr std::int64_t kMaxTime = 253'402'300'800'000;

  std::int64_t from() const { return from_; }
  std::int64_t to() const { return to_; }
  Mode mode() const { return mode_; }

  void ShowLast(std::int64_t span, const std::optional<TimeSpan>& data);
  void ShowAll(const std::optional<TimeSpan>& data);
  // Follows the data in the Last and All modes; Fixed stays put.
  void Update(const std::optional<TimeSpan>& data);
  // Zooms by `factor` (below 1 closer) keeping `anchor` where it is on
  // screen. Zooming out ends at twice the extent of `data` (at least a day,
  // and any wider span already shown), without data at kMaxSpan.
  void Zoom(std::int64_t anchor, double factor, const std::optional<TimeSpan>& data = std::nullopt);
  // Moves by `by` ms; moving past the newest data follows it again.
  void Pan(std::int64_t by, const std::optional<TimeSpan>& data);
  void Set(std::int64_t from, std::int64_t to);
  // While following the data, the moving end advances in whole steps (the
  // time one pixel column shows), so the charts move only when their
  // pixels would; 1 follows every millisecond.
  void SetFollowStep(std::int64_t ms) { step_ = std::max<std::int64_t>(1, ms); }

 private:
  std::int64_t RoundUp(std::int64_t t) const;

  void Place(std::int64_t from, std::int64_t to);

  Mode mode_ = Mode::Last;
  std::int64_t span_ = 3'600'000;
  std::int64_t from_ = 0;
  std::int64_t to_ = 3'600'000;
  std::int64_t step_ = 1;
};

}  // namespace verdelo::trends
