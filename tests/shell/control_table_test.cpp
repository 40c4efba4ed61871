// The console reaches its window's controls only by identifier; these tests
// check that each kind of control takes and gives its text and state, and
// that identifiers the window does not have are harmless.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QWidget>

#include <array>

#include "shell/console_window/control_table.h"
#include "widgets/template_window.h"

namespace verdelo {
namespace {

constexpr std::array<ControlTemplate, 8> kControls = {{
    {1001, ControlKind::Label, "label", 4, 4, 60, 8, kNone},
    {1002, ControlKind::ClickableLabel, "click", 4, 14, 60, 8, kNone},
    {1003, ControlKind::Edit, "", 4, 24, 60, 12, kNone},
    {1004, ControlKind::CheckBox, "Alarm if no response", 4, 40, 40, 20, kWrap},
    {1005, ControlKind::PushButton, "Go", 4, 64, 40, 14, kNone},
    {1006, ControlKind::GroupBox, "Group", 70, 4, 60, 60, kNone},
    {1007, ControlKind::ComboBox, "", 70, 70, 60, 40, kNone},
    {-1, ControlKind::Label, "no identifier", 4, 80, 60, 8, kNone},
}};
constexpr DialogTemplate kWindow{900, "Controls", 0, 0, 140, 120, kControls};

constexpr std::array<ControlTemplate, 1> kOtherControls = {{
    {2, ControlKind::Label, "other", 4, 4, 60, 8, kNone},
}};
constexpr DialogTemplate kOtherWindow{901, "Other", 0, 0, 80, 20, kOtherControls};

class ControlTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table.Adopt(BuildTemplateControls(&window, kWindow, DialogUnits::ForFont(window.font())), kWindow);
  }
  QWidget window;
  ControlTable table;
};

TEST_F(ControlTableTest, EveryKindTakesAndGivesItsText) {
  EXPECT_EQ(table.Text(1001), "label");
  for (int id : {1001, 1002, 1003, 1005, 1006}) {
    const std::string text = "text " + std::to_string(id) + " \xC2\xB0";
    table.SetText(id, text);
    EXPECT_EQ(table.Text(id), text) << id;
  }
  // A list shows no caption: setting one changes nothing.
  table.SetText(1007, "ignored");
  EXPECT_EQ(table.Text(1007), "");
}

TEST_F(ControlTableTest, WrappingCheckBoxReadsBackItsCaptionWithoutLineBreaks) {
  EXPECT_EQ(table.Text(1004), "Alarm if no response");
  table.SetText(1004, "ALARM !! and a caption long enough to wrap");
  EXPECT_EQ(table.Text(1004), "ALARM !! and a caption long enough to wrap");
  const QString shown = qobject_cast<QCheckBox*>(table.Widget(1004))->text();
  EXPECT_TRUE(shown.contains('\n')) << shown.toStdString();
}

TEST_F(ControlTableTest, CheckStateBelongsToButtonsOnly) {
  EXPECT_FALSE(table.IsChecked(1004));
  table.SetChecked(1004, true);
  EXPECT_TRUE(table.IsChecked(1004));
  table.SetChecked(1004, false);
  EXPECT_FALSE(table.IsChecked(1004));
  // A push button is not checkable; a label has no check state.
  table.SetChecked(1005, true);
  EXPECT_FALSE(table.IsChecked(1005));
  table.SetChecked(1001, true);
  EXPECT_FALSE(table.IsChecked(1001));
}

TEST_F(ControlTableTest, IdentifiersTheWindowLacksAreHarmless) {
  for (int id : {-1, 0, 2, 999, 1008, 5000, 1 << 30}) {
    EXPECT_EQ(table.Widget(id), nullptr) << id;
    table.SetText(id, "x");
    table.SetChecked(id, true);
    table.SetEnabled(id, false);
    EXPECT_EQ(table.Text(id), "") << id;
    EXPECT_FALSE(table.IsChecked(id)) << id;
  }
}

TEST_F(ControlTableTest, EnablingReachesEveryKindAndAdoptingReplacesTheControls) {
  for (int id = 1001; id <= 1007; ++id) {
    table.SetEnabled(id, false);
    EXPECT_FALSE(table.Widget(id)->isEnabled()) << id;
  }
  QWidget other;
  table.Adopt(BuildTemplateControls(&other, kOtherWindow, DialogUnits::ForFont(other.font())),
              kOtherWindow);
  EXPECT_EQ(table.Widget(1001), nullptr);
  EXPECT_EQ(table.Text(1004), "");
  EXPECT_EQ(table.Text(2), "other");
}

}  // namespace
}  // namespace verdelo
