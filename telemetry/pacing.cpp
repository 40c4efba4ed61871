#include "telemetry/pacing.h"

#include <algorithm>

namespace verdelo {

std::chrono::milliseconds StatePacer::Wait(TelemetryClock::time_point now) const {
  if (!sent_) return std::chrono::milliseconds(0);
  const auto due = last_ + gap_;
  if (now >= due) return std::chrono::milliseconds(0);
  // Rounded up, so a wait of it always reaches the due time.
  return std::chrono::ceil<std::chrono::milliseconds>(due - now);
}

std::chrono::seconds Backoff::Next() {
  const std::chrono::seconds wait = next_;
  next_ = std::min(next_ * 2, kLongest);
  return wait;
}

}  // namespace verdelo
