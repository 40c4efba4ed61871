// The charts' data over a stretch of time as comma-separated values.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "trends/series_store.h"

namespace verdelo::trends {

// "2026-03-05T09:07:03.250+01:00": local time with its UTC offset.
std::string IsoLocalTime(std::int64_t ms);

// Writes a header row ("time", each series with its unit, "event"), then
// one row per time at which a series has a point or a marker stands, over
// [from, to]: values in the units the charts show, empty where a series has
// no point at that time. Data old enough to be kept as minute summaries
// gives two rows at the minute's start, its least then its greatest value.
// A series with two points at one time gives two rows of that time. An
// event text that a spreadsheet would take for a formula is written behind
// a single quote. The store is locked a day of data at a time, never for
// the whole file.
void WriteCsv(const SeriesStore& store, std::int64_t from, std::int64_t to, std::ostream& out);

}  // namespace verdelo::trends
