// verdelo against verdelo-mower: the console window in this process, the
// virtual mower as a child process on a pseudo-terminal, a real event loop
// and real time. The mower's clock runs fast, so a few seconds are hours of
// its day. Every wait has a limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "console/control_ids.h"
#include "shell/console_window/console_dlg.h"
#include "shell/trends_window/trends_window.h"
#include "tests/e2e/mower_process.h"
#include "tests/e2e/records.h"
#include "tests/support/process_usage.h"
#include "tests/support/qt_wait.h"

namespace verdelo::test {
namespace {

constexpr int kPatienceMs = 3000;  // for what must come

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// The patience of the waits below, unless a test says otherwise.
template <typename Done>
bool Await(Done done, int limitMs = kPatienceMs) {
  return AwaitEvents(done, limitMs);
}

std::vector<std::string> FileLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Status texts of the mowing day, as the console words them.
const std::map<int, std::string>& DayStatusTexts() {
  static const std::map<int, std::string> texts{
      {1002, "=> Cutting, inside boundary"}, {1042, "=> Searching station"},
      {1062, "=> Following boundary wire"},  {1070, "=> Following guide"},
      {1048, "=> Plugging to station"},      {1014, "=> Charging"},
      {1056, "=> At home, charged"},         {1016, "=> Timer"},
  };
  return texts;
}

// The order in which a mowing day that ends its hours in the field goes
// through them.
const std::vector<int> kEveningOrder{1002, 1042, 1062, 1070, 1048, 1014, 1056, 1016};

// True when `part` appears in `whole` in the same order, gaps allowed.
template <typename T>
bool IsSubsequence(const std::vector<T>& part, const std::vector<T>& whole) {
  auto at = whole.begin();
  for (const T& item : part) {
    at = std::find(at, whole.end(), item);
    if (at == whole.end()) return false;
    ++at;
  }
  return true;
}

int LocalDate() {
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

class ConsoleAgainstMower : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/verdelo-e2e-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    dir_ = made;
    firstDate_ = LocalDate();
  }

  void TearDown() override {
    window_.reset();
    mower_.Stop();
    if (HasFailure()) {
      std::cerr << "[ e2e ] the run's files are kept in " << dir_ << '\n';
    } else {
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
    }
  }

  // The mower with `args`, tracing the line into trace.txt.
  void StartMower(std::vector<std::string> args) {
    args.insert(args.end(), {"--trace", (dir_ / "trace.txt").string()});
    std::string error;
    ASSERT_TRUE(mower_.Start(VERDELO_MOWER_PATH, args, dir_ / "mower-stderr.txt", error)) << error;
  }

  // The console on the mower's line, polling every 20 ms (a cycle of ten
  // ticks in about a quarter second), with `extra` configuration lines.
  void StartConsole(const std::vector<std::string>& extra) {
    std::vector<std::string> lines{"[NO_SPLASH_DIALOG]", "[COM1]" + mower_.device(),
                                   "[COMPORT_AUTO_OPEN]1", "[SCHEDULER_TIMER]20"};
    lines.insert(lines.end(), extra.begin(), extra.end());
    {
      std::ofstream out(dir_ / "config.txt", std::ios::binary);
      for (const std::string& line : lines) out << line << "\r\n";
    }
    // A message box would wait for a click that never comes; close it and
    // let the test fail instead.
    bool boxShown = false;
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, [&boxShown] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        boxShown = true;
        box->close();
      }
    });
    boxCloser.start(200);
    window_ = std::make_unique<CKelvoPCDlg>(ConsolePaths{dir_, dir_ / "config.txt"});
    window_->OnInitDialog();
    window_->show();
    ASSERT_FALSE(boxShown) << "a message box came up at start";
    ASSERT_EQ(window_->portDialog().portOpen(), 1)
        << "the console did not open " << mower_.device();
  }

  std::string Label(int id) const { return window_->controls().Text(id); }
  QWidget* Widget(int id) const { return window_->controls().Widget(id); }
  std::string PortStatus() const {
    return qobject_cast<QLabel*>(window_->portDialog().Control(1006))->text().toStdString();
  }

  // The data log, every line checked for its form and its date.
  std::vector<LogLine> Log() {
    std::string error;
    auto lines = ParseDataLog(dir_ / "Moro-log.txt", error);
    if (!lines) {
      ADD_FAILURE() << "Moro-log.txt: " << error;
      return {};
    }
    const int lastDate = LocalDate();
    for (const LogLine& line : *lines) {
      const int date = line.year * 10000 + line.month * 100 + line.day;
      EXPECT_TRUE(date == firstDate_ || date == lastDate) << "dated " << date;
    }
    return *lines;
  }

  int CountText(const std::vector<LogLine>& lines, const std::string& text) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const LogLine& l) { return l.text == text; }));
  }

  std::filesystem::path dir_;
  int firstDate_ = 0;
  MowerProcess mower_;
  std::unique_ptr<CKelvoPCDlg> window_;
};

