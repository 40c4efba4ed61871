// Answers from the mower: assembly, decoding, labels, statuses and the
// actions a status change starts.
#include <gtest/gtest.h>

#include "console/control_ids.h"
#include "console/mower_status.h"
#include "console/text.h"
#include "console/value_observer.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Strings = std::vector<std::string>;

class Decoder : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.WriteConfig({"[NO_SPLASH_DIALOG]"});
    rig.Start();
  }
  std::string Label(int id) const { return rig.controls.Text(id); }
  ConsoleRig rig;
};

TEST_F(Decoder, ValueIsLittleEndianAndSignedOrUnsignedByCode) {
  rig.link.Receive({0x0F, 0x01, 0xEB, 0x18, 0xFC});
  EXPECT_EQ(rig.console.values().current, -1000);
  EXPECT_EQ(Label(IDC_CURRENT), "Current (mA) :-1000");

  rig.link.Receive({0x0F, 0x2E, 0xF4, 0x18, 0xFC});
  EXPECT_EQ(rig.console.values().voltage, 64536);
  EXPECT_EQ(Label(IDC_VOLTAGE), "Voltage(mV) :64536");
}

// Records what the decoder reports to its followers.
class ValueRecorder : public IValueObserver {
 public:
  struct Seen {
    ValueId id;
    int value;
    int second;
    bool operator==(const Seen&) const = default;
  };
  void OnValue(ValueId id, int value, const LocalTime& arrival) override {
    seen.push_back({id, value, arrival.second});
  }
  std::vector<Seen> seen;
};

TEST_F(Decoder, FollowersSeeEachDecodedValueAsTheConsoleKeepsIt) {
  ValueRecorder recorder;
  rig.console.AddValueObserver(&recorder);
  struct Case {
    std::uint16_t code;
    std::uint16_t raw;
    ValueId id;
    int value;
  };
  const Case cases[] = {
      {REG_VOLTAGE, 24321, ValueId::Voltage, 24321},
      {REG_CURRENT, 0xFC18, ValueId::Current, -1000},
      {REG_BOUNDARY_FRONT, static_cast<std::uint16_t>(-1234), ValueId::BoundaryFront, -12},
      {REG_QUALITY, 400, ValueId::Quality, 80},
      {REG_RAIN_LEVEL, 0x1234, ValueId::RainLevel, 0x34},
      {REG_POWER, 6, ValueId::Power, 1},
      {REG_POWER, 7, ValueId::Power, 0},
      {REG_ROBOT_MODE, 0x0104, ValueId::RobotMode, 4},
      {REG_STATUS, 1014, ValueId::Status, 1014},
      {REG_STATUS, 1014, ValueId::Status, 1014},  // a repeat is still an answer
      {0x8000 | REG_MAX_CHARGE_TIME, 300, ValueId::MaxChargeTime, 300},  // a write's echo
      {REG_CLOCK_HOURS, 10, ValueId::ClockHours, 10},
  };
  for (const Case& c : cases) {
    recorder.seen.clear();
    rig.Answer(c.code, c.raw);
    EXPECT_EQ(recorder.seen, (std::vector<ValueRecorder::Seen>{{c.id, c.value, 3}}))
        << ValueName(c.id);
  }
  // Codes the console does not decode report nothing.
  recorder.seen.clear();
  rig.Answer(0x1234, 5);
  EXPECT_TRUE(recorder.seen.empty());

  // Nor do answers the memory tool takes.
  rig.controls.SetText(IDC_MEM_BEGIN, "100");
  rig.controls.SetText(IDC_MEM_END, "101");
  rig.Click(IDC_MEM_READ);
  rig.Answer(REG_VOLTAGE, 1);
  EXPECT_TRUE(recorder.seen.empty());

  rig.console.RemoveValueObserver(&recorder);
  rig.Answer(REG_CURRENT, 5);
  EXPECT_TRUE(recorder.seen.empty());
}

TEST_F(Decoder, WriteEchoDecodesLikeARead) {
  rig.link.Receive({0x0F, 0x81, 0x75, 0x2C, 0x01});
  EXPECT_EQ(rig.console.values().maxChargeTime, 300);
  EXPECT_EQ(Label(IDC_MAX_CHARGE_TIME), "Max.Ch.Time(min):  300");
}

