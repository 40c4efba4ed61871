// Pure translations: line values to termios and back, driver counters to
// events and error flags, and port names to devices.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "serial/line_counters.h"
#include "serial/line_settings.h"
#include "serial/port_names.h"

namespace verdelo {
namespace {

termios RawRecord() {
  termios t{};
  MakeRawLine(t);
  return t;
}

TEST(LineSettings, ValuesRoundTripThroughTheRecord) {
  struct Case { uint8_t data, parity, stop; };
  for (Case c : {Case{8, kParityNone, kStopBitsOne}, Case{7, kParityEven, kStopBitsTwo},
                 Case{8, kParityOdd, kStopBitsOne}, Case{6, kParityMark, kStopBitsTwo},
                 Case{5, kParitySpace, kStopBitsOneAndHalf}}) {
    SCOPED_TRACE(testing::Message() << int(c.data) << int(c.parity) << int(c.stop));
    termios t = RawRecord();
    ASSERT_EQ(SetLineValues(t, 19200, c.data, c.parity, c.stop), 0);
    EXPECT_EQ(DataBitsOf(t), c.data);
    EXPECT_EQ(ParityOf(t), c.parity);
    EXPECT_EQ(StopBitsOf(t), c.stop);
    EXPECT_EQ(BaudFromSpeed(cfgetospeed(&t)), 19200u);
    EXPECT_EQ(BaudFromSpeed(cfgetispeed(&t)), 19200u);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parity != kParityNone);  // check on exactly with parity
  }
}

TEST(LineSettings, ParityIsReadEvenWhenTheDriverDropsTheGenerator) {
  termios t = RawRecord();
  ASSERT_EQ(SetLineValues(t, 9600, 8, kParityOdd, 0), 0);
  t.c_cflag &= ~PARENB;  // as a pseudo-terminal stores it
  EXPECT_EQ(ParityOf(t), kParityOdd);
  t.c_iflag &= ~INPCK;  // no check: no parity
  EXPECT_EQ(ParityOf(t), kParityNone);
}

TEST(LineCounters, GainsBecomeEventsAndErrorFlags) {
  const LineCounts before{1, 2, 3, 4, 5};
  EXPECT_EQ(LineEventsBetween(before, before), 0u);
  EXPECT_EQ(LineErrorsBetween(before, before), 0u);

  LineCounts after = before;
  after.breaks++;
  EXPECT_EQ(LineEventsBetween(before, after), EV_BREAK);
  EXPECT_EQ(LineErrorsBetween(before, after), kLineErrorBreak);

  after = before;
  after.frameErrors++;
  after.overruns++;
  EXPECT_EQ(LineEventsBetween(before, after), EV_ERR);
  EXPECT_EQ(LineErrorsBetween(before, after), kLineErrorFrame | kLineErrorOverrun);

  after = before;
  after.parityErrors++;
  after.bufferOverruns++;
  EXPECT_EQ(LineErrorsBetween(before, after), kLineErrorParity | kLineErrorBufferOverrun);
  EXPECT_EQ(LineErrorsBetween(before, after) & kLineErrorDeviceLost, 0u);
}

TEST(PortNames, ComNamesAndTheirNumbers) {
  EXPECT_EQ(PortNumberOf("COM1 "), 1);
  EXPECT_EQ(PortNumberOf("COM1"), 1);
  EXPECT_EQ(PortNumberOf("COM10"), 10);
  EXPECT_EQ(PortNumberOf("com3"), 3);
  EXPECT_EQ(PortNumberOf("COM"), 0);
  EXPECT_EQ(PortNumberOf("COM 1"), 0);
  EXPECT_EQ(PortNumberOf("COMx"), 0);
  EXPECT_EQ(PortNumberOf("/dev/ttyS0"), 0);
}

TEST(PortNames, ResolvedThroughConfigurationPathsAsGiven) {
  const PortDeviceMap configured = {{1, "/dev/ttyUSB0"}, {2, "ttyACM0"}, {3, "tcp://garden:2000"}};
  EXPECT_EQ(ResolvePortDevice("COM1 ", configured), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortDevice("COM2 ", configured), "/dev/ttyACM0");
  EXPECT_EQ(ResolvePortDevice("COM3 ", configured), "tcp://garden:2000");
  EXPECT_EQ(ResolvePortDevice("/dev/pts/7", configured), "/dev/pts/7");
  EXPECT_EQ(ResolvePortDevice("rfc2217://[::1]:7000"), "rfc2217://[::1]:7000");
  EXPECT_EQ(ResolvePortDevice("ttyUSB1"), "/dev/ttyUSB1");
  // A slot without a key is never the old /dev/ttyS(n-1) placeholder: it is
  // a port found on this machine, or nothing.
  const std::string tenth = ResolvePortDevice("COM10");
  EXPECT_TRUE(tenth.empty() || tenth.rfind("/dev/", 0) == 0) << tenth;
}

}  // namespace
}  // namespace verdelo
