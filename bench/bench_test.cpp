// Checks of the measuring programs' own parts, which bench/run runs before
// it measures: a program that ran the wrong mode, or a baseline reader that
// dropped or misread bytes, would still print plausible figures.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QLabel>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/qt_serial_reader.h"
#include "bench/traffic_feed.h"
#include "console/config_file.h"
#include "console/mower_frame.h"
#include "shell/port_window/port_traffic.h"
#include "tests/support/qt_wait.h"

namespace verdelo::bench {
namespace {

int CallMain(std::vector<std::string> words, std::initializer_list<Mode> modes) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return RunMode(static_cast<int>(words.size()), argv.data(), "probe", modes);
}

TEST(RunMode, RunsTheNamedModeWithTheOptionsAfterTheModeWord) {
  std::string ran;
  double seconds = 0;
  bool handoff = false;
  const int status = CallMain({"probe", "flood", "--seconds", "5", "--handoff"},
                         {{"latency", [&](const Args&) { ran += "latency"; return 0; }},
                          {"flood", [&](const Args& args) {
                             ran += "flood";
                             seconds = args.Number("seconds", 0);
                             handoff = args.Has("handoff");
                             return 7;
                           }}});
  EXPECT_EQ(status, 7);
  EXPECT_EQ(ran, "flood");
  EXPECT_EQ(seconds, 5);
  EXPECT_TRUE(handoff);
}

TEST(RunMode, WithoutAKnownModeSaysHowToCallAndFails) {
  int ran = 0;
  const auto count = [&](const Args&) { return ++ran, 0; };
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"probe"}, {"probe", "flod"}, {"probe", "--flood"}, {"probe", ""}}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(CallMain(words, {{"flood", count}, {"latency", count}}), 2) << words.back();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "usage: probe flood|latency [--options]\n");
  }
  EXPECT_EQ(ran, 0);
}

// A pseudo-terminal: the reader opens the slave by its name, the test is
// the device on the master.
class Line {
 public:
  Line() {
    int slave = -1;
    char name[128];
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    ::close(slave);
    device_ = QString::fromLocal8Bit(name);
  }
  ~Line() { ::close(master_); }
  const QString& device() const { return device_; }
  void Send(const std::uint8_t* bytes, std::size_t size) {
    ASSERT_EQ(::write(master_, bytes, size), static_cast<ssize_t>(size));
  }
  // What the reader put on the line within timeoutMs, up to `count` bytes.
  std::vector<std::uint8_t> Receive(std::size_t count, int timeoutMs) {
    std::vector<std::uint8_t> got(count);
    std::size_t have = 0;
    pollfd input{master_, POLLIN, 0};
    while (have < count && ::poll(&input, 1, timeoutMs) == 1) {
      const ssize_t n = ::read(master_, got.data() + have, count - have);
      if (n <= 0) break;
      have += static_cast<std::size_t>(n);
    }
    got.resize(have);
    return got;
  }

 private:
  int master_ = -1;
  QString device_;
};

// Answers whose code and value hold start bytes: they are data, not frames.
std::vector<std::uint8_t> Answers(int count, std::vector<std::uint16_t>& values) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < count; ++i) {
    const auto value = static_cast<std::uint16_t>(i % 3 == 0 ? 0x0F0F : 0x0F00 + i);
    values.push_back(value);
    const MowerFrame frame = BuildAnswer(i % 2 ? 0x0F0F : CMD_READ_STATUS, value);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  }
  return bytes;
}

TEST(QtSerialReader, TakesFramesCutAnywhereAndShowsEachValue) {
  Line line;
  QLabel label;
  QtSerialReader reader(label);
  ASSERT_TRUE(reader.Open(line.device())) << reader.ErrorText().toStdString();

  std::vector<std::uint16_t> values;
  std::vector<std::uint8_t> stream{0x00, 0xFF, 0x10};  // out of step: skipped
  const std::vector<std::uint8_t> answers = Answers(60, values);
  stream.insert(stream.end(), answers.begin(), answers.end());
  // Pieces of 1 to 7 bytes, each read before the next is sent, so reads end
  // at every place inside a frame.
  std::size_t at = 0;
  for (std::size_t piece = 1; at < stream.size(); piece = piece % 7 + 1) {
    const std::size_t end = std::min(stream.size(), at + piece);
    line.Send(stream.data() + at, end - at);
    at = end;
    ASSERT_TRUE(test::AwaitEvents([&] { return reader.bytes == static_cast<long>(at); })) << at;
    const long frames = (static_cast<long>(at) - 3) / 5;
    ASSERT_EQ(reader.frames, std::max(0L, frames)) << at;
    if (frames > 0) {
      ASSERT_EQ(label.text().toStdString(), std::to_string(values[static_cast<std::size_t>(frames - 1)])) << at;
    }
  }
  EXPECT_EQ(reader.skipped, 3);
  EXPECT_GT(reader.notifications, 60);
}

TEST(QtSerialReader, PutsARequestOnTheLineAtOnce) {
  Line line;
  QLabel label;
  QtSerialReader reader(label);
  ASSERT_TRUE(reader.Open(line.device())) << reader.ErrorText().toStdString();
  const MowerFrame request = BuildRequest(CMD_READ_STATUS, 0);
  ASSERT_TRUE(reader.Send(request));
  // No event loop runs: the bytes must be out when Send returns.
  EXPECT_EQ(line.Receive(5, 1000), std::vector<std::uint8_t>(request.begin(), request.end()));
}

