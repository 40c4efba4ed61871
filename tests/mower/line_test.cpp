// The mower on a real pseudo-terminal, made by the mower or standing in for
// a real port: the serve loop in-process, and the program itself steered
// through its standard input. Waits are bounded poll() timeouts on the
// descriptors, never sleeps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <fstream>
#include <sstream>
#include <thread>

#include "console/mower_status.h"
#include "mower_test_util.h"
#include "tests/mower/mower_program.h"
#include "tools/mower/config_update.h"
#include "tools/mower/line_transport.h"
#include "tools/mower/serve_loop.h"
#include "tools/mower/trace_log.h"
#include "tests/support/process_usage.h"

namespace verdelo::mower {
namespace {

using testing::Answer;
using testing::Bytes;
using testing::Clock;
using testing::ElapsedMs;
using testing::kLineClockGrainMs;
using testing::kPatienceMs;
using testing::kQuietMs;
using testing::LoopThread;
using testing::MowerProgram;
using testing::ReadBytes;

// The console's end of the line.
class ConsoleEnd {
 public:
  explicit ConsoleEnd(const std::string& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &settings) == 0) {
      ::cfmakeraw(&settings);
      ::tcsetattr(fd_, TCSANOW, &settings);
    }
  }
  // Takes over a descriptor as it is.
  explicit ConsoleEnd(int fd) : fd_(fd) {}
  ~ConsoleEnd() { Close(); }
  ConsoleEnd(const ConsoleEnd&) = delete;
  ConsoleEnd& operator=(const ConsoleEnd&) = delete;
  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  void SendBytes(const Bytes& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
  }
  void Send(std::uint16_t code, std::uint16_t value) {
    const MowerFrame frame = BuildRequest(code, value);
    ASSERT_EQ(::write(fd_, frame.data(), frame.size()), 5);
  }
  Bytes Receive(std::size_t want, int timeout_ms = kPatienceMs) { return ReadBytes(fd_, want, timeout_ms); }
  Bytes Ask(std::uint16_t code, std::uint16_t value = 0) {
    Send(code, value);
    return Receive(5);
  }

 private:
  int fd_ = -1;
};

TEST(MowerLine, ConfigGetsThePortLinesAndKeepsTheRest) {
  EXPECT_EQ(WithMowerPort("", "/dev/pts/7"), "[COM1]/dev/pts/7\r\n[COMPORT]0\r\n[COMPORT_AUTO_OPEN]1\r\n");
  const std::string before =
      "[SCHEDULER_TIMER]500\r\n[COMPORT]3\r\nnote [COM1]/dev/ttyUSB0\r\n[COM10]/dev/ttyS9\r\n"
      "[COMPORT_AUTO_OPEN]0\n[COMPORT]4\r\n[ALARM_TIMER]5000";
  EXPECT_EQ(WithMowerPort(before, "/dev/pts/7"),
            "[SCHEDULER_TIMER]500\r\n[COMPORT]0\r\n[COM1]/dev/pts/7\r\n[COM10]/dev/ttyS9\r\n"
            "[COMPORT_AUTO_OPEN]1\r\n[ALARM_TIMER]5000\r\n");

  char dir[] = "/tmp/verdelo-mower-config-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/config.txt";
  std::string error;
  ASSERT_TRUE(UpdateConsoleConfig(path, "/dev/pts/9", error)) << error;
  ASSERT_TRUE(UpdateConsoleConfig(path, "/dev/pts/3", error)) << error;
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "[COM1]/dev/pts/3\r\n[COMPORT]0\r\n[COMPORT_AUTO_OPEN]1\r\n");
  EXPECT_FALSE(UpdateConsoleConfig(std::string(dir) + "/missing/config.txt", "/dev/pts/3", error));
  std::remove(path.c_str());
  ::rmdir(dir);
}

TEST(MowerLine, TraceLineFormat) {
  const Bytes bytes{0x0F, 0x01, 0xEB, 0x18, 0xFC};
  EXPECT_EQ(TraceLine(1234, "ANS", bytes), "1234 ANS 0F 01 EB 18 FC");
}

