// The console window on a pseudo-terminal whose other end misbehaves: the
// device vanishes, the peer stops reading, the line carries noise and floods.
// Real time, real event loop; every wait has a deadline.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "serial/com_line.h"
#include "tests/e2e/records.h"
#include "tests/faults/console_window.h"
#include "tests/faults/fault_support.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/qt_wait.h"
#include "tools/mower/virtual_mower.h"
#include "widgets/traffic_list.h"

namespace verdelo::test {
namespace {

constexpr int kPollMs = 20;

class LineFaults : public ::testing::Test {
 protected:
  void TearDown() override {
    window_.reset();
    if (spare_ >= 0) ::close(spare_);
  }

  void StartConsole(const std::string& device, const std::vector<std::string>& extra = {}) {
    window_ = StartConsoleWindow(dir_.path(), dir_.path() / "config.txt", device, kPollMs, extra);
    ASSERT_TRUE(boxes_.texts().empty()) << boxes_.texts().front();
    ASSERT_EQ(Port().portOpen(), 1) << "the console did not open " << device;
  }

  CPortControlDlg& Port() { return window_->portDialog(); }
  std::string PortStatus() { return PortStatusLabel(*window_)->text().toStdString(); }
  std::string PortReason() { return PortStatusLabel(*window_)->toolTip().toStdString(); }
  std::string Label(int id) { return window_->controls().Text(id); }
  int ListCount(int id) { return qobject_cast<TrafficList*>(Port().Control(id))->count(); }
  void ClickOpen() { qobject_cast<QAbstractButton*>(Port().Control(3))->click(); }
  void ClickClose() { qobject_cast<QAbstractButton*>(Port().Control(5))->click(); }

  TempDir dir_;
  MessageBoxGuard boxes_;
  std::unique_ptr<CKelvoPCDlg> window_;
  int spare_ = -1;
};

// Points `link` at `target`, replacing what it pointed at in one step, the
// way a device manager names an adapter whichever node it gets.
void PointLink(const std::filesystem::path& link, const std::string& target) {
  const std::filesystem::path fresh = link.string() + ".new";
  std::filesystem::remove(fresh);
  std::filesystem::create_symlink(target, fresh);
  std::filesystem::rename(fresh, link);
}

bool IsRequestFrame(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() == 5 && bytes[0] == kFrameStart;
}

// The console runs on this thread: its requests come only while the event
// loop turns.
std::vector<std::uint8_t> AwaitRequest(PtyPair& device, int limitMs = 2000) {
  std::vector<std::uint8_t> got;
  AwaitEvents(
      [&] {
        const auto more = device.Receive(5 - got.size(), 0);
        got.insert(got.end(), more.begin(), more.end());
        return got.size() == 5;
      },
      limitMs);
  return got;
}

// The device end of a pseudo-terminal for floods: it never blocks, so the
// test can keep the console's event loop turning while the line fills.
class FloodLine {
 public:
  FloodLine() {
    int slave = -1;
    char name[128];
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    ::close(slave);
    slavePath_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~FloodLine() { ::close(master_); }
  FloodLine(const FloodLine&) = delete;
  FloodLine& operator=(const FloodLine&) = delete;
  const std::string& SlavePath() const { return slavePath_; }

  // Sends all bytes, running the event loop whenever the line is full;
  // false if it took nothing for `limitMs`.
  bool Send(const std::vector<std::uint8_t>& bytes, int limitMs = 2000) {
    std::size_t sent = 0;
    QElapsedTimer stalled;
    stalled.start();
    while (sent < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        stalled.restart();
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        return false;
      } else if (stalled.elapsed() > limitMs) {
        return false;
      } else {
        RunEvents(1);
      }
    }
    return true;
  }
  // What the console has sent so far.
  std::vector<std::uint8_t> Take() {
    std::vector<std::uint8_t> got;
    std::uint8_t buffer[4096];
    ssize_t n;
    while ((n = ::read(master_, buffer, sizeof buffer)) > 0) got.insert(got.end(), buffer, buffer + n);
    return got;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

TEST_F(LineFaults, VanishedDeviceClosesTheLinkWithAReasonWithoutSpinningAndOpensAgainOnceBack) {
  const std::filesystem::path port = dir_.path() / "ttyMower";
  auto device = std::make_unique<PtyPair>();
  PointLink(port, device->SlavePath());
  StartConsole(port.string(), {"[COMPORT_AUTO_REOPEN]0"});
  ASSERT_TRUE(IsRequestFrame(AwaitRequest(*device)));
  device->Send(AnswerBytes(REG_VOLTAGE, 24000));
  ASSERT_TRUE(AwaitEvents([&] { return Label(IDC_VOLTAGE) == "Voltage(mV) :24000"; }));

  // Pulled out: the device goes and its name with it (left on the dead
  // pseudo-terminal, the name could lead to a test running beside this one
  // that has just been given the same number, and Open would take its line).
  device->CloseMaster();
  std::filesystem::remove(port);
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 0; }));
  EXPECT_EQ(PortStatus(), "PORT CLOSED");
  EXPECT_NE(PortReason().find(port.string()), std::string::npos) << PortReason();
  EXPECT_NE(PortReason().find("gone"), std::string::npos) << PortReason();

