// The no-response, power and low-current alarms, and pulse charging.
#include <gtest/gtest.h>

#include "console/control_ids.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Strings = std::vector<std::string>;
const std::string kPulse = "0F 87 63 08 34";

class Alarms : public ::testing::Test {
 protected:
  void Start(Strings config = {}) {
    config.push_back("[NO_SPLASH_DIALOG]");
    config.push_back("[VALUES_UPDATE_DISABLE]1");  // no poll traffic in the way
    rig.WriteConfig(config);
    rig.Start();
  }
  std::string Caption() const { return rig.controls.Text(IDC_ALARM_IF_NO_RESPONSE); }
  int Pulses() const {
    int n = 0;
    for (const auto& f : rig.SentHex()) n += f == kPulse;
    return n;
  }
  ConsoleRig rig;
};

TEST_F(Alarms, SilentMowerRaisesTheAlarmOnceAndTheNextBoundaryAnswerEndsIt) {
  Start({"[ALARM_IF_NO_RESPONSE]1"});
  rig.link.setPortOpen(0);
  rig.clock.Advance(59999);
  EXPECT_EQ(Caption(), "AlarmIfNoResponse");
  rig.clock.Advance(1);
  EXPECT_EQ(Caption(), "ALARM !!");
  rig.clock.Advance(5 * 60000);
  EXPECT_EQ(rig.launcher.launched, Strings{"ALARM.bat"});
  EXPECT_EQ(rig.LogTexts(), Strings{"ALARM !!"});

  rig.Answer(475, 500);
  EXPECT_EQ(Caption(), "ALARM END");
  EXPECT_EQ(rig.launcher.launched, (Strings{"ALARM.bat", "ALARM-END.bat"}));
  EXPECT_EQ(rig.LogTexts(), (Strings{"ALARM !!", "ALARM has ended"}));
  EXPECT_EQ(rig.console.alarmState().alarmActive, 0);

  // From "ALARM END" a new silence goes straight back to "ALARM !!".
  rig.clock.Advance(60000);
  EXPECT_EQ(Caption(), "ALARM !!");
}

TEST_F(Alarms, BoundaryAnswersRestartTheWatchdog) {
  Start({"[ALARM_IF_NO_RESPONSE]1"});
  for (int i = 0; i < 10; ++i) {
    rig.clock.Advance(50000);
    rig.Answer(475, 100);
  }
  EXPECT_EQ(Caption(), "AlarmIfNoResponse");
  EXPECT_TRUE(rig.launcher.launched.empty());
  EXPECT_EQ(rig.clock.DueOf(TIMER_ALARM), rig.clock.now() + 60000);
}

TEST_F(Alarms, UncheckedBoxNeverRaisesOrEnds) {
  Start();
  rig.clock.Advance(600000);
  rig.Answer(475, 100);
  rig.Answer(914, 0);
  rig.Answer(914, 0);
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_ALARM));
  EXPECT_TRUE(rig.launcher.launched.empty());
}

TEST_F(Alarms, UncheckingEndsAnAlarmSilently) {
  Start({"[ALARM_IF_NO_RESPONSE]1"});
  rig.clock.Advance(60000);
  ASSERT_EQ(Caption(), "ALARM !!");
  rig.Click(IDC_ALARM_IF_NO_RESPONSE);
  EXPECT_EQ(Caption(), "AlarmIfNoResponse");
  EXPECT_EQ(rig.console.alarmState().alarmActive, 0);
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_ALARM));
  EXPECT_EQ(rig.launcher.launched, Strings{"ALARM.bat"});
  EXPECT_EQ(rig.LogTexts(), Strings{"ALARM !!"});
}

TEST_F(Alarms, PowerAlarmNeedsBothBoxesAndARestingStatus) {
  Start({"[ALARM_IF_NO_RESPONSE]1"});
  rig.controls.SetChecked(IDC_OR_IF_NO_POWER, true);
  rig.Answer(497, 1002);  // cutting: no power is normal
  rig.Answer(914, 0);
  EXPECT_EQ(Caption(), "AlarmIfNoResponse");

  rig.Answer(497, 1014);
  rig.Answer(914, 6);  // power restarts the watchdog
  EXPECT_EQ(rig.clock.DueOf(TIMER_ALARM), rig.clock.now() + 60000);
  rig.Answer(914, 0);  // previous answer had power: ends, does not raise
  EXPECT_EQ(Caption(), "AlarmIfNoResponse");
  rig.Answer(914, 0);  // second in a row without power
  EXPECT_EQ(Caption(), "ALARM !!");
  rig.Answer(914, 6);
  EXPECT_EQ(Caption(), "ALARM END");
}

TEST_F(Alarms, FirstPowerlessAnswerAfterStartCanRaise) {
  Start({"[ALARM_IF_NO_RESPONSE]1"});
  rig.controls.SetChecked(IDC_OR_IF_NO_POWER, true);
  rig.Answer(497, 1056);
  rig.Answer(914, 0);
  EXPECT_EQ(Caption(), "ALARM !!");
}