MowerOptions AtHome() {
  MowerOptions options;
  options.day.start_phase = Phase::AtHomeCharged;  // two quiet minutes at speed 1
  return options;
}

TEST(MowerLine, ServeLoopAnswersAcrossAPseudoTerminalAndSurvivesTheConsoleClosing) {
  std::string error;
  auto line = OpenPseudoTerminal(error);
  ASSERT_TRUE(line) << error;
  VirtualMower mower(AtHome());
  std::ostringstream replies, trace_text;
  TraceLog trace(trace_text);
  ServeLoop loop(mower, *line, -1, replies, &trace);
  LoopThread runner(loop);

  {
    ConsoleEnd console(line->device());
    ASSERT_TRUE(console.ok());
    EXPECT_EQ(console.Ask(CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_AT_HOME_CHARGED));
    EXPECT_EQ(console.Ask(CMD_SET_MAX_CAPACITY, 2500), Answer(CMD_SET_MAX_CAPACITY, 2500));
  }
  // Closed and opened again, the way the console's Close and Open buttons do.
  ConsoleEnd console(line->device());
  ASSERT_TRUE(console.ok());
  EXPECT_EQ(console.Ask(CMD_READ_MAX_CAPACITY), Answer(CMD_READ_MAX_CAPACITY, 2500));

  EXPECT_EQ(runner.Stop(), 0);
  const std::string text = trace_text.str();
  EXPECT_NE(text.find(" REQ 0F 80 B1 09 C4\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" ANS 0F 80 B1 C4 09\n"), std::string::npos) << text;
}

TEST(MowerLine, ServeLoopHoldsDelayedAnswersBackOnTheRealClock) {
  std::string error;
  auto line = OpenPseudoTerminal(error);
  ASSERT_TRUE(line) << error;
  VirtualMower mower(AtHome());
  mower.faults().delay_ms = 250;
  std::ostringstream replies;
  ServeLoop loop(mower, *line, -1, replies, nullptr);
  LoopThread runner(loop);
  ConsoleEnd console(line->device());
  const auto sent = Clock::now();
  console.Send(CMD_READ_STATUS, 0);
  EXPECT_EQ(console.Receive(5), Answer(CMD_READ_STATUS, STATUS_AT_HOME_CHARGED));
  EXPECT_GE(ElapsedMs(sent), 250 - kLineClockGrainMs);
  runner.Stop();
}

// A pseudo-terminal standing in for a real port: the mower opens the slave by
// its path, as it would /dev/ttyUSB0, and the master is the far end of the
// cable, where the console sits.
struct CableToPort {
  CableToPort() {
    int master = -1, slave = -1;
    char name[128];
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    console = std::make_unique<ConsoleEnd>(master);
    port = name;
  }
  std::unique_ptr<ConsoleEnd> console;
  std::string port;
};

Bytes Joined(const Bytes& first, const Bytes& second) {
  Bytes all = first;
  all.insert(all.end(), second.begin(), second.end());
  return all;
}

// Passes everything on to a line, and tells through a pipe when the serve
// loop has asked for the line's descriptor a given number of times more.
class WatchedLine : public LineTransport {
 public:
  explicit WatchedLine(LineTransport& line) : line_(line) {
    if (::pipe2(told_, O_CLOEXEC | O_NONBLOCK) != 0) told_[0] = told_[1] = -1;
  }
  ~WatchedLine() override {
    for (int end : told_)
      if (end >= 0) ::close(end);
  }
  void TellAfter(int looks) { remaining_ = looks; }
  bool WaitTold(int timeout_ms) {
    pollfd p{told_[0], POLLIN, 0};
    return ::poll(&p, 1, timeout_ms) == 1;
  }

  int fd() const override {
    if (remaining_.fetch_sub(1) == 1) {
      const char byte = 1;
      [[maybe_unused]] auto written = ::write(told_[1], &byte, 1);
    }
    return line_.fd();
  }
  long Read(std::uint8_t* buffer, std::size_t size) override { return line_.Read(buffer, size); }
  long Write(const std::uint8_t* data, std::size_t size) override { return line_.Write(data, size); }
  const std::string& device() const override { return line_.device(); }

 private:
  LineTransport& line_;
  mutable std::atomic<int> remaining_{0};
  int told_[2];
};

TEST(MowerSerialPort, ServesThePortThroughTheSerialLayerWithEveryByteUntouched) {
  CableToPort cable;
  ASSERT_TRUE(cable.console);
  std::string error;
  auto line = OpenSerialPort(cable.port, 19200, error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->device(), cable.port);
  termios settings{};
  ASSERT_EQ(::tcgetattr(cable.console->fd(), &settings), 0);  // the master shows the slave's settings
  EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B19200));
  EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);

  WatchedLine watched(*line);
  VirtualMower mower(AtHome());
  std::ostringstream replies;
  ServeLoop loop(mower, watched, -1, replies, nullptr);
  LoopThread runner(loop);

  ConsoleEnd& console = *cable.console;
  EXPECT_EQ(console.Ask(CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_AT_HOME_CHARGED));
  // XON, XOFF and CR in a value pass both ways as they are.
  EXPECT_EQ(console.Ask(CMD_SET_MAX_CAPACITY, 0x1311), Answer(CMD_SET_MAX_CAPACITY, 0x1311));
  EXPECT_EQ(console.Ask(CMD_READ_MAX_CAPACITY), Answer(CMD_READ_MAX_CAPACITY, 0x1311));

  // Two requests in one write, then one in two pieces.
  const MowerFrame status = BuildRequest(CMD_READ_STATUS, 0);
  const MowerFrame other = BuildRequest(0x9234, 0x0D0D);
  console.SendBytes(Joined(Bytes(status.begin(), status.end()), Bytes(other.begin(), other.end())));
  EXPECT_EQ(console.Receive(10),
            Joined(Answer(CMD_READ_STATUS, STATUS_AT_HOME_CHARGED), Answer(0x9234, 0x0D0D)));
  console.SendBytes({other[0], other[1]});
  console.SendBytes({other[2], other[3], other[4]});
  EXPECT_EQ(console.Receive(5), Answer(0x9234, 0x0D0D));

  // A quiet port leaves the loop asleep.
  watched.TellAfter(2);
  EXPECT_FALSE(watched.WaitTold(kQuietMs));

  EXPECT_EQ(runner.Stop(), 0);
}

