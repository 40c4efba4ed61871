// The poll timer's ten-tick cycle, its six-cycle rotation and its gaps.
#include <gtest/gtest.h>

#include <map>
#include <algorithm>

#include "console/control_ids.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Frames = std::vector<std::string>;

class PollCycle : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> config = {}) {
    config.push_back("[NO_SPLASH_DIALOG]");
    rig.WriteConfig(config);
    rig.Start();
    rig.link.ClearRecords();
  }
  Frames TickFrames() {
    rig.link.ClearRecords();
    rig.Tick();
    return rig.SentHex();
  }
  ConsoleRig rig;
};

TEST_F(PollCycle, FirstTickComesOnePeriodAfterStartUp) {
  Start();
  ASSERT_TRUE(rig.clock.IsRunning(TIMER_POLL));
  EXPECT_EQ(rig.clock.PeriodOf(TIMER_POLL), 1000u);
  rig.clock.Advance(999);
  EXPECT_TRUE(rig.link.writes().empty());
  rig.clock.Advance(1);
  EXPECT_EQ(rig.SentHex(), (Frames{"0F 01 EB 00 00", "0F 02 33 00 00"}));
  EXPECT_EQ(rig.link.writes()[0].at, 1000);
  EXPECT_EQ(rig.link.writes()[1].at, 1020);
}

TEST_F(PollCycle, FirstCycleFrameByFrame) {
  Start();
  const std::vector<Frames> expected = {
      {"0F 01 EB 00 00", "0F 02 33 00 00"},
      {"0F 01 DB 00 00"},
      {"0F 2E F4 00 00", "0F 2E FE 00 00"},
      {"0F 01 F2 00 00"},
      {"0F 00 7F 00 00", "0F 01 F1 00 00"},
      {"0F 01 2F 00 00"},
      {"0F 36 B1 00 00", "0F 03 92 00 00", "0F 01 DB 00 00"},
      {"0F 00 B1 00 00"},
      {"0F 02 33 00 00"},
      {"0F 01 38 00 00"},
  };
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(TickFrames(), expected[i]) << "tick " << i + 1;
  EXPECT_EQ(rig.controls.Text(IDC_SCRIPT_STATE), "no script running");
}

TEST_F(PollCycle, GapsOfTwentyMillisecondsInsideATick) {
  Start();
  rig.Tick(7);
  const auto& w = rig.link.writes();
  ASSERT_EQ(w.size(), 12u);
  EXPECT_EQ(w[1].at - w[0].at, 20);    // step 1
  EXPECT_EQ(w[4].at - w[3].at, 20);    // step 3
  EXPECT_EQ(w[7].at - w[6].at, 20);    // step 5
  EXPECT_EQ(w[10].at - w[9].at, 20);   // step 7: seconds, then power
  EXPECT_EQ(w[11].at - w[10].at, 0);   // and at once the front boundary
}

TEST_F(PollCycle, RotationOverSixCyclesAndTheLastTicksOfAMinute) {
  Start({"[MORO_EXPERT_MODE]"});
  std::map<int, Frames> lastThreeTicks;
  for (int cycle = 1; cycle <= 6; ++cycle) {
    rig.Tick(7);
    for (int step = 8; step <= 10; ++step) lastThreeTicks[cycle * 100 + step] = TickFrames();
  }
  EXPECT_EQ(lastThreeTicks[108], Frames{"0F 00 B1 00 00"});
  EXPECT_EQ(lastThreeTicks[109], Frames{"0F 02 33 00 00"});
  EXPECT_EQ(lastThreeTicks[110], Frames{"0F 01 38 00 00"});
  EXPECT_EQ(lastThreeTicks[208], Frames{"0F 2E E0 00 00"});
  EXPECT_EQ(lastThreeTicks[209], Frames{"0F 36 B3 00 00"});
  EXPECT_EQ(lastThreeTicks[210], Frames{});  // go.txt check
  EXPECT_EQ(lastThreeTicks[308], Frames{"0F 01 DC 00 00"});
  EXPECT_EQ(lastThreeTicks[309], Frames{"0F 01 2C 00 00"});
  EXPECT_EQ(lastThreeTicks[310], Frames{"0F 01 F1 00 00"});
  EXPECT_EQ(lastThreeTicks[408], Frames{"0F 01 B9 00 00"});
  EXPECT_EQ(lastThreeTicks[409], Frames{"0F 01 75 00 00"});
  EXPECT_EQ(lastThreeTicks[410], Frames{"0F 01 F1 00 00"});
  EXPECT_EQ(lastThreeTicks[508], Frames{"0F 01 BA 00 00"});
  EXPECT_EQ(lastThreeTicks[509], Frames{"0F 01 37 00 00"});
  EXPECT_EQ(lastThreeTicks[510], Frames{});
  EXPECT_EQ(lastThreeTicks[608], Frames{"0F 01 B8 00 00"});
  EXPECT_EQ(rig.console.pollRotation(), 0);
  EXPECT_EQ(lastThreeTicks[609], Frames{"0F 36 B5 00 00"});
  EXPECT_EQ(lastThreeTicks[610], Frames{"0F 01 F1 00 00"});
}

