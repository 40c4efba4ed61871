// The memory tool: dumps of a register range and uploads of a file.
#include <gtest/gtest.h>

#include "console/control_ids.h"
#include "console/memory_lines.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Frames = std::vector<std::string>;

TEST(MemoryLines, DumpAndAnswerLayouts) {
  EXPECT_EQ(FormatMemoryDumpLine(100, 0x0141, false), "  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;");
  EXPECT_EQ(FormatMemoryDumpLine(100, 0x0141, true), "  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;A");
  EXPECT_EQ(FormatMemoryDumpLine(5, 0xFFFB, false), "    5 ;     -5 ; 65531 ; FFFB ; FF ; FB ;");
  EXPECT_EQ(FormatMemoryDumpLine(5, 0x0100, true), "    5 ;    256 ;   256 ; 0100 ; 01 ; 00 ;");
  EXPECT_EQ(FormatMemoryDumpLine(5, 0x00E9, true), "    5 ;    233 ;   233 ; 00E9 ; 00 ; E9 ;\xC3\xA9");
  EXPECT_EQ(FormatMemoryAnswerLine(0x8007, 0xFFFE), "32775 ;    -2 ; 65534 ; \xC3\xBE");
}

TEST(MemoryLines, WriteLinesNeedTwoNumbersInRange) {
  const auto parsed = ParseMemoryWriteLine("  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->address, 100);
  EXPECT_EQ(parsed->value, 321);
  EXPECT_EQ(ParseMemoryWriteLine("7;-2")->value, 0xFFFE);
  EXPECT_EQ(ParseMemoryWriteLine("7 ;65535")->value, 0xFFFF);
  EXPECT_EQ(ParseMemoryWriteLine("32767 ; -32768 trailing")->address, 32767);
  for (const char* bad : {"", "   ", "abc", "7", "7 ;", "7 , 2", "; 2", "32768 ; 1", "-1 ; 1",
                          "7 ; 65536", "7 ; -32769", "99999999999999 ; 1", "7 ; x"})
    EXPECT_FALSE(ParseMemoryWriteLine(bad)) << "'" << bad << "'";
}

class MemoryTool : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.WriteConfig({"[NO_SPLASH_DIALOG]", "[MORO_EXPERT_MODE]", "[VALUES_UPDATE_DISABLE]1"});
    rig.Start();
  }
  void Range(const std::string& begin, const std::string& end) {
    rig.controls.SetText(IDC_MEM_BEGIN, begin);
    rig.controls.SetText(IDC_MEM_END, end);
  }
  Frames TickFrames() {
    rig.link.ClearRecords();
    rig.Tick();
    return rig.SentHex();
  }
  // The mower answers each read request with the address times three.
  void AnswerLast() {
    const auto& bytes = rig.link.writes().back().bytes;
    const std::uint16_t address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    rig.Answer(address, static_cast<std::uint16_t>(address * 3));
  }
  ConsoleRig rig;
};

TEST_F(MemoryTool, ReadsARangeOnePerTickAndStopsPolling) {
  Range("10", "12");
  rig.Click(IDC_MEM_READ);
  ASSERT_TRUE(rig.clock.IsRunning(TIMER_POLL));
  for (const std::string frame : {"0F 00 0A 00 00", "0F 00 0B 00 00", "0F 00 0C 00 00"}) {
    EXPECT_EQ(TickFrames(), Frames{frame});
    AnswerLast();
  }
  EXPECT_FALSE(rig.console.memoryTool().memReadActive);
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_POLL));
  EXPECT_EQ(rig.ReadFile("Moro-mem.txt"),
            "   10 ;     30 ;    30 ; 001E ; 00 ; 1E ;\r\n"
            "   11 ;     33 ;    33 ; 0021 ; 00 ; 21 ;\r\n"
            "   12 ;     36 ;    36 ; 0024 ; 00 ; 24 ;\r\n");
  EXPECT_EQ(rig.console.values().status, 0);  // nothing decoded meanwhile
}

TEST_F(MemoryTool, EvenOnlySkipsOddAddressesAfterTheFirst) {
  rig.controls.SetChecked(IDC_MEM_EVEN_ONLY, true);
  Range("5", "10");
  rig.Click(IDC_MEM_READ);
  Frames sent;
  for (int i = 0; i < 5; ++i)
    for (const auto& f : TickFrames()) sent.push_back(f);
  EXPECT_EQ(sent, (Frames{"0F 00 05 00 00", "0F 00 06 00 00", "0F 00 08 00 00", "0F 00 0A 00 00"}));
}

TEST_F(MemoryTool, OneAddressOneLine) {
  Range("7", "7");
  rig.Click(IDC_MEM_READ);
  EXPECT_EQ(TickFrames(), Frames{"0F 00 07 00 00"});
  AnswerLast();
  EXPECT_FALSE(rig.console.memoryTool().memReadActive);
}

TEST_F(MemoryTool, FilterDropsLinesButTheAnswersStillCount) {
  rig.controls.SetChecked(IDC_MEM_FILTER, true);
  rig.controls.SetText(IDC_MEM_MIN, "1");
  rig.controls.SetText(IDC_MEM_MAX, "100");
  Range("1", "3");
  rig.Click(IDC_MEM_READ);
  for (std::uint16_t value : {0, 0xFFFB, 50}) {
    TickFrames();
    rig.Answer(1, value);
  }
  EXPECT_FALSE(rig.console.memoryTool().memReadActive);
  EXPECT_EQ(rig.ReadFile("Moro-mem.txt"), "    1 ;     50 ;    50 ; 0032 ; 00 ; 32 ;\r\n");
}

