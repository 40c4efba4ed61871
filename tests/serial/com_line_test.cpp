// The port itself on a pseudo-terminal: opening and closing, codes on a
// closed or synchronous port, line settings, reads, writes and event waits.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "serial/com_line.h"
#include "tests/serial/pty_pair.h"

namespace verdelo {
namespace {

using test::PtyPair;

class ComLineTest : public ::testing::Test {
 protected:
  void OpenOverlapped() { ASSERT_EQ(line.Open(pty.SlavePath(), 0, 0, true), 0); }

  // Reads through the line until `count` bytes came, waiting for each
  // arrival with WaitForEvent.
  std::vector<uint8_t> ReadAll(size_t count) {
    std::vector<uint8_t> got;
    uint8_t buffer[511];
    while (got.size() < count) {
      uint32_t n = 0;
      EXPECT_EQ(line.Read(buffer, sizeof buffer, &n, nullptr, INFINITE), 0);
      got.insert(got.end(), buffer, buffer + n);
      if (got.size() < count && line.WaitForEvent(nullptr, 2000) != 0) break;
    }
    return got;
  }

  PtyPair pty;
  CComLine line;
};

TEST_F(ComLineTest, OpenOfOpenPortIsRefusedAndLeavesItWorking) {
  OpenOverlapped();
  ASSERT_EQ(line.Configure(19200, 8, 0, 0), 0);
  EXPECT_EQ(line.Open(pty.SlavePath(), 0, 0, true), ERROR_ALREADY_INITIALIZED);
  EXPECT_EQ(line.LastError(), ERROR_ALREADY_INITIALIZED);
  EXPECT_TRUE(line.IsOpen());
  EXPECT_EQ(line.GetBaudRate(), 19200);
  EXPECT_EQ(line.Write("ok", nullptr, nullptr, INFINITE), 0);
  EXPECT_EQ(pty.Receive(2), (std::vector<uint8_t>{'o', 'k'}));
}

TEST_F(ComLineTest, MissingDeviceFailsWithItsErrnoThenAGoodOpenWorks) {
  EXPECT_EQ(line.Open("/dev/verdelo-no-such-port", 0, 0, true), ENOENT);
  EXPECT_EQ(line.LastError(), ENOENT);
  EXPECT_FALSE(line.IsOpen());
  EXPECT_EQ(line.Open(pty.SlavePath(), 0, 0, true), 0);
  EXPECT_TRUE(line.IsOpen());
}

TEST_F(ComLineTest, OnlyTerminalsOpen) {
  EXPECT_EQ(line.Open("/dev/null", 0, 0, true), ENOTTY);
  EXPECT_FALSE(line.IsOpen());
}

TEST_F(ComLineTest, DeviceHeldByAnotherLineIsRefusedUntilItCloses) {
  OpenOverlapped();
  CComLine other;
  const int32_t refused = other.Open(pty.SlavePath(), 0, 0, true);
  EXPECT_TRUE(refused == EWOULDBLOCK || refused == EBUSY) << refused;
  EXPECT_FALSE(other.IsOpen());
  line.Close();
  EXPECT_EQ(other.Open(pty.SlavePath(), 0, 0, true), 0);
}

TEST_F(ComLineTest, CloseIsHarmlessOnAClosedPortAndTwice) {
  EXPECT_EQ(line.Close(), 0);
  OpenOverlapped();
  EXPECT_EQ(line.Close(), 0);
  EXPECT_FALSE(line.IsOpen());
  EXPECT_EQ(line.Close(), 0);
  EXPECT_EQ(line.LastError(), 0);
  EXPECT_EQ(line.Open(pty.SlavePath(), 0, 0, false), 0);  // opens again after Close
}

TEST_F(ComLineTest, ClosedPortRefusesEveryOperationWithInvalidHandle) {
  uint8_t buffer[8];
  uint32_t count = 99;
  CompletionRecord record;
  const std::vector<int32_t> results = {
      line.Configure(9600, 8, 0, 0),
      line.SetEventCharacter('x', true),
      line.SetEventMask(EV_RXCHAR),
      line.WaitForEvent(nullptr, 10),
      line.WaitForEvent(&record, INFINITE),
      line.SetFlowControl(0),
      line.SetReadMode(0),
      line.Write("abc", &count, nullptr, INFINITE),
      line.Write(buffer, 8, nullptr, nullptr, INFINITE),
      line.Read(buffer, 8, &count, nullptr, INFINITE),
  };
  for (int32_t result : results) EXPECT_EQ(result, ERROR_INVALID_HANDLE);
  EXPECT_EQ(count, 0u);

  EXPECT_EQ(line.GetBaudRate(), -1);
  EXPECT_EQ(line.GetDataBits(), -1);
  EXPECT_EQ(line.GetParity(), -1);
  EXPECT_EQ(line.GetStopBits(), -1);
  EXPECT_EQ(line.GetFlowControl(), -1);
  EXPECT_EQ(line.GetEventMask(), 0u);
  EXPECT_EQ(line.LastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(line.GetEventCharacter(), 0);
  EXPECT_EQ(line.LastError(), ERROR_INVALID_HANDLE);
}

TEST_F(ComLineTest, OpenGivesARawLineWithTheDefaultMask) {
  OpenOverlapped();
  EXPECT_EQ(line.GetEventMask(), EV_RXCHAR | EV_BREAK | EV_ERR);
  EXPECT_EQ(line.GetDataBits(), 8);
  EXPECT_EQ(line.GetParity(), 0);
  EXPECT_EQ(line.GetStopBits(), 0);
  EXPECT_EQ(line.GetFlowControl(), 0);
  EXPECT_EQ(line.LastError(), 0);
}

TEST_F(ComLineTest, ConfigureIsReadBackByTheGetters) {
  OpenOverlapped();
  ASSERT_EQ(line.Configure(9600, 8, 0, 0), 0);
  EXPECT_EQ(line.GetBaudRate(), 9600);
  EXPECT_EQ(line.GetDataBits(), 8);
  EXPECT_EQ(line.GetParity(), 0);
  EXPECT_EQ(line.GetStopBits(), 0);

  ASSERT_EQ(line.Configure(9600, 8, kParityEven, 0), 0);
  EXPECT_EQ(line.GetParity(), kParityEven);
  ASSERT_EQ(line.Configure(115200, 8, kParityOdd, kStopBitsTwo), 0);
  EXPECT_EQ(line.GetBaudRate(), 115200);
  EXPECT_EQ(line.GetParity(), kParityOdd);
  EXPECT_EQ(line.GetStopBits(), kStopBitsTwo);
  ASSERT_EQ(line.Configure(19200, 8, kParityMark, 0), 0);
  EXPECT_EQ(line.GetParity(), kParityMark);
  ASSERT_EQ(line.Configure(19200, 8, kParitySpace, 0), 0);
  EXPECT_EQ(line.GetParity(), kParitySpace);
}

TEST_F(ComLineTest, ValuesTheLineCannotTakeAreRefusedAndChangeNothing) {
  OpenOverlapped();
  ASSERT_EQ(line.Configure(19200, 8, kParityEven, kStopBitsTwo), 0);
  EXPECT_EQ(line.Configure(12345, 8, 0, 0), EINVAL);
  EXPECT_EQ(line.Configure(9600, 9, 0, 0), EINVAL);
  EXPECT_EQ(line.Configure(9600, 8, 5, 0), EINVAL);
  EXPECT_EQ(line.Configure(9600, 8, 0, 3), EINVAL);
  EXPECT_EQ(line.Configure(9600, 8, 0, kStopBitsOneAndHalf), EINVAL);
  EXPECT_EQ(line.LastError(), EINVAL);
  EXPECT_EQ(line.GetBaudRate(), 19200);
  EXPECT_EQ(line.GetParity(), kParityEven);
  EXPECT_EQ(line.GetStopBits(), kStopBitsTwo);

  ASSERT_EQ(line.SetFlowControl(kFlowHardware), 0);
  EXPECT_EQ(line.SetFlowControl(3), E_INVALIDARG);
  EXPECT_EQ(line.LastError(), E_INVALIDARG);
  EXPECT_EQ(line.GetFlowControl(), kFlowHardware);
  EXPECT_EQ(line.SetReadMode(2), E_INVALIDARG);
  EXPECT_EQ(line.SetReadMode(-1), E_INVALIDARG);
}

TEST_F(ComLineTest, FlowControlRoundTrip) {
  OpenOverlapped();
  for (int flow : {kFlowHardware, kFlowSoftware, kFlowOff, kFlowHardware, kFlowOff}) {
    ASSERT_EQ(line.SetFlowControl(flow), 0);
    EXPECT_EQ(line.GetFlowControl(), flow);
  }
  // Flow control leaves the other line values alone.
  ASSERT_EQ(line.Configure(57600, 8, kParityOdd, 0), 0);
  ASSERT_EQ(line.SetFlowControl(kFlowSoftware), 0);
  EXPECT_EQ(line.GetBaudRate(), 57600);
  EXPECT_EQ(line.GetParity(), kParityOdd);
}

TEST_F(ComLineTest, EventCharacterAndMask) {
  OpenOverlapped();
  EXPECT_EQ(line.GetEventCharacter(), 0);
  ASSERT_EQ(line.SetEventCharacter('\n', false), 0);
  EXPECT_EQ(line.GetEventCharacter(), '\n');
  EXPECT_EQ(line.GetEventMask(), kDefaultEventMask);
  ASSERT_EQ(line.SetEventCharacter(0x7E, true), 0);
  EXPECT_EQ(line.GetEventCharacter(), 0x7E);
  EXPECT_EQ(line.GetEventMask(), kDefaultEventMask | EV_RXFLAG);
  ASSERT_EQ(line.SetEventMask(0x1234), 0);
  EXPECT_EQ(line.GetEventMask(), 0x1234u);
  // The event character is a line setting, not input: bytes still pass.
  pty.Send(std::vector<uint8_t>{0x7E, '\n'});
  EXPECT_EQ(ReadAll(2), (std::vector<uint8_t>{0x7E, '\n'}));
}

TEST_F(ComLineTest, NonBlockingReadOfNothingCompletesAtOnce) {
  OpenOverlapped();
  uint8_t buffer[511];
  uint32_t count = 7;
  CompletionRecord record;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(line.Read(buffer, 511, &count, nullptr, INFINITE), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(line.Read(buffer, 511, &count, &record, 5000), 0);
  EXPECT_TRUE(record.IsSignalled());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(ComLineTest, EveryByteValuePassesBothWays) {
  OpenOverlapped();
  const auto all = test::AllByteValues();
  pty.Send(all);
  EXPECT_EQ(ReadAll(all.size()), all);

  uint32_t written = 0;
  EXPECT_EQ(line.Write(all.data(), 256, &written, nullptr, INFINITE), 0);
  EXPECT_EQ(written, 256u);
  EXPECT_EQ(pty.Receive(256), all);
}

TEST_F(ComLineTest, BlockingReadWaitsForTheWholeCountWithinItsTimeOut) {
  OpenOverlapped();
  ASSERT_EQ(line.SetReadMode(kReadBlocking), 0);
  uint8_t buffer[8] = {};
  uint32_t count = 0;

  pty.Send("abc");
  EXPECT_EQ(line.Read(buffer, 5, &count, nullptr, 100), ERROR_TIMEOUT);
  EXPECT_EQ(count, 3u);  // what arrived before the time ran out
  EXPECT_TRUE(line.IsOpen());

  pty.Send("defgh");
  CompletionRecord record;
  EXPECT_EQ(line.Read(buffer, 5, &count, &record, 2000), 0);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(std::string(buffer, buffer + 5), "defgh");
  EXPECT_TRUE(record.IsSignalled());
}

TEST_F(ComLineTest, SynchronousPortRefusesRecordsAndTimeOutsButWorksWithoutThem) {
  ASSERT_EQ(line.Open(pty.SlavePath(), 0, 0, false), 0);
  uint8_t buffer[16];
  uint32_t count = 5;
  CompletionRecord record;
  pty.Send("xy");
  EXPECT_EQ(line.Read(buffer, 16, &count, nullptr, 1000), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(line.Write("z", &count, &record, INFINITE), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(line.WaitForEvent(nullptr, 1000), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(line.WaitForEvent(&record, INFINITE), ERROR_INVALID_FUNCTION);
  EXPECT_FALSE(record.IsSignalled());

  // Untouched by the refused read: the bytes are still there.
  EXPECT_EQ(line.WaitForEvent(nullptr, INFINITE), 0);
  EXPECT_EQ(line.Read(buffer, 16, &count, nullptr, INFINITE), 0);
  EXPECT_EQ(std::string(buffer, buffer + count), "xy");
  EXPECT_EQ(line.Write("hello", &count, nullptr, INFINITE), 0);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(pty.Receive(5), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
}

TEST_F(ComLineTest, WriteToAFullLineTimesOutWithWhatWasTaken) {
  OpenOverlapped();
  const std::vector<uint8_t> big(1 << 20, 0x55);  // far more than the pty buffers
  uint32_t written = 0;
  EXPECT_EQ(line.Write(big.data(), static_cast<uint32_t>(big.size()), &written, nullptr, 50),
            ERROR_TIMEOUT);
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, big.size());
  EXPECT_FALSE(line.IsLineLost());  // the caller chose the limit
  CompletionRecord record;
  EXPECT_EQ(line.Write(big.data(), 1000, &written, &record, 20), ERROR_TIMEOUT);
  EXPECT_FALSE(record.IsSignalled());
  EXPECT_TRUE(line.IsOpen());
}

TEST_F(ComLineTest, WriteWithoutTimeOutGivesUpOnAStalledLineAndMarksItLost) {
  OpenOverlapped();
  line.SetWriteStallLimit(50);
  const std::vector<uint8_t> big(1 << 20, 0xAA);
  uint32_t written = 0;
  EXPECT_EQ(line.Write(big.data(), static_cast<uint32_t>(big.size()), &written, nullptr, INFINITE),
            ERROR_TIMEOUT);
  EXPECT_GT(written, 0u);
  EXPECT_TRUE(line.IsLineLost());
  EXPECT_EQ(line.WaitForEvent(nullptr, 1000), EIO);
}

TEST_F(ComLineTest, EventWaitReportsEachArrivalOnce) {
  OpenOverlapped();
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), ERROR_TIMEOUT);

  pty.Send("12");
  CompletionRecord record;
  ASSERT_EQ(line.WaitForEvent(&record, 2000), 0);
  EXPECT_EQ(line.EventsSeen(), EV_RXCHAR);
  EXPECT_TRUE(record.IsSignalled());
  // Still unread: not reported again.
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), ERROR_TIMEOUT);

  EXPECT_EQ(ReadAll(2), (std::vector<uint8_t>{'1', '2'}));
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), ERROR_TIMEOUT);
  pty.Send("3");
  EXPECT_EQ(line.WaitForEvent(nullptr, 2000), 0);
  EXPECT_EQ(line.EventsSeen(), EV_RXCHAR);
}

TEST_F(ComLineTest, ApplyingTheMaskCompletesAWaitWithNoBits) {
  OpenOverlapped();
  // Applied while no wait is pending, it completes the next wait, once: a
  // listener being stopped between two waits still wakes.
  ASSERT_EQ(line.SetEventMask(EV_RXCHAR), 0);
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), 0);
  EXPECT_EQ(line.EventsSeen(), 0u);
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), ERROR_TIMEOUT);
}

