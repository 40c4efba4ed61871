// The port through ser2net, a real bridge, in front of a pseudo-terminal on
// which the test plays the device: raw and RFC 2217 modes, and ser2net
// dying mid-run. Skipped where ser2net is not installed (scripts/bootstrap
// installs it).
#include <gtest/gtest.h>
#include <termios.h>

#include <vector>

#include "serial/com_line.h"
#include "serial/net_failure.h"
#include "tests/serial/notify_recorder.h"
#include "tests/serial/pty_pair.h"
#include "tests/serial/ser2net_bridge.h"

namespace verdelo {
namespace {

using Bytes = std::vector<uint8_t>;
using test::PtyPair;
using test::Ser2netBridge;

class Ser2netTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Ser2netBridge::Installed()) GTEST_SKIP() << "ser2net is not installed";
  }

  // The device's end of the pty shows the settings ser2net gave the line.
  termios DeviceSettings() {
    termios settings{};
    EXPECT_EQ(tcgetattr(pty.MasterFd(), &settings), 0);
    return settings;
  }

  Bytes ReadAll(CComLine& line, std::size_t count) {
    Bytes got;
    uint8_t buffer[300];
    while (got.size() < count && line.WaitForEvent(nullptr, 3000) == 0) {
      uint32_t n = 0;
      EXPECT_EQ(line.Read(buffer, sizeof buffer, &n, nullptr, INFINITE), 0);
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // Towards the device first: once that arrives, ser2net has the device
  // open and the other way cannot be lost to its opening.
  void EveryByteValueBothWays(CComLine& line) {
    const Bytes all = test::AllByteValues();
    uint32_t written = 0;
    ASSERT_EQ(line.Write(all.data(), 256, &written, nullptr, INFINITE), 0);
    EXPECT_EQ(pty.Receive(256, 3000), all);
    pty.Send(all);
    EXPECT_EQ(ReadAll(line, all.size()), all);
  }

  PtyPair pty;
};

TEST_F(Ser2netTest, RawModeCarriesEveryByteValueBothWays) {
  Ser2netBridge bridge(pty.SlavePath(), false);
  ASSERT_TRUE(bridge.ok());
  CComLine line;
  ASSERT_EQ(line.Open(bridge.Address(), 0, 0, true), 0);
  ASSERT_EQ(line.Configure(19200, 8, kParityNone, kStopBitsOne), 0);
  EXPECT_EQ(line.GetBaudRate(), 19200);  // kept as set: the bridge owns the line
  EveryByteValueBothWays(line);
  const termios device = DeviceSettings();
  EXPECT_EQ(cfgetospeed(&device), static_cast<speed_t>(B9600));
}

TEST_F(Ser2netTest, TelnetModeSetsTheLineOnTheDeviceAndCarriesEveryByteValue) {
  Ser2netBridge bridge(pty.SlavePath(), true);
  ASSERT_TRUE(bridge.ok());
  CComLine line;
  ASSERT_EQ(line.Open(bridge.Address(), 0, 0, true), 0);
  EXPECT_EQ(line.GetBaudRate(), 9600);  // ser2net's configured rate
  EXPECT_NE(line.NetworkNote().find("RFC 2217"), std::string::npos);

  // A pseudo-terminal keeps 8 data bits and drops the parity enable flag
  // whatever it is given, but keeps the rate, the stop bits and the kind of
  // parity.
  ASSERT_EQ(line.Configure(57600, 8, kParityOdd, kStopBitsTwo), 0);
  termios device = DeviceSettings();
  EXPECT_EQ(cfgetospeed(&device), static_cast<speed_t>(B57600));
  EXPECT_EQ(device.c_cflag & (PARODD | CSTOPB), static_cast<tcflag_t>(PARODD | CSTOPB));
  EXPECT_EQ(line.GetParity(), kParityOdd);
  EXPECT_EQ(line.GetStopBits(), kStopBitsTwo);

  ASSERT_EQ(line.Configure(19200, 8, kParityNone, kStopBitsOne), 0);
  ASSERT_EQ(line.SetFlowControl(kFlowOff), 0);
  device = DeviceSettings();
  EXPECT_EQ(cfgetospeed(&device), static_cast<speed_t>(B19200));
  EXPECT_EQ(device.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.GetBaudRate(), 19200);
  EveryByteValueBothWays(line);
}

TEST_F(Ser2netTest, BridgeKilledMidRunIsALostLineWithItsReason) {
  for (bool telnet : {false, true}) {
    Ser2netBridge bridge(pty.SlavePath(), telnet);
    ASSERT_TRUE(bridge.ok());
    test::NotifyRecorder recorder;
    CNotifyingComLine line;
    ASSERT_EQ(line.Open(bridge.Address(), &recorder, 0, 0, 0, 0), 0);
    // As the port window does: set the line while the listener runs, which
    // then takes the bridge's answers in as often as not.
    ASSERT_EQ(line.Configure(57600, 8, kParityNone, kStopBitsOne), 0);
    ASSERT_EQ(line.Write("x", nullptr, nullptr, INFINITE), 0);
    ASSERT_EQ(pty.Receive(1, 3000).size(), 1u);  // ser2net has the device open
    const termios device = DeviceSettings();
    EXPECT_EQ(cfgetospeed(&device), static_cast<speed_t>(telnet ? B57600 : B9600));
    pty.Send("hi");
    ASSERT_TRUE(recorder.WaitFor(1, 3000));
    bridge.Kill();
    ASSERT_TRUE(line.WaitListenerEnd(3000)) << "the listener did not end";
    const auto received = recorder.Received();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().param1 >> 16, kLineErrorDeviceLost);
    EXPECT_TRUE(line.LostCause() == ERROR_GRACEFUL_DISCONNECT || line.LostCause() == ECONNRESET)
        << DescribeLineLoss(line.LostCause());
    uint8_t buffer[8];
    uint32_t count = 0;
    line.Read(buffer, sizeof buffer, &count, nullptr, INFINITE);  // what came before the end
    EXPECT_EQ(line.Write("x", nullptr, nullptr, INFINITE), kDeviceLostErrno);
  }
}

}  // namespace
}  // namespace verdelo
