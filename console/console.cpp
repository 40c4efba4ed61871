#include "console/console.h"

#include "console/control_ids.h"
#include "console/mower_frame.h"

namespace verdelo {

std::uint32_t ClampTimerPeriod(std::int64_t ms) {
  constexpr std::int64_t kMin = 10;
  constexpr std::int64_t kMax = 0x7FFFFFFF;
  return static_cast<std::uint32_t>(ms < kMin ? kMin : ms > kMax ? kMax : ms);
}

MowerConsole::MowerConsole(const ConsoleHost& host) : host_(host) {}

void MowerConsole::SendFrame(std::uint16_t command, std::uint16_t value) {
  const MowerFrame frame = BuildRequest(command, value);
  if (host_.link.portOpen() != 1) return;
  host_.link.Write(frame.data(), kFrameSize);
  host_.link.LogTx(frame.data(), kFrameSize);
}

void MowerConsole::OnClicked(int id) {
  if (HandleCommandButton(id)) return;
  switch (id) {
    case IDC_DISABLE_VALUES_UPDATE: OnDisableValuesUpdate(); break;
    case IDC_ALARM_IF_NO_RESPONSE: OnAlarmIfNoResponse(); break;
    case IDC_PULSE_CHARGE: PulseCharge(); break;
    case IDC_AUTO_TIMER: OnAutoTimer(); break;
    case IDC_AUTO_AFTER_MAN:
    case IDC_MAN_AFTER_AUTO: OnOptionBox(id); break;
    case IDC_GO_BACK: StartScript(3); break;
    case IDC_MAX_CHARGE_TIME: StartScript(4); break;
    case IDC_MEM_READ: StartMemoryRead(); break;
    case IDC_MEM_WRITE: StartMemoryWrite(); break;
    case IDC_INIT_MOVEMENT: InitMovement(); break;
    case IDC_FORWARD: Forward(); break;
    case IDC_BACKWARD: Backward(); break;
    case IDC_GO: Go(); break;
    case IDC_MOVE_STOP: Stop(); break;
    case IDC_MOVE_LEFT: TurnLeft(); break;
    case IDC_MOVE_RIGHT: TurnRight(); break;
    default: break;  // check boxes without a handler of their own
  }
}

void MowerConsole::OnDoubleClicked(int id) {
  switch (id) {
    case IDC_MIN_VOLTAGE:
      values_.minVoltage = kMinVoltageReset;
      ShowNumber(IDC_MIN_VOLTAGE, "%5d", values_.minVoltage);
      break;
    case IDC_CUTTING_EFFORT:
      SendFrame(CMD_RESET_CUTTING_EFFORT, 0);
      break;
    case IDC_TIMER_OVERRIDE:
      SendFrame(CMD_SET_TIMER_OVERRIDE, values_.timerOverride == 0 ? 1 : 0);
      break;
    case IDC_SQUARE_CUTTING:
      SendFrame(CMD_SET_SQUARE_CUTTING, values_.squareCuttingStatus == 0 ? 1 : 0);
      break;
    default:
      break;
  }
}

void MowerConsole::OnTimer(int timerId) {
  switch (timerId) {
    case TIMER_POLL:
      if (memory_.memReadActive) {
        MemoryReadTick();
      } else if (memory_.memWriteActive) {
        MemoryWriteTick();
      } else {
        PollTick();
      }
      break;
    case TIMER_ALARM: OnAlarmTimer(); break;
    case TIMER_PULSE_CHARGE: OnPulseChargeTimer(); break;
    default: break;
  }
}

}  // namespace verdelo
