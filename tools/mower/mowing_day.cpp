#include "tools/mower/mowing_day.h"

#include <algorithm>
#include <cmath>

#include "console/mower_frame.h"
#include "console/mower_status.h"
#include "tools/mower/order_registers.h"

namespace verdelo::mower {
namespace {

constexpr int kDay = 24 * 3600;

struct PhaseInfo {
  Phase phase;
  int status;
  const char* name;
};

constexpr PhaseInfo kPhases[] = {
    {Phase::TimerWait, STATUS_TIMER, "timer"},
    {Phase::AtHomeCharged, STATUS_AT_HOME_CHARGED, "charged"},
    {Phase::PlugOut, STATUS_PLUGGING_OUT, "plugout"},
    {Phase::Starting, STATUS_STARTING, "starting"},
    {Phase::StartBlade, STATUS_START_CUTTING_MOTOR, "blade"},
    {Phase::StartMoving, STATUS_START_MOVING_AND_CUTTING, "moving"},
    {Phase::Cutting, STATUS_CUTTING, "cutting"},
    {Phase::CuttingSquare, STATUS_CUTTING_SQUARE, "square"},
    {Phase::Searching, STATUS_SEARCHING_STATION, "searching"},
    {Phase::FollowingWire, STATUS_FOLLOWING_BOUNDARY, "wire"},
    {Phase::FollowingGuide, STATUS_FOLLOWING_GUIDE, "guide"},
    {Phase::PluggingIn, STATUS_PLUGGING_IN, "plugging"},
    {Phase::Charging, STATUS_CHARGING, "charging"},
    {Phase::Stopped, STATUS_STOPPED, "stopped"},
    {Phase::OutsideBoundary, STATUS_OUTSIDE_BOUNDARY_ERROR, "outside"},
    {Phase::NeedsCharge, STATUS_NEED_MANUAL_CHARGE, "empty"},
};

const PhaseInfo& InfoOf(Phase phase) {
  for (const auto& info : kPhases)
    if (info.phase == phase) return info;
  return kPhases[0];
}

bool IsStationPhase(Phase phase) {
  return phase == Phase::TimerWait || phase == Phase::AtHomeCharged ||
         phase == Phase::Charging || phase == Phase::PlugOut;
}

// Phases in which the mower moves on its own and a switch to manual stops it.
bool IsUnderWay(Phase phase) {
  switch (phase) {
    case Phase::PlugOut: case Phase::Starting: case Phase::StartBlade:
    case Phase::StartMoving: case Phase::Cutting: case Phase::CuttingSquare:
    case Phase::Searching: case Phase::FollowingWire: case Phase::FollowingGuide:
    case Phase::PluggingIn:
      return true;
    default:
      return false;
  }
}

bool IsHeadingHome(Phase phase) {
  return phase == Phase::Searching || phase == Phase::FollowingWire ||
         phase == Phase::FollowingGuide || phase == Phase::PluggingIn;
}

}  // namespace

int StatusOf(Phase phase) { return InfoOf(phase).status; }
const char* NameOf(Phase phase) { return InfoOf(phase).name; }

bool PhaseFromName(const std::string& name, Phase& phase) {
  for (const auto& info : kPhases) {
    if (name == info.name) {
      phase = info.phase;
      return true;
    }
  }
  return false;
}

MowingDay::MowingDay(RegisterStore& registers, const DayOptions& options)
    : reg_(registers), options_(options), rng_(options.seed), phase_(options.start_phase) {
  reg_.Set(REG_MAX_CAPACITY, kDefaultCapacityMah);
  reg_.Set(REG_MAX_CHARGE_TIME, kDefaultMaxChargeMinutes);
  reg_.Set(REG_ROBOT_MODE, kRobotModeAuto);
  charge_mah_ = std::clamp(options.start_charge, 0.0, 1.0) * CapacityMah();
  wander_ = Uniform(0, 6.28);
  Place(options.start_phase);
  Publish();
}

void MowingDay::AdvanceTo(SimMillis now) {
  while ((seconds_ + 1) * 1000 <= now) Step();
  now_ = std::max(now_, now);
}

double MowingDay::charge_fraction() const { return charge_mah_ / CapacityMah(); }

int MowingDay::seconds_of_day() const {
  return static_cast<int>((options_.start_seconds_of_day + seconds_) % kDay);
}

bool MowingDay::at_station() const {
  return IsStationPhase(phase_) || (phase_ == Phase::Stopped && IsStationPhase(resume_phase_));
}

int MowingDay::RobotMode() const { return reg_.Get(REG_ROBOT_MODE) & 0xFF; }

int MowingDay::CapacityMah() const {
  return std::clamp<int>(reg_.Get(REG_MAX_CAPACITY), 500, 30000);
}

bool MowingDay::MovementMode() const { return reg_.Get(kRegSpecialMode) == kMovementTestMode; }

// Both drives set backwards under direct drive: the move that brings a mower
// back across the boundary wire.
bool MowingDay::BackingUp() const {
  return MovementMode() && reg_.GetSigned(kRegSpeedA) < 0 && reg_.GetSigned(kRegSpeedB) < 0;
}

bool MowingDay::MayMow() const {
  if (reg_.Get(REG_TIMER_OVERRIDE) != 0) return true;
  const int t = seconds_of_day();
  return t >= options_.mowing_from_seconds && t < options_.mowing_until_seconds;
}

void MowingDay::Enter(Phase phase) {
  phase_ = phase;
  phase_seconds_ = 0;
  reg_.SetSigned(REG_STATUS, StatusOf(phase));
  reg_.Set(REG_POWER, at_station() && !no_power_ ? kPowerPresentValue : 0);
  RefreshCurrent();
}

// A change of what the mower does shows in its current at once, not only at
// the next simulated second.
void MowingDay::RefreshCurrent() {
  current_ma_ = TargetCurrent();
  reg_.SetSigned(REG_CURRENT, static_cast<int>(std::lround(current_ma_)));
}

void MowingDay::ResumeAfterStop() {
  const bool low = charge_fraction() < 0.10;
  const bool go_home = low || !MayMow() || RobotMode() == kRobotModeHome;
  if (IsStationPhase(resume_phase_) || IsHeadingHome(resume_phase_))
    Enter(resume_phase_);
  else
    Enter(go_home ? Phase::Searching : Phase::StartMoving);
}

void MowingDay::SetNoPower(bool on) {
  no_power_ = on;
  reg_.Set(REG_POWER, at_station() && !no_power_ ? kPowerPresentValue : 0);
  RefreshCurrent();
}

void MowingDay::SetLowCurrent(bool on) {
  low_current_ = on;
  RefreshCurrent();
}

void MowingDay::GoOutside() {
  if (phase_ != Phase::OutsideBoundary) {
    // Back inside, it carries on with what it was doing in the field.
    const Phase from = phase_ == Phase::Stopped ? resume_phase_ : phase_;
    resume_phase_ = IsStationPhase(from) ? Phase::Cutting : from;
  }
  Enter(Phase::OutsideBoundary);
  reg_.Set(REG_STOP_STATUS, STATUS_OUTSIDE_BOUNDARY_ERROR);
}

void MowingDay::ClearFaults() {
  low_current_ = false;
  SetNoPower(false);
  if (phase_ == Phase::OutsideBoundary) {
    Enter(Phase::Stopped);
    if (!MovementMode() && RobotMode() != kRobotModeMan) ResumeAfterStop();
  }
}

void MowingDay::JumpTo(Phase phase) {
  // A battery that fits the phase, so it lasts a while.
  const double fraction = charge_fraction();
  double wanted = fraction;
  switch (phase) {
    case Phase::TimerWait: case Phase::AtHomeCharged: case Phase::PlugOut:
    case Phase::Starting: case Phase::StartBlade: case Phase::StartMoving:
      wanted = 1.0;
      break;
    case Phase::Cutting: case Phase::CuttingSquare:
      wanted = std::max(fraction, 0.6);
      break;
    case Phase::Searching: case Phase::FollowingWire: case Phase::FollowingGuide:
    case Phase::PluggingIn:
      wanted = std::min(fraction, 0.12);
      break;
    case Phase::Charging:
      wanted = std::min(fraction, 0.3);
      break;
    case Phase::NeedsCharge:
      wanted = 0.005;
      break;
    case Phase::Stopped: case Phase::OutsideBoundary:
      break;
  }
  charge_mah_ = wanted * CapacityMah();
  Place(phase);
}

// Enters a phase together with the settings that keep the mower in it.
void MowingDay::Place(Phase phase) {
  switch (phase) {
    case Phase::OutsideBoundary:
      GoOutside();
      return;
    case Phase::Stopped:  // stopped by hand, out in the field
      resume_phase_ = Phase::Cutting;
      reg_.Set(REG_ROBOT_MODE, kRobotModeMan);
      break;
    case Phase::NeedsCharge:
      reg_.Set(REG_STOP_STATUS, STATUS_NEED_MANUAL_CHARGE);
      reg_.Set(REG_ROBOT_MODE, kRobotModeMan);
      break;
    default:
      if (phase == Phase::CuttingSquare) reg_.Set(REG_SQUARE_CUTTING, 1);
      if (RobotMode() == kRobotModeMan) reg_.Set(REG_ROBOT_MODE, kRobotModeAuto);
      break;
  }
  Enter(phase);
}

void MowingDay::OnRequest(const Request& request) {
  const std::uint16_t reg = request.reg();
  const std::uint16_t value = request.value;
  const double current_before = TargetCurrent();
  if (request.is_write()) {
    if (reg == kRegKey) {
      if (value == KEY_MAN_AUTO)
        reg_.Set(REG_ROBOT_MODE, RobotMode() == kRobotModeMan ? kRobotModeAuto : kRobotModeMan);
      else if (value == KEY_HOME)
        reg_.Set(REG_ROBOT_MODE, kRobotModeHome);
    } else if (reg == REG_STOP_STATUS && value == kStopToZeroValue) {
      reg_.Set(REG_STOP_STATUS, 0);  // "Stop=>0": clears the stop status
    } else if (reg == kRegStopToZeroDev) {
      reg_.Set(REG_STOP_STATUS, 0);
    } else if (reg == kRegEndCharge && phase_ == Phase::Charging) {
      Enter(Phase::AtHomeCharged);
    } else if (reg == kRegPulseCharge) {
      const bool waiting = phase_ == Phase::AtHomeCharged || phase_ == Phase::TimerWait;
      if (waiting && !no_power_) pulse_seconds_left_ = value / 10;
    } else if (reg == REG_MAX_CAPACITY) {
      charge_mah_ = std::min(charge_mah_, static_cast<double>(CapacityMah()));
    } else if (reg == REG_SQUARE_CUTTING) {
      if (value != 0 && phase_ == Phase::Cutting) Enter(Phase::CuttingSquare);
      if (value == 0 && phase_ == Phase::CuttingSquare) Enter(Phase::Cutting);
    }
  } else if (reg == kRegReboot && value == 1) {
    for (std::uint16_t r : {kRegSpecialMode, kRegRunA, kRegRunB, kRegSpeedA, kRegSpeedB})
      reg_.Set(r, 0);
    reg_.Set(REG_STOP_STATUS, 0);
    Enter(at_station() ? Phase::AtHomeCharged : Phase::Starting);
  } else if (reg == REG_RAIN_LEVEL && (value == kRainSensorOff || value == kRainSensorOn)) {
    rain_sensor_on_ = value == kRainSensorOn;
    reg_.Set(REG_RAIN_LEVEL, rain_sensor_on_ ? static_cast<std::uint16_t>(rain_level_) : 0);
  }
  UpdatePhase();
  if (TargetCurrent() != current_before) RefreshCurrent();  // drives, pulse charge
}

void MowingDay::Step() {
  ++seconds_;
  ++phase_seconds_;
  now_ = std::max(now_, seconds_ * 1000);
  UpdateWeather();
  UpdatePhase();

  current_ma_ = TargetCurrent();
  current_ma_ += Noise(std::abs(current_ma_) * 0.015 + 4);
  charge_mah_ = std::clamp(charge_mah_ + current_ma_ / 3600.0, 0.0,
                           static_cast<double>(CapacityMah()));
  if (pulse_seconds_left_ > 0) --pulse_seconds_left_;

  const bool cutting = phase_ == Phase::Cutting || phase_ == Phase::CuttingSquare;
  if (cutting) {
    grass_load_ = std::clamp(grass_load_ + Noise(0.01), 0.8, 1.4);
    // Cutting effort counts up with the work the blade does; the console can reset it.
    effort_seconds_ += grass_load_ * (1.0 + rain_level_ / 500.0);
    if (effort_seconds_ >= 30) {
      effort_seconds_ -= 30;
      reg_.Set(REG_CUTTING_EFFORT, std::min<int>(reg_.Get(REG_CUTTING_EFFORT) + 1, 32767));
    }
  }
  if (IsUnderWay(phase_)) wander_ += 0.01;

  double heat_target = 0;
  if (low_current_) heat_target = 20;
  else if (cutting) heat_target = 12;
  else if (phase_ == Phase::Charging && !no_power_) heat_target = 8;
  else if (IsUnderWay(phase_)) heat_target = 5;
  heat_ += (heat_target - heat_) / 600.0;

  Publish();
}

// Moves the day on: timed phases end, the battery and the clock send the
// mower out or home, the robot mode and direct drive stop or release it.
void MowingDay::UpdatePhase() {
  const int mode = RobotMode();
  const bool may_leave = mode == kRobotModeAuto || mode == kRobotModeDemo;
  const double fraction = charge_fraction();
  const bool raining = rain_sensor_on_ && rain_level_ >= 100;
  const bool go_home = fraction < 0.10 || !MayMow() || mode == kRobotModeHome || raining;
  const bool power = !no_power_;

  if (MovementMode() && phase_ != Phase::Stopped && phase_ != Phase::OutsideBoundary &&
      phase_ != Phase::NeedsCharge) {
    resume_phase_ = phase_;
    Enter(Phase::Stopped);
  }
  if (mode == kRobotModeMan && IsUnderWay(phase_)) {
    resume_phase_ = phase_;
    Enter(Phase::Stopped);
  }

  switch (phase_) {
    case Phase::TimerWait:
      if (fraction < 0.5 && power) Enter(Phase::Charging);
      else if (may_leave && MayMow() && !raining) Enter(Phase::PlugOut);
      break;
    case Phase::AtHomeCharged:
      if (phase_seconds_ >= 120 && may_leave && MayMow() && fraction >= 0.9 &&
          !(rain_sensor_on_ && rain_level_ >= 20))
        Enter(Phase::PlugOut);
      else if (phase_seconds_ >= 300 && !MayMow())
        Enter(Phase::TimerWait);
      break;
    case Phase::PlugOut:
      if (phase_seconds_ >= 15) Enter(Phase::Starting);
      break;
    case Phase::Starting:
      if (phase_seconds_ >= 20) Enter(Phase::StartBlade);
      break;
    case Phase::StartBlade:
      if (phase_seconds_ >= 10) Enter(Phase::StartMoving);
      break;
    case Phase::StartMoving:
      if (phase_seconds_ >= 10) Enter(Phase::Cutting);
      break;
    case Phase::Cutting:
      if (go_home) Enter(Phase::Searching);
      else if (reg_.Get(REG_SQUARE_CUTTING) != 0) Enter(Phase::CuttingSquare);
      break;
    case Phase::CuttingSquare:
      if (go_home || phase_seconds_ >= 600) {
        reg_.Set(REG_SQUARE_CUTTING, 0);  // the square is done (or abandoned)
        Enter(go_home ? Phase::Searching : Phase::Cutting);
      } else if (reg_.Get(REG_SQUARE_CUTTING) == 0) {
        Enter(Phase::Cutting);
      }
      break;
    case Phase::Searching:
      if (phase_seconds_ >= 180) {
        Enter(follow_guide_next_ ? Phase::FollowingGuide : Phase::FollowingWire);
        follow_guide_next_ = !follow_guide_next_;
      }
      break;
    case Phase::FollowingWire:
    case Phase::FollowingGuide:
      if (phase_seconds_ >= 300) Enter(Phase::PluggingIn);
      break;
    case Phase::PluggingIn:
      if (phase_seconds_ >= 20) Enter(Phase::Charging);
      break;
    case Phase::Charging:
      if (fraction >= 0.995 || phase_seconds_ >= reg_.Get(REG_MAX_CHARGE_TIME) * 60)
        Enter(Phase::AtHomeCharged);
      break;
    case Phase::Stopped:
      if (!MovementMode() && mode != kRobotModeMan) ResumeAfterStop();
      break;
    case Phase::OutsideBoundary:
      if (BackingUp()) Enter(Phase::Stopped);
      break;
    case Phase::NeedsCharge:
      // Switched back to automatic: it tries for the station with what is left.
      if (mode != kRobotModeMan) Enter(Phase::Searching);
      break;
  }

  // On its way home the mower makes it on the last reserve, unless it draws
  // far more than it should.
  const bool reaches_home = IsHeadingHome(phase_) && !low_current_;
  if (!at_station() && !reaches_home && phase_ != Phase::NeedsCharge && charge_fraction() <= 0.01) {
    Enter(Phase::NeedsCharge);
    reg_.Set(REG_STOP_STATUS, STATUS_NEED_MANUAL_CHARGE);
    reg_.Set(REG_ROBOT_MODE, kRobotModeMan);
  }
}

}  // namespace verdelo::mower
