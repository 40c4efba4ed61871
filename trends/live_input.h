// The console's decoded values into a store as they arrive: the follower
// the console window registers with MowerConsole::AddValueObserver.
#pragma once

#include <cstdint>
#include <limits>

#include "console/value_observer.h"
#include "trends/epoch_time.h"
#include "trends/series_store.h"

namespace verdelo::trends {

class LiveInput : public IValueObserver {
 public:
  explicit LiveInput(SeriesStore& store) : store_(store) {}

  // Values the trends do not chart are passed over; an arrival time no
  // calendar has is dropped.
  void OnValue(ValueId id, int value, const LocalTime& arrival) override;

  std::uint64_t received() const { return received_; }

 private:
  SeriesStore& store_;
  LocalToEpoch clock_;
  std::int64_t last_ = std::numeric_limits<std::int64_t>::min();
  std::uint64_t received_ = 0;
};

}  // namespace verdelo::trends