// Counts the serve loop's turns: it asks for the line's descriptor once a turn.
class CountingLine : public LineTransport {
 public:
  explicit CountingLine(LineTransport& line) : line_(line) {}
  int fd() const override {
    ++turns;
    return line_.fd();
  }
  long Read(std::uint8_t* buffer, std::size_t size) override { return line_.Read(buffer, size); }
  long Write(const std::uint8_t* data, std::size_t size) override { return line_.Write(data, size); }
  const std::string& device() const override { return line_.device(); }
  mutable std::atomic<long> turns{0};

 private:
  LineTransport& line_;
};

TEST(MowerLine, FloodGoesOutPacedByTheLoopsSleepNotAllAtOnceNorBySpinning) {
  std::string error;
  auto pty = OpenPseudoTerminal(error);
  ASSERT_TRUE(pty) << error;
  CountingLine line(*pty);
  VirtualMower mower(AtHome());
  int commands[2];
  ASSERT_EQ(::pipe(commands), 0);
  std::ostringstream replies, trace_text;
  TraceLog trace(trace_text);
  ServeLoop loop(mower, line, commands[0], replies, &trace);
  LoopThread runner(loop);
  ConsoleEnd console(line.device());
  ASSERT_TRUE(console.ok());
  // Answered: the loop has seen the console arrive and sends, no longer drops.
  ASSERT_EQ(console.Ask(CMD_READ_STATUS).size(), 5u);

  const long turns_before = line.turns;
  const std::string command = "flood 1000 300\n";
  ASSERT_EQ(::write(commands[1], command.data(), command.size()), static_cast<long>(command.size()));
  const auto started = Clock::now();
  const Bytes first = console.Receive(5);
  const Bytes rest = console.Receive(299 * 5);
  const long took_ms = ElapsedMs(started);
  const long turns = line.turns - turns_before;
  EXPECT_TRUE(console.Receive(1, kQuietMs).empty());  // and then it stops
  runner.Stop();
  ::close(commands[0]);
  ::close(commands[1]);

  ASSERT_EQ(first.size(), 5u);
  ASSERT_EQ(rest.size(), 299u * 5);
  EXPECT_EQ((Bytes{first[0], first[1], first[2]}), (Bytes{0x0F, 0x01, 0xEB}));
  for (std::size_t at = 0; at < rest.size(); at += 5) ASSERT_EQ(rest[at], 0x0F) << at;
  EXPECT_GE(took_ms, 280);  // the last of 300 frames at 1000 a second leaves at 299 ms
  // At most about a turn per millisecond of flood; a spinning loop would
  // take many thousands.
  EXPECT_LT(turns, 1000);
  EXPECT_NE(replies.str().find("ok: flood 1000 300"), std::string::npos);
  long traced = 0;
  std::istringstream traced_lines(trace_text.str());
  for (std::string entry; std::getline(traced_lines, entry);)
    if (entry.find(" FLOOD ") != std::string::npos) traced += static_cast<long>(entry.size() - entry.find(" FLOOD ") - 6) / 15;
  EXPECT_EQ(traced, 300);
}