TEST_F(MemoryTool, EndBelowBeginOrOutsideTheRegistersOnlyEmptiesTheFile) {
  for (const auto& [begin, end] : std::vector<std::pair<std::string, std::string>>{
           {"12", "10"}, {"32768", "32770"}, {"-1", "3"}, {"0", "40000"}}) {
    rig.WriteFile("Moro-mem.txt", "old\r\n");
    Range(begin, end);
    rig.Click(IDC_MEM_READ);
    EXPECT_FALSE(rig.console.memoryTool().memReadActive) << begin << ".." << end;
    EXPECT_EQ(rig.ReadFile("Moro-mem.txt"), "");
    EXPECT_EQ(TickFrames(), Frames{});
  }
}

TEST_F(MemoryTool, TheLastAddressStaysWithinTheRegisters) {
  Range("32767", "32767");
  rig.Click(IDC_MEM_READ);
  EXPECT_EQ(TickFrames(), Frames{"0F 7F FF 00 00"});
}

TEST_F(MemoryTool, ALostLastAnswerEndsTheReadAfterFivePeriods) {
  Range("1", "1");
  rig.Click(IDC_MEM_READ);
  TickFrames();
  for (int i = 1; i < MowerConsole::kMemoryReadGraceTicks; ++i) {
    EXPECT_EQ(TickFrames(), Frames{});
    EXPECT_TRUE(rig.console.memoryTool().memReadActive);
  }
  TickFrames();
  EXPECT_FALSE(rig.console.memoryTool().memReadActive);
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_POLL));
  // Polling comes back the usual way.
  rig.Click(IDC_DISABLE_VALUES_UPDATE);
  EXPECT_EQ(TickFrames(), (Frames{"0F 01 EB 00 00", "0F 02 33 00 00"}));
}

TEST_F(MemoryTool, ButtonsWhileRunningChangeNothing) {
  Range("1", "3");
  rig.Click(IDC_MEM_READ);
  TickFrames();
  Range("100", "200");
  rig.Click(IDC_MEM_READ);
  rig.Click(IDC_MEM_WRITE);
  EXPECT_EQ(TickFrames(), Frames{"0F 00 02 00 00"});
  EXPECT_FALSE(rig.console.memoryTool().memWriteActive);
}

TEST_F(MemoryTool, WritesEveryLineAndRecordsTheAnswers) {
  rig.WriteFile("Moro-mem.txt",
                "  100 ;    321 ;   321 ; 0141 ; 01 ; 41 ;\r\n7 ; -2\r\nnot a line\r\n\r\n"
                "40000 ; 1\r\n5 ; 70000\r\n8 ; 9");
  rig.Click(IDC_MEM_WRITE);
  std::vector<Frames> perTick;
  std::vector<std::string> labels;
  for (int i = 0; i < 7; ++i) {
    perTick.push_back(TickFrames());
    labels.push_back(rig.controls.Text(IDC_SCRIPT_STATE));
    if (!perTick.back().empty()) {
      const auto& bytes = rig.link.writes().back().bytes;
      rig.Answer(static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]), 0xFF41);
    }
  }
  EXPECT_EQ(perTick, (std::vector<Frames>{{"0F 80 64 01 41"}, {"0F 80 07 FF FE"}, {}, {}, {}, {},
                                          {"0F 80 08 00 09"}}));
  EXPECT_EQ(labels[2], "not a line");
  EXPECT_EQ(labels[4], "40000 ; 1");
  EXPECT_TRUE(rig.console.memoryTool().memWriteActive);
  EXPECT_EQ(TickFrames(), Frames{});
  EXPECT_EQ(rig.controls.Text(IDC_SCRIPT_STATE), "Mem. Writing finished");
  EXPECT_FALSE(rig.console.memoryTool().memWriteActive);
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_POLL));  // "Disable Values Update" is ticked
  EXPECT_EQ(rig.ReadFile("Moro-mem-answer.txt"),
            "32868 ;  -191 ; 65345 ; A\r\n32775 ;  -191 ; 65345 ; A\r\n"
            "32776 ;  -191 ; 65345 ; A\r\n");
}

TEST_F(MemoryTool, TestReadSendsReadsOfTheSameAddresses) {
  rig.controls.SetChecked(IDC_MEM_TEST_READ, true);
  rig.WriteFile("Moro-mem.txt", "100 ; 321\r\n");
  rig.Click(IDC_MEM_WRITE);
  EXPECT_EQ(TickFrames(), Frames{"0F 00 64 01 41"});
}

TEST_F(MemoryTool, EmptyFileFinishesAtTheFirstTickAndPollingResumes) {
  rig.controls.SetChecked(IDC_DISABLE_VALUES_UPDATE, false);
  rig.WriteFile("Moro-mem.txt", "");
  rig.Click(IDC_MEM_WRITE);
  EXPECT_EQ(TickFrames(), Frames{});
  EXPECT_EQ(rig.controls.Text(IDC_SCRIPT_STATE), "Mem. Writing finished");
  EXPECT_EQ(rig.ReadFile("Moro-mem-answer.txt"), "");
  EXPECT_EQ(TickFrames(), (Frames{"0F 01 EB 00 00", "0F 02 33 00 00"}));
}

TEST_F(MemoryTool, MissingInputStartsNothing) {
  rig.Click(IDC_MEM_WRITE);
  EXPECT_FALSE(rig.console.memoryTool().memWriteActive);
  EXPECT_FALSE(rig.FileExists("Moro-mem-answer.txt"));
}

}  // namespace
}  // namespace verdelo::test