TEST_F(ConsoleAgainstMower, LabelsAndDataLogFollowThreeHoursOfTheMowingDay) {
  // 19:40 and cutting: at 20:00 the mowing hours end, it searches for the
  // station, follows the wire, plugs in, charges for at most 45 minutes
  // ("set 373 45") and then waits on its timer. Twenty simulated minutes
  // pass every second, so nine seconds are three hours.
  StartMower({"--speed", "1200", "--start", "19:40", "--phase", "cutting", "--seed", "3", "--fault",
              "set 373 45"});
  StartConsole({});

  std::vector<std::string> shownStatus;
  std::set<std::string> shownVoltage;
  QElapsedTimer run;
  run.start();
  while (run.elapsed() < 9000) {
    RunEvents(10);
    const std::string status = Label(IDC_STATUS_TEXT);
    if (status.rfind("=> ", 0) == 0 && (shownStatus.empty() || shownStatus.back() != status))
      shownStatus.push_back(status);
    const std::string voltage = Label(IDC_VOLTAGE);
    if (voltage != "Voltage(mV) :") shownVoltage.insert(voltage);
  }
  // Stop asking, and let the last answers in, so that the window and the
  // log can be held against everything the mower said.
  qobject_cast<QCheckBox*>(Widget(IDC_DISABLE_VALUES_UPDATE))->click();
  RunEvents(300);
  const std::vector<TraceFrame> trace = ReadTrace(dir_ / "trace.txt");
  const AnswerHistory answers = AnswersOf(trace);
  for (std::uint16_t code : {12020, 491, 563, 12000, 497, 300, 14005})
    ASSERT_TRUE(answers.last.count(code)) << "the mower never answered " << code;
  auto last = [&](std::uint16_t code) { return answers.last.at(code); };
  auto lastSigned = [&](std::uint16_t code) {
    return static_cast<int>(static_cast<std::int16_t>(last(code)));
  };

  // Hours went by on the mower's clock.
  EXPECT_GE(last(14005), 21) << "the mower's day did not get far";

  // The labels show the last answers.
  const int status = lastSigned(497);
  EXPECT_EQ(Label(IDC_VOLTAGE), Printf("Voltage(mV) :%5d", last(12020)));
  EXPECT_EQ(Label(IDC_CURRENT), Printf("Current (mA) :%5d", lastSigned(491)));
  EXPECT_EQ(Label(IDC_TEMPERATURE), Printf("Temp.(°C) :%5d", lastSigned(563)));
  EXPECT_EQ(Label(IDC_CHARGE), Printf("Charge(mAh) :%5d", lastSigned(12000)));
  EXPECT_EQ(Label(IDC_STATUS_VALUE), Printf("Status :%5d", status));
  ASSERT_TRUE(DayStatusTexts().count(status)) << "unexpected status " << status;
  EXPECT_EQ(Label(IDC_STATUS_TEXT), DayStatusTexts().at(status));
  EXPECT_EQ(Label(IDC_CLOCK_HOURS), Printf("%2u", last(14005)));
  EXPECT_EQ(last(300) & 0xFF, 1);
  EXPECT_EQ(Label(IDC_ROBOT_MODE), "AUTO");

  // The voltage kept moving and stayed within what a 24 V pack gives.
  EXPECT_GE(shownVoltage.size(), 5u);
  for (const std::string& text : shownVoltage) {
    const int mv = std::atoi(text.c_str() + std::string("Voltage(mV) :").size());
    EXPECT_TRUE(mv >= 20000 && mv <= 27000) << text;
  }

  // The status text went through the evening in its order.
  EXPECT_GE(shownStatus.size(), 3u);
  std::vector<int> shownCodes;
  for (const std::string& text : shownStatus) {
    const auto it = std::find_if(DayStatusTexts().begin(), DayStatusTexts().end(),
                                 [&](const auto& entry) { return entry.second == text; });
    ASSERT_NE(it, DayStatusTexts().end()) << "unexpected status text " << text;
    shownCodes.push_back(it->first);
  }

  // The log: a status line for every change of status the mower reported,
  // a robot-mode line for every change of mode, a periodic line for every
  // request of the cutting effort, and nothing else.
  const std::vector<LogLine> log = Log();
  ASSERT_FALSE(log.empty());
  std::vector<int> loggedStatus;
  std::vector<std::string> loggedModes;
  int periodic = 0;
  int currentStatus = 0;
  for (const LogLine& line : log) {
    if (const auto code = StatusLineCode(line.text)) {
      ASSERT_TRUE(DayStatusTexts().count(*code)) << line.text;
      EXPECT_EQ(line.text, DayStatusTexts().at(*code) + Printf(" :%5d", *code));
      currentStatus = *code;
      loggedStatus.push_back(*code);
    } else if (line.text.rfind("=> Robot Mode changed", 0) == 0) {
      loggedModes.push_back(line.text);
    } else if (line.text.empty()) {
      ++periodic;
      EXPECT_TRUE(line.fields[kVoltageField] >= 20000 && line.fields[kVoltageField] <= 27000)
          << "voltage " << line.fields[kVoltageField];
    } else {
      ADD_FAILURE() << "unexpected log text \"" << line.text << '"';
    }
    EXPECT_EQ(line.fields[kStatusField], currentStatus) << line.text;
  }
  EXPECT_EQ(loggedStatus, answers.ChangesOf(497, 0));
  std::vector<std::string> modeChanges;
  for (int mode : answers.ChangesOf(300, 0, true))
    modeChanges.push_back(Printf("=> Robot Mode changed  %5d", mode));
  EXPECT_EQ(loggedModes, modeChanges);
  EXPECT_EQ(loggedModes.size(), 1u);
  const auto effortRequests = std::count_if(trace.begin(), trace.end(), [](const TraceFrame& f) {
    return f.kind == "REQ" && f.code == 311;
  });
  EXPECT_EQ(periodic, effortRequests);
  EXPECT_GE(periodic, 3);

  // Several statuses, in the day's order, from cutting to the timer.
  EXPECT_TRUE(IsSubsequence(loggedStatus, kEveningOrder)) << ::testing::PrintToString(loggedStatus);
  EXPECT_TRUE(IsSubsequence(std::vector<int>{1002, 1014, 1016}, loggedStatus))
      << ::testing::PrintToString(loggedStatus);
  EXPECT_TRUE(IsSubsequence(shownCodes, loggedStatus)) << ::testing::PrintToString(shownCodes);
}

