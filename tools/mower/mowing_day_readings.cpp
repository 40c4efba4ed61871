// What the mower measures and publishes each simulated second: battery
// current and voltage, temperature, rain, clock and wire signals.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "console/mower_frame.h"
#include "tools/mower/mowing_day.h"
#include "tools/mower/order_registers.h"

namespace verdelo::mower {
namespace {

constexpr int kDay = 24 * 3600;
constexpr double kEmptyMillivolts = 21000;
constexpr double kFullMillivolts = 25500;
constexpr double kInternalOhms = 0.12;  // load sag: mV per mA
constexpr double kDriveMilliampsPerSpeed = 3.0;

}  // namespace

double MowingDay::DriveCurrent() const {
  if (!MovementMode()) return 0;
  double total = 0;
  if (reg_.Get(kRegRunA) == kDriveRun) total += std::abs(reg_.GetSigned(kRegSpeedA));
  if (reg_.Get(kRegRunB) == kDriveRun) total += std::abs(reg_.GetSigned(kRegSpeedB));
  return total * kDriveMilliampsPerSpeed;
}

// Battery current in mA: negative while the mower draws, positive while it charges.
double MowingDay::TargetCurrent() const {
  if (low_current_) return -6000;
  double current = 0;
  switch (phase_) {
    case Phase::TimerWait:
    case Phase::AtHomeCharged:
      current = (pulse_seconds_left_ > 0 && !no_power_) ? 1200 : -40;
      break;
    case Phase::Charging: {
      if (no_power_) {
        current = -40;
        break;
      }
      const double fraction = charge_fraction();
      current = fraction < 0.8 ? 1800 : std::max(80.0, 1800 * (1 - fraction) / 0.2);
      break;
    }
    case Phase::StartBlade:
      current = -1250;
      break;
    case Phase::Cutting:
    case Phase::CuttingSquare:
      current = -1700 * grass_load_ * (1.0 + rain_level_ / 500.0);
      break;
    case Phase::PluggingIn:
      current = -400;
      break;
    case Phase::Stopped:
    case Phase::OutsideBoundary:
    case Phase::NeedsCharge:
      current = -60;
      break;
    default:  // driving without the blade
      current = -900;
      break;
  }
  return current - DriveCurrent();
}

// Rain comes in spells of twenty minutes to two hours, a couple a day.
void MowingDay::UpdateWeather() {
  if (seconds_ % 60 == 0) {
    if (rain_minutes_left_ > 0) {
      --rain_minutes_left_;
    } else if (Uniform(0, 1) < 1.0 / 900) {
      rain_minutes_left_ = static_cast<int>(Uniform(20, 120));
      rain_peak_ = Uniform(60, 220);
    }
  }
  const double target = rain_minutes_left_ > 0 ? rain_peak_ : 0;
  rain_level_ += (target - rain_level_) / 300.0;
}

void MowingDay::Publish() {
  const double t = seconds_of_day();
  const double ambient = 14 + 7 * std::sin(2 * std::numbers::pi * (t - 9 * 3600) / kDay);
  reg_.SetSigned(REG_TEMPERATURE, static_cast<int>(std::lround(ambient + heat_ + Noise(0.3))));

  const double fraction = charge_fraction();
  const double volts = kEmptyMillivolts + (kFullMillivolts - kEmptyMillivolts) * fraction +
                       kInternalOhms * current_ma_ + Noise(8);
  reg_.Set(REG_VOLTAGE, static_cast<std::uint16_t>(std::clamp(std::lround(volts), 20000L, 26500L)));
  reg_.SetSigned(REG_CURRENT, static_cast<int>(std::lround(current_ma_)));
  reg_.SetSigned(REG_CHARGE, static_cast<int>(std::lround(charge_mah_)));
  reg_.SetSigned(REG_STATUS, status());
  const bool power = at_station() && !no_power_;
  reg_.Set(REG_POWER, power ? kPowerPresentValue : 0);
  // Charging contact voltage and blade speed: stored for the console's log.
  reg_.Set(REG_VALUE12030, power ? static_cast<std::uint16_t>(28600 + Noise(30)) : 0);
  int blade = 0;
  if (phase_ == Phase::Cutting || phase_ == Phase::CuttingSquare)
    blade = static_cast<int>(2900 / grass_load_ + Noise(40));
  else if (phase_ == Phase::StartBlade)
    blade = static_cast<int>(290 * std::min<std::int64_t>(phase_seconds_, 10));
  reg_.Set(REG_VALUE127, static_cast<std::uint16_t>(blade));

  reg_.Set(REG_RAIN_LEVEL, rain_sensor_on_ ? static_cast<std::uint16_t>(rain_level_) : 0);
  const int clock = seconds_of_day();
  reg_.Set(REG_CLOCK_SECONDS, static_cast<std::uint16_t>(clock % 60));
  reg_.Set(REG_CLOCK_MINUTES, static_cast<std::uint16_t>(clock / 60 % 60));
  reg_.Set(REG_CLOCK_HOURS, static_cast<std::uint16_t>(clock / 3600));

  // Wire signals, raw (the console shows them divided by 100; quality by 5).
  const double w = wander_;
  double front, rear, guide, near, far, quality;
  if (phase_ == Phase::OutsideBoundary) {
    front = -4500; rear = -2600; guide = 800; near = 900; far = 3500; quality = 80;
  } else if (at_station() || phase_ == Phase::PluggingIn) {
    front = 3600; rear = 3100; guide = 12500; near = 22500; far = 600; quality = 490;
  } else if (phase_ == Phase::FollowingWire || phase_ == Phase::FollowingGuide) {
    const bool wire = phase_ == Phase::FollowingWire;
    front = wire ? 21000 : 7000;
    rear = wire ? 19500 : 6500;
    guide = wire ? 2500 : 16000;
    near = 4000 + 18000 * std::min(1.0, phase_seconds_ / 300.0);  // closing in on the station
    far = 2500;
    quality = 470;
  } else {
    front = 6000 + 4000 * std::sin(w);
    rear = 5500 + 3500 * std::sin(w + 1.1);
    guide = 1500 + 1000 * std::sin(0.7 * w + 0.3);
    near = (phase_ == Phase::Searching ? 4000 : 1200) + 600 * std::sin(0.5 * w);
    far = 5000 + 3000 * std::sin(0.8 * w + 2);
    quality = 430 + 40 * std::sin(1.3 * w);
  }
  auto jitter = [this](double v) { return static_cast<int>(std::lround(v + Noise(std::abs(v) * 0.015 + 20))); };
  reg_.SetSigned(REG_BOUNDARY_FRONT, jitter(front));
  reg_.SetSigned(REG_BOUNDARY_REAR, jitter(rear));
  reg_.SetSigned(REG_GUIDE_G1, jitter(guide));
  reg_.SetSigned(REG_NEAR_SIGNAL, jitter(near));
  reg_.SetSigned(REG_FAR_SIGNAL, jitter(far));
  reg_.SetSigned(REG_QUALITY, std::clamp(static_cast<int>(std::lround(quality + Noise(5))), 0, 500));
}

double MowingDay::Uniform(double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(rng_);
}

double MowingDay::Noise(double spread) { return Uniform(-spread, spread); }

}  // namespace verdelo::mower