TEST_F(Alarms, LowCurrentCountsAndRaisesAfterTheThreshold) {
  Start();
  for (int i = 1; i <= 11; ++i) {
    rig.Answer(491, static_cast<std::uint16_t>(-6000));
    EXPECT_EQ(rig.controls.Text(IDC_CURRENT), "Current (mA) :-6000 !") << i;
  }
  EXPECT_TRUE(rig.launcher.launched.empty());
  rig.Answer(491, static_cast<std::uint16_t>(-6000));
  EXPECT_EQ(rig.controls.Text(IDC_CURRENT), "Current (mA) :-6000 !!");
  rig.Answer(491, static_cast<std::uint16_t>(-6000));
  EXPECT_EQ(rig.launcher.launched, (Strings{"ALARM-CURRENT-LOW.bat", "ALARM-CURRENT-LOW.bat"}));
  EXPECT_EQ(rig.LogTexts(), (Strings{"ALARM CURRENT TOO LOW !!", "ALARM CURRENT TOO LOW !!"}));
  EXPECT_EQ(Caption(), "AlarmIfNoResponse");  // a separate alarm

  rig.Answer(491, static_cast<std::uint16_t>(-5000));  // exactly the minimum resets
  EXPECT_EQ(rig.controls.Text(IDC_CURRENT), "Current (mA) :-5000");
  EXPECT_EQ(rig.console.alarmState().lowCurrentCount, 0);
}

TEST_F(Alarms, LowCurrentThresholdOfZero) {
  Start({"[MIN_CURRENT_TIMER]0"});
  rig.Answer(491, static_cast<std::uint16_t>(-6000));
  EXPECT_EQ(rig.controls.Text(IDC_CURRENT), "Current (mA) :-6000 !");
  rig.Answer(491, static_cast<std::uint16_t>(-6000));
  EXPECT_EQ(rig.controls.Text(IDC_CURRENT), "Current (mA) :-6000 !!");
}

TEST_F(Alarms, PulseChargeButtonLogsEvenWithThePortClosed) {
  Start();
  rig.link.setPortOpen(0);
  rig.Click(IDC_PULSE_CHARGE);
  EXPECT_TRUE(rig.link.writes().empty());
  EXPECT_EQ(rig.LogTexts(), Strings{"charging puls"});
}

TEST_F(Alarms, PulseTimerSendsOnlyAtRestWhileDischarging) {
  Start({"[PULS_CHARGE_TIMER]10", "[PULS_CHARGE]1"});
  rig.Answer(497, 1056);
  rig.Answer(491, static_cast<std::uint16_t>(-300));
  rig.clock.Advance(10000);
  EXPECT_EQ(Pulses(), 1);
  rig.Answer(497, 1014);  // charging never gets a pulse
  rig.clock.Advance(10000);
  rig.Answer(497, 1016);
  rig.Answer(491, 0);     // not discharging
  rig.clock.Advance(10000);
  EXPECT_EQ(Pulses(), 1);
  rig.Answer(491, static_cast<std::uint16_t>(-1));
  rig.clock.Advance(10000);
  EXPECT_EQ(Pulses(), 2);
}

TEST_F(Alarms, UncheckingAutoTimerStopsItAndALateFiringOnlyStopsAgain) {
  Start({"[PULS_CHARGE]1"});
  rig.Answer(497, 1056);
  rig.Answer(491, static_cast<std::uint16_t>(-300));
  rig.Click(IDC_AUTO_TIMER);
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_PULSE_CHARGE));
  EXPECT_EQ(rig.LogTexts().back(), "stop puls charge timer");
  rig.console.OnTimer(TIMER_PULSE_CHARGE);  // a firing already queued
  EXPECT_EQ(Pulses(), 0);
  rig.Click(IDC_AUTO_TIMER);
  EXPECT_EQ(rig.LogTexts().back(), "start puls charge timer:  600");
  EXPECT_EQ(rig.clock.DueOf(TIMER_PULSE_CHARGE), rig.clock.now() + 600000);
}

TEST_F(Alarms, VoltageTestAtTheThreshold) {
  Start({"[PULS_CHARGE_VMIN]1"});
  rig.Answer(497, 1056);
  rig.Answer(491, static_cast<std::uint16_t>(-300));
  rig.Answer(12020, 21221);
  EXPECT_EQ(Pulses(), 0);
  rig.Answer(12020, 21220);
  EXPECT_EQ(Pulses(), 1);
  rig.Answer(12020, 21000);  // no rate limit
  EXPECT_EQ(Pulses(), 2);
  rig.Answer(497, 1014);
  rig.Answer(12020, 21000);
  EXPECT_EQ(Pulses(), 2);
}

}  // namespace
}  // namespace verdelo::test