// The flood with expert mode on is only that if the console reads the key
// the harness writes: a misspelt key would measure expert mode off twice.
TEST(ConsoleConfig, OpensTheDeviceAtStartAndTurnsExpertModeOnWhenAsked) {
  for (const bool expert : {false, true}) {
    const PortWindowSettings settings =
        ReadPortWindowSettings(ParseConfigText(ConsoleConfig("/dev/pts/7", expert)));
    EXPECT_EQ(settings.expertMode, expert);
    EXPECT_TRUE(settings.autoOpen);
    EXPECT_EQ(settings.portIndex, 0);
    EXPECT_EQ(settings.speedIndex, 2);  // 115200
    ASSERT_EQ(settings.devices.count(1), 1u);
    EXPECT_EQ(settings.devices.at(1), "/dev/pts/7");
  }
}

constexpr char kPage[] =
    "## Latest\n"
    "\n"
    "| figure                                       | value            | baseline            | ratio |\n"
    "| -------------------------------------------- | ---------------- | ------------------- | ----- |\n"
    "| 5 start-up: exec to port opened, again       | 999 ms           | 998 ms              | 1.00x |\n"
    "| 5 start-up: exec to port opened              | 170 ms           | 119 ms minimal Qt   | 1.42x |\n"
    "| 4 idle CPU, 1000 ms polling                  | 0.046% of a core | -                   | -     |\r\n"
    "\n"
    "### The run before\n"
    "\n"
    "| 5 start-up: exec to port opened              | 17 ms            | 14 ms minimal Qt    | 1.24x |\n"
    "| 2 traffic list: CPU per line added           | 1.250 us         | 0.100 us            | 12.5x |\n";

TEST(PublishedFigure, TakesTheFirstRowNamedExactlySoTheLatestRun) {
  EXPECT_EQ(PublishedFigure(kPage, "5 start-up: exec to port opened"), 170);
  EXPECT_EQ(PublishedFigure(kPage, "5 start-up: exec to port opened", 1), 119);
  EXPECT_EQ(PublishedFigure(kPage, "5 start-up: exec to port opened, again"), 999);
  EXPECT_DOUBLE_EQ(PublishedFigure(kPage, "4 idle CPU, 1000 ms polling"), 0.046);
  // Published only in an older table: still the figure last published.
  EXPECT_DOUBLE_EQ(PublishedFigure(kPage, "2 traffic list: CPU per line added"), 1.25);
}

TEST(PublishedFigure, IsNotANumberWithoutTheRowOrANumberInTheCell) {
  EXPECT_TRUE(std::isnan(PublishedFigure(kPage, "5 start-up")));
  EXPECT_TRUE(std::isnan(PublishedFigure(kPage, "figure")));  // the heading's words are no figure
  EXPECT_TRUE(std::isnan(PublishedFigure(kPage, "4 idle CPU, 1000 ms polling", 1)));  // "-"
  EXPECT_TRUE(std::isnan(PublishedFigure(kPage, "4 idle CPU, 1000 ms polling", 4)));  // no such column
  EXPECT_TRUE(std::isnan(PublishedFigure("", "5 start-up: exec to port opened")));
}

// The cost per line holds only if every line is new work of the same size.
TEST(TrafficFeed, LinesAreAllDifferentAndEachAFrameOfFiveBytes) {
  std::set<std::string> seen;
  for (long i = 0; i < 100000; ++i) {
    const std::string line = TrafficLineFor(i);
    ASSERT_EQ(line.size(), 31u) << line;
    ASSERT_EQ(line.substr(0, 3), "RX ") << line;
    ASSERT_EQ(line.substr(15, 4), "  0F") << line;
    seen.insert(line);
  }
  EXPECT_EQ(seen.size(), 100000u);
}

TEST(TrafficFeed, EmptiesTheListAtItsLimitAndLeavesTheViewShowingAllItHolds) {
  TrafficList list(40);
  list.resize(200, 150);
  list.show();
  const TrafficFeed feed = FeedTrafficList(list, 1234, 76);
  // Emptied by the 500th and the 1000th line, as the port window does.
  ASSERT_EQ(list.count(), 234);
  EXPECT_EQ(list.text(0).toStdString(), TrafficLineFor(1000));
  EXPECT_EQ(list.text(233).toStdString(), TrafficLineFor(1233));
  EXPECT_EQ(list.model()->rowCount(), 234);  // the view was told of every one
  EXPECT_EQ(list.model()->index(233, 0).data().toString(), list.text(233));
  EXPECT_EQ(feed.refreshes, 1234 / 76 + 1);
  EXPECT_GT(feed.cpuNs, 0);
}

TEST(TrafficWatch, CountsTheRefreshesThatToldAViewAndTheLinesTheyBrought) {
  TrafficList rx(40), tx(40);
  TrafficWatch watch({&rx, &tx, nullptr});
  for (int i = 0; i < 10; ++i) rx.AddLine(QStringLiteral("a"));
  tx.AddLine(QStringLiteral("b"));
  EXPECT_EQ(watch.refreshes, 0);  // the views hear of lines at a refresh only
  rx.Refresh();
  tx.Refresh();
  EXPECT_EQ(watch.refreshes, 2);
  EXPECT_EQ(watch.lines, 11);
  rx.Refresh();  // nothing new: the view is not told anything
  EXPECT_EQ(watch.refreshes, 2);
  // Emptied between two refreshes: the view starts again from the two left,
  // and the line emptied away was never shown.
  rx.AddLine(QStringLiteral("c"));
  rx.Clear();
  rx.AddLine(QStringLiteral("d"));
  rx.AddLine(QStringLiteral("e"));
  rx.Refresh();
  EXPECT_EQ(watch.refreshes, 3);
  EXPECT_EQ(watch.lines, 13);
}

}  // namespace
}  // namespace verdelo::bench
