#include "trends/live_input.h"

#include <algorithm>

#include "trends/log_line.h"

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

void LiveInput::OnLogEvent(const std::string& text, const LocalTime& at) {
  const std::optional<MarkerKind> kind = ClassifyText(text);
  if (!kind) return;
  const std::optional<std::int64_t> t = clock_.Convert(at, last_);
  if (!t) return;
  last_ = std::max(last_, *t);
  marker_.clear();
  marker_.markers.push_back(Marker{*t, *kind, MarkerText(text)});
  store_.Add(marker_);
}

}  // namespace verdelo::trends
