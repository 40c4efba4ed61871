// A data log that cannot be written: the file has reached the process's
// file size limit, or its device is full. Both are made without privileges:
// RLIMIT_FSIZE is set on this process (SIGXFSZ ignored, as the program
// ignores it), and a full file system is played by /dev/full, which fails
// every write with ENOSPC, behind the log's name. The console runs on the
// virtual clock; everything but the log must go on as before.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <filesystem>
#include <string>
#include <vector>

#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "console/text_files.h"
#include "tests/console/console_rig.h"
#include "tests/e2e/records.h"
#include "tests/faults/fault_support.h"

namespace verdelo::test {
namespace {

// While it lives, files this process writes may not grow beyond `bytes`;
// a write past it fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &savedAction_);
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    const rlimit limited{bytes, saved_.rlim_max};
    applied_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::sigaction(SIGXFSZ, &savedAction_, nullptr);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool applied() const { return applied_; }

 private:
  rlimit saved_{};
  struct sigaction savedAction_ {};
  bool applied_ = false;
};

int Count(const std::vector<std::string>& items, const std::string& item) {
  return static_cast<int>(std::count(items.begin(), items.end(), item));
}

class UnwritableLog : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.WriteConfig({"[NO_SPLASH_DIALOG]", "[ALARM_IF_NO_RESPONSE]1", "[ALARM_TIMER]5000"});
  }

  std::filesystem::path LogPath() const { return rig_.dir / MowerConsole::kDataLogName; }

  // One poll cycle with a mower that answers the heartbeat.
  void AnsweredCycle() {
    for (int i = 0; i < 10; ++i) {
      rig_.Tick();
      rig_.Answer(REG_BOUNDARY_FRONT, 1200);
    }
  }

  // Everything the console does besides its log, run while the log fails:
  // the poll cycle, the labels and hooks of a status change, the
  // no-response alarm and its end, and a full minute of polling with the
  // periodic data line in it.
  void ExpectEveryOtherFunctionRuns() {
    rig_.link.ClearRecords();
    rig_.launcher.launched.clear();

    // Every scenario starts at the first tick of a cycle.
    rig_.Tick();
    EXPECT_EQ(rig_.SentHex(), (std::vector<std::string>{Req(REG_CURRENT), Req(REG_TEMPERATURE)}));
    rig_.Answer(REG_VOLTAGE, 24321);
    EXPECT_EQ(rig_.controls.Text(IDC_VOLTAGE), "Voltage(mV) :24321");
    rig_.Answer(REG_STATUS, 1014);
    EXPECT_EQ(rig_.controls.Text(IDC_STATUS_VALUE), "Status : 1014");
    EXPECT_EQ(rig_.controls.Text(IDC_STATUS_TEXT), "=> Charging");
    EXPECT_EQ(Count(rig_.launcher.launched, "CHARGING.bat"), 1);
    rig_.Answer(REG_CURRENT, 1500);
    EXPECT_EQ(rig_.controls.Text(IDC_CURRENT), "Current (mA) : 1500");

    // The mower falls silent for longer than the alarm period.
    rig_.clock.Advance(6000);
    EXPECT_EQ(rig_.controls.Text(IDC_ALARM_IF_NO_RESPONSE), "ALARM !!");
    EXPECT_EQ(Count(rig_.launcher.launched, "ALARM.bat"), 1);
    rig_.Answer(REG_BOUNDARY_FRONT, 1100);
    EXPECT_EQ(rig_.controls.Text(IDC_ALARM_IF_NO_RESPONSE), "ALARM END");
    EXPECT_EQ(Count(rig_.launcher.launched, "ALARM-END.bat"), 1);

    // A whole minute of polling goes out as usual: six cycles of 15
    // requests but for the two rotation slots that send none, the request
    // that comes with the periodic data line included.
    rig_.link.ClearRecords();
    for (int i = 0; i < 6; ++i) AnsweredCycle();
    const std::vector<std::string> sent = rig_.SentHex();
    EXPECT_EQ(sent.size(), 6u * 15 - 2);
    EXPECT_EQ(Count(sent, Req(REG_CUTTING_EFFORT)), 1);
    EXPECT_EQ(Count(sent, Req(REG_STATUS)), 6 + 3);
    EXPECT_EQ(rig_.controls.Text(IDC_ALARM_IF_NO_RESPONSE), "ALARM END");
  }

  // The log parsed strictly: whole lines only, nothing after the last CR LF.
  std::vector<LogLine> ParsedLog() {
    std::string error;
    auto lines = ParseDataLog(LogPath(), error);
    if (!lines) {
      ADD_FAILURE() << error;
      return {};
    }
    return *lines;
  }

  ConsoleRig rig_;
};

