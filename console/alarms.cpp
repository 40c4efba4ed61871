// The no-response, power and low-current alarms, and pulse charging.
#include <cstdint>

#include "console/console.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "console/mower_status.h"
#include "console/text.h"

namespace verdelo {

void MowerConsole::AlarmStart() {
  if (alarms_.alarmActive == 1) return;
  alarms_.alarmActive = 1;
  host_.controls.SetText(IDC_ALARM_IF_NO_RESPONSE, "ALARM !!");
  RunEventFile("ALARM.bat");
  WriteLogLine("ALARM !!");
}

void MowerConsole::AlarmEnd() {
  if (alarms_.alarmActive == 1) {
    host_.controls.SetText(IDC_ALARM_IF_NO_RESPONSE, "ALARM END");
    RunEventFile("ALARM-END.bat");
    WriteLogLine("ALARM has ended");
  }
  alarms_.alarmActive = 0;
  host_.timers.StopTimer(TIMER_ALARM);
  host_.timers.StartTimer(TIMER_ALARM, ClampTimerPeriod(settings_.alarmPeriod));
}

void MowerConsole::OnAlarmIfNoResponse() {
  host_.controls.SetText(IDC_ALARM_IF_NO_RESPONSE, "AlarmIfNoResponse");
  alarms_.alarmActive = 0;
  if (host_.controls.IsChecked(IDC_ALARM_IF_NO_RESPONSE)) {
    host_.timers.StartTimer(TIMER_ALARM, ClampTimerPeriod(settings_.alarmPeriod));
  } else {
    host_.timers.StopTimer(TIMER_ALARM);
  }
}

void MowerConsole::OnAlarmTimer() {
  if (host_.controls.IsChecked(IDC_ALARM_IF_NO_RESPONSE)) AlarmStart();
}

void MowerConsole::CheckPowerAlarm(int previousPower) {
  if (!host_.controls.IsChecked(IDC_ALARM_IF_NO_RESPONSE) ||
      !host_.controls.IsChecked(IDC_OR_IF_NO_POWER))
    return;
  if (values_.powerPresent == 1 || previousPower == 1) {
    AlarmEnd();
    return;
  }
  switch (values_.status) {
    case STATUS_CHARGING:
    case STATUS_TIMER:
    case STATUS_STOPPED:
    case STATUS_AT_HOME_CHARGED:
      AlarmStart();
      break;
    default:
      break;
  }
}

void MowerConsole::CheckLowCurrent(int current) {
  if (current >= settings_.minCurrent) {
    alarms_.lowCurrentCount = 0;
    ShowNumber(IDC_CURRENT, "Current (mA) :%5d", current);
  } else if (alarms_.lowCurrentCount > settings_.minCurrentTimer) {
    RunEventFile("ALARM-CURRENT-LOW.bat");
    WriteLogLine("ALARM CURRENT TOO LOW !!");
    ShowNumber(IDC_CURRENT, "Current (mA) :%5d !!", current);
  } else {
    ++alarms_.lowCurrentCount;
    ShowNumber(IDC_CURRENT, "Current (mA) :%5d !", current);
  }
}

void MowerConsole::PulseCharge() {
  SendFrame(CMD_PULSE_CHARGE, kPulseChargeValue);
  WriteLogLine("charging puls");
}

void MowerConsole::OnAutoTimer() {
  if (host_.controls.IsChecked(IDC_AUTO_TIMER)) {
    host_.timers.StartTimer(TIMER_PULSE_CHARGE,
                            ClampTimerPeriod(std::int64_t{settings_.pulsePeriod} * 1000));
    WriteLogLine(Format("start puls charge timer:%5d", settings_.pulsePeriod));
  } else {
    host_.timers.StopTimer(TIMER_PULSE_CHARGE);
    WriteLogLine("stop puls charge timer");
  }
}

// At home or waiting on its timer while the battery discharges: the moment
// a charge pulse helps.
bool MowerConsole::AtRestAndDischarging() const {
  return (values_.status == STATUS_AT_HOME_CHARGED || values_.status == STATUS_TIMER) &&
         values_.current < 0;
}

void MowerConsole::OnPulseChargeTimer() {
  if (!host_.controls.IsChecked(IDC_AUTO_TIMER)) {
    host_.timers.StopTimer(TIMER_PULSE_CHARGE);
    return;
  }
  if (AtRestAndDischarging()) PulseCharge();
}

void MowerConsole::VoltagePulseTest() {
  if (host_.controls.IsChecked(IDC_AUTO_VMIN) && AtRestAndDischarging() &&
      values_.voltage <= settings_.pulseVmin)
    PulseCharge();
}

}  // namespace verdelo
