// The listener thread and its notifications, on a pseudo-terminal: one
// notification per arrival, none while input sits unread or for events
// outside the mask, prompt stops, and the report of a lost line.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "serial/notifying_com_line.h"
#include "tests/serial/notify_recorder.h"
#include "tests/serial/pty_pair.h"

namespace verdelo {
namespace {

using test::CountingLine;
using test::NotifyRecorder;
using test::PtyPair;

constexpr intptr_t kValue = 42;

class ListenerTest : public ::testing::Test {
 protected:
  void OpenListening() { ASSERT_EQ(line.Open(pty.SlavePath(), &target, 0, kValue, 0, 0), 0); }

  std::string ReadText(uint32_t length = 511) {
    uint8_t buffer[511];
    uint32_t count = 0;
    EXPECT_EQ(line.Read(buffer, length, &count, nullptr, INFINITE), 0);
    return std::string(buffer, buffer + count);
  }

  PtyPair pty;
  NotifyRecorder target;
  CountingLine line;
};

TEST_F(ListenerTest, EachArrivalIsNotifiedExactlyOnce) {
  OpenListening();
  EXPECT_TRUE(line.HasListener());
  pty.Send("12345");
  ASSERT_TRUE(target.WaitFor(1));
  ASSERT_TRUE(line.WaitForWaitsBegun(2));  // the listener is past the event
  auto got = target.Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, CNotifyingComLine::kDefaultNotifyMessage);
  EXPECT_EQ(got[0].param1, EV_RXCHAR);
  EXPECT_EQ(got[0].param2, kValue);
  EXPECT_EQ(ReadText(), "12345");