TEST(MowerSerialPort, RefusesUnsupportedRatesMissingDevicesAndAPortInUse) {
  EXPECT_TRUE(IsSupportedBaud(9600));
  EXPECT_TRUE(IsSupportedBaud(115200));
  EXPECT_TRUE(IsSupportedBaud(460800));
  EXPECT_FALSE(IsSupportedBaud(0));
  EXPECT_FALSE(IsSupportedBaud(-9600));
  EXPECT_FALSE(IsSupportedBaud(12345));

  CableToPort cable;
  ASSERT_TRUE(cable.console);
  std::string error;
  EXPECT_EQ(OpenSerialPort(cable.port, 12345, error), nullptr);
  EXPECT_EQ(error, "unsupported baud rate 12345");
  EXPECT_EQ(OpenSerialPort("/dev/verdelo-no-such-port", 9600, error), nullptr);
  EXPECT_NE(error.find("/dev/verdelo-no-such-port: No such file"), std::string::npos) << error;

  auto first = OpenSerialPort(cable.port, 9600, error);
  ASSERT_TRUE(first) << error;
  EXPECT_EQ(OpenSerialPort(cable.port, 9600, error), nullptr);
  EXPECT_NE(error.find("in use by another program"), std::string::npos) << error;
  first.reset();  // let go on close
  EXPECT_TRUE(OpenSerialPort(cable.port, 9600, error)) << error;
}

