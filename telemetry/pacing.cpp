#include "telemetry/pacing.h"

namespace verdelo {

std::chrono::milliseconds StatePacer::Wait(TelemetryClock::time_point now) const {
  if (!sent_) return std::chrono::milliseconds(0);
  const auto due = last_ + gap_;
  if (now >= due) return std::chrono::milliseconds(0);
  // Rounded up, so a wait of it always reaches the due time.
  return std::chrono::ceil<std::chrono::milliseconds>(due - now);
}

}  // namespace verdelo
