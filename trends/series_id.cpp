#include "trends/series_id.h"

#include <cstdio>

#include "trends/status_info.h"

namespace verdelo::trends {

const SeriesInfo& Info(SeriesId id) {
  // Voltage arrives in mV and is shown in V; everything else as received.
  static constexpr std::array<SeriesInfo, kSeriesCount> kInfo = {{
      {"voltage", "Battery voltage", "V", 0.001},
      {"current", "Current", "mA", 1},
      {"charge", "Charge", "mAh", 1},
      {"temperature", "Temperature", "\u00B0C", 1},
      {"boundary_front", "Boundary front", "", 1},
      {"boundary_rear", "Boundary rear", "", 1},
      {"guide", "Guide", "", 1},
      {"quality", "Quality", "", 1},
      {"cutting_effort", "Cutting effort", "", 1},
      {"rain_level", "Rain level", "", 1},
      {"status", "Status", "", 1},
  }};
  return kInfo[static_cast<std::size_t>(id)];
}

const std::array<SeriesId, kSeriesCount>& AllSeries() {
  static constexpr std::array<SeriesId, kSeriesCount> kAll = {
      SeriesId::Voltage, SeriesId::Current, SeriesId::Charge, SeriesId::Temperature,
      SeriesId::BoundaryFront, SeriesId::BoundaryRear, SeriesId::Guide, SeriesId::Quality,
      SeriesId::CuttingEffort, SeriesId::RainLevel, SeriesId::Status};
  return kAll;
}

namespace {

std::string Number(SeriesId id, std::int32_t v) {
  const double scale = Info(id).scale;
  if (scale == 1) return std::to_string(v);
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v * scale);
  return text;
}

}  // namespace

std::string FormatValue(SeriesId id, std::int32_t least, std::int32_t greatest) {
  if (id == SeriesId::Status) {
    std::string text = StatusText(least);
    if (greatest != least) text += " / " + StatusText(greatest);
    return text;
  }
  std::string text = Number(id, least);
  if (greatest != least) text += " to " + Number(id, greatest);
  if (!Info(id).unit.empty()) text.append(" ").append(Info(id).unit);
  return text;
}

std::optional<SeriesId> SeriesOfValue(ValueId value) {
  switch (value) {
    case ValueId::Voltage: return SeriesId::Voltage;
    case ValueId::Current: return SeriesId::Current;
    case ValueId::Charge: return SeriesId::Charge;
    case ValueId::Temperature: return SeriesId::Temperature;
    case ValueId::BoundaryFront: return SeriesId::BoundaryFront;
    case ValueId::BoundaryRear: return SeriesId::BoundaryRear;
    case ValueId::GuideG1: return SeriesId::Guide;
    case ValueId::Quality: return SeriesId::Quality;
    case ValueId::CuttingEffort: return SeriesId::CuttingEffort;
    case ValueId::RainLevel: return SeriesId::RainLevel;
    case ValueId::Status: return SeriesId::Status;
    default: return std::nullopt;
  }
}

}  // namespace verdelo::trends
