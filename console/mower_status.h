// Operating statuses the mower reports in register 497.
#pragma once

namespace verdelo {

enum MowerStatus : int {
  STATUS_NO_WIRE_SIGNAL = 12,
  STATUS_OUTSIDE_BOUNDARY_ERROR = 16,
  STATUS_BASE_UNREACHABLE = 26,
  STATUS_NEED_MANUAL_CHARGE = 28,
  STATUS_BLADE_BLOCKED = 30,
  STATUS_REAR_SENSOR_FAILURE = 42,
  STATUS_ENTER_PIN = 1000,
  STATUS_CUTTING = 1002,
  STATUS_START_CUTTING_MOTOR = 1006,
  STATUS_START_MOVING_AND_CUTTING = 1008,
  STATUS_PREPARE_MOVING = 1012,
  STATUS_CHARGING = 1014,
  STATUS_TIMER = 1016,
  STATUS_CUTTING_SQUARE = 1036,
  STATUS_SHUTTING_DOWN = 1038,
  STATUS_OUTSIDE_BOUNDARY = 1040,
  STATUS_SEARCHING_STATION = 1042,
  STATUS_STOPPED = 1044,
  STATUS_STARTING = 1046,
  STATUS_PLUGGING_IN = 1048,
  STATUS_PLUGGING_OUT = 1050,
  STATUS_PRESS_YES = 1052,
  STATUS_AT_HOME_CHARGED = 1056,
  STATUS_FOLLOWING_BOUNDARY = 1062,
  STATUS_SEARCHING_STATION_2 = 1064,
  STATUS_FAR_ZONE = 1066,
  STATUS_FOLLOWING_GUIDE = 1070,
};

// The status line's text for a status code ("=> Charging"); nullptr for a
// code the console does not know.
const char* MowerStatusText(int status);
// The same text without the status line's "=> " ("Charging"), as telemetry
// and the Trends window name a status; nullptr for an unknown code.
const char* MowerStatusName(int status);

}  // namespace verdelo
