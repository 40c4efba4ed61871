#include "trends/epoch_time.h"

#include <time.h>

#include <algorithm>

namespace verdelo::trends {

namespace {

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return std::int64_t{era} * 146097 + dayOfEra - 719468;
}

// Seconds east of UTC in the local zone at an instant.
long OffsetAt(std::int64_t at) {
  const time_t t = static_cast<time_t>(at);
  tm local{};
  return ::localtime_r(&t, &local) ? local.tm_gmtoff : 0;
}

}  // namespace

bool IsValidLocalTime(const LocalTime& t) {
  return t.year >= 1900 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59 && t.millisecond >= 0 &&
         t.millisecond <= 999;
}

// Both readings of a wall time, with and without daylight saving time; the
// ones whose local time gives back the same wall time are real. A wall time
// in no zone offset at all (skipped when the clocks go forward) takes the C
// library's reading.
LocalToEpoch::Instants LocalToEpoch::Resolve(int year, int month, int day, int hour, int minute,
                                             int second) {
  // The wall time as the C library takes it, with a daylight-saving flag:
  // 1 or 0 to ask for that offset, -1 to let the library choose.
  const auto wall = [&](int dst) {
    tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = dst;
    return t;
  };
  std::int64_t found[2];
  int count = 0;
  for (int dst : {1, 0}) {
    tm asked = wall(dst);
    const time_t at = ::mktime(&asked);
    tm back{};
    if (at == static_cast<time_t>(-1) || ::localtime_r(&at, &back) == nullptr) continue;
    if (back.tm_year == year - 1900 && back.tm_mon == month - 1 && back.tm_mday == day &&
        back.tm_hour == hour && back.tm_min == minute && back.tm_sec == second)
      found[count++] = at;
  }
  if (count == 0) {
    tm asked = wall(-1);
    const std::int64_t at = ::mktime(&asked);
    return {at, at};
  }
  if (count == 1) return {found[0], found[0]};
  return {std::min(found[0], found[1]), std::max(found[0], found[1])};
}

void LocalToEpoch::LearnDay(const LocalTime& t) {
  dayCached_ = true;
  dayYear_ = t.year, dayMonth_ = t.month, dayDay_ = t.day;
  const std::int64_t asUtc = DaysFromCivil(t.year, t.month, t.day) * 86400;
  const long offset = OffsetAt(asUtc - OffsetAt(asUtc));
  midnight_ = asUtc - offset;
  regularDay_ = OffsetAt(midnight_) == offset && OffsetAt(midnight_ + 86399) == offset;
}

std::optional<std::int64_t> LocalToEpoch::Convert(const LocalTime& t, std::int64_t notBefore) {
  if (!IsValidLocalTime(t)) return std::nullopt;
  if (!dayCached_ || t.day != dayDay_ || t.month != dayMonth_ || t.year != dayYear_) LearnDay(t);
  if (regularDay_) return (midnight_ + t.hour * 3600 + t.minute * 60 + t.second) * 1000 + t.millisecond;
  if (!cached_ || t.hour != hour_ || t.day != day_ || t.month != month_ || t.year != year_) {
    hourStart_ = Resolve(t.year, t.month, t.day, t.hour, 0, 0);
    const Instants hourEnd = Resolve(t.year, t.month, t.day, t.hour, 59, 59);
    regularHour_ = hourEnd.earlier == hourStart_.earlier + 3599 && hourEnd.later == hourStart_.later + 3599;
    cached_ = true;
    year_ = t.year, month_ = t.month, day_ = t.day, hour_ = t.hour;
  }
  Instants at;
  if (regularHour_) {
    const int intoHour = t.minute * 60 + t.second;
    at = {hourStart_.earlier + intoHour, hourStart_.later + intoHour};
  } else {
    at = Resolve(t.year, t.month, t.day, t.hour, t.minute, t.second);
  }
  const std::int64_t earlier = at.earlier * 1000 + t.millisecond;
  if (earlier >= notBefore) return earlier;
  return at.later * 1000 + t.millisecond;
}

}  // namespace verdelo::trends
