#include "trends/status_info.h"

#include "console/mower_status.h"

namespace verdelo::trends {

StatusGroup GroupOfStatus(int status) {
  switch (status) {
    case STATUS_NO_WIRE_SIGNAL:
    case STATUS_OUTSIDE_BOUNDARY_ERROR:
    case STATUS_BASE_UNREACHABLE:
    case STATUS_NEED_MANUAL_CHARGE:
    case STATUS_BLADE_BLOCKED:
    case STATUS_REAR_SENSOR_FAILURE:
      return StatusGroup::Error;
    case STATUS_CUTTING:
    case STATUS_START_CUTTING_MOTOR:
    case STATUS_START_MOVING_AND_CUTTING:
    case STATUS_CUTTING_SQUARE:
      return StatusGroup::Cutting;
    case STATUS_SEARCHING_STATION:
    case STATUS_SEARCHING_STATION_2:
    case STATUS_FOLLOWING_BOUNDARY:
    case STATUS_FOLLOWING_GUIDE:
    case STATUS_FAR_ZONE:
      return StatusGroup::Returning;
    case STATUS_CHARGING:
    case STATUS_PLUGGING_IN:
      return StatusGroup::Charging;
    case STATUS_AT_HOME_CHARGED:
    case STATUS_TIMER:
    case STATUS_STOPPED:
    case STATUS_SHUTTING_DOWN:
    case STATUS_STARTING:
    case STATUS_PLUGGING_OUT:
    case STATUS_PREPARE_MOVING:
      return StatusGroup::Idle;
    case STATUS_ENTER_PIN:
    case STATUS_PRESS_YES:
    case STATUS_OUTSIDE_BOUNDARY:
      return StatusGroup::Attention;
    default:
      return StatusGroup::Unknown;
  }
}

std::string StatusText(int status) {
  const char* known = MowerStatusName(status);
  return std::string(known ? known : "Unknown status") + " (" + std::to_string(status) + ")";
}

const char* GroupName(StatusGroup group) {
  switch (group) {
    case StatusGroup::Cutting: return "cutting";
    case StatusGroup::Returning: return "returning";
    case StatusGroup::Charging: return "charging";
    case StatusGroup::Idle: return "idle";
    case StatusGroup::Attention: return "attention";
    case StatusGroup::Error: return "error";
    case StatusGroup::Unknown: return "unknown";
  }
  return "unknown";
}

}  // namespace verdelo::trends
