// The port window's rules that need no window: log lines, send text,
// port and speed lists, configuration keys, open failures.
#include <gtest/gtest.h>

#include "serial/com_types.h"
#include "serial/net_failure.h"
#include "shell/port_window/port_traffic.h"
#include "base/backoff.h"
#include "link/link_supervisor.h"

namespace verdelo {
namespace {

TEST(TrafficLine, PrefixTimeAndBytes) {
  const std::uint8_t frame[] = {0x0F, 0x36, 0xB1, 0x00, 0x00};
  EXPECT_EQ(FormatTrafficLine("TX", {2026, 1, 1, 14, 3, 7, 45}, frame, 5),
            "TX 14:03:07:045  0F 36 B1 00 00");
  EXPECT_EQ(FormatTrafficLine("RX", {2026, 1, 1, 0, 0, 0, 999}, nullptr, 0), "RX 00:00:00:999 ");
}

TEST(SendText, PairsOfHexDigits) {
  EXPECT_EQ(ParseSendText("0F36B10000").bytes, (std::vector<std::uint8_t>{0x0F, 0x36, 0xB1, 0, 0}));
  EXPECT_EQ(ParseSendText("0f3").bytes, (std::vector<std::uint8_t>{0x0F}));
  EXPECT_TRUE(ParseSendText("0").bytes.empty());
  EXPECT_TRUE(ParseSendText("0").error.empty());
  EXPECT_TRUE(ParseSendText("").error.empty());
  EXPECT_EQ(ParseSendText("aBcDeF").bytes, (std::vector<std::uint8_t>{0xAB, 0xCD, 0xEF}));
}

TEST(SendText, RefusesAnythingButHexDigitsAndTooLongTexts) {
  for (const char* bad : {"0G", "0F 36", "zz", "0F36B1000x", "+1", "\xC3\xA9"}) {
    const SendText parsed = ParseSendText(bad);
    EXPECT_TRUE(parsed.bytes.empty()) << bad;
    EXPECT_FALSE(parsed.error.empty()) << bad;
  }
  EXPECT_EQ(ParseSendText(std::string(2048, 'A')).bytes.size(), 1024u);
  EXPECT_FALSE(ParseSendText(std::string(2050, 'A')).error.empty());
  EXPECT_TRUE(ParseSendText(std::string(2049, 'A')).error.empty());  // odd last digit ignored
}

TEST(PortLists, Speeds) {
  EXPECT_EQ(BaudForIndex(0), 9600u);
  EXPECT_EQ(BaudForIndex(1), 19200u);
  EXPECT_EQ(BaudForIndex(2), 115200u);
  EXPECT_EQ(BaudForIndex(-1), 9600u);
  EXPECT_EQ(BaudForIndex(7), 9600u);
}

PortWindowSettings Read(const std::string& text) {
  return ReadPortWindowSettings(ParseConfigText(text));
}

TEST(PortWindowKeys, SelectionAutoOpenExpertAndDevices) {
  const auto s = Read("[COMPORT]2\r\n[COMSPEED]1\r\n[COMPORT_AUTO_OPEN]1\r\n[COM3]/dev/ttyUSB0 \r\n");
  EXPECT_EQ(s.portIndex, 2);
  EXPECT_EQ(s.speedIndex, 1);
  EXPECT_TRUE(s.autoOpen);
  EXPECT_FALSE(s.expertMode);
  EXPECT_EQ(s.devices.at(3), "/dev/ttyUSB0");
}

TEST(PortWindowKeys, OddValues) {
  EXPECT_TRUE(Read("[COMPORT_EXPERT_MODE]0\r\n").expertMode);
  EXPECT_EQ(Read("[COMSPEED]7\r\n").speedIndex, -1);
  EXPECT_EQ(Read("[COMPORT]9\r\n").portIndex, 9);
  EXPECT_EQ(Read("[COMPORT]x\r\n").portIndex, 0);
  EXPECT_EQ(Read("[comport]2\r\n").portIndex, 0);
  EXPECT_EQ(Read("[COMPORT]2\r\n[COMPORT]4\r\n").portIndex, 4);
  EXPECT_FALSE(Read("[COMPORT_AUTO_OPEN]abc\r\n").autoOpen);
  EXPECT_TRUE(Read("[COM11]/dev/x\r\n[COM0]/dev/y\r\n[COM2]\r\n").devices.empty());
}

TEST(PortWindowKeys, ReopenAfterReplugIsOnUnlessSwitchedOff) {
  EXPECT_TRUE(Read("").autoReopen);
  EXPECT_FALSE(Read("[COMPORT_AUTO_REOPEN]0\n").autoReopen);
  EXPECT_TRUE(Read("[COMPORT_AUTO_REOPEN]0\n[COMPORT_AUTO_REOPEN]1\n").autoReopen);
  EXPECT_TRUE(Read("[COMPORT_AUTO_REOPEN]off\n").autoReopen);  // not a number: stays as it was
}

TEST(PortList, EntriesAndTypedDevices) {
  struct Case {
    PortSlot slot;
    const char* entry;
  };
  const Case cases[] = {
      {{1, "/dev/serial/by-id/usb-FTDI-if00", "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00",
        "FT232R USB UART", SlotSource::Discovery},
       "COM1  FT232R USB UART (ttyUSB0)"},
      {{2, "/dev/ttyACM0", "/dev/ttyACM0", "", "STM32 Virtual ComPort", SlotSource::Key},
       "COM2  STM32 Virtual ComPort (ttyACM0)"},
      {{3, "tcp://garden:2000", "", "", "", SlotSource::Key}, "COM3  tcp://garden:2000"},
      {{4, "/tmp/mower", "/dev/pts/4", "", "", SlotSource::Key}, "COM4  /tmp/mower"},
      {{10, "", "", "", "", SlotSource::None}, "COM10"},
  };
  for (const Case& c : cases) EXPECT_EQ(PortEntryText(c.slot), c.entry);

  for (const char* typed : {"/dev/ttyUSB0", "/dev/serial/by-id/usb-x", "tcp://h:1", "rfc2217://[::1]:7"})
    EXPECT_TRUE(IsTypedDevice(typed)) << typed;
  for (const char* typed : {"", "COM1", "ttyUSB0", "COM1  FT232R USB UART (ttyUSB0)", "http://x"})
    EXPECT_FALSE(IsTypedDevice(typed)) << typed;
}

TEST(OpenFailure, SaysWhyInPlainWords) {
  EXPECT_NE(DescribeOpenFailure(ENOENT, "/dev/ttyS0").find("no device /dev/ttyS0"), std::string::npos);
  EXPECT_NE(DescribeOpenFailure(ENOENT, "").find("no device for this port"), std::string::npos);
  EXPECT_NE(DescribeOpenFailure(EACCES, "/dev/ttyS0").find("dialout"), std::string::npos);
  EXPECT_NE(DescribeOpenFailure(EWOULDBLOCK, "/dev/ttyS0").find("busy"), std::string::npos);
  EXPECT_NE(DescribeOpenFailure(EBUSY, "/dev/ttyS0").find("busy"), std::string::npos);
  EXPECT_NE(DescribeOpenFailure(ERROR_ALREADY_INITIALIZED, "x").find("already open"),
            std::string::npos);
}

TEST(OpenFailure, ABridgeSaysWhyItCouldNotBeReachedAndWhetherToTryAgain) {
  const std::string bridge = "tcp://garden.invalid:2000";
  EXPECT_EQ(DescribeOpenFailure(ERROR_HOST_NOT_FOUND, bridge),
            "The bridge tcp://garden.invalid:2000 could not be reached: unknown host.");
  EXPECT_NE(DescribeOpenFailure(ECONNREFUSED, bridge).find("connection refused"), std::string::npos);
  EXPECT_NE(DescribeOpenFailure(ETIMEDOUT, bridge, 300).find("no answer in 1 s"), std::string::npos);
  // A code that is not about reaching the bridge is worded as for a device.
  EXPECT_NE(DescribeOpenFailure(EACCES, bridge).find("denied"), std::string::npos);
  for (std::int32_t code : {ERROR_HOST_NOT_FOUND, ERROR_HOST_LOOKUP_FAILED, ECONNREFUSED, ETIMEDOUT})
    EXPECT_TRUE(IsBridgeUnreachable(code)) << code;
  for (std::int32_t code : {ERROR_INVALID_NETNAME, EACCES, 0}) EXPECT_FALSE(IsBridgeUnreachable(code)) << code;
}

TEST(ReconnectBackoff, DoublesFromOneSecondToThirtyAndStartsOverAfterReset) {
  Backoff backoff = LinkSupervisor::RetryBackoff();
  std::vector<int> delays;
  for (int i = 0; i < 8; ++i) delays.push_back(backoff.Next().count());
  EXPECT_EQ(delays, (std::vector<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(backoff.Next().count(), 30000);  // no overflow
  backoff.Reset();
  EXPECT_EQ(backoff.Next().count(), 1000);
  Backoff quick = LinkSupervisor::RetryBackoff(50);
  EXPECT_EQ(quick.Next().count(), 50);
  EXPECT_EQ(quick.Next().count(), 100);
}

// Only a link that carried an answer and stood 10 s starts the steps afresh.
TEST(ReconnectBackoff, OnlyASoundLinkLostStartsTheStepsAfresh) {
  struct Case { bool answered; int stoodMs; bool sound; };
  for (const Case& c : {Case{false, 0, false}, Case{false, 60000, false}, Case{true, 9999, false},
                        Case{true, 10000, true}}) {
    Backoff backoff = LinkSupervisor::RetryBackoff();
    for (int i = 0; i < 3; ++i) backoff.Next();
    const Backoff::Clock::time_point made{std::chrono::hours(1)};
    backoff.LinkMade(made);
    if (c.answered) backoff.AnswerCarried();
    EXPECT_EQ(backoff.LinkLost(made + std::chrono::milliseconds(c.stoodMs)), c.sound) << c.stoodMs;
    EXPECT_EQ(backoff.Next().count(), c.sound ? 1000 : 8000) << c.stoodMs;
  }
}

}  // namespace
}  // namespace verdelo
