#include "trends/series.h"

#include <algorithm>

namespace verdelo::trends {

namespace {

// The minute `t` falls in, rounded down before the epoch too.
std::int64_t MinuteOf(std::int64_t t) { return t / 60000 - (t % 60000 < 0 ? 1 : 0); }

}  // namespace

bool Series::Add(std::int64_t t, std::int32_t v) {
  const std::optional<std::int64_t> last = LastTime();
  if (last && t < *last) return false;
  const std::size_t n = times_.size();
  if (n - head_ >= 2 && values_[n - 1] == v && values_[n - 2] == v) {
    times_[n - 1] = t;  // the run goes on: move its end
  } else {
    times_.push_back(t);
    values_.push_back(v);
  }
  AgeOut();
  return true;
}

void Series::AgeOut() {
  const std::int64_t newest = times_.back();
  while (times_.size() - head_ > 1 &&
         (times_[head_] < newest - limits_.fullRateMs || times_.size() - head_ > limits_.maxFullRatePoints)) {
    Summarise(times_[head_], values_[head_]);
    ++head_;
  }
  // Drop the aged-out points once they are the larger part.
  if (head_ >= 1024 && head_ * 2 >= times_.size()) {
    times_.erase(times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(head_));
    values_.erase(values_.begin(), values_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
}

void Series::Summarise(std::int64_t t, std::int32_t v) {
  const std::int64_t minute = MinuteOf(t);
  if (!minutes_.empty() && minutes_.back().minute == minute) {
    Minute& m = minutes_.back();
    m.least = std::min(m.least, v);
    m.greatest = std::max(m.greatest, v);
    return;
  }
  const std::size_t n = minutes_.size();
  // Flat minutes in a row keep only the first and the last, as full-rate
  // runs do.
  if (n >= 2) {
    Minute& a = minutes_[n - 2];
    Minute& b = minutes_[n - 1];
    if (a.least == v && a.greatest == v && b.least == v && b.greatest == v) {
      b.minute = minute;
      return;
    }
  }
  minutes_.push_back(Minute{minute, v, v});
}

void Series::Clear() {
  minutes_.clear();
  minutes_.shrink_to_fit();
  times_.clear();
  times_.shrink_to_fit();
  values_.clear();
  values_.shrink_to_fit();
  head_ = 0;
}

std::optional<std::int64_t> Series::FirstTime() const {
  if (!minutes_.empty()) return StartOf(minutes_.front());
  if (times_.size() > head_) return times_[head_];
  return std::nullopt;
}

std::optional<std::int64_t> Series::LastTime() const {
  if (times_.size() > head_) return times_.back();
  if (!minutes_.empty()) return StartOf(minutes_.back());
  return std::nullopt;
}

std::size_t Series::FirstMinuteFor(std::int64_t from) const {
  const auto after = std::upper_bound(minutes_.begin(), minutes_.end(), from,
                                      [](std::int64_t t, const Minute& m) { return t < StartOf(m); });
  return after == minutes_.begin() ? 0 : static_cast<std::size_t>(after - minutes_.begin()) - 1;
}

std::optional<Reading> Series::At(std::int64_t t) const {
  if (times_.size() > head_ && times_[head_] <= t) {
    const auto it = std::upper_bound(times_.begin() + static_cast<std::ptrdiff_t>(head_), times_.end(), t) - 1;
    const std::int32_t v = values_[static_cast<std::size_t>(it - times_.begin())];
    return Reading{*it, v, v};
  }
  if (minutes_.empty() || StartOf(minutes_.front()) > t) return std::nullopt;
  const Minute& m = minutes_[FirstMinuteFor(t)];
  return Reading{StartOf(m), m.least, m.greatest};
}

}  // namespace verdelo::trends
