// The data log's line layout, its file and what happens when it cannot be
// written.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "console/control_ids.h"
#include "console/data_log_line.h"
#include "console/text_files.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

TEST(DataLogLine, LayoutWithInitialValues) {
  const LocalTime t{2026, 3, 5, 9, 7, 3, 0};
  EXPECT_EQ(FormatDataLogLine(t, MowerValues{}, ""),
            "05/03/2026;09:07:03;    0;   0; 0;    0;   0;   0;0;    0;    0;    0;    0;");
}

TEST(DataLogLine, WideNumbersAreNotCut) {
  MowerValues v;
  v.status = 1014;
  v.current = -1000;
  v.temperature = 23;
  v.voltage = 25100;
  v.charge = 1800;
  v.boundaryFront = -12;
  v.cuttingSeen = 1;
  v.cuttingEffort = 77;
  v.value12030 = 65535;
  v.value127 = 3;
  v.rainLevel = 255;
  EXPECT_EQ(FormatDataLogLine({2025, 12, 31, 23, 59, 58, 999}, v, "=> Charging : 1014"),
            "31/12/2025;23:59:58; 1014;-1000;23;25100;1800; -12;1;   77;65535;    3;  255;"
            "=> Charging : 1014");
}

class DataLog : public ::testing::Test {
 protected:
  void Start() {
    rig.WriteConfig({"[NO_SPLASH_DIALOG]"});
    rig.Start();
  }
  ConsoleRig rig;
};

TEST_F(DataLog, AppendsCrLfLinesAfterEarlierRuns) {
  rig.WriteFile("Moro-log.txt", "earlier line\r\n");
  Start();
  rig.console.WriteLogLine("hello");
  EXPECT_EQ(rig.ReadFile("Moro-log.txt"),
            "earlier line\r\n05/03/2026;09:07:03;    0;   0; 0;    0;   0;   0;0;    0;    0;    0;"
            "    0;hello\r\n");
}

TEST_F(DataLog, LinkLostAndReopenedAreEventLinesInOrder) {
  Start();
  rig.console.OnLinkLost("/dev/ttyUSB0 is gone");
  rig.console.OnLinkReopened();
  EXPECT_EQ(rig.LogTexts(),
            (std::vector<std::string>{"=> Link lost: /dev/ttyUSB0 is gone", "=> Link reopened"}));
}

TEST_F(DataLog, TextIsWrittenAsWindows1252) {
  Start();
  rig.console.WriteLogLine("\xC2\xB0""C \xE2\x82\xAC \xE4\xB8\xAD");  // °C € and a CJK sign
  const std::string bytes = rig.ReadFile("Moro-log.txt");
  EXPECT_EQ(bytes.substr(bytes.size() - 8), "\xB0""C \x80 ?\r\n");
}

TEST_F(DataLog, SecondConsoleInTheSameFolderNeverInterleaves) {
  Start();
  ConsoleRig other;
  // Point a second console at the first one's folder.
  MowerConsole second(ConsoleHost{other.controls, other.clock, other.clock, other.launcher,
                                  other.link, other.clock, other.window, rig.dir,
                                  rig.dir / "config.txt"});
  second.OnInitDialog();
  second.WriteLogLine("from the second console");
  rig.console.WriteLogLine("from the first console");
  const auto texts = rig.LogTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "from the first console");
}

TEST_F(DataLog, ALogDeletedWhileOpenIsMadeAgainForTheNextLine) {
  Start();
  rig.console.WriteLogLine("before");
  std::filesystem::remove(rig.dir / "Moro-log.txt");
  rig.console.WriteLogLine("after");
  EXPECT_EQ(rig.LogTexts(), std::vector<std::string>{"after"});
  EXPECT_TRUE(rig.window.logTrouble.empty());
}

TEST_F(DataLog, UnwritableLogLeavesEverythingElseRunning) {
  std::filesystem::create_directory(rig.dir / "Moro-log.txt");  // cannot be opened as a file
  Start();
  rig.Answer(497, 1014);
  EXPECT_EQ(rig.controls.Text(IDC_STATUS_TEXT), "=> Charging");
  rig.Tick();
  EXPECT_FALSE(rig.link.writes().empty());
}

TEST(TextFileWriter, FileSizeLimitNeverLeavesHalfALine) {
  ConsoleRig rig;
  const auto path = rig.dir / "limited.txt";
  TextFileWriter writer;
  ASSERT_TRUE(writer.Open(path, TextFileWriter::Mode::Append));
  ASSERT_TRUE(writer.WriteLine("0123456789"));

  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 20;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const bool second = writer.WriteLine("0123456789");  // 12 more bytes pass the limit
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(second);
  EXPECT_EQ(rig.ReadFile("limited.txt"), "0123456789\r\n");
  EXPECT_TRUE(writer.WriteLine("ok"));
  EXPECT_EQ(rig.ReadFile("limited.txt"), "0123456789\r\nok\r\n");
}

TEST(TextFileWriter, TruncateLeavesAFileHeldByAnotherWriterIntact) {
  ConsoleRig rig;
  rig.WriteFile("held.txt", "keep me\r\n");
  TextFileWriter first;
  ASSERT_TRUE(first.Open(rig.dir / "held.txt", TextFileWriter::Mode::Append));
  TextFileWriter second;
  EXPECT_FALSE(second.Open(rig.dir / "held.txt", TextFileWriter::Mode::Truncate));
  EXPECT_EQ(rig.ReadFile("held.txt"), "keep me\r\n");
}

TEST(TextLineReader, LinesEndAtLfWithOptionalCrAndLongLinesAreCut) {
  ConsoleRig rig;
  rig.WriteFile("in.txt", "one\r\ntwo\nthree\r\r\n\nlast" + std::string(10000, 'x'));
  TextLineReader reader;
  ASSERT_TRUE(reader.Open(rig.dir / "in.txt"));
  std::vector<std::string> lines;
  for (std::string line; reader.ReadLine(line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "one");
  EXPECT_EQ(lines[1], "two");
  EXPECT_EQ(lines[2], "three\r");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4].size(), TextLineReader::kMaxLine);
}

}  // namespace
}  // namespace verdelo::test
