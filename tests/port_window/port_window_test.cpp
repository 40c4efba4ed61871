// The port window on a real pseudo-terminal: start-up from config.txt,
// opening and closing, expert send, the traffic lists, received bytes, a
// vanished device and the link's colours; and on loopback bridges of the
// test's own: bridges that cannot be reached, never answer or go away.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "shell/port_window/port_control_dlg.h"
#include "tests/serial/loopback_bridge.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/qt_wait.h"
#include "widgets/state_color_button.h"
#include "widgets/traffic_list.h"

namespace verdelo::test {
namespace {

class FixedClock : public IWallClock {
 public:
  LocalTime Now() const override { return {2026, 12, 7, 14, 3, 7, 45}; }
};

// Closes the next modal message box and keeps what it said.
struct MessageBoxCatcher {
  QString text;
  QString informative;
  void Arm() {
    QTimer::singleShot(0, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text();
        informative = box->informativeText();
        box->accept();
      }
    });
  }
};

class PortWindow : public ::testing::Test {
 protected:
  void TearDown() override { window.reset(); }
  void Create(const std::vector<std::string>& lines) {
    WriteCrLfLines(dir / "config.txt", lines);
    window = std::make_unique<CPortControlDlg>(clock, dir / "config.txt");
    window->SetRxByteHandler([this](std::uint32_t b) { received.push_back(static_cast<std::uint8_t>(b)); });
    window->Create(nullptr);
  }
  void CreateOnPty(std::vector<std::string> extra = {}) {
    extra.push_back("[COM1]" + pty.SlavePath());
    Create(extra);
  }
  template <typename T>
  T* Get(int id) const { return qobject_cast<T*>(window->Control(id)); }
  QString Status() const { return Get<QLabel>(1006)->text(); }
  QRgb Face(int id) const {
    const QImage image = Get<QWidget>(id)->grab().toImage();
    return image.pixel(4, image.height() / 2) & 0xFFFFFF;
  }

  TempDir temp;
  const std::filesystem::path& dir = temp.path();
  FixedClock clock;
  PtyPair pty;
  std::unique_ptr<CPortControlDlg> window;
  std::vector<std::uint8_t> received;
};

constexpr QRgb kGreen = 0x00FF00;
constexpr QRgb kRed = 0xFF0000;

TEST_F(PortWindow, WithoutConfigClosedOnCom1At9600AndNoExpertControls) {
  Create({});
  EXPECT_EQ(Get<QComboBox>(1004)->currentIndex(), 0);
  EXPECT_EQ(Get<QComboBox>(1005)->currentIndex(), 0);
  EXPECT_EQ(Get<QComboBox>(1004)->count(), 10);
  for (int i = 0; i < 10; ++i)
    EXPECT_TRUE(Get<QComboBox>(1004)->itemText(i).startsWith(QStringLiteral("COM%1").arg(i + 1)));
  EXPECT_FALSE(Get<QPushButton>(4)->isEnabled());
  EXPECT_FALSE(Get<QLineEdit>(1007)->isEnabled());
  EXPECT_EQ(Get<QLineEdit>(1007)->text(), "0F36B10000");
  EXPECT_EQ(Status(), "PORT CLOSED");
  EXPECT_EQ(window->portOpen(), 0);
  EXPECT_EQ(Face(3), kGreen);
  EXPECT_EQ(Face(5), kRed);
  const std::uint8_t frame[] = {1, 2, 3, 4, 5};
  window->LogTx(frame, 5);
  window->LogRx(frame, 5);
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 0);
  EXPECT_EQ(Get<TrafficList>(1000)->count(), 0);
}

TEST_F(PortWindow, AutoOpenSelectsAndOpensTheConfiguredPort) {
  CreateOnPty({"[COMPORT]2", "[COMSPEED]1", "[COM3]" + pty.SlavePath(), "[COMPORT_AUTO_OPEN]1"});
  EXPECT_EQ(Get<QComboBox>(1004)->currentIndex(), 2);
  EXPECT_EQ(Get<QComboBox>(1005)->currentIndex(), 1);
  EXPECT_EQ(Status(), "PORT OPENED");
  EXPECT_EQ(window->portOpen(), 1);
  EXPECT_EQ(window->link().line().GetBaudRate(), 19200);
  EXPECT_EQ(Face(3), kRed);
  EXPECT_EQ(Face(5), kGreen);
}

