#include "shell/reconnect_backoff.h"

#include <algorithm>

namespace verdelo {

ReconnectBackoff::ReconnectBackoff(int firstStepMs, int longestStepMs)
    : firstStepMs_(std::max(firstStepMs, 1)), longestStepMs_(std::max(longestStepMs, firstStepMs_)) {}

int ReconnectBackoff::NextDelayMs() {
  // Doubling stops at the longest step, so the count can grow without the
  // delay ever overflowing.
  long long delay = firstStepMs_;
  for (int i = 0; i < tries_ && delay < longestStepMs_; ++i) delay *= 2;
  ++tries_;
  return static_cast<int>(std::min<long long>(delay, longestStepMs_));
}

bool ReconnectBackoff::LinkLost(Clock::time_point now) {
  const bool sound = answered_ && now - madeAt_ >= kSoundAfter;
  if (sound) Reset();
  answered_ = false;
  return sound;
}

}  // namespace verdelo
