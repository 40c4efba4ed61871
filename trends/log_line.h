// One line of the data log ("Moro-log.txt") read back: the time stamp, the
// eleven values and the text, as FormatDataLogLine writes them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "console/host.h"
#include "trends/series_store.h"

namespace verdelo::trends {

// The values of a line in the order they are written.
enum class LogField : std::uint8_t {
  Status, Current, Temperature, Voltage, Charge, BoundaryFront, CuttingSeen, CuttingEffort,
  Value12030, Value127, RainLevel,
};
inline constexpr int kLogFieldCount = static_cast<int>(LogField::RainLevel) + 1;

struct LogLine {
  LocalTime time;
  std::array<std::int32_t, kLogFieldCount> fields;
  std::string_view text;  // Windows-1252, everything after the eleventh ';'
  std::int32_t field(LogField f) const { return fields[static_cast<std::size_t>(f)]; }
};

enum class LineFault : std::uint8_t {
  None,
  Layout,  // not "dd/mm/yyyy;hh:mm:ss;" and eleven whole numbers
  Date,    // laid out right, but no real date or time of day
};

// Reads "dd/mm/yyyy;hh:mm:ss;" then eleven fields of a whole number
// (32 bits) in any width, leading spaces allowed, each ended by ';'.
LineFault ParseLogLine(std::string_view line, LogLine& out);

// What a line's text stands for on the charts: nothing for the periodic
// data line and for status changes ("=> Charging : 1014", which the status
// series shows), otherwise the kind of marker.
std::optional<MarkerKind> ClassifyText(std::string_view text);
// A marker's text as the charts show it: the line's text without its
// trailing spaces, from the data log's code page to UTF-8.
std::string MarkerText(std::string_view text);

// The series each value of a line feeds (the rest are not charted).
std::optional<SeriesId> SeriesOfField(LogField field);

}  // namespace verdelo::trends