TEST_F(PortWindow, FailedOpenSaysNokWithTheReasonAndChangesNothing) {
  Create({"[COM1]" + (dir / "no-such-device").string()});
  MessageBoxCatcher catcher;
  catcher.Arm();
  Get<QPushButton>(3)->click();
  EXPECT_EQ(catcher.text, "COM-port NOK");
  EXPECT_TRUE(catcher.informative.contains("no device")) << catcher.informative.toStdString();
  EXPECT_EQ(Status(), "PORT CLOSED");
  EXPECT_EQ(window->portOpen(), 0);
}

TEST_F(PortWindow, EntriesNameTheirDeviceAndRefreshingKeepsTheSelectionAndTheLink) {
  CreateOnPty({"[COMPORT_AUTO_OPEN]1", "[COM3]tcp://garden:2000"});
  auto* list = Get<QComboBox>(1004);
  EXPECT_EQ(list->itemText(0), QStringLiteral("COM1  %1").arg(QString::fromStdString(pty.SlavePath())));
  EXPECT_EQ(list->itemText(2), "COM3  tcp://garden:2000");
  // Dropped down, every entry shows whole.
  const QFontMetrics metrics(list->view()->font());
  for (int i = 0; i < list->count(); ++i)
    EXPECT_GE(list->view()->minimumWidth(), metrics.horizontalAdvance(list->itemText(i))) << i;

  QSignalSpy changed(list, &QComboBox::currentIndexChanged);
  window->RefreshPortList();
  list->showPopup();  // refreshes first
  list->hidePopup();
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(list->currentIndex(), 0);
  EXPECT_EQ(window->portOpen(), 1);
}

TEST_F(PortWindow, DevicePathTypedIntoTheListOpensAsTypedOnEnter) {
  PtyPair other;
  Create({});
  QLineEdit* edit = Get<QComboBox>(1004)->lineEdit();
  edit->setText(QString::fromStdString(other.SlavePath()));
  QTest::keyClick(edit, Qt::Key_Return);
  ASSERT_EQ(window->portOpen(), 1);
  EXPECT_EQ(Status(), "PORT OPENED");
  EXPECT_EQ(Get<QLabel>(1006)->toolTip().toStdString(), other.SlavePath());
  EXPECT_TRUE(window->LinkStateText().startsWith(QString::fromStdString(other.SlavePath())));
  // Other typed text is no device: Enter leaves it to the window as before,
  // and Open uses the selected slot.
  window->OnClosePort();
  edit->setText(QStringLiteral("my mower"));
  EXPECT_EQ(Get<QComboBox>(1004)->currentIndex(), 0);
}

TEST_F(PortWindow, OpenTwiceKeepsTheLinkOpen) {
  CreateOnPty({"[COMPORT_AUTO_OPEN]1"});
  MessageBoxCatcher catcher;
  catcher.Arm();
  Get<QPushButton>(3)->click();
  EXPECT_EQ(catcher.text, "COM-port NOK");
  EXPECT_EQ(Status(), "PORT OPENED");
}

TEST_F(PortWindow, ExpertSendWritesAndLogsTheBytes) {
  CreateOnPty({"[COMPORT_AUTO_OPEN]1", "[COMPORT_EXPERT_MODE]0"});
  ASSERT_TRUE(Get<QPushButton>(4)->isEnabled());
  Get<QPushButton>(4)->click();
  EXPECT_EQ(pty.Receive(5), (std::vector<std::uint8_t>{0x0F, 0x36, 0xB1, 0x00, 0x00}));
  ASSERT_EQ(Get<TrafficList>(1002)->count(), 1);
  EXPECT_EQ(Get<TrafficList>(1002)->text(0), "TX 14:03:07:045  0F 36 B1 00 00");

  Get<QLineEdit>(1007)->setText("0f3");
  Get<QPushButton>(4)->click();
  EXPECT_EQ(pty.Receive(1), (std::vector<std::uint8_t>{0x0F}));
  Get<QLineEdit>(1007)->setText("");
  Get<QPushButton>(4)->click();
  EXPECT_EQ(Get<TrafficList>(1002)->text(2), "TX 14:03:07:045 ");
}