TEST_F(Decoder, ResynchronisesOnlyOnAStartByteWhileWaiting) {
  rig.link.Receive({0x00, 0x42, 0x0F, 0x01, 0xEB, 0x0F, 0x0F});
  EXPECT_EQ(rig.console.values().current, 0x0F0F);
  // A frame that lost its last byte takes the next frame's start byte as its
  // value's high byte; the rest of that frame is dropped while waiting.
  rig.link.Receive({0x0F, 0x02, 0x33, 0x05});
  rig.link.Receive({0x0F, 0x02, 0x33, 0x07, 0x00});
  EXPECT_EQ(rig.console.values().temperature, 0x0F05);
  rig.link.Receive({0x0F, 0x02, 0x33, 0x09, 0x00});
  EXPECT_EQ(rig.console.values().temperature, 9);
}

TEST_F(Decoder, EveryAnswerCodeShowsItsLabel) {
  struct Case { std::uint16_t code; std::uint16_t value; int control; std::string text; };
  const std::vector<Case> cases = {
      {177, 2500, IDC_MAX_CAPACITY, "Max. Cap.(mAh) : 2500"},
      {303, 0xFFFF, IDC_STOP_STATUS, "Stop Status : -1"},
      {311, 1234, IDC_CUTTING_EFFORT, "Cutting Effort: 1234"},
      {312, 1, IDC_SQUARE_CUTTING, "Status :1"},
      {373, 300, IDC_MAX_CHARGE_TIME, "Max.Ch.Time(min):  300"},
      {440, 4567, IDC_NEAR_SIGNAL, "Near signal N:   45"},
      {441, 499, IDC_QUALITY, "Quality(0-100) :   99"},
      {442, static_cast<std::uint16_t>(-250), IDC_FAR_SIGNAL, "Far signal F:   -2"},
      {475, static_cast<std::uint16_t>(-150), IDC_BOUNDARY_FRONT, "Boundary Wire Front Af:   -1"},
      {476, 199, IDC_BOUNDARY_REAR, "Boundary Wire Rear Ar:    1"},
      {498, 12345, IDC_GUIDE_G1, "Guide Wire G1:  123"},
      {563, 23, IDC_TEMPERATURE, "Temp.(°C) :   23"},
      {914, 6, IDC_POWER, "Power :1"},
      {2671, 0x1203, IDC_RAIN_LEVEL, "Level:    3"},
      {12000, 1800, IDC_CHARGE, "Charge(mAh) : 1800"},
      {12020, 25100, IDC_VOLTAGE, "Voltage(mV) :25100"},
      {14001, 7, IDC_CLOCK_SECONDS, " 7"},
      {14003, 59, IDC_CLOCK_MINUTES, "59"},
      {14005, 123, IDC_CLOCK_HOURS, "123"},
      {19022, 1, IDC_TIMER_OVERRIDE, "Timer Override Status :1"},
  };
  for (const Case& c : cases) {
    rig.Answer(c.code, c.value);
    EXPECT_EQ(Label(c.control), c.text) << "code " << c.code;
  }
  EXPECT_EQ(rig.console.values().rainLevel, 3);
  EXPECT_EQ(rig.console.values().boundaryFront, -1);
}

TEST_F(Decoder, StoredOnlyAndUnknownCodesShowNothing) {
  rig.Answer(127, 0xFFFE);
  rig.Answer(12030, 40000);
  EXPECT_EQ(rig.console.values().value127, 65534);
  EXPECT_EQ(rig.console.values().value12030, 40000);
  const auto logBefore = rig.LogLines().size();
  rig.Answer(4242, 1);
  rig.Answer(0x7FFF, 1);
  EXPECT_EQ(rig.LogLines().size(), logBefore);
}

TEST_F(Decoder, PowerAnswerIsOneOnlyForSix) {
  rig.Answer(914, 6);
  EXPECT_EQ(rig.console.values().powerPresent, 1);
  rig.Answer(914, 0x0106);
  EXPECT_EQ(rig.console.values().powerPresent, 0);
  EXPECT_EQ(Label(IDC_POWER), "Power :0");
}