TEST(MowerSerialPort, ALostPortIsAHangUpForGoodThatTheLoopWaitsOutWithoutSpinning) {
  CableToPort cable;
  ASSERT_TRUE(cable.console);
  std::string error;
  auto port = OpenSerialPort(cable.port, 9600, error);
  ASSERT_TRUE(port) << error;
  WatchedLine line(*port);
  VirtualMower mower(AtHome());
  std::ostringstream replies;
  ServeLoop loop(mower, line, -1, replies, nullptr);
  LoopThread runner(loop);
  EXPECT_EQ(cable.console->Ask(CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_AT_HOME_CHARGED));

  cable.console->Close();  // the adapter is pulled
  pollfd lost{port->fd(), 0, 0};
  ASSERT_EQ(::poll(&lost, 1, kPatienceMs), 1);
  EXPECT_TRUE(lost.revents & POLLHUP);

  // The loop keeps looking at the line, with pauses between its looks.
  line.TellAfter(5);
  const long cpu_before = test::ProcessCpuMs();
  const auto since = Clock::now();
  ASSERT_TRUE(line.WaitTold(kPatienceMs));
  const long elapsed_ms = ElapsedMs(since);
  const long cpu_ms = test::ProcessCpuMs() - cpu_before;
  EXPECT_GE(elapsed_ms, 100);
  EXPECT_LT(cpu_ms, elapsed_ms / 5 + 5) << "over " << elapsed_ms << " ms";

  EXPECT_EQ(runner.Stop(), 0);
  std::uint8_t byte = 0;
  errno = 0;
  EXPECT_EQ(port->Read(&byte, 1), -1);
  EXPECT_EQ(errno, EIO);
  errno = 0;
  EXPECT_EQ(port->Write(&byte, 1), -1);
  EXPECT_EQ(errno, EIO);
  pollfd still{port->fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&still, 1, 0), 1);
  EXPECT_TRUE(still.revents & POLLHUP);
}

TEST(MowerLine, ProgramServesThePollCycleAndWritesConfigAndTrace) {
  char dir[] = "/tmp/verdelo-mower-run-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string config = std::string(dir) + "/config.txt";
  const std::string trace = std::string(dir) + "/trace.txt";
  MowerProgram mower({"--config", config, "--trace", trace, "--speed", "60", "--start", "10:00",
                      "--phase", "cutting"});
  ASSERT_EQ(mower.device.rfind("/dev/pts/", 0), 0u) << mower.device;
  ConsoleEnd console(mower.device);
  ASSERT_TRUE(console.ok());

  const std::uint16_t poll_cycle[] = {0x01EB, 0x0233, 0x01DB, 0x2EF4, 0x2EFE, 0x01F2, 0x007F, 0x01F1,
                                      0x012F, 0x36B1, 0x0392, 0x00B1, 0x2EE0, 0x01DC, 0x01B9, 0x01BA,
                                      0x01B8, 0x36B3, 0x012C, 0x0175, 0x0137, 0x36B5, 0x0138};
  for (std::uint16_t code : poll_cycle) {
    const Bytes answer = console.Ask(code);
    ASSERT_EQ(answer.size(), 5u) << code;
    EXPECT_EQ((Bytes{answer[0], answer[1], answer[2]}),
              (Bytes{0x0F, static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF)}));
  }
  const int status = testing::SignedValue(console.Ask(CMD_READ_STATUS));
  EXPECT_TRUE(status == STATUS_CUTTING || status == STATUS_CUTTING_SQUARE) << status;
  const Bytes voltage = console.Ask(REG_VOLTAGE);
  ASSERT_EQ(voltage.size(), 5u);
  const int millivolts = voltage[3] | voltage[4] << 8;  // one answer, low byte first
  EXPECT_GT(millivolts, 21000);
  EXPECT_EQ(testing::SignedValue(console.Ask(REG_CLOCK_HOURS)), 10);
  EXPECT_EQ(mower.Terminate(), 0);

  std::ifstream config_in(config, std::ios::binary);
  std::stringstream config_text;
  config_text << config_in.rdbuf();
  EXPECT_EQ(config_text.str(), "[COM1]" + mower.device + "\r\n[COMPORT]0\r\n[COMPORT_AUTO_OPEN]1\r\n");
  std::ifstream trace_in(trace);
  int requests = 0, answers = 0;
  for (std::string line; std::getline(trace_in, line);) {
    requests += line.find(" REQ 0F ") != std::string::npos;
    answers += line.find(" ANS 0F ") != std::string::npos;
  }
  EXPECT_EQ(requests, 26);
  EXPECT_EQ(answers, 26);
  std::remove(config.c_str());
  std::remove(trace.c_str());
  ::rmdir(dir);
}

