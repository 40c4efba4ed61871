// The mowing day: plausible readings, a plausible order of statuses, and the
// console's orders taking effect.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "console/mower_status.h"
#include "mower_test_util.h"
#include "tools/mower/mowing_day.h"

namespace verdelo::mower {
namespace {

using testing::Ask;
using testing::Cutting;
using testing::Read;

constexpr SimMillis kSecond = 1000;
constexpr SimMillis kMinute = 60 * kSecond;
constexpr SimMillis kHour = 60 * kMinute;

// Which status may follow which in an undisturbed day.
const std::map<int, std::set<int>> kNextStatus = {
    {STATUS_TIMER, {STATUS_PLUGGING_OUT, STATUS_CHARGING}},
    {STATUS_AT_HOME_CHARGED, {STATUS_PLUGGING_OUT, STATUS_TIMER}},
    {STATUS_PLUGGING_OUT, {STATUS_STARTING}},
    {STATUS_STARTING, {STATUS_START_CUTTING_MOTOR}},
    {STATUS_START_CUTTING_MOTOR, {STATUS_START_MOVING_AND_CUTTING}},
    {STATUS_START_MOVING_AND_CUTTING, {STATUS_CUTTING}},
    {STATUS_CUTTING, {STATUS_SEARCHING_STATION, STATUS_CUTTING_SQUARE}},
    {STATUS_SEARCHING_STATION, {STATUS_FOLLOWING_BOUNDARY, STATUS_FOLLOWING_GUIDE}},
    {STATUS_FOLLOWING_BOUNDARY, {STATUS_PLUGGING_IN}},
    {STATUS_FOLLOWING_GUIDE, {STATUS_PLUGGING_IN}},
    {STATUS_PLUGGING_IN, {STATUS_CHARGING}},
    {STATUS_CHARGING, {STATUS_AT_HOME_CHARGED}},
};

bool AtStation(int status) {
  return status == STATUS_TIMER || status == STATUS_AT_HOME_CHARGED || status == STATUS_CHARGING ||
         status == STATUS_PLUGGING_OUT;
}

TEST(MowingDay, TwoDaysStayPlausibleAndFollowTheRoutine) {
  RegisterStore regs;
  MowingDay day(regs, DayOptions{});  // 07:55, at home, charged
  std::set<int> seen;
  int previous = day.status();
  int cutting_start_mv = 0, lowest_cutting_mv = 99999, highest_charging_mv = 0;
  for (SimMillis t = 0; t <= 48 * kHour; t += 10 * kSecond) {
    day.AdvanceTo(t);
    const int status = regs.GetSigned(REG_STATUS);
    const int mv = regs.Get(REG_VOLTAGE);
    const int ma = regs.GetSigned(REG_CURRENT);
    const int hour = regs.Get(REG_CLOCK_HOURS);
    seen.insert(status);
    if (status != previous) {
      ASSERT_TRUE(kNextStatus.at(previous).count(status)) << previous << " -> " << status << " at " << t;
      if (status == STATUS_CUTTING) cutting_start_mv = mv;
      previous = status;
    }
    ASSERT_GE(mv, 20800) << t;
    ASSERT_LE(mv, 25800) << t;
    ASSERT_GE(regs.GetSigned(REG_CHARGE), 0);
    ASSERT_LE(regs.GetSigned(REG_CHARGE), kDefaultCapacityMah);
    ASSERT_GE(regs.GetSigned(REG_TEMPERATURE), 0);
    ASSERT_LE(regs.GetSigned(REG_TEMPERATURE), 45);
    ASSERT_GE(regs.GetSigned(REG_QUALITY), 0);
    ASSERT_LE(regs.GetSigned(REG_QUALITY), 500);
    ASSERT_LE(regs.Get(REG_RAIN_LEVEL), 255);
    ASSERT_LT(hour, 24);
    ASSERT_LT(regs.Get(REG_CLOCK_MINUTES), 60);
    ASSERT_EQ(regs.Get(REG_POWER), AtStation(status) ? kPowerPresentValue : 0) << status;
    if (status == STATUS_CUTTING) {
      ASSERT_LT(ma, -1000);
      ASSERT_GE(hour, 8);
      ASSERT_LT(hour, 20);
      ASSERT_GT(regs.GetSigned(REG_BOUNDARY_FRONT), 0);
      lowest_cutting_mv = std::min(lowest_cutting_mv, mv);
      ASSERT_GT(cutting_start_mv, 24500);  // it sets out on a full battery
    }
    if (status == STATUS_STARTING || status == STATUS_SEARCHING_STATION) {
      ASSERT_LT(ma, 0);
    }
    if (status == STATUS_CHARGING) {
      ASSERT_GT(ma, 0);
      highest_charging_mv = std::max(highest_charging_mv, mv);
    }
    if (status == STATUS_FOLLOWING_GUIDE) {
      ASSERT_GT(regs.GetSigned(REG_GUIDE_G1), 10000);
    }
    if (status == STATUS_TIMER) {
      ASSERT_TRUE(hour >= 20 || hour < 8) << hour;
    }
  }
  const std::set<int> routine = {
      STATUS_TIMER,    STATUS_AT_HOME_CHARGED, STATUS_PLUGGING_OUT,       STATUS_STARTING,
      STATUS_START_CUTTING_MOTOR, STATUS_START_MOVING_AND_CUTTING, STATUS_CUTTING,
      STATUS_SEARCHING_STATION, STATUS_FOLLOWING_BOUNDARY, STATUS_FOLLOWING_GUIDE,
      STATUS_PLUGGING_IN, STATUS_CHARGING};
  EXPECT_EQ(seen, routine);
  EXPECT_LT(lowest_cutting_mv, 21700);     // cut down towards 21 V
  EXPECT_GT(highest_charging_mv, 25200);   // charged back to about 25.5 V
}

TEST(MowingDay, SameSeedSameDay) {
  RegisterStore a, b;
  MowingDay day_a(a, DayOptions{}), day_b(b, DayOptions{});
  for (SimMillis t = 0; t < 6 * kHour; t += 7 * kSecond) {
    day_a.AdvanceTo(t);
    day_b.AdvanceTo(t);
    ASSERT_EQ(a.Get(REG_VOLTAGE), b.Get(REG_VOLTAGE));
    ASSERT_EQ(a.Get(REG_BOUNDARY_FRONT), b.Get(REG_BOUNDARY_FRONT));
  }
}


TEST(MowingDay, RobotModeWritesAndManAutoKeyStopAndRestartTheMower) {
  VirtualMower mower(Cutting());
  Ask(mower, CMD_ROBOT_MODE, kRobotModeMan, 0);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 0), STATUS_STOPPED);
  EXPECT_EQ(Read(mower, REG_ROBOT_MODE, 0), kRobotModeMan);
  Ask(mower, CMD_KEY, KEY_MAN_AUTO, 1000);
  EXPECT_EQ(Read(mower, REG_ROBOT_MODE, 1000), kRobotModeAuto);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 1000), STATUS_START_MOVING_AND_CUTTING);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 20000), STATUS_CUTTING);
  Ask(mower, CMD_KEY, KEY_MAN_AUTO, 21000);
  EXPECT_EQ(Read(mower, REG_ROBOT_MODE, 21000), kRobotModeMan);
  Ask(mower, CMD_ROBOT_MODE, kRobotModeHome, 22000);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 22000), STATUS_SEARCHING_STATION);
}