TEST_F(PortWindow, SendRefusesTextThatIsNotHex) {
  CreateOnPty({"[COMPORT_AUTO_OPEN]1", "[COMPORT_EXPERT_MODE]"});
  Get<QLineEdit>(1007)->setText("0F 36");
  MessageBoxCatcher catcher;
  catcher.Arm();
  Get<QPushButton>(4)->click();
  EXPECT_TRUE(catcher.text.contains("hexadecimal"));
  EXPECT_TRUE(pty.Receive(1, 100).empty());
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 0);
}

TEST_F(PortWindow, SendWhileClosedDoesNothingAtAll) {
  Create({"[COMPORT_EXPERT_MODE]"});
  Get<QPushButton>(4)->click();
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 0);
}

TEST_F(PortWindow, ReceivedBytesReachTheHookInOrderAndTheRxList) {
  CreateOnPty({"[COMPORT_AUTO_OPEN]1", "[COMPORT_EXPERT_MODE]"});
  const std::vector<std::uint8_t> bytes = {0x0F, 0x01, 0xEB, 0x18, 0xFC, 0x0F, 0x02};
  pty.Send(bytes);
  ASSERT_TRUE(AwaitEvents([&] { return received.size() >= bytes.size(); }));
  EXPECT_EQ(received, bytes);
  ASSERT_GE(Get<TrafficList>(1000)->count(), 1);
  EXPECT_TRUE(Get<TrafficList>(1000)->text(0).startsWith("RX 14:03:07:045  0F"));
}

TEST_F(PortWindow, FiveHundredthLineEmptiesBothLists) {
  Create({"[COMPORT_EXPERT_MODE]"});
  const std::uint8_t frame[] = {0x0F, 0, 0, 0, 0};
  window->LogRx(frame, 5);
  for (int i = 0; i < 498; ++i) window->LogTx(frame, 5);
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 498);
  window->LogTx(frame, 5);
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 499);
  window->LogTx(frame, 5);
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 0);
  EXPECT_EQ(Get<TrafficList>(1000)->count(), 0);
  window->LogTx(frame, 5);
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 1);
}

TEST_F(PortWindow, ClearButtonsEmptyOnlyTheirList) {
  Create({"[COMPORT_EXPERT_MODE]"});
  const std::uint8_t frame[] = {0x0F};
  window->LogRx(frame, 1);
  window->LogTx(frame, 1);
  Get<QPushButton>(1001)->click();
  EXPECT_EQ(Get<TrafficList>(1000)->count(), 0);
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 1);
  Get<QPushButton>(1003)->click();
  EXPECT_EQ(Get<TrafficList>(1002)->count(), 0);
}

TEST_F(PortWindow, ChangingPortOrSpeedClosesTheLink) {
  CreateOnPty({"[COMPORT_AUTO_OPEN]1"});
  Get<QComboBox>(1005)->setCurrentIndex(2);
  EXPECT_EQ(Status(), "PORT CLOSED");
  EXPECT_EQ(window->portOpen(), 0);
  EXPECT_EQ(Face(3), kGreen);
  Get<QPushButton>(3)->click();
  EXPECT_EQ(window->link().line().GetBaudRate(), 115200);
  Get<QComboBox>(1004)->setCurrentIndex(1);
  EXPECT_EQ(window->portOpen(), 0);
}

TEST_F(PortWindow, VanishedDeviceClosesTheLinkAndSaysWhy) {
  // Not reopened: the dead pseudo-terminal's number may go to a test running
  // beside this one.
  CreateOnPty({"[COMPORT_AUTO_OPEN]1", "[COMPORT_EXPERT_MODE]", "[COMPORT_AUTO_REOPEN]0"});
  pty.CloseMaster();
  ASSERT_TRUE(AwaitEvents([&] { return window->portOpen() == 0; }));
  EXPECT_EQ(Status(), "PORT CLOSED");
  EXPECT_TRUE(Get<QLabel>(1006)->toolTip().contains("gone"));
  EXPECT_EQ(Face(3), kGreen);
  const auto* rx = Get<TrafficList>(1000);
  ASSERT_GE(rx->count(), 1);
  EXPECT_TRUE(rx->text(rx->count() - 1).contains("gone"));
}

