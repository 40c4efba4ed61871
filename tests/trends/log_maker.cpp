#include "tests/trends/log_maker.h"

#include <time.h>

#include <cmath>
#include <random>

#include "console/data_log_line.h"
#include "console/mower_status.h"
#include "console/mower_values.h"
#include "console/text.h"

namespace verdelo::test {

namespace {

// The day's phases, in minutes, in order; the last one wraps to the first.
struct Phase {
  int status;
  int minutes;
  const char* text;
};
constexpr Phase kPhases[] = {
    {STATUS_CHARGING, 150, "=> Charging"},
    {STATUS_AT_HOME_CHARGED, 120, "=> At home, charged"},
    {STATUS_PLUGGING_OUT, 2, "=> Pluggout of station"},
    {STATUS_CUTTING, 200, "=> Cutting, inside boundary"},
    {STATUS_SEARCHING_STATION, 25, "=> Searching station"},
    {STATUS_FOLLOWING_BOUNDARY, 15, "=> Following boundary wire"},
    {STATUS_PLUGGING_IN, 3, "=> Plugging to station"},
    {STATUS_AT_HOME_CHARGED, 925, "=> At home, charged"},
};

// The wall clock `minutes` after `start` in the local time zone, as the
// console's clock shows it: an hour is skipped or repeated when daylight
// saving time begins or ends.
LocalTime Advance(time_t start, long minutes) {
  const time_t at = start + minutes * 60;
  tm t{};
  ::localtime_r(&at, &t);
  return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 0};
}

time_t Instant(const LocalTime& wall) {
  tm t{};
  t.tm_year = wall.year - 1900;
  t.tm_mon = wall.month - 1;
  t.tm_mday = wall.day;
  t.tm_hour = wall.hour;
  t.tm_min = wall.minute;
  t.tm_sec = wall.second;
  t.tm_isdst = -1;
  return ::mktime(&t);
}

}  // namespace

MadeLog MakeMowingLog(const LocalTime& start, long minutes, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-40, 40);
  std::uniform_int_distribution<int> percent(0, 99);
  MadeLog log;
  MowerValues v;
  v.voltage = 24500;
  v.charge = 600;
  std::size_t phase = 0;
  int inPhase = 0;
  int rain = 0;
  const auto write = [&](const LocalTime& at, const std::string& text) {
    log.bytes += FormatDataLogLine(at, v, text);
    log.bytes += "\r\n";
  };
  const time_t first = Instant(start);
  for (long m = 0; m < minutes; ++m) {
    const LocalTime at = Advance(first, m);
    if (inPhase == 0 || inPhase >= kPhases[phase].minutes) {
      if (inPhase != 0) phase = (phase + 1) % std::size(kPhases);
      inPhase = 0;
      v.status = kPhases[phase].status;
      write(at, Format("%s :%5d", kPhases[phase].text, v.status));
      ++log.eventLines;
      ++log.statusChanges;
    }
    ++inPhase;
    switch (v.status) {
      case STATUS_CHARGING:
        v.current = 1800 + noise(random);
        v.voltage = std::min(29200, v.voltage + 30);
        v.charge = std::min(2600, v.charge + 14);
        v.cuttingEffort = 0;
        break;
      case STATUS_CUTTING:
        v.current = -1700 + 5 * noise(random);
        v.voltage = std::max(23800, v.voltage - 24);
        v.charge = std::max(0, v.charge - 10);
        v.cuttingEffort = 60 + noise(random);
        v.boundaryFront = 2 * noise(random);
        break;
      case STATUS_SEARCHING_STATION:
      case STATUS_FOLLOWING_BOUNDARY:
        v.current = -900 + noise(random);
        v.voltage = std::max(23800, v.voltage - 10);
        v.cuttingEffort = 0;
        v.boundaryFront = noise(random) / 4;
        break;
      default:
        v.current = 0;
        v.cuttingEffort = 0;
        break;
    }
    v.temperature = 18 + static_cast<int>(std::lround(8 * std::sin((m % 1440) * 2 * M_PI / 1440)));
    if (percent(random) == 0) rain = rain ? 0 : 40 + percent(random);
    v.rainLevel = rain;
    write(at, "");
    ++log.dataLines;
    // Now and then an alarm, a script step or a pulse-charge note.
    const int roll = percent(random);
    if (m % 97 == 0 && roll < 30) {
      write(at, roll < 10 ? "ALARM !!" : roll < 20 ? "script 02 : step : 01" : "start puls charge timer:  600");
      ++log.eventLines;
    }
  }
  return log;
}

}  // namespace verdelo::test
