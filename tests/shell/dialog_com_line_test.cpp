// The Qt layer: notifications arrive at a QObject as registered events
// posted from the listener thread, carrying both parameters and the open
// they came from.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>

#include <vector>

#include "shell/port_window/dialog_com_line.h"
#include "tests/serial/pty_pair.h"

namespace verdelo {
namespace {

struct Received {
  int type;
  uint32_t param1;
  intptr_t param2;
  uint32_t openNumber;
};

class PortWindow : public QObject {
 public:
  bool event(QEvent* e) override {
    if (auto* notify = dynamic_cast<CComLineNotifyEvent*>(e)) {
      received.push_back({notify->type(), notify->Param1(), notify->Param2(), notify->OpenNumber()});
      return true;
    }
    return QObject::event(e);
  }
  std::vector<Received> received;
};

// Runs the event loop until `window` holds `count` events or 2 s passed.
bool ProcessUntil(PortWindow& window, size_t count) {
  QDeadlineTimer deadline(2000);
  while (window.received.size() < count && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return window.received.size() >= count;
}

TEST(DialogComLine, NotifyEventTypeIsRegisteredOnce) {
  const QEvent::Type type = CDialogComLine::NotifyEventType();
  EXPECT_GE(type, QEvent::User);
  EXPECT_LE(type, QEvent::MaxUser);
  EXPECT_EQ(CDialogComLine::NotifyEventType(), type);
}

TEST(DialogComLine, EventsArriveAtTheWindowWithBothParameters) {
  test::PtyPair pty;
  PortWindow window;
  CDialogComLine line;
  ASSERT_EQ(line.Open(pty.SlavePath(), &window, 0, 77, 0, 0), 0);
  ASSERT_EQ(line.Configure(9600, 8, 0, 0), 0);
  ASSERT_EQ(line.SetFlowControl(0), 0);
  ASSERT_EQ(line.StartListening(), 0);

  PortWindow other;
  EXPECT_EQ(line.Open(pty.SlavePath(), &other, 0, 1, 0, 0), ERROR_ALREADY_INITIALIZED);

  pty.Send("hi");
  ASSERT_TRUE(ProcessUntil(window, 1));
  EXPECT_EQ(window.received[0].type, CDialogComLine::NotifyEventType());
  EXPECT_EQ(window.received[0].param1, EV_RXCHAR);
  EXPECT_EQ(window.received[0].param2, 77);
  uint8_t buffer[511];
  uint32_t count = 0;
  ASSERT_EQ(line.Read(buffer, 511, &count, nullptr, INFINITE), 0);
  EXPECT_EQ(std::string(buffer, buffer + count), "hi");

  pty.CloseMaster();
  ASSERT_TRUE(ProcessUntil(window, 2));
  CComLineNotifyEvent lost(QEvent::Type(window.received[1].type), window.received[1].param1,
                           window.received[1].param2);
  EXPECT_TRUE(lost.IsDeviceLost());
  EXPECT_EQ(lost.Events(), 0u);
  EXPECT_EQ(line.Close(), 0);
  EXPECT_TRUE(other.received.empty());
}

TEST(DialogComLine, EachEventCarriesTheOpenItCameFrom) {
  PortWindow window;
  CDialogComLine line;
  test::PtyPair first;
  ASSERT_EQ(line.Open(first.SlavePath(), &window, 0, 5, 0, 0), 0);
  const uint32_t firstOpen = line.OpenNumber();
  first.Send("a");
  ASSERT_TRUE(ProcessUntil(window, 1));
  first.CloseMaster();
  ASSERT_TRUE(ProcessUntil(window, 2));
  ASSERT_EQ(line.Close(), 0);

  test::PtyPair second;
  ASSERT_EQ(line.Open(second.SlavePath(), &window, 0, 5, 0, 0), 0);
  EXPECT_NE(line.OpenNumber(), firstOpen);
  second.Send("b");
  ASSERT_TRUE(ProcessUntil(window, 3));
  EXPECT_EQ(window.received[0].openNumber, firstOpen);
  EXPECT_EQ(window.received[1].openNumber, firstOpen);  // the loss
  EXPECT_EQ(window.received[2].openNumber, line.OpenNumber());
  // The other parameters keep their meaning.
  EXPECT_EQ(window.received[1].param1 >> 16, kLineErrorDeviceLost);
  EXPECT_EQ(window.received[2].param1, EV_RXCHAR);
  EXPECT_EQ(window.received[2].param2, 5);
}

TEST(DialogComLine, OwnMessageNumberAndNoWindow) {
  test::PtyPair pty;
  PortWindow window;
  const auto custom = QEvent::registerEventType();
  {
    CDialogComLine line;
    ASSERT_EQ(line.Open(pty.SlavePath(), &window, custom, 0, 0, 0), 0);
    pty.Send("a");
    ASSERT_TRUE(ProcessUntil(window, 1));
    EXPECT_EQ(window.received[0].type, custom);
  }  // destroyed while listening: closes
  CDialogComLine quiet;
  ASSERT_EQ(quiet.Open(pty.SlavePath(), static_cast<QObject*>(nullptr), 0, 0, 0, 0), 0);
  EXPECT_TRUE(quiet.HasListener());
}

}  // namespace
}  // namespace verdelo

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
