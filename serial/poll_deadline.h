// Turns a millisecond time-out (INFINITE: none) into the time-out of each
// poll() in a loop, so that retries after EINTR or partial progress do not
// stretch the caller's limit.
#pragma once

#include <chrono>
#include <cstdint>

#include "serial/com_types.h"

namespace verdelo {

class PollDeadline {
 public:
  explicit PollDeadline(uint32_t timeoutMs)
      : infinite_(timeoutMs == INFINITE),
        end_(Clock::now() + std::chrono::milliseconds(infinite_ ? 0 : timeoutMs)) {}

  // Milliseconds left for poll(): -1 without limit, 0 when expired.
  int RemainingMs() const {
    if (infinite_) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
    if (left <= 0) return 0;
    return left > INT32_MAX ? INT32_MAX : static_cast<int>(left);
  }

  bool Expired() const { return !infinite_ && Clock::now() >= end_; }

  // Starts the limit again (used for limits on stalls rather than totals).
  void Restart(uint32_t timeoutMs) { *this = PollDeadline(timeoutMs); }

 private:
  using Clock = std::chrono::steady_clock;
  bool infinite_;
  Clock::time_point end_;
};

}  // namespace verdelo
