// The poll timer's cycle: ten ticks that ask the mower for its values in a
// fixed order, with a six-cycle rotation for the slower values.
#include <cstdint>

#include "console/console.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "console/mower_status.h"
#include "console/text.h"

namespace verdelo {

namespace {

constexpr std::uint32_t kPollGapMs = 20;

}  // namespace

void MowerConsole::SendPollRequest(std::uint16_t command) { SendFrame(command, 0); }

void MowerConsole::StartPollTimer() {
  host_.timers.StartTimer(TIMER_POLL, ClampTimerPeriod(settings_.pollPeriod));
}

// Handler of "Disable Values Update", also the rule a memory write follows
// when it ends.
void MowerConsole::OnDisableValuesUpdate() {
  if (host_.controls.IsChecked(IDC_DISABLE_VALUES_UPDATE)) {
    host_.timers.StopTimer(TIMER_POLL);
  } else {
    StartPollTimer();
  }
}

void MowerConsole::SquareCuttingCheck() {
  if (!host_.controls.IsChecked(IDC_DISABLE_SQUARE_TIMER)) return;
  switch (values_.status) {
    case STATUS_START_CUTTING_MOTOR:
    case STATUS_START_MOVING_AND_CUTTING:
    case STATUS_CUTTING_SQUARE:
    case STATUS_OUTSIDE_BOUNDARY:
      SendFrame(CMD_SQUARE_TIMER_OFF, kSquareTimerOffValue);
      break;
    default:
      break;
  }
}

void MowerConsole::PollTick() {
  IPacing& pacing = host_.pacing;
  ++pollStep_;
  switch (pollStep_) {
    case 1:
      SendPollRequest(REG_CURRENT);
      pacing.Pause(kPollGapMs);
      SendPollRequest(REG_TEMPERATURE);
      break;
    case 2:
      SendPollRequest(REG_BOUNDARY_FRONT);
      SquareCuttingCheck();
      break;
    case 3:
      SendPollRequest(REG_VOLTAGE);
      pacing.Pause(kPollGapMs);
      SendPollRequest(REG_VALUE12030);
      break;
    case 4:
      SendPollRequest(REG_GUIDE_G1);
      SquareCuttingCheck();
      break;
    case 5:
      SendPollRequest(REG_VALUE127);
      pacing.Pause(kPollGapMs);
      SendPollRequest(CMD_READ_STATUS);
      break;
    case 6:
      if (scripts_.script != 0) {
        host_.controls.SetText(
            IDC_SCRIPT_STATE,
            Format("Script running :%3d - %3d", scripts_.script, scripts_.step));
        RunScriptStep();
      } else {
        host_.controls.SetText(IDC_SCRIPT_STATE, "no script running");
        SendPollRequest(CMD_READ_STOP_STATUS);
      }
      SquareCuttingCheck();
      break;
    case 7:
      SendPollRequest(REG_CLOCK_SECONDS);
      pacing.Pause(kPollGapMs);
      SendPollRequest(REG_POWER);
      SendPollRequest(REG_BOUNDARY_FRONT);
      break;
    case 8:
      ++pollRotation_;
      switch (pollRotation_) {
        case 1: SendPollRequest(CMD_READ_MAX_CAPACITY); break;
        case 2: SendPollRequest(REG_CHARGE); break;
        case 3: SendPollRequest(REG_BOUNDARY_REAR); break;
        case 4: SendPollRequest(REG_QUALITY); break;
        case 5: SendPollRequest(REG_FAR_SIGNAL); break;
        case 6:
          pollRotation_ = 0;
          SendPollRequest(REG_NEAR_SIGNAL);
          break;
        default: break;
      }
      SquareCuttingCheck();
      break;
    case 9:
      switch (pollRotation_) {
        case 1: SendPollRequest(REG_TEMPERATURE); break;
        case 2: SendPollRequest(REG_CLOCK_MINUTES); break;
        case 3: SendPollRequest(REG_ROBOT_MODE); break;
        case 4: SendPollRequest(REG_MAX_CHARGE_TIME); break;
        case 5:
          SendPollRequest(REG_CUTTING_EFFORT);
          WriteLogLine("");  // the periodic data line
          break;
        case 0: SendPollRequest(REG_CLOCK_HOURS); break;
        default: break;
      }
      break;
    default:  // 10, and anything above 9
      pollStep_ = 0;
      SquareCuttingCheck();
      switch (pollRotation_) {
        case 1: SendPollRequest(CMD_READ_SQUARE_CUTTING); break;
        case 2:
        case 5:
          if (settings_.mainExpertMode) GoTrigger();
          break;
        case 3:
        case 4:
        case 0: SendPollRequest(CMD_READ_STATUS); break;
        default: break;
      }
      break;
  }
}

}  // namespace verdelo
