#include "trends/view_range.h"

#include <algorithm>
#include <cmath>

namespace verdelo::trends {

void ViewRange::Place(std::int64_t from, std::int64_t to) {
  // The span first (no difference overflows within four times kMaxTime,
  // which a pan from the view's times reaches at most), then moved whole to
  // lie within ±kMaxTime.
  from = std::clamp(from, -4 * kMaxTime, 4 * kMaxTime);
  to = std::clamp(to, -4 * kMaxTime, 4 * kMaxTime);
  if (to - from > kMaxSpan) from = to - kMaxSpan;
  if (to - from < kMinSpan) {
    const std::int64_t middle = from + (to - from) / 2;
    from = middle - kMinSpan / 2;
    to = from + kMinSpan;
  }
  if (from < -kMaxTime) {
    to += -kMaxTime - from;
    from = -kMaxTime;
  }
  if (to > kMaxTime) {
    from -= to - kMaxTime;
    to = kMaxTime;
  }
  from_ = from;
  to_ = to;
}

std::int64_t ViewRange::RoundUp(std::int64_t t) const {
  const std::int64_t below = t - ((t % step_) + step_) % step_;
  return below == t ? t : below + step_;
}

void ViewRange::ShowLast(std::int64_t span, const std::optional<TimeSpan>& data) {
  mode_ = Mode::Last;
  span_ = std::clamp(span, kMinSpan, kMaxSpan);
  Update(data);
}

void ViewRange::ShowAll(const std::optional<TimeSpan>& data) {
  mode_ = Mode::All;
  Update(data);
}

void ViewRange::Update(const std::optional<TimeSpan>& data) {
  switch (mode_) {
    case Mode::Last: {
      const std::int64_t end = data ? RoundUp(data->second) : to_;
      Place(end - span_, end);
      break;
    }
    case Mode::All:
      if (data) Place(data->first, RoundUp(data->second));
      break;
    case Mode::Fixed:
      break;
  }
}

void ViewRange::Zoom(std::int64_t anchor, double factor, const std::optional<TimeSpan>& data) {
  mode_ = Mode::Fixed;
  anchor = std::clamp(anchor, from_, to_);
  const double span = static_cast<double>(to_ - from_);
  double f = std::clamp(factor, 0.01, 100.0);
  if (f > 1) {
    constexpr std::int64_t kDay = 24 * 3'600'000;
    const double extent = data ? static_cast<double>(data->second) - static_cast<double>(data->first) : kMaxSpan;
    const double limit = std::max(std::clamp<double>(2 * extent, kDay, kMaxSpan), span);
    f = std::min(f, limit / span);
  }
  // In double: the view's times are bounded, so the results fit.
  const auto from = anchor - std::llround(static_cast<double>(anchor - from_) * f);
  const auto to = anchor + std::llround(static_cast<double>(to_ - anchor) * f);
  Place(from, to);
}

void ViewRange::Pan(std::int64_t by, const std::optional<TimeSpan>& data) {
  const std::int64_t span = to_ - from_;
  if (data && by > 0 && to_ + by >= data->second) {
    ShowLast(span, data);
    return;
  }
  mode_ = Mode::Fixed;
  by = std::clamp(by, -2 * kMaxTime, 2 * kMaxTime);
  Place(from_ + by, to_ + by);
}

void ViewRange::Set(std::int64_t from, std::int64_t to) {
  mode_ = Mode::Fixed;
  Place(std::min(from, to), std::max(from, to));
}

}  // namespace verdelo::trends
