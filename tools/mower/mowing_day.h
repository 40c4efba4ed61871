// A mowing day on a simulated clock: where the mower is, what it draws from
// its battery, and the readings it publishes in its registers.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "tools/mower/register_store.h"
#include "tools/mower/request.h"

namespace verdelo::mower {

// Simulated time in milliseconds since the model was made.
using SimMillis = std::int64_t;

// Where the day stands. Each phase reports one operating status.
enum class Phase {
  TimerWait,        // 1016, at the station outside the mowing hours
  AtHomeCharged,    // 1056
  PlugOut,          // 1050
  Starting,         // 1046
  StartBlade,       // 1006
  StartMoving,      // 1008
  Cutting,          // 1002
  CuttingSquare,    // 1036
  Searching,        // 1042
  FollowingWire,    // 1062
  FollowingGuide,   // 1070
  PluggingIn,       // 1048
  Charging,         // 1014
  Stopped,          // 1044, manual mode or under direct drive
  OutsideBoundary,  // 16
  NeedsCharge,      // 28, battery empty away from the station
};

int StatusOf(Phase phase);
const char* NameOf(Phase phase);
// Accepts the names NameOf gives; false if unknown.
bool PhaseFromName(const std::string& name, Phase& phase);

struct DayOptions {
  int start_seconds_of_day = 7 * 3600 + 55 * 60;
  Phase start_phase = Phase::AtHomeCharged;
  double start_charge = 1.0;  // fraction of the capacity
  int mowing_from_seconds = 8 * 3600;
  int mowing_until_seconds = 20 * 3600;
  unsigned seed = 1;
};

// Settings the mower starts with (the console can change them).
inline constexpr int kDefaultCapacityMah = 4500;
inline constexpr int kDefaultMaxChargeMinutes = 240;

class MowingDay {
 public:
  MowingDay(RegisterStore& registers, const DayOptions& options);

  // Runs whole simulated seconds up to `now`; never goes back.
  void AdvanceTo(SimMillis now);
  SimMillis now() const { return now_; }

  // Reacts to a request the store has already applied.
  void OnRequest(const Request& request);

  // The mower's own faults.
  void SetNoPower(bool on);
  void SetLowCurrent(bool on);
  void GoOutside();
  void ClearFaults();
  bool no_power() const { return no_power_; }
  bool low_current() const { return low_current_; }

  // Puts the day at the start of a phase (for trials and end-to-end tests).
  void JumpTo(Phase phase);

  Phase phase() const { return phase_; }
  int status() const { return StatusOf(phase_); }
  double charge_fraction() const;
  int seconds_of_day() const;
  bool at_station() const;
  bool rain_sensor_on() const { return rain_sensor_on_; }

 private:
  void Step();
  void Enter(Phase phase);
  void Place(Phase phase);
  void RefreshCurrent();
  void UpdatePhase();
  void ResumeAfterStop();
  bool MayMow() const;
  bool MovementMode() const;
  bool BackingUp() const;
  int RobotMode() const;
  int CapacityMah() const;
  double DriveCurrent() const;
  double TargetCurrent() const;
  void UpdateWeather();
  void Publish();
  double Noise(double spread);
  double Uniform(double low, double high);

  RegisterStore& reg_;
  DayOptions options_;
  std::mt19937 rng_;

  SimMillis now_ = 0;
  std::int64_t seconds_ = 0;  // whole simulated seconds stepped
  Phase phase_;
  std::int64_t phase_seconds_ = 0;
  Phase resume_phase_ = Phase::Cutting;  // where Stopped/Outside came from
  bool follow_guide_next_ = false;

  double charge_mah_;
  double current_ma_ = 0;
  double grass_load_ = 1.0;  // 0.8 .. 1.4, wanders while cutting
  double heat_ = 0;          // degrees above ambient
  double effort_seconds_ = 0;
  double wander_ = 0;        // position along the lawn, drives the signal shapes
  int pulse_seconds_left_ = 0;

  double rain_level_ = 0;
  int rain_minutes_left_ = 0;
  double rain_peak_ = 0;
  bool rain_sensor_on_ = true;

  bool no_power_ = false;
  bool low_current_ = false;
};

}  // namespace verdelo::mower