// The colour buttons drop their colours when the system colours change; the
// window must give the link's green and red back, closed and open alike.
// Widgets hear of a new application palette through a posted event.
TEST_F(PortWindow, OpenAndCloseKeepTheirColoursThroughPaletteChanges) {
  CreateOnPty();
  const QPalette original = QApplication::palette();
  auto setApplicationPalette = [](const QPalette& palette) {
    QApplication::setPalette(palette);
    QCoreApplication::sendPostedEvents();
  };
  struct RestorePalette {
    QPalette palette;
    ~RestorePalette() { QApplication::setPalette(palette); }
  } restore{original};
  auto* open = qobject_cast<CStateColorButton*>(window->Control(3));
  auto* close = qobject_cast<CStateColorButton*>(window->Control(5));
  auto expectFaces = [&](QRgb openFace, QRgb closeFace) {
    for (int index : {CStateColorButton::kNormalFace, CStateColorButton::kFocusFace}) {
      EXPECT_EQ(open->StateColor(index).rgb() & 0xFFFFFF, openFace) << index;
      EXPECT_EQ(close->StateColor(index).rgb() & 0xFFFFFF, closeFace) << index;
    }
    EXPECT_EQ(Face(3), openFace);
    EXPECT_EQ(Face(5), closeFace);
  };

  for (const bool linkOpen : {false, true}) {
    SCOPED_TRACE(linkOpen ? "open" : "closed");
    if (linkOpen) Get<QPushButton>(3)->click();
    ASSERT_EQ(window->portOpen(), linkOpen ? 1 : 0);
    const QRgb openFace = linkOpen ? kRed : kGreen;
    const QRgb closeFace = linkOpen ? kGreen : kRed;

    setApplicationPalette(QPalette(QColor(40, 40, 90)));
    ASSERT_EQ(open->palette().color(QPalette::Button), QColor(40, 40, 90));
    expectFaces(openFace, closeFace);
    window->setPalette(QPalette(QColor(200, 180, 40)));
    ASSERT_EQ(open->palette().color(QPalette::Button), QColor(200, 180, 40));
    expectFaces(openFace, closeFace);
    window->setPalette(QPalette());
    setApplicationPalette(original);
    expectFaces(openFace, closeFace);
  }
}

// Closes every modal message box that comes while it lives (a connect's
// failure shows its box once the connect is over) and keeps what they said.
class BoxCloser {
 public:
  BoxCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back(box->text() + " | " + box->informativeText());
        box->accept();
      }
    });
    timer_.start(10);
  }
  std::vector<QString> texts;

 private:
  QTimer timer_;
};

TEST_F(PortWindow, OpenOnAnUnreachableBridgeSaysNokWithItsReason) {
  LoopbackBridge refusing("127.0.0.1", 0, -1);  // bound, not listening
  Create({"[COM1]" + refusing.Address("tcp"), "[COM2]tcp://verdelo-no-such-host.invalid:2000"});
  window->link().line().SetNetworkTimeLimit(1000);
  BoxCloser boxes;
  Get<QPushButton>(3)->click();
  ASSERT_TRUE(AwaitEvents([&] { return boxes.texts.size() == 1; }));
  EXPECT_TRUE(boxes.texts[0].startsWith("COM-port NOK | ")) << boxes.texts[0].toStdString();
  EXPECT_TRUE(boxes.texts[0].contains("connection refused")) << boxes.texts[0].toStdString();

  Get<QComboBox>(1004)->setCurrentIndex(1);
  Get<QPushButton>(3)->click();
  ASSERT_TRUE(AwaitEvents([&] { return boxes.texts.size() == 2; }));
  // Without a name server the lookup fails rather than finding no such host.
  EXPECT_TRUE(boxes.texts[1].contains("unknown host") || boxes.texts[1].contains("looked up"))
      << boxes.texts[1].toStdString();
  EXPECT_EQ(Status(), "PORT CLOSED");
  EXPECT_EQ(window->portOpen(), 0);
  EXPECT_FALSE(window->link().IsWaiting());
}