TEST_F(UnwritableLog, AtTheFileSizeLimitTheConsoleRunsOnAndTheLogKeepsOnlyWholeLines) {
  rig_.Start();
  AnsweredCycle();
  rig_.Answer(REG_STATUS, 1002);
  const std::string before = ReadBytes(LogPath());
  ASSERT_FALSE(before.empty());
  ASSERT_EQ(ParsedLog().size(), 1u);

  {
    // Room for less than half a line: the next line is cut short by the
    // limit, and that part must be taken back.
    FileSizeLimit limit(before.size() + 30);
    ASSERT_TRUE(limit.applied());
    ExpectEveryOtherFunctionRuns();
    EXPECT_EQ(ReadBytes(LogPath()), before) << "a line was written in part";
  }

  // With room again, logging resumes where the file ended.
  rig_.Answer(REG_STATUS, 1016);
  const std::vector<LogLine> lines = ParsedLog();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "=> Cutting, inside boundary : 1002");
  EXPECT_EQ(lines[1].text, "=> Timer : 1016");
  EXPECT_EQ(lines[1].fields[kVoltageField], 24321);
}

TEST_F(UnwritableLog, OnAFullDeviceTheConsoleRunsOn) {
  // Every write to /dev/full fails with ENOSPC, as on a file system
  // without a free block.
  std::error_code error;
  std::filesystem::create_symlink("/dev/full", LogPath(), error);
  ASSERT_FALSE(error) << error.message();
  rig_.Start();
  AnsweredCycle();
  ExpectEveryOtherFunctionRuns();
  EXPECT_TRUE(std::filesystem::is_symlink(LogPath()));
}

// Each way the log can fail is told to the window once, with its reason,
// however many lines fail after it; every later line tries the log again,
// and the first that is written again is told too.
TEST(DataLogTrouble, EachFailureIsToldOnceWithItsReasonAndWhenTheLogWorksAgain) {
  using std::filesystem::path;
  struct Case {
    const char* what;
    std::function<void(const path& log)> spoil;  // makes the log unwritable
    std::function<void(const path& log)> mend;   // makes it writable again
    std::string reason;
    bool whileOpen = false;  // spoiled after start, with the log open
  };
  std::optional<TextFileWriter> holder;
  const bool root = ::geteuid() == 0;
  const Case cases[] = {
      {"a folder of that name", [](const path& log) { std::filesystem::create_directory(log); },
       [](const path& log) { std::filesystem::remove(log); },
       "cannot write Moro-log.txt: it is a folder"},
      {"a full device", [](const path& log) { std::filesystem::create_symlink("/dev/full", log); },
       [](const path& log) { std::filesystem::remove(log); },
       "cannot write Moro-log.txt: No space left on device"},
      {"held by a second console",
       [&](const path& log) {
         holder.emplace();
         ASSERT_TRUE(holder->Open(log, TextFileWriter::Mode::Append));
       },
       [&](const path&) { holder.reset(); },
       "cannot write Moro-log.txt: held by another program (a second Verdelo in this folder?)"},
      // Root may write any file, so the console plays a user without rights.
      {"a read-only file",
       [&](const path& log) {
         std::filesystem::permissions(log.parent_path(), std::filesystem::perms::all);
         std::ofstream(log).flush();
         std::filesystem::permissions(log, std::filesystem::perms::owner_read);
         if (root) {
           ASSERT_EQ(::seteuid(65534), 0);
         }
       },
       [&](const path& log) {
         if (root) {
           ASSERT_EQ(::seteuid(0), 0);
         }
         std::filesystem::permissions(log, std::filesystem::perms::all);
       },
       "cannot write Moro-log.txt: Permission denied"},
      // Lines must not go on into the deleted file, where no one sees them.
      {"its folder deleted", [](const path& log) { std::filesystem::remove_all(log.parent_path()); },
       [](const path& log) { std::filesystem::create_directory(log.parent_path()); },
       "cannot write Moro-log.txt: its folder is gone", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRig rig;
    rig.WriteConfig({"[NO_SPLASH_DIALOG]"});
    const path log = rig.dir / MowerConsole::kDataLogName;
    if (!c.whileOpen) c.spoil(log);
    rig.Start();
    if (c.whileOpen) c.spoil(log);
    for (int i = 0; i < 3; ++i) rig.console.WriteLogLine("lost");
    c.mend(log);
    EXPECT_EQ(rig.window.logTrouble, std::vector<std::string>{c.reason});
    rig.console.WriteLogLine("again");
    rig.console.WriteLogLine("and again");
    EXPECT_EQ(rig.window.logTrouble, (std::vector<std::string>{c.reason, ""}));
    std::string error;
    const auto lines = ParseDataLog(log, error);
    ASSERT_TRUE(lines) << error;
    ASSERT_EQ(lines->size(), 2u);
    EXPECT_EQ(lines->back().text, "and again");
  }
}

}  // namespace
}  // namespace verdelo::test