TEST_F(ConsoleAgainstMower, SilencedMowerRaisesTheNoResponseAlarmAndAResumedOneEndsIt) {
  StartMower({"--speed", "60", "--start", "12:00", "--phase", "cutting"});
  {
    std::ofstream(dir_ / "ALARM.bat") << "echo raised >> hooks.txt\n";
    std::ofstream(dir_ / "ALARM-END.bat") << "echo ended >> hooks.txt\n";
  }
  StartConsole({"[ALARM_TIMER]500", "[ALARM_IF_NO_RESPONSE]1"});
  auto caption = [this] { return Label(IDC_ALARM_IF_NO_RESPONSE); };
  auto hooks = [this](const std::string& what) {
    const auto lines = FileLines(dir_ / "hooks.txt");
    return static_cast<int>(std::count(lines.begin(), lines.end(), what));
  };
  ASSERT_TRUE(Await([this] { return Label(IDC_STATUS_VALUE) == "Status : 1002"; }));

  // A mower that answers keeps the alarm away for several alarm periods.
  std::set<std::string> captions;
  QElapsedTimer quiet;
  quiet.start();
  while (quiet.elapsed() < 1500) {
    RunEvents(10);
    captions.insert(caption());
  }
  EXPECT_EQ(captions, std::set<std::string>{"AlarmIfNoResponse"});

  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_TRUE(mower_.Command("silent"));
    ASSERT_TRUE(Await([&] { return caption() == "ALARM !!"; }));
    EXPECT_TRUE(Await([&] { return hooks("raised") == round; }));
    // Later periods of silence raise nothing more.
    RunEvents(1000);
    EXPECT_EQ(caption(), "ALARM !!");
    EXPECT_EQ(hooks("raised"), round);
    EXPECT_EQ(CountText(Log(), "ALARM !!"), round);
    EXPECT_TRUE(qobject_cast<QCheckBox*>(Widget(IDC_ALARM_IF_NO_RESPONSE))->isChecked());

    ASSERT_TRUE(mower_.Command("resume"));
    ASSERT_TRUE(Await([&] { return caption() == "ALARM END"; }));
    EXPECT_TRUE(Await([&] { return hooks("ended") == round; }));
    // Answering again, it stays ended.
    RunEvents(700);
    EXPECT_EQ(caption(), "ALARM END");
    EXPECT_EQ(CountText(Log(), "ALARM has ended"), round);
  }

  std::vector<std::string> alarmLines;
  for (const LogLine& line : Log())
    if (line.text.rfind("ALARM", 0) == 0) alarmLines.push_back(line.text);
  EXPECT_EQ(alarmLines, (std::vector<std::string>{"ALARM !!", "ALARM has ended", "ALARM !!",
                                                  "ALARM has ended"}));
  EXPECT_EQ(FileLines(dir_ / "hooks.txt"),
            (std::vector<std::string>{"raised", "ended", "raised", "ended"}));
}

