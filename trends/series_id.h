// The series the trends keep: which mower values they follow, how each is
// named and in which unit it is shown.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "console/value_observer.h"

namespace verdelo::trends {

enum class SeriesId : std::uint8_t {
  Voltage, Current, Charge, Temperature, BoundaryFront, BoundaryRear, Guide, Quality,
  CuttingEffort, RainLevel, Status,
};
inline constexpr int kSeriesCount = static_cast<int>(SeriesId::Status) + 1;

constexpr int Index(SeriesId id) { return static_cast<int>(id); }

struct SeriesInfo {
  std::string_view name;   // stable, for CSV headers and settings keys
  std::string_view label;  // for people
  std::string_view unit;   // of the shown value
  double scale;            // shown value = stored value * scale
};

const SeriesInfo& Info(SeriesId id);

// A value as people read it: "25.10 V", "-1200 mA"; a minute summary as
// "24.90 to 25.30 V". The status as its text.
std::string FormatValue(SeriesId id, std::int32_t least, std::int32_t greatest);

// Every series in display order.
const std::array<SeriesId, kSeriesCount>& AllSeries();

// The series a decoded value feeds, if any.
std::optional<SeriesId> SeriesOfValue(ValueId value);

}  // namespace verdelo::trends