// The bridge takes the connection but never answers the Telnet negotiation:
// the click returns at once, the window's timers keep running while the
// connect waits, and the time limit ends it with its reason.
TEST_F(PortWindow, ABridgeThatNeverAnswersHoldsNothingUpAndTimesOut) {
  LoopbackBridge silent;
  Create({"[COM1]" + silent.Address("rfc2217")});
  window->link().line().SetNetworkTimeLimit(600);
  BoxCloser boxes;
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);
  QElapsedTimer click;
  click.start();
  Get<QPushButton>(3)->click();
  EXPECT_LT(click.elapsed(), 300);
  EXPECT_TRUE(window->link().IsConnecting());
  EXPECT_TRUE(window->LinkStateText().endsWith("connecting"));
  const std::uint8_t frame[] = {1, 2, 3};
  window->Write(frame, 3);  // nothing to write to yet, and no harm done
  ASSERT_TRUE(AwaitEvents([&] { return boxes.texts.size() == 1; }));
  EXPECT_GE(ticks, 10) << "the window stood still while connecting";
  EXPECT_TRUE(boxes.texts[0].contains("no answer in 1 s")) << boxes.texts[0].toStdString();
  EXPECT_FALSE(window->link().IsConnecting());
  EXPECT_EQ(window->portOpen(), 0);
  EXPECT_TRUE(window->LinkStateText().endsWith("closed"));
}

// Open pressed for another port while a bridge is still being reached: that
// port opens once the connect is over, and the connect's outcome is dropped.
TEST_F(PortWindow, AnotherPortOpenedWhileABridgeConnectsOpensOnceTheConnectIsOver) {
  LoopbackBridge silent;
  CreateOnPty({"[COM2]" + silent.Address("rfc2217"), "[COMPORT]1"});
  window->link().line().SetNetworkTimeLimit(300);
  BoxCloser boxes;
  Get<QPushButton>(3)->click();
  ASSERT_TRUE(window->link().IsConnecting());
  Get<QComboBox>(1004)->setCurrentIndex(0);  // the pseudo-terminal
  Get<QPushButton>(3)->click();
  EXPECT_EQ(window->portOpen(), 0);
  ASSERT_TRUE(AwaitEvents([&] { return window->portOpen() == 1; }));
  EXPECT_EQ(Status(), "PORT OPENED");
  pty.Send(std::vector<std::uint8_t>{0x0F, 0x02});
  EXPECT_TRUE(AwaitEvents([&] { return received.size() == 2; }));
  EXPECT_TRUE(boxes.texts.empty());
}

// The bridge declines the COM port option (Telnet DONT 44): the link opens
// as a raw one, the speed reads back as chosen, and the expert is told.
TEST_F(PortWindow, ABridgeThatRefusesTheComPortOptionOpensRawWithANoteForTheExpert) {
  LoopbackBridge bridge;
  Create({"[COM1]" + bridge.Address("rfc2217"), "[COMSPEED]1", "[COMPORT_EXPERT_MODE]"});
  BoxCloser boxes;
  Get<QPushButton>(3)->click();  // the connect waits for the bridge's word
  ASSERT_TRUE(bridge.Accept());
  bridge.Receive(15);  // the offers
  bridge.Send({0xFF, 0xFE, 44});
  ASSERT_TRUE(AwaitEvents([&] { return window->portOpen() == 1; }));
  EXPECT_EQ(window->link().line().GetBaudRate(), 19200);
  const auto* rx = Get<TrafficList>(1000);
  ASSERT_EQ(rx->count(), 1);
  EXPECT_TRUE(rx->text(0).contains("refused the COM port option")) << rx->text(0).toStdString();
  EXPECT_TRUE(boxes.texts.empty());
}

