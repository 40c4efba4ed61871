// The console's decoded values and its data log's events into a store as
// they arrive: the follower the console window registers with
// MowerConsole::AddValueObserver and AddLogEventObserver.
#pragma once

#include <cstdint>
#include <limits>

#include "console/value_observer.h"
#include "trends/epoch_time.h"
#include "trends/series_store.h"

namespace verdelo::trends {

class LiveInput : public IValueObserver, public ILogEventObserver {
 public:
  explicit LiveInput(SeriesStore& store) : store_(store) {}

  // Values the trends do not chart are passed over; an arrival time no
  // calendar has is dropped.
  void OnValue(ValueId id, int value, const LocalTime& arrival) override;
  // Alarms, scripts, pulse charging and other events become markers, as
  // when the log is read back; status changes are the status series'.
  void OnLogEvent(const std::string& text, const LocalTime& at) override;

  std::uint64_t received() const { return received_; }

 private:
  SeriesStore& store_;
  LocalToEpoch clock_;
  std::int64_t last_ = std::numeric_limits<std::int64_t>::min();
  std::uint64_t received_ = 0;
  Batch marker_;  // one marker at a time, its storage kept
};

}  // namespace verdelo::trends