  // Closed, it stays idle: the poll cycle runs on without a line, nothing
  // spins on the hang-up and, with reopening switched off, nothing opens by
  // itself.
  const long cpuBefore = ProcessCpuMs();
  std::set<std::string> shown;
  std::set<int> steps;
  QElapsedTimer second;
  second.start();
  while (second.elapsed() < 1000) {
    RunEvents(20);
    shown.insert(PortStatus());
    steps.insert(window_->console().pollStep());
  }
  const long cpuMs = ProcessCpuMs() - cpuBefore;
  EXPECT_LT(cpuMs, 250) << "CPU time in the second after the device vanished";
  EXPECT_EQ(shown, std::set<std::string>{"PORT CLOSED"});
  EXPECT_GE(steps.size(), 5u) << "the poll cycle stopped";
  EXPECT_EQ(Port().portOpen(), 0);

  // Open while nothing is there: refused, and the link stays closed.
  ClickOpen();
  EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"COM-port NOK"});
  EXPECT_EQ(Port().portOpen(), 0);
  EXPECT_EQ(PortStatus(), "PORT CLOSED");

  // Plugged in again, under the same name.
  device = std::make_unique<PtyPair>();
  PointLink(port, device->SlavePath());
  ClickOpen();
  EXPECT_EQ(boxes_.texts().size(), 1u) << boxes_.texts().back();
  ASSERT_EQ(Port().portOpen(), 1);
  EXPECT_EQ(PortStatus(), "PORT OPENED");
  EXPECT_EQ(PortReason(), port.string());
  // Requests reach the new device and its answers reach the labels.
  const std::vector<std::uint8_t> request = AwaitRequest(*device);
  EXPECT_TRUE(IsRequestFrame(request)) << request.size() << " bytes";
  device->Send(AnswerBytes(REG_VOLTAGE, 25000));
  EXPECT_TRUE(AwaitEvents([&] { return Label(IDC_VOLTAGE) == "Voltage(mV) :25000"; }));
}

// The texts of the data log's lines, in order.
std::vector<std::string> LogTexts(const std::filesystem::path& dir) {
  std::string error;
  const auto lines = ParseDataLog(dir / "Moro-log.txt", error);
  std::vector<std::string> texts;
  if (lines)
    for (const LogLine& line : *lines) texts.push_back(line.text);
  return texts;
}