  pty.Send("678");
  ASSERT_TRUE(target.WaitFor(2));
  EXPECT_EQ(ReadText(), "678");
  line.Close();
  EXPECT_EQ(target.Count(), 2u);
}

TEST_F(ListenerTest, UnreadInputIsNotRepeatedAndEachReadReArms) {
  OpenListening();
  pty.Send(std::string(20, 'a'));
  ASSERT_TRUE(target.WaitFor(1));
  EXPECT_EQ(ReadText(4), "aaaa");
  ASSERT_TRUE(target.WaitFor(2));  // the rest is still waiting: told again
  EXPECT_EQ(ReadText(), std::string(16, 'a'));
  line.Close();
  EXPECT_EQ(target.Count(), 2u);
  // A listener spinning on unread input would have gone round many times.
  EXPECT_LE(line.WaitsBegun(), 4);
}

TEST_F(ListenerTest, EventsOutsideTheMaskAndWakeUpsAreNotNotified) {
  OpenListening();
  ASSERT_EQ(line.SetEventMask(EV_BREAK), 0);  // a wake-up without bits
  ASSERT_TRUE(line.WaitForWaitsBegun(2));
  pty.Send("xy");  // EV_RXCHAR, outside the mask
  ASSERT_TRUE(line.WaitForWaitsBegun(3));
  EXPECT_EQ(target.Count(), 0u);

  EXPECT_EQ(ReadText(), "xy");
  ASSERT_EQ(line.SetEventMask(EV_RXCHAR | EV_BREAK), 0);
  pty.Send("z");
  ASSERT_TRUE(target.WaitFor(1));
  EXPECT_EQ(target.Received()[0].param1, EV_RXCHAR);
  line.Close();
  EXPECT_EQ(target.Count(), 1u);
}

TEST_F(ListenerTest, CloseWhileTheListenerWaitsReturnsAtOnce) {
  OpenListening();
  ASSERT_TRUE(line.WaitForWaitsBegun(1));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(line.Close(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_FALSE(line.HasListener());
  EXPECT_FALSE(line.IsOpen());
  EXPECT_EQ(target.Count(), 0u);
}

TEST_F(ListenerTest, StopAndStartListening) {
  OpenListening();
  EXPECT_EQ(line.StartListening(), 0);  // already running: no second listener
  EXPECT_EQ(line.StopListening(INFINITE), 0);
  EXPECT_FALSE(line.HasListener());
  EXPECT_EQ(line.StopListening(INFINITE), 0);
  pty.Send("q");
  EXPECT_EQ(line.StartListening(), 0);
  ASSERT_TRUE(target.WaitFor(1));  // input that came while stopped is told
  EXPECT_EQ(ReadText(), "q");
}

TEST_F(ListenerTest, ListenerOperationsOnAClosedPortDoNothing) {
  EXPECT_EQ(line.StartListening(), 0);
  EXPECT_FALSE(line.HasListener());
  EXPECT_EQ(line.StopListening(100), 0);
  // The listening form of Open starts a listener only when asked.
  ASSERT_EQ(line.Open(pty.SlavePath(), 0, 0, false), 0);
  EXPECT_FALSE(line.HasListener());
  ASSERT_EQ(line.StartListening(), 0);
  EXPECT_TRUE(line.HasListener());
}

TEST_F(ListenerTest, MessageAndValueAreThoseGivenToOpen) {
  ASSERT_EQ(line.Open(pty.SlavePath(), &target, 0x4321, -7, 0, 0), 0);
  EXPECT_EQ(line.Open(pty.SlavePath(), &target, 0x1111, 1, 0, 0), ERROR_ALREADY_INITIALIZED);
  pty.Send("a");
  ASSERT_TRUE(target.WaitFor(1));
  EXPECT_EQ(target.Received()[0].message, 0x4321u);
  EXPECT_EQ(target.Received()[0].param2, -7);
}

TEST_F(ListenerTest, WithoutATargetEventsAreDropped) {
  ASSERT_EQ(line.Open(pty.SlavePath(), nullptr, 0, 0, 0, 0), 0);
  pty.Send("a");
  ASSERT_TRUE(line.WaitForWaitsBegun(2));
  EXPECT_EQ(line.Close(), 0);
}

TEST_F(ListenerTest, DestroyingAnOpenListeningLineClosesIt) {
  auto owned = std::make_unique<CNotifyingComLine>();
  ASSERT_EQ(owned->Open(pty.SlavePath(), &target, 0, 0, 0, 0), 0);
  owned.reset();
  CComLine again;
  EXPECT_EQ(again.Open(pty.SlavePath(), 0, 0, true), 0);  // the device was released
  pty.Send("a");
  EXPECT_EQ(target.Count(), 0u);
}

TEST_F(ListenerTest, HangUpGivesOneDeviceLostNotificationAndEndsTheListener) {
  OpenListening();
  pty.Send("unread");
  ASSERT_TRUE(target.WaitFor(1));
  pty.CloseMaster();
  ASSERT_TRUE(target.WaitFor(2));
  // Ended, so it costs no CPU time from here on.
  ASSERT_TRUE(line.WaitListenerEnd(2000));
  auto got = target.Received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].param1, CNotifyingComLine::PackNotifyParam(0, kLineErrorDeviceLost));
  EXPECT_EQ(got[1].param1 >> 16, kLineErrorDeviceLost);
  EXPECT_EQ(got[1].param2, kValue);
  EXPECT_TRUE(line.IsLineLost());
  EXPECT_TRUE(line.HasListener());  // joined by Close
  EXPECT_EQ(line.Close(), 0);
  EXPECT_FALSE(line.HasListener());
  EXPECT_EQ(target.Count(), 2u);
}

// The device sends its last bytes and hangs up before the listener wakes
// (see PtySlaveDevice for why the line sits on a master here): the bytes
// are told first and can still be read, then the loss, once.
TEST_F(ListenerTest, InputBesideAHangUpIsNotifiedBeforeTheLoss) {
  test::PtySlaveDevice device;
  ASSERT_EQ(test::OpenWhenFree(
                [&] { return line.Open(device.kMasterDevice, &target, 0, kValue, 0, 0); }),
            0);
  ASSERT_TRUE(device.Attach());
  ASSERT_EQ(line.StopListening(INFINITE), 0);
  device.Send("bye");
  device.HangUp();
  ASSERT_EQ(line.StartListening(), 0);

  ASSERT_TRUE(target.WaitFor(2));
  ASSERT_TRUE(line.WaitListenerEnd(2000));
  const auto got = target.Received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].param1, EV_RXCHAR);
  EXPECT_EQ(got[1].param1, CNotifyingComLine::PackNotifyParam(0, kLineErrorDeviceLost));
  EXPECT_EQ(ReadText(), "bye");
  EXPECT_EQ(line.Close(), 0);
  EXPECT_EQ(target.Count(), 2u);
}