TEST_F(ConsoleAgainstMower, TrendsFollowALiveMowerOnEveryChart) {
  // The window remembers its place in the desktop's settings: here, ours.
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_.string()));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir_.string()));
  StartMower({"--speed", "600", "--start", "11:50", "--phase", "cutting"});
  StartConsole({"[TRENDS_AT_START]"});
  CTrendsWindow& trends = window_->trends();
  ASSERT_TRUE(trends.isVisible());
  ASSERT_TRUE(Await([this] { return Label(IDC_STATUS_VALUE) == "Status : 1002"; }));
  RunEvents(1500);  // a few dozen poll cycles of values
  trends.RefreshNow();

  TrendsCharts& charts = trends.charts();
  using trends::SeriesId;
  // Every tick's values move; the slower ones (polled once in six cycles,
  // or steady, which keeps a run's ends only) have at least their first.
  for (SeriesId id : {SeriesId::Voltage, SeriesId::Current, SeriesId::BoundaryFront})
    EXPECT_GT(charts.PointCount(id), 1) << static_cast<int>(id);
  for (SeriesId id : {SeriesId::Charge, SeriesId::Temperature, SeriesId::Quality, SeriesId::CuttingEffort})
    EXPECT_GE(charts.PointCount(id), 1) << static_cast<int>(id);
  EXPECT_GE(charts.BandCount(), 1);
  // Drawn: the grab holds more than the background.
  const QImage shot = trends.grab().toImage();
  std::set<QRgb> colours;
  for (int y = 0; y < shot.height(); y += 3)
    for (int x = 0; x < shot.width(); x += 3) colours.insert(shot.pixel(x, y));
  EXPECT_GT(colours.size(), 20u);
  qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(ConsoleAgainstMower, UnpluggedMowerClosesTheLinkAndTheConsoleRunsOn) {
  StartMower({"--speed", "60", "--start", "12:00", "--phase", "cutting"});
  // Not reopened: the mower's pseudo-terminal number may go to another
  // program's new one while the test watches.
  StartConsole({"[COMPORT_AUTO_REOPEN]0"});
  ASSERT_TRUE(Await([this] { return Label(IDC_STATUS_VALUE) == "Status : 1002"; }));
  ASSERT_EQ(PortStatus(), "PORT OPENED");
  const std::string device = mower_.device();

  // Ending the mower closes the master side of its pseudo-terminal: to the
  // console, the device is gone.
  mower_.Stop();
  ASSERT_TRUE(Await([this] { return window_->portDialog().portOpen() == 0; }));
  EXPECT_EQ(PortStatus(), "PORT CLOSED");
  const QString why = window_->portDialog().Control(1006)->toolTip();
  EXPECT_TRUE(why.contains(QString::fromStdString(device))) << why.toStdString();

  // The console stays idle and closed: no spinning on the hang-up.
  const long cpuBefore = ProcessCpuMs();
  std::set<std::string> shown;
  for (int i = 0; i < 20; ++i) {
    RunEvents(50);
    shown.insert(PortStatus());
  }
  const long cpuMs = ProcessCpuMs() - cpuBefore;
  EXPECT_LT(cpuMs, 300) << "CPU time in one second after the device went away";
  EXPECT_EQ(shown, std::set<std::string>{"PORT CLOSED"});
  EXPECT_EQ(window_->portDialog().portOpen(), 0);

  // Its event loop and poll cycle run on: a posted call comes through at
  // once, and the periodic data line keeps coming.
  bool called = false;
  QTimer::singleShot(0, window_.get(), [&called] { called = true; });
  EXPECT_TRUE(Await([&] { return called; }, 200));
  const int periodicBefore = CountText(Log(), "");
  EXPECT_TRUE(Await([&] { return CountText(Log(), "") > periodicBefore; }, 4000));
}

}  // namespace
}  // namespace verdelo::test

int main(int argc, char** argv) {
  // A write to a mower that has gone must fail, not end the tests.
  ::signal(SIGPIPE, SIG_IGN);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