TEST_F(LineFaults, ReplugBehindTheSameNameReopensByItselfAndTheWaitCostsNothing) {
  const std::filesystem::path port = dir_.path() / "ttyMower";
  auto device = std::make_unique<PtyPair>();
  PointLink(port, device->SlavePath());
  window_ = StartConsoleWindow(dir_.path(), dir_.path() / "config.txt", port.string(), 1000);
  ASSERT_EQ(Port().portOpen(), 1);
  EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral("COM1 open")))
      << window_->windowTitle().toStdString();

  // Unplugged: the device goes, and so does its name, as a device manager
  // takes its by-id link away (a name left on a dead pseudo-terminal could
  // lead to another test's new one).
  device->CloseMaster();
  std::filesystem::remove(port);
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 0; }));
  EXPECT_NE(PortReason().find("gone"), std::string::npos) << PortReason();
  EXPECT_TRUE(Port().link().IsWaiting());
  EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral("COM1 lost: device gone, waiting")))
      << window_->windowTitle().toStdString();

  // Waiting costs nothing: no loop, only the folder's word or a look a second.
  const long cpuBefore = ProcessCpuMs();
  RunEvents(5000);
#if defined(__SANITIZE_ADDRESS__)
  constexpr long kWaitBudgetMs = 150;  // each wake-up dearer; a loop would still cost seconds
#else
  constexpr long kWaitBudgetMs = 50;
#endif
  EXPECT_LE(ProcessCpuMs() - cpuBefore, kWaitBudgetMs) << "CPU time in 5 s of waiting";
  EXPECT_EQ(Port().portOpen(), 0);

  // Plugged in again: a new device behind the same name.
  device = std::make_unique<PtyPair>();
  PointLink(port, device->SlavePath());
  QElapsedTimer back;
  back.start();
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 1; }, 1000));
  EXPECT_LE(back.elapsed(), 1000);
  EXPECT_EQ(PortStatus(), "PORT OPENED");
  EXPECT_NE(PortReason().find("came back"), std::string::npos) << PortReason();
  EXPECT_FALSE(Port().link().IsWaiting());
  EXPECT_TRUE(IsRequestFrame(AwaitRequest(*device, 3000)));
  device->Send(AnswerBytes(REG_VOLTAGE, 25000));
  EXPECT_TRUE(AwaitEvents([&] { return Label(IDC_VOLTAGE) == "Voltage(mV) :25000"; }));

  // The data log tells the truth about the link, in order.
  std::vector<std::string> link;
  for (const std::string& text : LogTexts(dir_.path()))
    if (text.rfind("=> Link", 0) == 0) link.push_back(text);
  ASSERT_EQ(link.size(), 2u);
  EXPECT_EQ(link[0].rfind("=> Link lost: " + port.string() + " is gone", 0), 0u) << link[0];
  EXPECT_EQ(link[1], "=> Link reopened");

  // Lost again, then Close: the wait ends, and a device that comes back
  // afterwards is left alone.
  device->CloseMaster();
  std::filesystem::remove(port);
  ASSERT_TRUE(AwaitEvents([&] { return Port().link().IsWaiting(); }));
  ClickClose();
  EXPECT_FALSE(Port().link().IsWaiting());
  device = std::make_unique<PtyPair>();
  PointLink(port, device->SlavePath());
  RunEvents(1500);
  EXPECT_EQ(Port().portOpen(), 0);
  EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral("COM1 closed")));
}

TEST_F(LineFaults, DeviceAbsentAtStartIsWaitedForWithoutABoxAndOpenedWhenItAppears) {
  const std::filesystem::path port = dir_.path() / "by-id" / "usb-mower";
  window_ = StartConsoleWindow(dir_.path(), dir_.path() / "config.txt", port.string(), kPollMs);
  EXPECT_TRUE(boxes_.texts().empty());
  EXPECT_EQ(PortStatus(), "COM-port NOK");
  EXPECT_NE(PortReason().find("Waiting for the device"), std::string::npos) << PortReason();
  EXPECT_TRUE(Port().link().IsWaiting());
  // Start-up went on: the poll cycle runs.
  std::set<int> steps;
  AwaitEvents([&] {
    steps.insert(window_->console().pollStep());
    return steps.size() >= 3;
  });
  EXPECT_GE(steps.size(), 3u);

  // Its folder appears first, then the device in it.
  std::filesystem::create_directory(port.parent_path());
  PtyPair device;
  PointLink(port, device.SlavePath());
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 1; }, 1000));
  EXPECT_TRUE(IsRequestFrame(AwaitRequest(device)));
}

