// Assembles answer frames from received bytes and turns each into the
// values, texts, log lines and automatic actions it stands for.
#include <cstdarg>
#include <cstdint>

#include "console/console.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "console/mower_status.h"
#include "console/text.h"

namespace verdelo {

void MowerConsole::OnRxByte(std::uint32_t received) {
  if (rx_.Push(static_cast<std::uint8_t>(received))) DecodeAnswer();
}

void MowerConsole::ShowNumber(int controlId, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const ShortText text = ShortText::NumberV(format, args);
  va_end(args);
  host_.controls.SetText(controlId, text);
}

void MowerConsole::RunEventFile(const char* name) { host_.launcher.Launch(name); }

void MowerConsole::DecodeAnswer() {
  const std::uint16_t command = CodeOf(rx_.frame());
  const std::uint16_t raw = AnswerValueOf(rx_.frame());
  if (memory_.memReadActive || memory_.memWriteActive) {
    MemoryAnswer(command, raw);
    return;
  }
  const int asSigned = static_cast<std::int16_t>(raw);
  const int asUnsigned = raw;
  const int lowByte = raw & 0xFF;

  switch (RegisterOf(command)) {
    case REG_VALUE127:
      values_.value127 = asUnsigned;
      break;
    case REG_MAX_CAPACITY:
      values_.maxCapacity = asUnsigned;
      ShowNumber(IDC_MAX_CAPACITY, "Max. Cap.(mAh) :%5d", asUnsigned);
      break;
    case REG_ROBOT_MODE:
      HandleRobotMode(static_cast<std::uint8_t>(lowByte));
      break;
    case REG_STOP_STATUS:
      values_.stopStatus = asSigned;
      ShowNumber(IDC_STOP_STATUS, "Stop Status :%3d", asSigned);
      break;
    case REG_CUTTING_EFFORT:
      values_.cuttingEffort = asSigned;
      ShowNumber(IDC_CUTTING_EFFORT, "Cutting Effort:%5d", asSigned);
      break;
    case REG_SQUARE_CUTTING:
      values_.squareCuttingStatus = asSigned;
      ShowNumber(IDC_SQUARE_CUTTING, "Status :%1d", asSigned);
      break;
    case REG_MAX_CHARGE_TIME:
      values_.maxChargeTime = asUnsigned;
      ShowNumber(IDC_MAX_CHARGE_TIME, "Max.Ch.Time(min):%5d", asUnsigned);
      break;
    case REG_NEAR_SIGNAL:
      values_.nearSignal = asSigned / 100;
      ShowNumber(IDC_NEAR_SIGNAL, "Near signal N:%5d", values_.nearSignal);
      break;
    case REG_QUALITY:
      values_.quality = asSigned / 5;
      ShowNumber(IDC_QUALITY, "Quality(0-100) :%5d", values_.quality);
      break;
    case REG_FAR_SIGNAL:
      values_.farSignal = asSigned / 100;
      ShowNumber(IDC_FAR_SIGNAL, "Far signal F:%5d", values_.farSignal);
      break;
    case REG_BOUNDARY_FRONT:
      values_.boundaryFront = asSigned / 100;
      ShowNumber(IDC_BOUNDARY_FRONT, "Boundary Wire Front Af:%5d", values_.boundaryFront);
      // The front boundary answer is the mower's heartbeat for the watchdog.
      if (host_.controls.IsChecked(IDC_ALARM_IF_NO_RESPONSE)) AlarmEnd();
      break;
    case REG_BOUNDARY_REAR:
      values_.boundaryRear = asSigned / 100;
      ShowNumber(IDC_BOUNDARY_REAR, "Boundary Wire Rear Ar:%5d", values_.boundaryRear);
      break;
    case REG_CURRENT:
      values_.current = asSigned;
      CheckLowCurrent(asSigned);
      break;
    case REG_STATUS:
      HandleStatus(asSigned);
      break;
    case REG_GUIDE_G1:
      values_.guideG1 = asSigned / 100;
      ShowNumber(IDC_GUIDE_G1, "Guide Wire G1:%5d", values_.guideG1);
      break;
    case REG_TEMPERATURE:
      values_.temperature = asSigned;
      ShowNumber(IDC_TEMPERATURE, "Temp.(°C) :%5d", asSigned);
      break;
    case REG_POWER: {
      const int previous = values_.powerPresent;
      values_.powerPresent = raw == kPowerPresentValue ? 1 : 0;
      host_.controls.SetText(IDC_POWER, ShortText::Number("Power :%1u", values_.powerPresent));
      CheckPowerAlarm(previous);
      break;
    }
    case REG_RAIN_LEVEL:
      values_.rainLevel = lowByte;
      ShowNumber(IDC_RAIN_LEVEL, "Level:%5d", lowByte);
      break;
    case REG_CHARGE:
      values_.charge = asSigned;
      ShowNumber(IDC_CHARGE, "Charge(mAh) :%5d", asSigned);
      break;
    case REG_VOLTAGE:
      values_.voltage = asUnsigned;
      ShowNumber(IDC_VOLTAGE, "Voltage(mV) :%5d", asUnsigned);
      if (values_.voltage < values_.minVoltage) {
        values_.minVoltage = values_.voltage;
        ShowNumber(IDC_MIN_VOLTAGE, "%5d", values_.minVoltage);
      }
      VoltagePulseTest();
      break;
    case REG_VALUE12030:
      values_.value12030 = asUnsigned;
      break;
    case REG_CLOCK_SECONDS:
      values_.clockSeconds = asUnsigned;
      host_.controls.SetText(IDC_CLOCK_SECONDS, ShortText::Number("%2u", raw));
      break;
    case REG_CLOCK_MINUTES:
      values_.clockMinutes = asUnsigned;
      host_.controls.SetText(IDC_CLOCK_MINUTES, ShortText::Number("%2u", raw));
      break;
    case REG_CLOCK_HOURS:
      values_.clockHours = asUnsigned;
      host_.controls.SetText(IDC_CLOCK_HOURS, ShortText::Number("%2u", raw));
      break;
    case REG_TIMER_OVERRIDE:
      values_.timerOverride = asSigned;
      ShowNumber(IDC_TIMER_OVERRIDE, "Timer Override Status :%1d", asSigned);
      break;
    default:
      return;  // codes the console does not show
  }
  if (!observers_.empty()) ReportDecoded(RegisterOf(command));
}

void MowerConsole::ReportDecoded(std::uint16_t reg) {
  struct Decoded {
    ValueId id;
    int value;
  };
  const MowerValues& v = values_;
  Decoded d;
  switch (reg) {
    case REG_VALUE127: d = {ValueId::Value127, v.value127}; break;
    case REG_MAX_CAPACITY: d = {ValueId::MaxCapacity, v.maxCapacity}; break;
    case REG_ROBOT_MODE: d = {ValueId::RobotMode, v.robotMode}; break;
    case REG_STOP_STATUS: d = {ValueId::StopStatus, v.stopStatus}; break;
    case REG_CUTTING_EFFORT: d = {ValueId::CuttingEffort, v.cuttingEffort}; break;
    case REG_SQUARE_CUTTING: d = {ValueId::SquareCutting, v.squareCuttingStatus}; break;
    case REG_MAX_CHARGE_TIME: d = {ValueId::MaxChargeTime, v.maxChargeTime}; break;
    case REG_NEAR_SIGNAL: d = {ValueId::NearSignal, v.nearSignal}; break;
    case REG_QUALITY: d = {ValueId::Quality, v.quality}; break;
    case REG_FAR_SIGNAL: d = {ValueId::FarSignal, v.farSignal}; break;
    case REG_BOUNDARY_FRONT: d = {ValueId::BoundaryFront, v.boundaryFront}; break;
    case REG_BOUNDARY_REAR: d = {ValueId::BoundaryRear, v.boundaryRear}; break;
    case REG_CURRENT: d = {ValueId::Current, v.current}; break;
    case REG_STATUS: d = {ValueId::Status, v.status}; break;
    case REG_GUIDE_G1: d = {ValueId::GuideG1, v.guideG1}; break;
    case REG_TEMPERATURE: d = {ValueId::Temperature, v.temperature}; break;
    case REG_POWER: d = {ValueId::Power, v.powerPresent}; break;
    case REG_RAIN_LEVEL: d = {ValueId::RainLevel, v.rainLevel}; break;
    case REG_CHARGE: d = {ValueId::Charge, v.charge}; break;
    case REG_VOLTAGE: d = {ValueId::Voltage, v.voltage}; break;
    case REG_VALUE12030: d = {ValueId::Value12030, v.value12030}; break;
    case REG_CLOCK_SECONDS: d = {ValueId::ClockSeconds, v.clockSeconds}; break;
    case REG_CLOCK_MINUTES: d = {ValueId::ClockMinutes, v.clockMinutes}; break;
    case REG_CLOCK_HOURS: d = {ValueId::ClockHours, v.clockHours}; break;
    case REG_TIMER_OVERRIDE: d = {ValueId::TimerOverride, v.timerOverride}; break;
    default: return;
  }
  const LocalTime arrival = host_.clock.Now();
  for (IValueObserver* observer : observers_) observer->OnValue(d.id, d.value, arrival);
}

void MowerConsole::RemoveValueObserver(IValueObserver* observer) {
  std::erase(observers_, observer);
}

void MowerConsole::HandleRobotMode(std::uint8_t mode) {
  if (mode != values_.robotMode) {
    values_.robotMode = mode;
    WriteLogLine(Format("=> Robot Mode changed  %5d", int(mode)));
  }
  const char* name = nullptr;
  switch (mode) {
    case kRobotModeMan: name = "MAN"; break;
    case kRobotModeAuto: name = "AUTO"; break;
    case kRobotModeHome: name = "HOME"; break;
    case kRobotModeDemo: name = "DEMO"; break;
    default: return;  // 2 and anything above 4 keep the label's text
  }
  host_.controls.SetText(IDC_ROBOT_MODE, name);
}

namespace {

// What the status line says before the SCRIPT2 notice.
const char* Script2Status(int status) {
  switch (status) {
    case STATUS_NEED_MANUAL_CHARGE:
      return "=> Stopped need manual charge!";
    case STATUS_SEARCHING_STATION:
    case STATUS_SEARCHING_STATION_2:
      return "=> Searching station";
    case STATUS_FOLLOWING_BOUNDARY:
      return "=>  Following boundary wire";
    case STATUS_FOLLOWING_GUIDE:
      return "=>  Following guide";
    default:
      return "";
  }
}

}  // namespace

void MowerConsole::HandleStatus(int s) {
  if (s == values_.status) return;
  values_.status = s;
  ShowNumber(IDC_STATUS_VALUE, "Status :%5d", s);

  const char* known = MowerStatusText(s);
  std::string text = known ? known : Format("=> Unknown status  %5d", s);
  const bool noScript = scripts_.script == 0;
  IControls& controls = host_.controls;

  auto startScript2 = [&] {
    values_.cuttingSeen = 0;
    StartScript(2);
    text = Format("%s => SCRIPT2 toggle MAN/AUTO, AutoToManDisabled,Vmin=%5d ", Script2Status(s),
                  values_.minVoltage);
  };

  switch (s) {
    case STATUS_OUTSIDE_BOUNDARY_ERROR:
    case STATUS_REAR_SENSOR_FAILURE:
      WriteLogLine(text);
      if (controls.IsChecked(IDC_AUTO_IF_OUT) && noScript) {
        StartScript(3);
        text = "=> SCRIPT3 go back 30cm";
      }
      break;
    case STATUS_NEED_MANUAL_CHARGE:
      if (controls.IsChecked(IDC_AUTO_AFTER_MAN) && noScript) startScript2();
      break;
    case STATUS_CUTTING:
      if (controls.IsChecked(IDC_MAN_AFTER_AUTO)) values_.cuttingSeen = 1;
      break;
    case STATUS_CHARGING:
      RunEventFile("CHARGING.bat");
      values_.cuttingSeen = 0;
      break;
    case STATUS_TIMER:
      values_.cuttingSeen = 0;
      break;
    case STATUS_SEARCHING_STATION:
    case STATUS_SEARCHING_STATION_2:
    case STATUS_FOLLOWING_BOUNDARY:
    case STATUS_FOLLOWING_GUIDE:
      if (controls.IsChecked(IDC_MAN_AFTER_AUTO) && noScript && values_.cuttingSeen == 1)
        startScript2();
      break;
    case STATUS_STOPPED:
      RunEventFile("STOPPED.bat");
      break;
    case STATUS_PLUGGING_IN:
      RunEventFile("PLUGIN.bat");
      values_.cuttingSeen = 0;
      break;
    case STATUS_PLUGGING_OUT:
      RunEventFile("PLUGOUT.bat");
      values_.minVoltage = kMinVoltageReset;
      values_.cuttingSeen = 0;
      break;
    case STATUS_AT_HOME_CHARGED:
      RunEventFile("CHARGED.bat");
      values_.cuttingSeen = 0;
      break;
    default:
      break;
  }

  const bool following = s == STATUS_FOLLOWING_BOUNDARY || s == STATUS_FOLLOWING_GUIDE;
  if (following && values_.followingActive == 0) {
    values_.followingActive = 1;
    RunEventFile("FOLLOWING.BAT");
  } else if (!following && values_.followingActive == 1) {
    values_.followingActive = 0;
    RunEventFile("FOLLOWING-END.BAT");
  }

  controls.SetText(IDC_STATUS_TEXT, text);
  WriteLogLine(text + Format(" :%5d", s));
}

}  // namespace verdelo
