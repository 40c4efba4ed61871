// Data logs as the console writes them, made up: a mower that charges,
// waits, mows and finds its way home again, day after day, with a data
// line a minute, a line per status change and now and then an alarm, a
// script step or a pulse-charge note.
#pragma once

#include <cstdint>
#include <string>

#include "console/host.h"

namespace verdelo::test {

struct MadeLog {
  std::string bytes;  // CR LF lines, as the console writes them
  long dataLines = 0;
  long eventLines = 0;
  long statusChanges = 0;
};

// `minutes` data lines from `start` (local time) on, one a minute, stamped
// with the local wall clock as the console stamps them.
MadeLog MakeMowingLog(const LocalTime& start, long minutes, std::uint32_t seed = 1);

}  // namespace verdelo::test