TEST_F(LineFaults, WithoutAutomaticReopeningALostDeviceStaysClosed) {
  const std::filesystem::path port = dir_.path() / "ttyMower";
  auto device = std::make_unique<PtyPair>();
  PointLink(port, device->SlavePath());
  StartConsole(port.string(), {"[COMPORT_AUTO_REOPEN]0"});
  device->CloseMaster();
  std::filesystem::remove(port);
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 0; }));
  EXPECT_FALSE(Port().link().IsWaiting());
  device = std::make_unique<PtyPair>();
  PointLink(port, device->SlavePath());
  RunEvents(1500);
  EXPECT_EQ(Port().portOpen(), 0);
}

TEST_F(LineFaults, PeerThatStopsReadingFreezesTheWindowForOneStallAtMostAndTheLinkCloses) {
  PtyPair line;
  // A way into the line of our own, taken before the console makes the
  // device exclusive, to fill it towards the peer.
  spare_ = ::open(line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(spare_, 0);
  StartConsole(line.SlavePath());
  ASSERT_TRUE(IsRequestFrame(AwaitRequest(line)));
  // The worst moment: the next tick sends three requests (clock seconds,
  // power, front boundary wire), each of which meets the full line.
  ASSERT_TRUE(AwaitEvents([&] { return window_->console().pollStep() == 6; }));

  // The peer stops reading and the line backs up until it takes nothing
  // more (the driver moves bytes on behind the writer, so full means
  // taking nothing for a while); the console's next request cannot leave.
  QElapsedTimer stopped, sinceTaken;
  stopped.start();
  sinceTaken.start();
  std::size_t filled = 0;
  const std::vector<std::uint8_t> block(4096, 0x55);
  std::size_t chunk = block.size();
  while (sinceTaken.elapsed() < 300 && stopped.elapsed() < 3000) {
    // Down to single bytes at the end, so that no room is left at all.
    const ssize_t n = ::write(spare_, block.data(), chunk);
    if (n < static_cast<ssize_t>(chunk)) chunk = 1;
    if (n > 0) {
      filled += static_cast<std::size_t>(n);
      sinceTaken.restart();
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      FAIL() << "write on the line failed, errno " << errno;
    }
  }
  ASSERT_GT(filled, 0u);
  ASSERT_LT(stopped.elapsed(), 3000) << "the line never filled up";
  std::cout << "[ faults ] the line took " << filled << " bytes in " << stopped.elapsed() << " ms\n";

  // A heartbeat on the event loop measures how long the window is held.
  QElapsedTimer sinceBeat;
  sinceBeat.start();
  qint64 longestGap = 0;
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, sinceBeat.restart());
  });
  heartbeat.start(10);

  // A stalled write is given up after the stall limit and the line
  // reported lost, so the link closes with its reason.
  const int stallMs = static_cast<int>(CComLine::kDefaultWriteStallLimitMs);
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 0; }, 4 * stallMs))
      << "the link is still open after " << 4 * stallMs << " ms";
  EXPECT_EQ(PortStatus(), "PORT CLOSED");
  EXPECT_NE(PortReason().find("stopped answering"), std::string::npos) << PortReason();
  EXPECT_LE(longestGap, stallMs + 500) << "the window was held for " << longestGap << " ms";

  // From then on the window answers at once, tick after tick.
  longestGap = 0;
  sinceBeat.restart();
  RunEvents(500);
  EXPECT_LT(longestGap, 200);
  bool called = false;
  QTimer::singleShot(0, window_.get(), [&called] { called = true; });
  EXPECT_TRUE(AwaitEvents([&] { return called; }, 200));
  EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(LineFaults, GarbageAndFloodsNeitherStopTheConsoleNorBreakTheDataLog) {
  FloodLine line;
  StartConsole(line.SlavePath(), {"[COMPORT_EXPERT_MODE]"});
  // The mower answers what it is asked; in between, the line carries
  // noise, answers nobody asked for, and frames broken off.
  mower::MowerOptions options;
  options.seed = 11;
  mower::VirtualMower mower(options);
  std::mt19937 random(2024);
  auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  constexpr std::uint16_t kCodes[] = {REG_STATUS,      REG_VOLTAGE, REG_CURRENT,  REG_ROBOT_MODE,
                                      REG_TEMPERATURE, REG_CHARGE,  REG_RAIN_LEVEL, REG_POWER,
                                      REG_BOUNDARY_FRONT, REG_CUTTING_EFFORT};

  QElapsedTimer run;
  run.start();
  int maxListLines = 0;
  long noiseBytes = 0, floodFrames = 0;
  qint64 nextFault = 0;
  while (run.elapsed() < 3000) {
    RunEvents(5);
    const qint64 now = run.elapsed();
    mower.Receive(line.Take(), now);
    if (now >= nextFault) {
      nextFault = now + 40;
      switch (pick(5)) {
        case 0:
          mower.SendGarbage(1 + pick(600), now);
          break;
        case 1:
          mower.SendBurst(1 + pick(400), now);
          break;
        case 2: {  // any byte at all, start bytes and line ends included
          std::vector<std::uint8_t> noise(1 + pick(2000));
          for (auto& b : noise) b = static_cast<std::uint8_t>(pick(4) == 0 ? kFrameStart : pick(256));
          noiseBytes += static_cast<long>(noise.size());
          ASSERT_TRUE(line.Send(noise));
          break;
        }
        case 3: {  // a flood of answers with any values, changes of status among them
          std::vector<std::uint8_t> flood;
          const int frames = 200 + pick(2000);
          for (int i = 0; i < frames; ++i) {
            const auto bytes = AnswerBytes(kCodes[pick(std::size(kCodes))],
                                           static_cast<std::uint16_t>(random()));
            flood.insert(flood.end(), bytes.begin(), bytes.end());
          }
          floodFrames += frames;
          ASSERT_TRUE(line.Send(flood));
          break;
        }
        default: {  // frames broken off anywhere
          for (int i = 0; i < 50; ++i) {
            auto bytes = AnswerBytes(kCodes[pick(std::size(kCodes))], static_cast<std::uint16_t>(random()));
            bytes.resize(1 + pick(5));
            ASSERT_TRUE(line.Send(bytes));
          }
          break;
        }
      }
    }
    for (const mower::Outgoing& out : mower.TakeDue(now)) ASSERT_TRUE(line.Send(out.bytes));
    maxListLines = std::max({maxListLines, ListCount(1000), ListCount(1002)});
  }
  std::cout << "[ faults ] noise " << noiseBytes << " bytes, floods " << floodFrames
            << " frames in " << run.elapsed() << " ms\n";

  // The console is alive and its decoder in step: four bytes that are no
  // start byte finish whatever frame the noise left open, and the next
  // answers show as they should.
  EXPECT_EQ(Port().portOpen(), 1);
  EXPECT_LE(maxListLines, 499);
  RunEvents(200);
  ASSERT_TRUE(line.Send(std::vector<std::uint8_t>(4, 0x00)));
  ASSERT_TRUE(line.Send(AnswerBytes(REG_VOLTAGE, 23456)));
  ASSERT_TRUE(line.Send(AnswerBytes(REG_STATUS, 1014)));
  EXPECT_TRUE(AwaitEvents([&] {
    line.Take();
    return Label(IDC_VOLTAGE) == "Voltage(mV) :23456" && Label(IDC_STATUS_TEXT) == "=> Charging";
  })) << Label(IDC_VOLTAGE) << " / " << Label(IDC_STATUS_TEXT);

  // Every line of the data log is whole and in its layout, and every
  // status line carries its own status in the first field.
  window_.reset();
  std::string error;
  const auto log = ParseDataLog(dir_.path() / "Moro-log.txt", error);
  ASSERT_TRUE(log) << error;
  EXPECT_GE(log->size(), 100u) << "the floods changed the status far less often than expected";
  for (const LogLine& entry : *log) {
    if (const auto code = StatusLineCode(entry.text)) {
      EXPECT_EQ(entry.fields[kStatusField], *code) << entry.text;
    }
  }
}

}  // namespace
}  // namespace verdelo::test
