// Scripts played one step per poll cycle, the option boxes, and go.txt.
#include <gtest/gtest.h>

#include "console/control_ids.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Frames = std::vector<std::string>;
using Strings = std::vector<std::string>;

class Scripts : public ::testing::Test {
 protected:
  void Start(Strings config = {}) {
    config.push_back("[NO_SPLASH_DIALOG]");
    rig.WriteConfig(config);
    rig.Start();
  }
  // Runs to the next script slot (tick 6) and returns what it sent.
  Frames NextSlot() {
    while (rig.console.pollStep() != 5) rig.Tick();
    rig.link.ClearRecords();
    rig.Tick();
    Frames frames = rig.SentHex();
    return frames;
  }
  ConsoleRig rig;
};

TEST_F(Scripts, GoBackPlaysFiveStepsThenTheSlotPollsAgain) {
  Start();
  rig.Click(IDC_GO_BACK);
  EXPECT_EQ(NextSlot(), Frames{"0F 80 5F 00 00"});
  EXPECT_EQ(rig.controls.Text(IDC_SCRIPT_STATE), "Script running :  3 -   0");
  EXPECT_EQ(rig.LogTexts().back(), "script 03 : step : 01");

  const Frames step2 = NextSlot();
  EXPECT_EQ(rig.controls.Text(IDC_SCRIPT_STATE), "Script running :  3 -   1");
  EXPECT_EQ(step2, (Frames{"0F 81 0D 5A 42", "0F 81 99 FF 50", "0F 81 9A FF 50", "0F 01 F1 00 00",
                           "0F 01 F1 00 00", "0F 01 F1 00 00", "0F 01 F1 00 00", "0F 01 F1 00 00",
                           "0F 01 F1 00 00", "0F 81 0D 00 00"}));
  const auto& w = rig.link.writes();
  EXPECT_EQ(w[3].at - w[2].at, 100);
  EXPECT_EQ(w[9].at - w[8].at, 100);
  EXPECT_EQ(w[9].at - w[0].at, 700);

  EXPECT_EQ(NextSlot(), Frames{"0F 81 0D 00 00"});
  EXPECT_EQ(NextSlot(), Frames{"0F 80 5F 00 0F"});
  EXPECT_EQ(NextSlot(), Frames{"0F 80 5F 00 00"});
  EXPECT_EQ(rig.console.scriptEngine().script, 0);
  EXPECT_EQ(rig.LogTexts().back(), "script 03 : step : 05");
  EXPECT_EQ(NextSlot(), Frames{"0F 01 2F 00 00"});
  EXPECT_EQ(rig.controls.Text(IDC_SCRIPT_STATE), "no script running");
}

TEST_F(Scripts, ToggleManAutoAndHomeScripts) {
  Start({"[MAN_TO_AUTO]1"});
  rig.Answer(497, 28);
  Frames played;
  for (int i = 0; i < 5; ++i) played.push_back(NextSlot().at(0));
  EXPECT_EQ(played, (Frames{"0F 80 5F 00 00", "0F 80 5F 00 0F", "0F 80 5F 00 0F", "0F 80 5F 00 0E",
                            "0F 80 5F 00 00"}));

  rig.Click(IDC_MAX_CHARGE_TIME);  // the label starts script 4
  played.clear();
  for (int i = 0; i < 6; ++i) played.push_back(NextSlot().at(0));
  EXPECT_EQ(played, (Frames{"0F 80 5F 00 00", "0F 80 5F 00 0F", "0F 80 5F 00 0F", "0F 80 5F 00 0D",
                            "0F 80 5F 00 0F", "0F 80 5F 00 00"}));
  EXPECT_EQ(rig.console.scriptEngine().script, 0);
}

TEST_F(Scripts, FirstStepSendsNothingToAStoppedMowerButCounts) {
  Start();
  rig.Answer(497, 1044);
  rig.Click(IDC_GO_BACK);
  EXPECT_EQ(NextSlot(), Frames{});
  EXPECT_EQ(rig.console.scriptEngine().step, 1);
  EXPECT_EQ(rig.LogTexts().back(), "script 03 : step : 01");
}

TEST_F(Scripts, ASecondStartIsIgnored) {
  Start();
  rig.Click(IDC_GO_BACK);
  NextSlot();
  rig.Click(IDC_GO_BACK);
  rig.Click(IDC_MAX_CHARGE_TIME);
  EXPECT_EQ(rig.console.scriptEngine().script, 3);
  EXPECT_EQ(rig.console.scriptEngine().step, 1);
}

TEST_F(Scripts, RepeatedOutsideStatusStartsGoBackOnce) {
  Start({"[GO_BACK]1"});
  rig.Answer(497, 16);
  rig.Answer(497, 16);
  NextSlot();
  NextSlot();
  EXPECT_EQ(rig.console.scriptEngine().step, 2);
}

TEST_F(Scripts, DisabledPollingHoldsAScriptWhereItIs) {
  Start();
  rig.Click(IDC_GO_BACK);
  rig.Click(IDC_DISABLE_VALUES_UPDATE);
  rig.clock.Advance(60000);
  EXPECT_EQ(rig.console.scriptEngine().step, 0);
  rig.Click(IDC_DISABLE_VALUES_UPDATE);
  NextSlot();
  EXPECT_EQ(rig.console.scriptEngine().step, 1);
}

TEST_F(Scripts, OptionBoxesLogTheirState) {
  Start();
  rig.Click(IDC_AUTO_AFTER_MAN);
  rig.Click(IDC_AUTO_AFTER_MAN);
  rig.Click(IDC_MAN_AFTER_AUTO);
  rig.Click(IDC_MAN_AFTER_AUTO);
  rig.Click(IDC_AUTO_IF_OUT);
  EXPECT_EQ(rig.LogTexts(), (Strings{"=> ManToAutoEnabled", "=> ManToAutoDisabled",
                                     "=> AutoToManEnabled", "=> AutoToManDisabled"}));
}

class GoTrigger : public Scripts {
 protected:
  // Runs to the tick 10 of the second cycle, where the go.txt check is.
  void RunToGoCheck() {
    while (!(rig.console.pollRotation() == 2 && rig.console.pollStep() == 9)) rig.Tick();
    rig.Tick();
  }
};

TEST_F(GoTrigger, EmptyGoTxtUploadsTheMemoryFileOnceAndIsDeleted) {
  Start({"[MORO_EXPERT_MODE]"});
  rig.WriteFile("Moro-mem.txt", "7 ; -2\r\n");
  rig.WriteFile("go.txt", "");
  RunToGoCheck();
  EXPECT_FALSE(rig.FileExists("go.txt"));
  EXPECT_TRUE(rig.console.memoryTool().memWriteActive);
  EXPECT_EQ(rig.LogTexts().back(), "SCRIPT GO.txt executed");
  rig.link.ClearRecords();
  rig.Tick();
  EXPECT_EQ(rig.SentHex(), Frames{"0F 80 07 FF FE"});
}

TEST_F(GoTrigger, DeletedAndLoggedEvenWhenTheWriteCannotStart) {
  Start({"[MORO_EXPERT_MODE]"});
  rig.WriteFile("go.txt", "anything");
  RunToGoCheck();
  EXPECT_FALSE(rig.FileExists("go.txt"));
  EXPECT_FALSE(rig.console.memoryTool().memWriteActive);
  EXPECT_EQ(rig.LogTexts().back(), "SCRIPT GO.txt executed");
}

}  // namespace
}  // namespace verdelo::test