TEST_F(Decoder, RobotModeShowsNamesAndLogsChanges) {
  rig.Answer(300, 0x0101);  // low byte only
  EXPECT_EQ(Label(IDC_ROBOT_MODE), "AUTO");
  rig.Answer(300, 2);
  EXPECT_EQ(Label(IDC_ROBOT_MODE), "AUTO");  // 2 keeps the text
  rig.Answer(300, 3);
  EXPECT_EQ(Label(IDC_ROBOT_MODE), "HOME");
  rig.Answer(300, 3);
  rig.Answer(300, 4);
  EXPECT_EQ(Label(IDC_ROBOT_MODE), "DEMO");
  rig.Answer(300, 9);
  EXPECT_EQ(Label(IDC_ROBOT_MODE), "DEMO");
  rig.Answer(300, 0);
  EXPECT_EQ(Label(IDC_ROBOT_MODE), "MAN");
  EXPECT_EQ(rig.LogTexts(), (Strings{"=> Robot Mode changed      1", "=> Robot Mode changed      2",
                                     "=> Robot Mode changed      3", "=> Robot Mode changed      4",
                                     "=> Robot Mode changed      9", "=> Robot Mode changed      0"}));
}

TEST_F(Decoder, MinimumVoltageFollowsTheLowestAnswer) {
  rig.Answer(12020, 25000);
  EXPECT_EQ(Label(IDC_MIN_VOLTAGE), "25000");
  rig.Answer(12020, 24000);
  rig.Answer(12020, 24500);
  EXPECT_EQ(rig.console.values().minVoltage, 24000);
  EXPECT_EQ(Label(IDC_MIN_VOLTAGE), "24000");
  rig.Answer(497, 1050);  // plugging out resets the minimum, the label waits
  EXPECT_EQ(rig.console.values().minVoltage, 99999);
  EXPECT_EQ(Label(IDC_MIN_VOLTAGE), "24000");
  rig.Answer(12020, 24800);
  EXPECT_EQ(Label(IDC_MIN_VOLTAGE), "24800");
}

TEST_F(Decoder, StatusChangeShowsLogsAndRepeatsDoNothing) {
  rig.Answer(497, 1014);
  EXPECT_EQ(Label(IDC_STATUS_VALUE), "Status : 1014");
  EXPECT_EQ(Label(IDC_STATUS_TEXT), "=> Charging");
  EXPECT_EQ(rig.launcher.launched, Strings{"CHARGING.bat"});
  rig.Answer(497, 1014);
  EXPECT_EQ(rig.launcher.launched, Strings{"CHARGING.bat"});
  EXPECT_EQ(rig.LogTexts(), Strings{"=> Charging : 1014"});
}

TEST_F(Decoder, EveryStatusText) {
  const std::vector<std::pair<int, std::string>> table = {
      {12, "=> Error: no wire signal"}, {26, "=> Error: unreachable base station"},
      {28, "=> Stopped need manual charge!"}, {30, "=> Error: blade motor blocked"},
      {1000, "=> Enter PIN CODE"}, {1002, "=> Cutting, inside boundary"},
      {1006, "=> Start cutting motor"}, {1008, "=> Start Moving and Cutting"},
      {1012, "=> Prepare Moving motors"}, {1014, "=> Charging"}, {1016, "=> Timer"},
      {1036, "=> Cutting square"}, {1038, "=> Shutting down all motors"},
      {1040, "=> Outside boundary"}, {1042, "=> Searching station"}, {1044, "=> Stopped"},
      {1046, "=> Starting"}, {1048, "=> Plugging to station"},
      {1050, "=> Pluggout of station"}, {1052, "=> Press YES to start"},
      {1056, "=> At home, charged"}, {1062, "=> Following boundary wire"},
      {1064, "=> Searching station"}, {1066, "=> Far zone reached"},
      {1070, "=> Following guide"}, {5, "=> Unknown status      5"},
      {-3, "=> Unknown status     -3"},
  };
  for (const auto& [status, text] : table) {
    rig.Answer(497, static_cast<std::uint16_t>(status));
    EXPECT_EQ(Label(IDC_STATUS_TEXT), text) << status;
    EXPECT_EQ(rig.LogTexts().back(), text + Format(" :%5d", status)) << status;
    // Telemetry and the Trends window name a known status by the same text.
    const char* name = MowerStatusName(status);
    EXPECT_EQ(name ? "=> " + std::string(name) : "=> Unknown status", text.substr(0, name ? text.size() : 17)) << status;
  }
}

TEST_F(Decoder, StatusEventFiles) {
  const std::vector<std::pair<int, Strings>> table = {
      {1014, {"CHARGING.bat"}}, {1044, {"STOPPED.bat"}}, {1048, {"PLUGIN.bat"}},
      {1050, {"PLUGOUT.bat"}},  {1056, {"CHARGED.bat"}}, {1002, {}},
  };
  for (const auto& [status, files] : table) {
    rig.launcher.launched.clear();
    rig.Answer(497, static_cast<std::uint16_t>(status));
    EXPECT_EQ(rig.launcher.launched, files) << status;
  }
}

