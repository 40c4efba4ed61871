// The mower reached over the network, with the console's own port class at
// the other end: the program serving a TCP port as a raw bridge would, and
// ser2net bridging the mower's pseudo-terminal with RFC 2217.
#include <gtest/gtest.h>
#include <termios.h>

#include <sstream>
#include <string>

#include "console/mower_status.h"
#include "serial/com_line.h"
#include "tests/mower/mower_program.h"
#include "tests/serial/ser2net_bridge.h"
#include "tools/mower/line_transport.h"

namespace verdelo::mower {
namespace {

using testing::Answer;
using testing::Bytes;
using testing::Clock;
using testing::ElapsedMs;
using testing::kLineClockGrainMs;
using testing::kPatienceMs;
using testing::kQuietMs;
using testing::MowerProgram;

// Reads through the port until `want` bytes came or the time ran out.
Bytes Receive(CComLine& port, std::size_t want, int timeout_ms = kPatienceMs) {
  Bytes got;
  const auto start = Clock::now();
  uint8_t buffer[512];
  while (got.size() < want) {
    uint32_t count = 0;
    port.Read(buffer, static_cast<uint32_t>(std::min(sizeof buffer, want - got.size())), &count,
              nullptr, INFINITE);
    got.insert(got.end(), buffer, buffer + count);
    const long left = timeout_ms - ElapsedMs(start);
    if (got.size() < want &&
        (left <= 0 || port.WaitForEvent(nullptr, static_cast<uint32_t>(left)) != 0))
      break;
  }
  return got;
}

void Send(CComLine& port, std::uint16_t code, std::uint16_t value) {
  const MowerFrame frame = BuildRequest(code, value);
  ASSERT_EQ(port.Write(frame.data(), 5, nullptr, nullptr, INFINITE), 0);
}

Bytes Ask(CComLine& port, std::uint16_t code, std::uint16_t value = 0) {
  Send(port, code, value);
  return Receive(port, 5);
}

TEST(MowerTcp, ListenAddressForms) {
  std::string host;
  int port = -1;
  ASSERT_TRUE(ParseListenAddress("4001", host, port));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 4001);
  ASSERT_TRUE(ParseListenAddress("[::1]:0", host, port));
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(port, 0);
  for (const char* bad : {"", "x", "::1:80", ":80", "host:", "host:65536", "host:-1", "[host]:80"})
    EXPECT_FALSE(ParseListenAddress(bad, host, port)) << bad;
}

TEST(MowerTcp, ProgramServesAConsoleEveryByteValueAndItsFaults) {
  MowerProgram mower({"--tcp", "0", "--start", "22:00", "--phase", "timer"});
  ASSERT_EQ(mower.device.rfind("tcp://127.0.0.1:", 0), 0u) << mower.device;
  CComLine console;
  ASSERT_EQ(console.Open(mower.device, 0, 0, true), 0);

  // Write requests echo their values: 128 of them carry every byte value
  // out and back.
  Bytes requests, answers;
  for (int i = 0; i < 256; i += 2) {
    const auto value = static_cast<std::uint16_t>(i << 8 | (i + 1));
    const MowerFrame request = BuildRequest(0x9234, value);
    requests.insert(requests.end(), request.begin(), request.end());
    const Bytes answer = Answer(0x9234, value);
    answers.insert(answers.end(), answer.begin(), answer.end());
  }
  ASSERT_EQ(console.Write(requests.data(), static_cast<uint32_t>(requests.size()), nullptr, nullptr,
                          INFINITE),
            0);
  EXPECT_EQ(Receive(console, answers.size()), answers);

  EXPECT_EQ(mower.Command("silent"), "ok: silent");
  Send(console, CMD_READ_STATUS, 0);
  EXPECT_TRUE(Receive(console, 1, kQuietMs).empty());
  mower.Command("resume");
  mower.Command("drop 1");
  Send(console, CMD_READ_STATUS, 0);
  EXPECT_EQ(Receive(console, 5, kQuietMs).size(), 4u);
  mower.Command("resume");
  mower.Command("delay 200");
  const auto sent = Clock::now();
  EXPECT_EQ(Ask(console, CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_TIMER));
  EXPECT_GE(ElapsedMs(sent), 200 - kLineClockGrainMs);
  mower.Command("garbage 64");
  EXPECT_EQ(Receive(console, 64).size(), 64u);
  EXPECT_EQ(mower.Terminate(), 0);
}

TEST(MowerTcp, OneConsoleAtATimeAndTheNextOnceItLeaves) {
  MowerProgram mower({"--tcp", "0", "--start", "22:00", "--phase", "timer"});
  CComLine first, second, third;
  ASSERT_EQ(first.Open(mower.device, 0, 0, true), 0);
  EXPECT_EQ(Ask(first, CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_TIMER));

  ASSERT_EQ(second.Open(mower.device, 0, 0, true), 0);  // the kernel takes the call
  EXPECT_EQ(second.WaitForEvent(nullptr, kPatienceMs), kDeviceLostErrno);
  EXPECT_EQ(second.LostCause(), ERROR_GRACEFUL_DISCONNECT);
  EXPECT_EQ(Ask(first, CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_TIMER));

  first.Close();
  ASSERT_EQ(third.Open(mower.device, 0, 0, true), 0);
  EXPECT_EQ(Ask(third, CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_TIMER));
  EXPECT_EQ(mower.Terminate(), 0);
}

// The mower on its own pseudo-terminal, ser2net in front of it: the rate the
// console chooses reaches the mower's line.
TEST(MowerTcp, Ser2netBridgesTheMowersPseudoTerminal) {
  if (!test::Ser2netBridge::Installed()) GTEST_SKIP() << "ser2net is not installed";
  std::string error;
  auto line = OpenPseudoTerminal(error);
  ASSERT_TRUE(line) << error;
  MowerOptions options;
  options.day.start_phase = Phase::AtHomeCharged;
  VirtualMower mower(options);
  std::ostringstream replies;
  ServeLoop loop(mower, *line, -1, replies, nullptr);
  testing::LoopThread runner(loop);

  test::Ser2netBridge bridge(line->device(), true);
  ASSERT_TRUE(bridge.ok());
  CComLine console;
  ASSERT_EQ(console.Open(bridge.Address(), 0, 0, true), 0);
  ASSERT_EQ(console.Configure(19200, 8, kParityNone, kStopBitsOne), 0);
  termios settings{};
  ASSERT_EQ(tcgetattr(line->fd(), &settings), 0);
  EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B19200));
  EXPECT_EQ(Ask(console, CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_AT_HOME_CHARGED));
  EXPECT_EQ(Ask(console, 0x9234, 0xFFFF), Answer(0x9234, 0xFFFF));
  EXPECT_EQ(runner.Stop(), 0);
}

}  // namespace
}  // namespace verdelo::mower
