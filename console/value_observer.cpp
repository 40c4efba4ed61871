#include "console/value_observer.h"

#include <array>

namespace verdelo {

std::string_view ValueName(ValueId id) {
  static constexpr std::array<std::string_view, kValueIdCount> kNames = {
      "status", "stop_status", "timer_override", "square_cutting", "voltage", "value12030",
      "value127", "temperature", "charge", "current", "max_capacity", "quality",
      "boundary_front", "boundary_rear", "guide_g1", "far_signal", "near_signal",
      "cutting_effort", "robot_mode", "max_charge_time", "rain_level", "power",
      "clock_seconds", "clock_minutes", "clock_hours"};
  return kNames[static_cast<std::size_t>(id)];
}

}  // namespace verdelo