TEST(MowingDay, TimerOverrideLetsItMowAtNight) {
  MowerOptions options;
  options.day.start_seconds_of_day = 22 * 3600;
  options.day.start_phase = Phase::TimerWait;
  VirtualMower mower(options);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 60000), STATUS_TIMER);
  Ask(mower, CMD_SET_TIMER_OVERRIDE, 1, 60000);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 61000), STATUS_PLUGGING_OUT);
  EXPECT_EQ(Read(mower, CMD_READ_TIMER_OVERRIDE, 61000), 1);
}

TEST(MowingDay, SquareCuttingRunsTenMinutesThenClearsItself) {
  VirtualMower mower(Cutting());
  Ask(mower, CMD_SET_SQUARE_CUTTING, 1, 0);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 0), STATUS_CUTTING_SQUARE);
  EXPECT_EQ(Read(mower, CMD_READ_SQUARE_CUTTING, 599000), 1);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 601000), STATUS_CUTTING);
  EXPECT_EQ(Read(mower, CMD_READ_SQUARE_CUTTING, 601000), 0);
}

TEST(MowingDay, CuttingEffortGrowsWhileCuttingAndResetsOnWrite) {
  VirtualMower mower(Cutting());
  const int after_ten_minutes = Read(mower, REG_CUTTING_EFFORT, 10 * kMinute);
  EXPECT_GT(after_ten_minutes, 10);
  Ask(mower, CMD_RESET_CUTTING_EFFORT, 0, 10 * kMinute);
  EXPECT_EQ(Read(mower, REG_CUTTING_EFFORT, 10 * kMinute), 0);
  EXPECT_GT(Read(mower, REG_CUTTING_EFFORT, 20 * kMinute), 10);
}

