// The two clocks of the telemetry's connection: the state goes out at most
// once per gap, and a failed connection is tried again after a wait that
// doubles from 1 s up to 60 s. Both take the time from their caller.
#pragma once

#include <chrono>

#include "base/backoff.h"

namespace verdelo {

using TelemetryClock = std::chrono::steady_clock;

class StatePacer {
 public:
  explicit StatePacer(std::chrono::milliseconds gap = std::chrono::seconds(1)) : gap_(gap) {}
  // How long a state must wait at `now`; zero when it may go at once.
  std::chrono::milliseconds Wait(TelemetryClock::time_point now) const;
  void Published(TelemetryClock::time_point now) { last_ = now; sent_ = true; }
  // After a new connection the state goes at once.
  void Reset() { sent_ = false; }

 private:
  std::chrono::milliseconds gap_;
  TelemetryClock::time_point last_{};
  bool sent_ = false;
};

// The broker is tried again after 1, 2, 4 ... 60 s.
inline Backoff BrokerBackoff() { return Backoff(std::chrono::seconds(1), std::chrono::seconds(60)); }

}  // namespace verdelo
