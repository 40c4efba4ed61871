// Which frames each button and clickable label puts on the line.
#include <gtest/gtest.h>

#include "console/control_ids.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Frames = std::vector<std::string>;

class CommandButtons : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.WriteConfig({"[NO_SPLASH_DIALOG]"});
    rig.Start();
    rig.link.ClearRecords();
  }
  Frames After(void (ConsoleRig::*action)(int), int id) {
    rig.link.ClearRecords();
    (rig.*action)(id);
    return rig.SentHex();
  }
  Frames Click(int id) { return After(&ConsoleRig::Click, id); }
  Frames DoubleClick(int id) { return After(&ConsoleRig::DoubleClick, id); }
  ConsoleRig rig;
};

TEST_F(CommandButtons, SendFrameWritesAndLogsOnlyWhileThePortIsOpen) {
  rig.link.setPortOpen(0);
  EXPECT_EQ(Click(IDC_KEY_YES), Frames{});
  EXPECT_TRUE(rig.link.logged().empty());

  rig.link.setPortOpen(2);  // anything but exactly 1 counts as closed
  EXPECT_EQ(Click(IDC_KEY_YES), Frames{});

  rig.link.setPortOpen(1);
  EXPECT_EQ(Click(IDC_KEY_YES), Frames{"0F 80 5F 00 12"});
  ASSERT_EQ(rig.link.logged().size(), 1u);
  EXPECT_EQ(Hex(rig.link.logged()[0]), "0F 80 5F 00 12");
}

TEST_F(CommandButtons, EveryFixedFrameButton) {
  const std::vector<std::pair<int, std::string>> table = {
      {1004, "0F 80 5F 00 00"}, {1011, "0F 80 5F 00 01"}, {1015, "0F 80 5F 00 05"},
      {1019, "0F 80 5F 00 09"}, {1005, "0F 80 5F 00 0A"}, {1006, "0F 80 5F 00 0B"},
      {1007, "0F 80 5F 00 0C"}, {1009, "0F 80 5F 00 0D"}, {1010, "0F 80 5F 00 0E"},
      {1001, "0F 80 5F 00 0F"}, {1003, "0F 80 5F 00 10"}, {1002, "0F 80 5F 00 11"},
      {1000, "0F 80 5F 00 12"}, {1089, "0F 81 2C 00 00"}, {1090, "0F 81 2C 00 01"},
      {1088, "0F 81 2C 00 03"}, {1091, "0F 81 2C 00 04"}, {1037, "0F 81 2F 00 01"},
      {1086, "0F C6 78 00 02"}, {1098, "0F 32 FA 00 A8"}, {1099, "0F 32 FA 00 A9"},
      {1100, "0F 32 FA 00 AA"}, {1101, "0F 33 04 00 A8"}, {1102, "0F 33 04 00 A9"},
      {1103, "0F 33 04 00 AA"}, {1024, "0F 00 B1 00 00"}, {1027, "0F 82 33 00 36"},
      {1034, "0F 81 0D 11 27"}, {1068, "0F 81 DB A0 25"}, {1114, "0F 0A 6F 00 01"},
      {1115, "0F 0A 6F 00 02"}, {1070, "0F 34 12 00 01"}, {1080, "0F 32 C8 00 00"},
      {1066, "0F 87 63 08 34"},
  };
  for (const auto& [id, frame] : table) EXPECT_EQ(Click(id), Frames{frame}) << "control " << id;
}

TEST_F(CommandButtons, CuttingButtonsAndPlainCheckBoxesSendNothing) {
  for (int id : {1081, 1082, 1095, 1096, 1097, 1106, 1052, 1060, 1063, 1107, 1108, 1104, 1110,
                 1074, 1078, 1092, 1041})
    EXPECT_EQ(Click(id), Frames{}) << "control " << id;
}