TEST(MowingDay, PulseChargeGivesAShortChargeOnlyWithPower) {
  MowerOptions options;
  options.day.start_seconds_of_day = 22 * 3600;
  options.day.start_phase = Phase::TimerWait;
  options.day.start_charge = 0.9;
  VirtualMower mower(options);
  EXPECT_LT(Read(mower, REG_CURRENT, 5000), 0);
  Ask(mower, CMD_PULSE_CHARGE, kPulseChargeValue, 5000);
  EXPECT_GT(Read(mower, REG_CURRENT, 10000), 1000);
  EXPECT_LT(Read(mower, REG_CURRENT, 300000), 0);  // the pulse is over
  mower.day().SetNoPower(true);
  Ask(mower, CMD_PULSE_CHARGE, kPulseChargeValue, 300000);
  EXPECT_LT(Read(mower, REG_CURRENT, 305000), 0);
}

TEST(MowingDay, DirectDriveStopsTheMowerAndDrawsCurrent) {
  VirtualMower mower(Cutting());
  Ask(mower, CMD_SPECIAL_MODE, kMovementTestMode, 0);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 0), STATUS_STOPPED);
  EXPECT_GT(Read(mower, REG_CURRENT, 2000), -100);  // standing still
  Ask(mower, CMD_DRIVE_SPEED_A, kSpeedForward, 2000);
  Ask(mower, CMD_DRIVE_SPEED_B, kSpeedForward, 2000);
  Ask(mower, CMD_DRIVE_RUN_A, kDriveRun, 2000);
  Ask(mower, CMD_DRIVE_RUN_B, kDriveRun, 2000);
  EXPECT_LT(Read(mower, REG_CURRENT, 4000), -800);  // both drives at 144
  Ask(mower, CMD_DRIVE_RUN_A, kDriveStop, 4000);
  Ask(mower, CMD_DRIVE_RUN_B, kDriveStop, 4000);
  EXPECT_GT(Read(mower, REG_CURRENT, 6000), -100);
  Ask(mower, CMD_SPECIAL_MODE, 0, 6000);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 6000), STATUS_START_MOVING_AND_CUTTING);
}

TEST(MowingDay, ChargingEndsOnOrderOrAtTheMaximumChargeTime) {
  MowerOptions options = Cutting();
  options.day.start_phase = Phase::Charging;
  options.day.start_charge = 0.2;
  VirtualMower mower(options);
  Ask(mower, CMD_END_CHARGE, kEndChargeValue, 1000);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 1000), STATUS_AT_HOME_CHARGED);

  VirtualMower limited(options);
  Ask(limited, CMD_SET_MAX_CHARGE_TIME, 10, 0);
  EXPECT_EQ(Read(limited, CMD_READ_STATUS, 9 * kMinute), STATUS_CHARGING);
  EXPECT_EQ(Read(limited, CMD_READ_STATUS, 11 * kMinute), STATUS_AT_HOME_CHARGED);
}

TEST(MowingDay, ClockRegistersAndTimeFactor) {
  MowerOptions options;
  options.day.start_seconds_of_day = 7 * 3600 + 55 * 60;
  options.speed = 60;
  VirtualMower mower(options);
  // 62 s of line time at 60x is 62 simulated minutes: 08:57:00.
  EXPECT_EQ(Read(mower, REG_CLOCK_HOURS, 62000), 8);
  EXPECT_EQ(Read(mower, REG_CLOCK_MINUTES, 62000), 57);
  mower.SetSpeed(1, 62000);
  EXPECT_EQ(Read(mower, REG_CLOCK_SECONDS, 67000), 5);
  EXPECT_EQ(Read(mower, REG_CLOCK_MINUTES, 67000), 57);
}

TEST(MowingDay, RebootAndRainSensorOrders) {
  MowerOptions options = Cutting();
  VirtualMower mower(options);
  Ask(mower, CMD_REBOOT, 1, 0);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 0), STATUS_STARTING);
  mower.registers().Set(REG_RAIN_LEVEL, 80);
  EXPECT_EQ(testing::SignedValue(Ask(mower, CMD_RAIN_SENSOR, kRainSensorOff, 0)), 0);
  EXPECT_FALSE(mower.day().rain_sensor_on());
  Ask(mower, CMD_RAIN_SENSOR, kRainSensorOn, 0);
  EXPECT_TRUE(mower.day().rain_sensor_on());
}

}  // namespace
}  // namespace verdelo::mower
