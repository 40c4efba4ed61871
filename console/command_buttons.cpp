// The buttons and clickable labels that send fixed frames.
#include <cstdint>

#include "console/console.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "console/text.h"

namespace verdelo {

namespace {

struct FixedFrame {
  int controlId;
  std::uint16_t command;
  std::uint16_t value;
};

constexpr FixedFrame kFixedFrames[] = {
    {IDC_KEY_0, CMD_KEY, KEY_0},
    {IDC_KEY_A, CMD_KEY, KEY_A},
    {IDC_KEY_B, CMD_KEY, KEY_B},
    {IDC_KEY_C, CMD_KEY, KEY_C},
    {IDC_KEY_HOME, CMD_KEY, KEY_HOME},
    {IDC_KEY_MAN_AUTO, CMD_KEY, KEY_MAN_AUTO},
    {IDC_KEY_SMALL_C, CMD_KEY, KEY_SMALL_C},
    {IDC_KEY_UP, CMD_KEY, KEY_UP},
    {IDC_KEY_DOWN, CMD_KEY, KEY_DOWN},
    {IDC_KEY_YES, CMD_KEY, KEY_YES},
    {IDC_MODE_MAN, CMD_ROBOT_MODE, kRobotModeMan},
    {IDC_MODE_AUTO, CMD_ROBOT_MODE, kRobotModeAuto},
    {IDC_MODE_DEMO, CMD_ROBOT_MODE, kRobotModeDemo},
    {IDC_STOP_TO_ZERO, CMD_STOP_TO_ZERO, kStopToZeroValue},
    {IDC_STOP_TO_ZERO_DEV, CMD_STOP_TO_ZERO_DEV, kStopToZeroDevValue},
    {IDC_PRG_LOAD_A, CMD_PRG_LOAD, kProgramSlotA},
    {IDC_PRG_LOAD_B, CMD_PRG_LOAD, kProgramSlotB},
    {IDC_PRG_LOAD_C, CMD_PRG_LOAD, kProgramSlotC},
    {IDC_PRG_SAVE_A, CMD_PRG_SAVE, kProgramSlotA},
    {IDC_PRG_SAVE_B, CMD_PRG_SAVE, kProgramSlotB},
    {IDC_PRG_SAVE_C, CMD_PRG_SAVE, kProgramSlotC},
    {IDC_MAX_CAPACITY, CMD_READ_MAX_CAPACITY, 0},
    {IDC_END_CHARGE, CMD_END_CHARGE, kEndChargeValue},
    {IDC_UPDATE_SIGNALS, CMD_SPECIAL_MODE, kSignalTestMode},
    {IDC_TIMER_OVERRIDE, CMD_READ_TIMER_OVERRIDE, 0},
    {IDC_SQUARE_CUTTING, CMD_READ_SQUARE_CUTTING, 0},
    {IDC_BING, CMD_BING, kBingValue},
    {IDC_RAIN_OFF, CMD_RAIN_SENSOR, kRainSensorOff},
    {IDC_RAIN_ON, CMD_RAIN_SENSOR, kRainSensorOn},
    {IDC_REBOOT, CMD_REBOOT, 1},
    {IDC_INIT_SETTINGS, CMD_INIT_SETTINGS, 0},
};

constexpr std::uint32_t kMenuBeepHz = 200;
constexpr std::uint32_t kMenuBeepMs = 50;

}  // namespace

void MowerConsole::SendKey(std::uint16_t key) { SendFrame(CMD_KEY, key); }

// The two "Change" buttons: the edit box's number, if it is not 0, as the
// low 16 bits of the value.
void MowerConsole::SendEditValue(int editId, std::uint16_t command) {
  const int number = ToInt(host_.controls.Text(editId));
  if (number == 0) return;
  SendFrame(command, static_cast<std::uint16_t>(number));
}

bool MowerConsole::HandleCommandButton(int id) {
  if (id >= IDC_KEY_1 && id <= IDC_KEY_9) {
    SendKey(static_cast<std::uint16_t>(KEY_1 + (id - IDC_KEY_1)));
    return true;
  }
  for (const FixedFrame& entry : kFixedFrames) {
    if (entry.controlId == id) {
      SendFrame(entry.command, entry.value);
      return true;
    }
  }
  std::uint16_t menuMode = 0;
  switch (id) {
    case IDC_MODE_HOME:
      SendFrame(CMD_ROBOT_MODE, kRobotModeHome);
      values_.cuttingSeen = 0;
      return true;
    case IDC_MAX_CAPACITY_CHANGE:
      SendEditValue(IDC_MAX_CAPACITY_EDIT, CMD_SET_MAX_CAPACITY);
      return true;
    case IDC_MAX_CHARGE_TIME_CHANGE:
      SendEditValue(IDC_MAX_CHARGE_TIME_EDIT, CMD_SET_MAX_CHARGE_TIME);
      return true;
    case IDC_MENU_NORMAL: menuMode = kMenuNormal; break;
    case IDC_MENU_TOOLS: menuMode = kMenuTools; break;
    case IDC_MENU_DEV: menuMode = kMenuDev; break;
    default: return false;
  }
  SendFrame(CMD_MENU_MODE, menuMode);
  host_.pacing.Beep(kMenuBeepHz, kMenuBeepMs);
  SendKey(KEY_SMALL_C);
  return true;
}

}  // namespace verdelo