TEST_F(ComLineTest, InputThatArrivedWhileNotWatchedIsReportedOnceWatched) {
  OpenOverlapped();
  ASSERT_EQ(line.SetEventMask(0), 0);  // no port event watched
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), 0);  // the applied mask
  pty.Send("4");
  EXPECT_EQ(line.WaitForEvent(nullptr, 50), ERROR_TIMEOUT);
  ASSERT_EQ(line.SetEventMask(EV_RXCHAR), 0);
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), 0);
  EXPECT_EQ(line.EventsSeen(), 0u);
  // The byte came while input was not watched; it is not held back until
  // some later read.
  ASSERT_EQ(line.WaitForEvent(nullptr, 2000), 0);
  EXPECT_EQ(line.EventsSeen(), EV_RXCHAR);
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), ERROR_TIMEOUT);
}

TEST_F(ComLineTest, HungUpDeviceIsReportedLost) {
  OpenOverlapped();
  // Linux throws away what a hung-up slave had not read, so these bytes are
  // gone: no input may be reported beside the hang-up, though a hung-up tty
  // polls as readable.
  pty.Send("gone");
  pty.CloseMaster();
  EXPECT_EQ(line.WaitForEvent(nullptr, 2000), EIO);
  EXPECT_TRUE(line.IsLineLost());
  uint8_t buffer[16];
  uint32_t count = 0;
  EXPECT_EQ(line.Read(buffer, 16, &count, nullptr, INFINITE), EIO);
  EXPECT_EQ(line.Write("x", &count, nullptr, INFINITE), EIO);
  EXPECT_EQ(line.GetBaudRate(), -1);
  EXPECT_EQ(line.LastError(), EIO);
  EXPECT_EQ(line.Close(), 0);
}

