// The console window as the user meets it: its layout, every sending
// control on a real pseudo-terminal, answers turning into labels, keyboard
// driving and closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "res/dialog_template.h"
#include "shell/console_window/about_dlg.h"
#include "shell/console_window/console_dlg.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/qt_wait.h"
#include "widgets/clickable_label.h"
#include "widgets/template_window.h"

namespace verdelo::test {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
    out += buf;
  }
  return out;
}

class ConsoleWindow : public ::testing::Test {
 protected:
  void TearDown() override { window.reset(); }
  void Start(std::vector<std::string> lines = {}) {
    lines.insert(lines.begin(), {"[NO_SPLASH_DIALOG]", "[COM1]" + pty.SlavePath(),
                                 "[COMPORT_AUTO_OPEN]1"});
    WriteCrLfLines(dir / "config.txt", lines);
    window = std::make_unique<CKelvoPCDlg>(ConsolePaths{dir, dir / "config.txt"});
    window->OnInitDialog();
    window->show();
  }
  QWidget* Control(int id) { return window->controls().Widget(id); }
  std::string Label(int id) { return window->controls().Text(id); }
  // The frames a click puts on the line, read until the line is quiet.
  std::vector<std::string> FramesAfter(const std::function<void()>& action) {
    action();
    std::vector<std::string> frames;
    for (;;) {
      const auto bytes = pty.Receive(5, 50);
      if (bytes.size() < 5) break;
      frames.push_back(Hex(bytes));
    }
    return frames;
  }

  TempDir temp;
  const std::filesystem::path& dir = temp.path();
  PtyPair pty;
  std::unique_ptr<CKelvoPCDlg> window;
};

TEST_F(ConsoleWindow, LayoutFollowsTheTemplate) {
  Start({"[VALUES_UPDATE_DISABLE]1"});
  const DialogTemplate& t = ConsoleWindowTemplate();
  EXPECT_EQ(t.controls.size(), 131u);
  const DialogUnits units = DialogUnits::ForFont(window->font());
  EXPECT_EQ(window->size(), QSize(units.X(421), units.Y(242)));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Verdelo - Version 83 \u2014 COM1 open"));
  for (int id : {1004, 1041, 1055, 1040, 1063, 1109, 1077}) {
    const auto c = std::find_if(t.controls.begin(), t.controls.end(),
                                [id](const ControlTemplate& c) { return c.id == id; });
    EXPECT_EQ(Control(id)->geometry(), units.Rect(c->x, c->y, c->width, c->height)) << id;
  }
  EXPECT_TRUE(qobject_cast<QPushButton*>(Control(1))->isDefault());
  for (int id : {1081, 1082, 1095, 1096, 1097, 1056, 1057, 1085, 1086})
    EXPECT_FALSE(Control(id)->isEnabled()) << id;
  EXPECT_NE(qobject_cast<ClickableLabel*>(Control(1040)), nullptr);
  EXPECT_EQ(Label(1038), "AlarmIfNoResponse");
}

TEST_F(ConsoleWindow, EverySendingControlPutsItsFramesOnTheLine) {
  Start({"[VALUES_UPDATE_DISABLE]1"});
  std::map<int, std::size_t> counts;
  for (const ControlTemplate& c : ConsoleWindowTemplate().controls) {
    auto* button = qobject_cast<QPushButton*>(Control(c.id));
    if (button == nullptr || c.id == 1 || !button->isEnabled()) continue;
    counts[c.id] = FramesAfter([button] { button->click(); }).size();
  }
  EXPECT_EQ(counts[1000], 1u);  // YES
  EXPECT_EQ(counts[1083], 2u);  // Tools: mode, then key "c"
  EXPECT_EQ(counts[1075], 7u);  // Init Movement
  EXPECT_EQ(counts[1079], 2u);  // GO
  EXPECT_EQ(counts[1066], 1u);  // PulsCharge
  EXPECT_EQ(counts[1051], 0u);  // GoBack only starts a script
  EXPECT_EQ(counts[1026], 0u);  // Change with an empty box
  for (const auto& [id, count] : counts) {
    if (id != 1051 && id != 1026 && id != 1105) {
      EXPECT_GE(count, 1u) << "control " << id;
    }
  }

  EXPECT_EQ(FramesAfter([this] { QTest::mouseClick(Control(1024), Qt::LeftButton); }),
            std::vector<std::string>{"0F 00 B1 00 00"});
  // A double click: the first click's press, then the double click.
  EXPECT_EQ(FramesAfter([this] {
              QTest::mouseClick(Control(1040), Qt::LeftButton);
              QTest::mouseDClick(Control(1040), Qt::LeftButton);
            }),
            (std::vector<std::string>{"0F 4A 4E 00 00", "0F CA 4E 00 01"}));
  qobject_cast<QLineEdit*>(Control(1025))->setText("2500");
  EXPECT_EQ(FramesAfter([this] { qobject_cast<QPushButton*>(Control(1026))->click(); }),
            std::vector<std::string>{"0F 80 B1 09 C4"});
}

