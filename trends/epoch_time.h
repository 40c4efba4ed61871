// Local wall-clock times (the data log's and the console clock's) as
// milliseconds since the epoch, in the local time zone.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "console/host.h"

namespace verdelo::trends {

// True for a real calendar date and time of day (no 31 February, no 24:00).
bool IsValidLocalTime(const LocalTime& t);

// Converts wall-clock times, remembering the day it met last so that lines
// of the same day cost no call into the C library's time zone code. (mktime
// alone costs more than reading a whole line.)
//
// A wall time in the hour repeated when the clocks go back stands for two
// instants; it is read as the earlier one unless that lies before
// `notBefore`, then as the later one. So a log that runs on through the
// repeated hour stays in time order.
class LocalToEpoch {
 public:
  std::optional<std::int64_t> Convert(const LocalTime& t,
                                      std::int64_t notBefore = std::numeric_limits<std::int64_t>::min());

 private:
  struct Instants {
    std::int64_t earlier = 0;  // seconds since the epoch
    std::int64_t later = 0;
  };
  static Instants Resolve(int year, int month, int day, int hour, int minute, int second);
  // Whether the day has one UTC offset throughout, and its midnight.
  void LearnDay(const LocalTime& t);

  bool dayCached_ = false;
  int dayYear_ = 0, dayMonth_ = 0, dayDay_ = 0;
  bool regularDay_ = false;
  std::int64_t midnight_ = 0;  // seconds since the epoch

  // Days with a change of offset go an hour at a time.
  bool cached_ = false;
  bool regularHour_ = false;  // one UTC offset from hh:00:00 to hh:59:59
  int year_ = 0, month_ = 0, day_ = 0, hour_ = 0;
  Instants hourStart_;
};

}  // namespace verdelo::trends
