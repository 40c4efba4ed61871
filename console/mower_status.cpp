#include "console/mower_status.h"

namespace verdelo {

const char* MowerStatusText(int status) {
  switch (status) {
    case STATUS_NO_WIRE_SIGNAL: return "=> Error: no wire signal";
    case STATUS_OUTSIDE_BOUNDARY_ERROR: return "=> Error: outside boundary";
    case STATUS_BASE_UNREACHABLE: return "=> Error: unreachable base station";
    case STATUS_NEED_MANUAL_CHARGE: return "=> Stopped need manual charge!";
    case STATUS_BLADE_BLOCKED: return "=> Error: blade motor blocked";
    case STATUS_REAR_SENSOR_FAILURE: return "=> Error: failure at rear sensor";
    case STATUS_ENTER_PIN: return "=> Enter PIN CODE";
    case STATUS_CUTTING: return "=> Cutting, inside boundary";
    case STATUS_START_CUTTING_MOTOR: return "=> Start cutting motor";
    case STATUS_START_MOVING_AND_CUTTING: return "=> Start Moving and Cutting";
    case STATUS_PREPARE_MOVING: return "=> Prepare Moving motors";
    case STATUS_CHARGING: return "=> Charging";
    case STATUS_TIMER: return "=> Timer";
    case STATUS_CUTTING_SQUARE: return "=> Cutting square";
    case STATUS_SHUTTING_DOWN: return "=> Shutting down all motors";
    case STATUS_OUTSIDE_BOUNDARY: return "=> Outside boundary";
    case STATUS_SEARCHING_STATION:
    case STATUS_SEARCHING_STATION_2: return "=> Searching station";
    case STATUS_STOPPED: return "=> Stopped";
    case STATUS_STARTING: return "=> Starting";
    case STATUS_PLUGGING_IN: return "=> Plugging to station";
    case STATUS_PLUGGING_OUT: return "=> Pluggout of station";
    case STATUS_PRESS_YES: return "=> Press YES to start";
    case STATUS_AT_HOME_CHARGED: return "=> At home, charged";
    case STATUS_FOLLOWING_BOUNDARY: return "=> Following boundary wire";
    case STATUS_FAR_ZONE: return "=> Far zone reached";
    case STATUS_FOLLOWING_GUIDE: return "=> Following guide";
    default: return nullptr;
  }
}

const char* MowerStatusName(int status) {
  const char* text = MowerStatusText(status);
  return text ? text + 3 : nullptr;  // each begins with "=> "
}

}  // namespace verdelo