TEST_F(ConsoleWindow, AnswersOnTheLineChangeTheirLabels) {
  Start({"[VALUES_UPDATE_DISABLE]1"});
  auto answer = [this](std::uint16_t code, std::uint16_t value) {
    const MowerFrame f = BuildAnswer(code, value);
    pty.Send(std::vector<std::uint8_t>(f.begin(), f.end()));
  };
  answer(491, static_cast<std::uint16_t>(-1000));
  answer(497, 1014);
  answer(300, 1);
  ASSERT_TRUE(AwaitEvents([this] { return Label(IDC_ROBOT_MODE) == "AUTO"; }));
  EXPECT_EQ(Label(IDC_CURRENT), "Current (mA) :-1000");
  EXPECT_EQ(Label(IDC_STATUS_TEXT), "=> Charging");
  EXPECT_EQ(Label(IDC_TEMPERATURE), "Temp.(°C) :");
  answer(563, 21);
  ASSERT_TRUE(AwaitEvents([this] { return Label(IDC_TEMPERATURE) == "Temp.(°C) :   21"; }));
}

TEST_F(ConsoleWindow, PollingStartsOnePeriodAfterStartUp) {
  Start({"[SCHEDULER_TIMER]200"});
  EXPECT_TRUE(window->IsTimerRunning(TIMER_POLL));
  std::vector<std::uint8_t> got;
  AwaitEvents([&] {
    const auto more = pty.Receive(10 - got.size(), 10);
    got.insert(got.end(), more.begin(), more.end());
    return got.size() >= 10;
  });
  EXPECT_EQ(Hex(got), "0F 01 EB 00 00 0F 02 33 00 00");
}

TEST_F(ConsoleWindow, KeyboardDrivingWithTheCaretInAnEditBox) {
  Start({"[VALUES_UPDATE_DISABLE]1", "[PC_KEYBOARD]1"});
  auto* edit = qobject_cast<QLineEdit*>(Control(1025));
  edit->setText("123");
  edit->setFocus();
  edit->setCursorPosition(1);
  EXPECT_EQ(FramesAfter([edit] { QTest::keyClick(edit, Qt::Key_Up); }),
            (std::vector<std::string>{"0F 92 03 80 00", "0F 92 23 80 00"}));
  EXPECT_EQ(FramesAfter([edit] { QTest::keyClick(edit, Qt::Key_Left); }),
            (std::vector<std::string>{"0F 92 03 00 00", "0F 92 23 80 00"}));
  EXPECT_EQ(edit->cursorPosition(), 1);
  EXPECT_EQ(FramesAfter([edit] { QTest::keyClick(edit, Qt::Key_Return); }).size(), 7u);
  EXPECT_TRUE(window->isVisible());
  // Alt held: the key goes to the window, not to the mower.
  EXPECT_TRUE(FramesAfter([edit] { QTest::keyClick(edit, Qt::Key_Up, Qt::AltModifier); }).empty());
}

TEST_F(ConsoleWindow, EnterWithoutKeyboardDrivingClosesTheWindow) {
  Start({"[VALUES_UPDATE_DISABLE]1"});
  Control(1055)->setFocus();
  QTest::keyClick(Control(1055), Qt::Key_Return);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(ConsoleWindow, ExpertModeEnablesItsFourButtonsButNeverTheCuttingOnes) {
  Start({"[VALUES_UPDATE_DISABLE]1", "[MORO_EXPERT_MODE]"});
  for (int id : {1056, 1057, 1085, 1086}) EXPECT_TRUE(Control(id)->isEnabled()) << id;
  for (int id : {1081, 1082, 1095, 1096, 1097}) EXPECT_FALSE(Control(id)->isEnabled()) << id;
}

TEST_F(ConsoleWindow, TitleSaysWhatTheLinkAndTheDataLogAreUpTo) {
  std::filesystem::create_directory(dir / "Moro-log.txt");  // the log cannot be opened
  Start({"[VALUES_UPDATE_DISABLE]1"});
  EXPECT_EQ(window->windowTitle(),
            QStringLiteral("Verdelo - Version 83 \u2014 COM1 open \u2014 data log: cannot write "
                           "Moro-log.txt: it is a folder"));
  qobject_cast<QAbstractButton*>(window->portDialog().Control(5))->click();
  EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("COM1 closed \u2014 data log:")));
  std::filesystem::remove(dir / "Moro-log.txt");
  window->console().WriteLogLine("back");
  EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("data log written again")))
      << window->windowTitle().toStdString();
}

TEST_F(ConsoleWindow, AlarmCaptionKeepsWrappingAndReadsBackWhole) {
  Start({"[VALUES_UPDATE_DISABLE]1", "[ALARM_TIMER]100", "[ALARM_IF_NO_RESPONSE]1"});
  ASSERT_TRUE(AwaitEvents([this] { return Label(1038) == "ALARM !!"; }));
  EXPECT_TRUE(qobject_cast<QCheckBox*>(Control(1038))->isChecked());
}

}  // namespace
}  // namespace verdelo::test

namespace verdelo::test {
namespace {

TEST(AboutBox, ShowsNameAndIconAndOkCloses) {
  CAboutDlg about;
  const DialogUnits units = DialogUnits::ForFont(about.font());
  EXPECT_EQ(about.size(), QSize(units.X(276), units.Y(94)));
  EXPECT_EQ(about.windowTitle(), "About Verdelo");
  bool named = false, pictured = false;
  for (QLabel* label : about.findChildren<QLabel*>()) {
    named |= label->text() == "Verdelo";
    pictured |= !label->pixmap().isNull();
  }
  EXPECT_TRUE(named);
  EXPECT_TRUE(pictured);
  about.show();
  about.findChild<QPushButton*>("control_1")->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());
}

}  // namespace
}  // namespace verdelo::test
