#include "base/backoff.h"

#include <algorithm>

namespace verdelo {

Backoff::Backoff(std::chrono::milliseconds first, std::chrono::milliseconds longest)
    : first_(std::max(first, std::chrono::milliseconds(1))), longest_(std::max(longest, first_)) {}

std::chrono::milliseconds Backoff::Next() {
  // Doubling stops at the longest step, so the count can grow without the
  // wait ever overflowing.
  std::chrono::milliseconds wait = first_;
  for (int i = 0; i < tries_ && wait < longest_; ++i) wait *= 2;
  ++tries_;
  return std::min(wait, longest_);
}

bool Backoff::LinkLost(Clock::time_point now) {
  const bool sound = answered_ && now - madeAt_ >= kSoundAfter;
  if (sound) Reset();
  answered_ = false;
  return sound;
}

}  // namespace verdelo