// A device that sends its last bytes and hangs up before anyone waits: on a
// master (see PtySlaveDevice) the bytes outlive the hang-up, so the line
// must hand them over before it reports the loss.
TEST_F(ComLineTest, InputBesideAHangUpIsReportedAndReadBeforeTheLoss) {
  test::PtySlaveDevice device;
  ASSERT_EQ(test::OpenWhenFree([&] { return line.Open(device.kMasterDevice, 0, 0, true); }), 0);
  ASSERT_TRUE(device.Attach());
  device.Send("last words");
  device.HangUp();

  ASSERT_EQ(line.WaitForEvent(nullptr, 2000), 0);
  EXPECT_EQ(line.EventsSeen(), EV_RXCHAR);
  EXPECT_FALSE(line.IsLineLost());
  uint8_t buffer[64];
  uint32_t count = 0;
  EXPECT_EQ(line.Read(buffer, sizeof buffer, &count, nullptr, INFINITE), 0);
  EXPECT_EQ(std::string(buffer, buffer + count), "last words");

  EXPECT_EQ(line.WaitForEvent(nullptr, 2000), EIO);
  EXPECT_TRUE(line.IsLineLost());
  EXPECT_EQ(line.WaitForEvent(nullptr, 20), EIO);
}

}  // namespace
}  // namespace verdelo
