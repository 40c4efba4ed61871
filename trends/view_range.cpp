#include "trends/view_range.h"

#include <algorithm>
#include <cmath>

namespace verdelo::trends {

void ViewRange::Place(std::int64_t from, std::int64_t to) {
  if (to - from < kMinSpan) {
    const std::int64_t middle = from + (to - from) / 2;
    from = middle - kMinSpan / 2;
    to = from + kMinSpan;
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
  span_ = std::max(span, kMinSpan);
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

void ViewRange::Zoom(std::int64_t anchor, double factor) {
  mode_ = Mode::Fixed;
  const double f = std::clamp(factor, 0.01, 100.0);
  const auto from = anchor - static_cast<std::int64_t>(std::llround(static_cast<double>(anchor - from_) * f));
  const auto to = anchor + static_cast<std::int64_t>(std::llround(static_cast<double>(to_ - anchor) * f));
  Place(from, to);
}

void ViewRange::Pan(std::int64_t by, const std::optional<TimeSpan>& data) {
  const std::int64_t span = to_ - from_;
  if (data && by > 0 && to_ + by >= data->second) {
    ShowLast(span, data);
    return;
  }
  mode_ = Mode::Fixed;
  Place(from_ + by, to_ + by);
}

void ViewRange::Set(std::int64_t from, std::int64_t to) {
  mode_ = Mode::Fixed;
  Place(std::min(from, to), std::max(from, to));
}

}  // namespace verdelo::trends