TEST_F(CommandButtons, MenuModeSendsModeThenToneThenKeyC) {
  EXPECT_EQ(Click(IDC_MENU_TOOLS), (Frames{"0F CA 54 00 03", "0F 80 5F 00 0F"}));
  const auto& writes = rig.link.writes();
  ASSERT_FALSE(rig.clock.pacing().empty());
  const auto tone = rig.clock.pacing().back();
  EXPECT_EQ(tone.hz, 200u);
  EXPECT_EQ(tone.ms, 50u);
  EXPECT_EQ(writes[1].at - writes[0].at, 50);

  EXPECT_EQ(Click(IDC_MENU_NORMAL), (Frames{"0F CA 54 00 01", "0F 80 5F 00 0F"}));
  EXPECT_EQ(Click(IDC_MENU_DEV), (Frames{"0F CA 54 00 04", "0F 80 5F 00 0F"}));
}

TEST_F(CommandButtons, PacingRunsWithThePortClosed) {
  rig.link.setPortOpen(0);
  const auto before = rig.clock.now();
  EXPECT_EQ(Click(IDC_MENU_TOOLS), Frames{});
  EXPECT_EQ(rig.clock.now() - before, 50);
}

TEST_F(CommandButtons, ChangeBoxesSendTheLow16BitsOfANonZeroNumber) {
  const std::vector<std::pair<std::string, Frames>> cases = {
      {"2500", {"0F 80 B1 09 C4"}}, {"0", {}},  {"", {}},  {"abc", {}},
      {"-1", {"0F 80 B1 FF FF"}},   {"70000", {"0F 80 B1 11 70"}},
      {"  42xyz", {"0F 80 B1 00 2A"}}, {"+7", {"0F 80 B1 00 07"}},
  };
  for (const auto& [text, frames] : cases) {
    rig.controls.SetText(IDC_MAX_CAPACITY_EDIT, text);
    EXPECT_EQ(Click(IDC_MAX_CAPACITY_CHANGE), frames) << "text '" << text << "'";
  }
  rig.controls.SetText(IDC_MAX_CHARGE_TIME_EDIT, "300");
  EXPECT_EQ(Click(IDC_MAX_CHARGE_TIME_CHANGE), Frames{"0F 81 75 01 2C"});
}

TEST_F(CommandButtons, TogglesFollowTheLastDecodedValue) {
  EXPECT_EQ(DoubleClick(IDC_TIMER_OVERRIDE), (Frames{"0F 4A 4E 00 00", "0F CA 4E 00 01"}));
  rig.Answer(0x4A4E, 1);
  EXPECT_EQ(DoubleClick(IDC_TIMER_OVERRIDE), (Frames{"0F 4A 4E 00 00", "0F CA 4E 00 00"}));
  rig.Answer(0x4A4E, 0xFFFF);  // any non-zero value turns it off
  EXPECT_EQ(DoubleClick(IDC_TIMER_OVERRIDE), (Frames{"0F 4A 4E 00 00", "0F CA 4E 00 00"}));

  EXPECT_EQ(DoubleClick(IDC_SQUARE_CUTTING), (Frames{"0F 01 38 00 00", "0F 81 38 00 01"}));
  rig.Answer(0x8138, 1);  // the echo of a write decodes like a read
  EXPECT_EQ(DoubleClick(IDC_SQUARE_CUTTING), (Frames{"0F 01 38 00 00", "0F 81 38 00 00"}));
}

TEST_F(CommandButtons, LabelDoubleClicks) {
  EXPECT_EQ(DoubleClick(IDC_CUTTING_EFFORT), Frames{"0F 81 37 00 00"});

  rig.Answer(0x2EF4, 24000);
  EXPECT_EQ(rig.console.values().minVoltage, 24000);
  EXPECT_EQ(DoubleClick(IDC_MIN_VOLTAGE), Frames{});
  EXPECT_EQ(rig.console.values().minVoltage, 99999);
  EXPECT_EQ(rig.controls.Text(IDC_MIN_VOLTAGE), "99999");
}

TEST_F(CommandButtons, HomeModeClearsCuttingSeen) {
  rig.controls.SetChecked(IDC_MAN_AFTER_AUTO, true);
  rig.Answer(0x01F1, 1002);
  ASSERT_EQ(rig.console.values().cuttingSeen, 1);
  Click(IDC_MODE_HOME);
  EXPECT_EQ(rig.console.values().cuttingSeen, 0);
}

}  // namespace
}  // namespace verdelo::test