TEST_F(PollCycle, PeriodicDataLineOnceAMinuteRightAfterTheEffortRequest) {
  Start();
  rig.Tick(48);
  EXPECT_TRUE(rig.LogLines().empty());
  rig.Tick();  // 49th tick: rotation 5, step 9
  ASSERT_EQ(rig.LogLines().size(), 1u);
  EXPECT_EQ(rig.LogTexts()[0], "");
  rig.Tick(60);
  EXPECT_EQ(rig.LogLines().size(), 2u);
}

TEST_F(PollCycle, ClosedPortStillAdvancesCountersAndGaps) {
  Start();
  rig.link.setPortOpen(0);
  rig.Tick(3);
  EXPECT_TRUE(rig.link.writes().empty());
  EXPECT_EQ(rig.console.pollStep(), 3);
  EXPECT_EQ(rig.clock.pacing().size(), 2u);
}

TEST_F(PollCycle, DisableValuesUpdatePausesWhereItStopped) {
  Start();
  rig.Tick(3);
  rig.Click(IDC_DISABLE_VALUES_UPDATE);
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_POLL));
  rig.link.ClearRecords();
  rig.clock.Advance(10000);
  EXPECT_TRUE(rig.link.writes().empty());
  rig.Click(IDC_DISABLE_VALUES_UPDATE);
  EXPECT_EQ(TickFrames(), Frames{"0F 01 F2 00 00"});  // step 4, not step 1
}

TEST_F(PollCycle, ValuesUpdateDisabledFromTheStart) {
  Start({"[VALUES_UPDATE_DISABLE]1"});
  EXPECT_TRUE(rig.controls.IsChecked(IDC_DISABLE_VALUES_UPDATE));
  rig.clock.Advance(60000);
  EXPECT_TRUE(rig.link.writes().empty());
  rig.Click(IDC_DISABLE_VALUES_UPDATE);
  EXPECT_EQ(TickFrames(), (Frames{"0F 01 EB 00 00", "0F 02 33 00 00"}));
}

TEST_F(PollCycle, SquareCuttingCheckAtEveryEvenStep) {
  Start();
  rig.controls.SetChecked(IDC_DISABLE_SQUARE_TIMER, true);
  for (int status : {1006, 1008, 1036, 1040}) {
    rig.Answer(497, static_cast<std::uint16_t>(status));
    std::vector<int> stepsWithOff;
    for (int step = 1; step <= 10; ++step) {
      const Frames frames = TickFrames();
      if (std::count(frames.begin(), frames.end(), "0F 89 F4 00 0F") == 1)
        stepsWithOff.push_back(step);
    }
    EXPECT_EQ(stepsWithOff, (std::vector<int>{2, 4, 6, 8, 10})) << status;
  }
}

TEST_F(PollCycle, SquareCuttingCheckSkipsOtherStatusesAndAnUntickedBox) {
  Start();
  rig.Answer(497, 1036);
  rig.Tick(10);
  for (const auto& frame : rig.SentHex()) EXPECT_NE(frame, "0F 89 F4 00 0F");
  rig.controls.SetChecked(IDC_DISABLE_SQUARE_TIMER, true);
  rig.Answer(497, 1002);
  rig.link.ClearRecords();
  rig.Tick(10);
  for (const auto& frame : rig.SentHex()) EXPECT_NE(frame, "0F 89 F4 00 0F");
}

TEST_F(PollCycle, ExpertModeOffLeavesGoTxtAlone) {
  Start();
  rig.WriteFile("go.txt", "");
  rig.WriteFile("Moro-mem.txt", "1 ; 2\r\n");
  rig.Tick(20);
  EXPECT_TRUE(rig.FileExists("go.txt"));
  EXPECT_FALSE(rig.console.memoryTool().memWriteActive);
}

TEST_F(PollCycle, TwentyFourHoursKeepTheRotationExact) {
  Start();
  std::vector<std::string> firstMinute;
  rig.Tick(60);
  firstMinute = rig.SentHex();
  const std::size_t perMinute = firstMinute.size();
  for (int minute = 1; minute < 24 * 60; ++minute) {
    rig.link.ClearRecords();
    rig.Tick(60);
    if (rig.SentHex() != firstMinute) {
      ADD_FAILURE() << "minute " << minute << " differs";
      break;
    }
  }
  // Fifteen requests a cycle, fourteen in the two cycles with the go.txt check.
  EXPECT_EQ(perMinute, 88u);
  EXPECT_EQ(rig.LogLines().size(), 24u * 60u);
  EXPECT_EQ(rig.clock.now(), 24LL * 3600 * 1000);
  // Records the rig keeps grow with time; the console's own state does not.
  EXPECT_EQ(rig.console.pollStep(), 0);
  EXPECT_EQ(rig.console.pollRotation(), 0);
}

}  // namespace
}  // namespace verdelo::test