TEST_F(Decoder, FollowingRunsOnceAndEndsAfterTheNextStatusFile) {
  rig.Answer(497, 1062);
  rig.Answer(497, 1070);
  EXPECT_EQ(rig.launcher.launched, Strings{"FOLLOWING.BAT"});
  rig.Answer(497, 1014);
  EXPECT_EQ(rig.launcher.launched, (Strings{"FOLLOWING.BAT", "CHARGING.bat", "FOLLOWING-END.BAT"}));
  rig.Answer(497, 4711);  // unknown statuses end following too, and only once
  EXPECT_EQ(rig.launcher.launched.size(), 3u);
}

TEST_F(Decoder, OutsideBoundaryLogsTwiceAndMayStartGoBack) {
  rig.Answer(497, 16);
  EXPECT_EQ(rig.LogTexts(), (Strings{"=> Error: outside boundary",
                                     "=> Error: outside boundary :   16"}));
  EXPECT_EQ(rig.console.scriptEngine().script, 0);

  rig.controls.SetChecked(IDC_AUTO_IF_OUT, true);
  rig.Answer(497, 1002);
  rig.Answer(497, 42);
  EXPECT_EQ(rig.console.scriptEngine().script, 3);
  EXPECT_EQ(Label(IDC_STATUS_TEXT), "=> SCRIPT3 go back 30cm");
  const Strings texts = rig.LogTexts();
  EXPECT_EQ(texts[texts.size() - 2], "=> Error: failure at rear sensor");
  EXPECT_EQ(texts.back(), "=> SCRIPT3 go back 30cm :   42");

  // With a script already running the error text stays.
  rig.Answer(497, 16);
  EXPECT_EQ(rig.LogTexts().back(), "=> Error: outside boundary :   16");
}

TEST_F(Decoder, ManualChargeStartsScript2WhenAutoAfterManIsTicked) {
  rig.Answer(12020, 21500);
  rig.controls.SetChecked(IDC_AUTO_AFTER_MAN, true);
  rig.Answer(497, 28);
  EXPECT_EQ(rig.console.scriptEngine().script, 2);
  EXPECT_EQ(Label(IDC_STATUS_TEXT),
            "=> Stopped need manual charge! => SCRIPT2 toggle MAN/AUTO, AutoToManDisabled,Vmin=21500 ");
  EXPECT_EQ(rig.LogTexts().back(),
            "=> Stopped need manual charge! => SCRIPT2 toggle MAN/AUTO, AutoToManDisabled,Vmin=21500  :   28");
}

TEST_F(Decoder, WayHomeStartsScript2OnlyAfterCuttingWasSeen) {
  rig.controls.SetChecked(IDC_MAN_AFTER_AUTO, true);
  rig.Answer(497, 1042);
  EXPECT_EQ(rig.console.scriptEngine().script, 0);

  rig.Answer(497, 1002);
  EXPECT_EQ(rig.console.values().cuttingSeen, 1);
  rig.Answer(497, 1062);
  EXPECT_EQ(rig.console.scriptEngine().script, 2);
  EXPECT_EQ(rig.console.values().cuttingSeen, 0);
  EXPECT_EQ(Label(IDC_STATUS_TEXT),
            "=>  Following boundary wire => SCRIPT2 toggle MAN/AUTO, AutoToManDisabled,Vmin=99999 ");
}

TEST_F(Decoder, StatusesThatClearCuttingSeen) {
  rig.controls.SetChecked(IDC_MAN_AFTER_AUTO, true);
  for (int status : {1014, 1016, 1048, 1050, 1056}) {
    rig.Answer(497, 1002);
    ASSERT_EQ(rig.console.values().cuttingSeen, 1);
    rig.Answer(497, static_cast<std::uint16_t>(status));
    EXPECT_EQ(rig.console.values().cuttingSeen, 0) << status;
  }
}

TEST_F(Decoder, MemoryToolTakesWholeFramesWhileItRuns) {
  rig.controls.SetText(IDC_MEM_BEGIN, "100");
  rig.controls.SetText(IDC_MEM_END, "101");
  rig.Click(IDC_MEM_READ);
  rig.Answer(497, 1014);  // diverted: no status, no log line, no event file
  EXPECT_EQ(rig.console.values().status, 0);
  EXPECT_TRUE(rig.launcher.launched.empty());
  EXPECT_TRUE(rig.LogLines().empty());
}

}  // namespace
}  // namespace verdelo::test
