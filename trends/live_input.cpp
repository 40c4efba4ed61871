#include "trends/live_input.h"

#include <algorithm>

namespace verdelo::trends {

void LiveInput::OnValue(ValueId id, int value, const LocalTime& arrival) {
  const std::optional<SeriesId> series = SeriesOfValue(id);
  if (!series) return;
  const std::optional<std::int64_t> t = clock_.Convert(arrival, last_);
  if (!t) return;
  last_ = std::max(last_, *t);
  ++received_;
  store_.Add(*series, *t, value);
}

}  // namespace verdelo::trends