TEST_F(ListenerTest, StalledWriteFailsAndReportsTheLineLost) {
  OpenListening();
  line.SetWriteStallLimit(50);
  const std::vector<uint8_t> big(1 << 20, 0x0F);
  EXPECT_EQ(line.Write(big.data(), static_cast<uint32_t>(big.size()), nullptr, nullptr, INFINITE),
            ERROR_TIMEOUT);
  ASSERT_TRUE(target.WaitFor(1));
  EXPECT_EQ(target.Received()[0].param1 >> 16, kLineErrorDeviceLost);
  ASSERT_TRUE(line.WaitListenerEnd(2000));
  EXPECT_EQ(line.Close(), 0);
}

TEST_F(ListenerTest, ProgramCallingOrder) {
  ASSERT_EQ(line.Open(pty.SlavePath(), &target, 0, 0, 0, 0), 0);
  ASSERT_EQ(line.Configure(9600, 8, 0, 0), 0);
  ASSERT_EQ(line.SetFlowControl(0), 0);
  ASSERT_EQ(line.StartListening(), 0);
  const uint8_t frame[5] = {0x0F, 0x01, 0xEB, 0x00, 0x00};
  ASSERT_EQ(line.Write(frame, 5, nullptr, nullptr, INFINITE), 0);
  EXPECT_EQ(pty.Receive(5), std::vector<uint8_t>(frame, frame + 5));
  pty.Send(std::vector<uint8_t>{0x0F, 0x01, 0xEB, 0x34, 0x12});
  ASSERT_TRUE(target.WaitFor(1));
  uint8_t buffer[511];
  uint32_t count = 0;
  ASSERT_EQ(line.Read(buffer, 511, &count, nullptr, INFINITE), 0);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(line.Close(), 0);
}

// A listening line whose handler blocks until the test lets it go.
class GatedLine : public CListeningComLine {
 public:
  ~GatedLine() override {
    Release();
    if (HasListener()) CListeningComLine::Close();
  }

  bool WaitForCalls(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(2), [&] { return calls_ >= count; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 protected:
  void OnPortEvent(uint32_t, uint32_t) override {
    std::unique_lock lock(mutex_);
    ++calls_;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return released_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int calls_ = 0;
  bool released_ = false;
};

TEST(ListenerStop, AStopThatTimesOutStillEndsTheListenerWhenItsHandlerReturns) {
  PtyPair pty;
  GatedLine line;
  ASSERT_EQ(line.Open(pty.SlavePath(), 0, 0, true), 0);
  pty.Send("a");
  ASSERT_TRUE(line.WaitForCalls(1));

  EXPECT_EQ(line.StopListening(20), 0);  // the handler is still busy
  EXPECT_TRUE(line.HasListener());
  EXPECT_FALSE(line.WaitListenerEnd(0));
  line.Release();
  EXPECT_TRUE(line.WaitListenerEnd(2000));
  EXPECT_EQ(line.StopListening(INFINITE), 0);
  EXPECT_FALSE(line.HasListener());
}

}  // namespace
}  // namespace verdelo