// Unreachable at start: no box, the reason in the status, and tries with a
// growing pause until the bridge listens; the link counts as reopened once
// the mower answers through it. Lost later: the link closes with its reason
// and is tried again; Close ends the trying. The steps are the supervisor's.
TEST_F(PortWindow, AnUnreachableOrLostBridgeIsTriedAgainUntilItAnswersAndCloseStopsIt) {
  LoopbackBridge bridge("127.0.0.1", 0, -1);
  WriteCrLfLines(dir / "config.txt", {"[COM1]" + bridge.Address("tcp"), "[COMPORT_AUTO_OPEN]1",
                                       "[COMPORT_EXPERT_MODE]"});
  window = std::make_unique<CPortControlDlg>(clock, dir / "config.txt");
  window->SetRxByteHandler([this](std::uint32_t b) { received.push_back(static_cast<std::uint8_t>(b)); });
  QSignalSpy reopened(window.get(), &CPortControlDlg::linkReopened);
  QSignalSpy lost(window.get(), &CPortControlDlg::linkLost);
  BoxCloser boxes;
  window->Create(nullptr);
  EXPECT_EQ(Status(), "COM-port NOK");
  EXPECT_TRUE(Get<QLabel>(1006)->toolTip().contains("connection refused"));
  EXPECT_TRUE(Get<QLabel>(1006)->toolTip().contains("Trying again in 1 s"));
  EXPECT_TRUE(window->link().IsWaiting());
  EXPECT_TRUE(window->LinkStateText().endsWith("unreachable, trying again"));

  ASSERT_TRUE(bridge.Listen());
  ASSERT_TRUE(AwaitEvents([&] { return window->portOpen() == 1; }, 2000));
  ASSERT_TRUE(bridge.Accept());
  EXPECT_EQ(Status(), "PORT OPENED");
  EXPECT_FALSE(window->link().IsWaiting());
  EXPECT_EQ(reopened.count(), 0);
  const auto* rx = Get<TrafficList>(1000);
  ASSERT_GE(rx->count(), 1);
  EXPECT_TRUE(rx->text(0).contains(QString::fromStdString(bridge.Address("tcp"))))
      << rx->text(0).toStdString();  // the expert's note on the connection
  bridge.Send({0x0F, 0xFF, 0x00, 0x01, 0x02});
  ASSERT_TRUE(AwaitEvents([&] { return received.size() == 5; }));
  EXPECT_EQ(reopened.count(), 1);

  bridge.Close();  // the bridge ends the connection; it still listens
  ASSERT_TRUE(AwaitEvents([&] { return window->portOpen() == 0; }));
  ASSERT_EQ(lost.count(), 1);
  const QString reason = lost.at(0).at(0).toString();
  EXPECT_TRUE(reason.contains("closed the connection")) << reason.toStdString();
  EXPECT_TRUE(Get<QLabel>(1006)->toolTip().startsWith(reason));
  EXPECT_TRUE(window->LinkStateText().endsWith("lost: bridge gone, trying again"));

  // Closed by the user: no more tries.
  Get<QPushButton>(5)->click();
  EXPECT_FALSE(window->link().IsWaiting());
  EXPECT_EQ(window->portOpen(), 0);
  EXPECT_EQ(reopened.count(), 1);
  EXPECT_TRUE(boxes.texts.empty());
}

// Close, another port chosen or the window closed while an RFC 2217 bridge
// keeps the connect waiting: the connect ends at once, not at its limit.
TEST_F(PortWindow, AConnectKeptWaitingEndsAtOnceOnCloseAnotherPortOrTheWindowClosed) {
  enum Action { kCloseButton, kAnotherPort, kWindowClosed };
  for (const Action action : {kCloseButton, kAnotherPort, kWindowClosed}) {
    SCOPED_TRACE(action);
    LoopbackBridge silent;
    CreateOnPty({"[COM2]" + silent.Address("rfc2217"), "[COMPORT]1"});
    BoxCloser boxes;
    Get<QPushButton>(3)->click();
    ASSERT_TRUE(silent.Accept());
    ASSERT_TRUE(window->link().IsConnecting());
    QElapsedTimer took;
    took.start();
    if (action == kCloseButton) Get<QPushButton>(5)->click();
    if (action == kAnotherPort) Get<QComboBox>(1004)->setCurrentIndex(0);
    if (action == kWindowClosed) window.reset();
    else EXPECT_TRUE(AwaitEvents([&] { return !window->link().IsConnecting() && window->portOpen() == 0; }, 1000));
    EXPECT_LT(took.elapsed(), 1000);
    window.reset();
    EXPECT_TRUE(boxes.texts.empty());
  }
}

}  // namespace
}  // namespace verdelo::test