TEST(MowerLine, ProgramFaultsFromItsStandardInputShowOnTheLine) {
  MowerProgram mower({"--fault", "mute 475", "--start", "22:00", "--phase", "timer"});
  ConsoleEnd console(mower.device);
  ASSERT_TRUE(console.ok());
  const Bytes timer_status = Answer(CMD_READ_STATUS, STATUS_TIMER);

  console.Send(REG_BOUNDARY_FRONT, 0);  // muted from the command line
  EXPECT_EQ(console.Ask(CMD_READ_STATUS), timer_status);

  EXPECT_EQ(mower.Command("silent"), "ok: silent");
  console.Send(CMD_READ_STATUS, 0);
  EXPECT_TRUE(console.Receive(1, kQuietMs).empty());
  EXPECT_EQ(mower.Command("resume"), "ok: resume");
  EXPECT_EQ(console.Ask(REG_BOUNDARY_FRONT).size(), 5u);

  mower.Command("drop 1");
  console.Send(CMD_READ_STATUS, 0);
  EXPECT_EQ(console.Receive(5, kQuietMs).size(), 4u);  // the fifth byte never comes
  mower.Command("corrupt 1");
  EXPECT_NE(console.Ask(0x9234, 0x1111), Answer(0x9234, 0x1111));
  mower.Command("resume");
  EXPECT_EQ(console.Ask(0x9234, 0x1111), Answer(0x9234, 0x1111));

  mower.Command("delay 300");
  const auto sent = Clock::now();
  EXPECT_EQ(console.Ask(CMD_READ_STATUS), timer_status);
  EXPECT_GE(ElapsedMs(sent), 300 - kLineClockGrainMs);
  mower.Command("resume");

  mower.Command("garbage 64");
  EXPECT_EQ(console.Receive(64).size(), 64u);
  mower.Command("burst 10");
  const Bytes burst = console.Receive(50);
  ASSERT_EQ(burst.size(), 50u);
  for (std::size_t at = 0; at < burst.size(); at += 5) EXPECT_EQ(burst[at], 0x0F);

  EXPECT_EQ(console.Ask(REG_POWER), Answer(REG_POWER, kPowerPresentValue));
  mower.Command("nopower");
  EXPECT_EQ(console.Ask(REG_POWER), Answer(REG_POWER, 0));
  mower.Command("outside");
  EXPECT_EQ(console.Ask(CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_OUTSIDE_BOUNDARY_ERROR));
  mower.Command("lowcurrent");
  EXPECT_LT(testing::SignedValue(console.Ask(REG_CURRENT)), -5000);
  EXPECT_NE(mower.Command("status").find("faults: nopower, lowcurrent"), std::string::npos);
  EXPECT_EQ(mower.Command("bogus").rfind("error:", 0), 0u);
  EXPECT_EQ(mower.Terminate(), 0);
}

TEST(MowerLine, ProgramServesARealPortGivenWithPort) {
  CableToPort cable;
  ASSERT_TRUE(cable.console);
  {
    MowerProgram refused({"--port", cable.port, "--baud", "12345"});
    EXPECT_EQ(refused.device, "(nothing)");
    EXPECT_EQ(refused.Terminate(), 2);
    MowerProgram missing({"--port", "/dev/verdelo-no-such-port"});
    EXPECT_EQ(missing.device, "(nothing)");
    EXPECT_EQ(missing.Terminate(), 2);
  }
  MowerProgram mower({"--port", cable.port, "--baud", "19200", "--start", "22:00", "--phase", "timer"});
  ASSERT_EQ(mower.device, cable.port);
  ConsoleEnd& console = *cable.console;
  EXPECT_EQ(console.Ask(CMD_READ_STATUS), Answer(CMD_READ_STATUS, STATUS_TIMER));
  EXPECT_EQ(console.Ask(0x9234, 0x1311), Answer(0x9234, 0x1311));
  EXPECT_EQ(mower.Command("nopower"), "ok: nopower");
  EXPECT_EQ(console.Ask(REG_POWER), Answer(REG_POWER, 0));
  EXPECT_EQ(mower.Terminate(), 0);
}

}  // namespace
}  // namespace verdelo::mower
