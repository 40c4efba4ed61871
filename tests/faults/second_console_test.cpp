// Two consoles started in the same folder, each on a mower of its own: the
// first holds the data log, the second cannot take it and must write
// nothing there, while both go on doing everything else.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "tests/e2e/records.h"
#include "tests/faults/console_window.h"
#include "tests/faults/fault_support.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/qt_wait.h"

namespace verdelo::test {
namespace {

// A mower that answers every request at once with its own recognisable
// values; its status swings between two values on every status request, so
// each of them is a change the console logs.
class SwingingMower {
 public:
  SwingingMower(std::uint16_t voltage, std::uint16_t statusA, std::uint16_t statusB)
      : voltage_(voltage), statuses_{statusA, statusB} {}

  void Serve(PtyPair& line) {
    frames_.Push(line.Receive(65536, 0), [&](std::uint16_t code) {
      std::uint16_t value = 0;
      switch (code) {
        case REG_VOLTAGE: value = voltage_; break;
        case REG_STATUS: value = statuses_[++statusAnswers_ % 2]; break;
        case REG_ROBOT_MODE: value = 1; break;
        default: value = 7; break;
      }
      line.Send(AnswerBytes(code, value));
    });
  }
  int statusAnswers() const { return statusAnswers_; }

 private:
  RequestFrames frames_;
  std::uint16_t voltage_;
  std::uint16_t statuses_[2];
  int statusAnswers_ = 0;
};

TEST(SecondConsole, CannotWriteIntoTheDataLogOfTheFirstInTheSameFolder) {
  TempDir dir;
  MessageBoxGuard boxes;
  PtyPair firstLine, secondLine;
  SwingingMower firstMower(22222, 1002, 1014), secondMower(11111, 1016, 1056);

  auto first = StartConsoleWindow(dir.path(), dir.path() / "first.txt", firstLine.SlavePath(), 10);
  ASSERT_EQ(first->portDialog().portOpen(), 1);
  QElapsedTimer run;
  run.start();
  while (run.elapsed() < 300) {
    RunEvents(5);
    firstMower.Serve(firstLine);
  }
  auto second =
      StartConsoleWindow(dir.path(), dir.path() / "second.txt", secondLine.SlavePath(), 10);
  ASSERT_EQ(second->portDialog().portOpen(), 1);
  const std::size_t logSizeBefore = ReadBytes(dir.path() / "Moro-log.txt").size();

  run.restart();
  while (run.elapsed() < 2000) {
    RunEvents(5);
    firstMower.Serve(firstLine);
    secondMower.Serve(secondLine);
  }
  EXPECT_TRUE(boxes.texts().empty());

  // The second console did its work: it polled, decoded and showed.
  EXPECT_GE(secondMower.statusAnswers(), 4);
  EXPECT_EQ(second->controls().Text(IDC_VOLTAGE), "Voltage(mV) :11111");
  const std::string secondStatus = second->controls().Text(IDC_STATUS_VALUE);
  EXPECT_TRUE(secondStatus == "Status : 1016" || secondStatus == "Status : 1056") << secondStatus;
  first.reset();
  second.reset();

  // The log holds whole lines of the first console only, and it went on
  // logging while the second ran.
  std::string error;
  const auto log = ParseDataLog(dir.path() / "Moro-log.txt", error);
  ASSERT_TRUE(log) << error;
  EXPECT_GT(ReadBytes(dir.path() / "Moro-log.txt").size(), logSizeBefore);
  const std::set<std::string> firstTexts{"=> Cutting, inside boundary : 1002", "=> Charging : 1014",
                                         "=> Robot Mode changed      1", ""};
  std::map<std::string, int> seen;
  for (const LogLine& line : *log) {
    ++seen[line.text];
    EXPECT_TRUE(firstTexts.count(line.text)) << "not the first console's: \"" << line.text << '"';
    EXPECT_EQ(line.fields[kVoltageField], 22222) << line.text;
    EXPECT_TRUE(line.fields[kStatusField] == 1002 || line.fields[kStatusField] == 1014)
        << line.fields[kStatusField];
  }
  EXPECT_GE(seen["=> Charging : 1014"], 2);
}

}  // namespace
}  // namespace verdelo::test
