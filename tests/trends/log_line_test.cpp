// A data-log line read back field by field, what is not one, and which
// texts become markers.
#include <gtest/gtest.h>

#include "console/data_log_line.h"
#include "trends/log_line.h"

namespace verdelo::trends {
namespace {

TEST(LogLine, ReadsBackEveryFieldTheConsoleWrites) {
  MowerValues v;
  v.status = 1014;
  v.current = -1000;  // wider than its field
  v.temperature = -123;
  v.voltage = 25100;
  v.charge = 1800;
  v.boundaryFront = -12;
  v.cuttingSeen = 1;
  v.cuttingEffort = 77;
  v.value12030 = 65535;
  v.value127 = 3;
  v.rainLevel = 255;
  const std::string text = FormatDataLogLine({2025, 12, 31, 23, 59, 58, 999}, v, "=> Charging; at home : 1014");
  LogLine line;
  ASSERT_EQ(ParseLogLine(text, line), LineFault::None);
  EXPECT_EQ(line.time.year, 2025);
  EXPECT_EQ(line.time.month, 12);
  EXPECT_EQ(line.time.day, 31);
  EXPECT_EQ(line.time.hour, 23);
  EXPECT_EQ(line.time.minute, 59);
  EXPECT_EQ(line.time.second, 58);
  const std::array<std::int32_t, kLogFieldCount> expected = {1014, -1000, -123, 25100, 1800, -12, 1, 77, 65535, 3, 255};
  EXPECT_EQ(line.fields, expected);
  EXPECT_EQ(line.text, "=> Charging; at home : 1014");  // the text keeps its ';'
}

TEST(LogLine, AcceptsAnyWidthAndAnEmptyText) {
  struct Case {
    const char* line;
    std::int32_t status, rain;
  };
  for (const Case& c : {
           Case{"01/02/2026;03:04:05;1;2;3;4;5;6;7;8;9;10;11;", 1, 11},
           Case{"01/02/2026;03:04:05;      -7;2;3;4;5;6;7;8;9;10;  2147483647;", -7, 2147483647},
           Case{"01/02/2026;03:04:05; -2147483648;2;3;4;5;6;7;8;9;10;0;x", -2147483648, 0},
       }) {
    LogLine line;
    ASSERT_EQ(ParseLogLine(c.line, line), LineFault::None) << c.line;
    EXPECT_EQ(line.field(LogField::Status), c.status) << c.line;
    EXPECT_EQ(line.field(LogField::RainLevel), c.rain) << c.line;
  }
}

TEST(LogLine, WhatIsNoDataLogLine) {
  struct Case {
    std::string line;
    LineFault fault;
  };
  const std::string good = "05/03/2026;09:07:03;    0;   0; 0;    0;   0;   0;0;    0;    0;    0;    0;";
  for (const Case& c : std::initializer_list<Case>{
           {"", LineFault::Layout},
           {"05/03/2026;09:07:03;    0;   0; 0;    0", LineFault::Layout},          // cut short
           {good.substr(0, good.size() - 1), LineFault::Layout},                    // last ';' missing
           {"5/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Layout},        // day of one digit
           {"05/03/26;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Layout},         // year of two
           {"05-03-2026;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Layout},
           {"05/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;", LineFault::Layout},          // ten values
           {"05/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;a;", LineFault::Layout},
           {"05/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;-;", LineFault::Layout},
           {"05/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;1 ;", LineFault::Layout},
           {"05/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;2147483648;", LineFault::Layout},
           {"05/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;99999999999999;", LineFault::Layout},
           {std::string("05/03/2026;09:07:03;0;0;0\0;0;0;0;0;0;0;0;0;", 44), LineFault::Layout},
           {"\xFF\xFE\x00garbage", LineFault::Layout},
           {"31/02/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Date},
           {"29/02/2025;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Date},
           {"05/13/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Date},
           {"05/03/2026;24:00:00;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Date},
           {"05/03/2026;09:60:00;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Date},
           {"00/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::Date},
           {"29/02/2024;09:07:03;0;0;0;0;0;0;0;0;0;0;0;", LineFault::None},         // leap day
       }) {
    LogLine line;
    EXPECT_EQ(ParseLogLine(c.line, line), c.fault) << c.line;
  }
}

TEST(LogLine, TextsThatBecomeMarkers) {
  struct Case {
    const char* text;
    std::optional<MarkerKind> kind;
  };
  for (const Case& c : {
           Case{"", std::nullopt},
           Case{"   ", std::nullopt},
           Case{"=> Charging : 1014", std::nullopt},
           Case{"=> Error: outside boundary :   16", std::nullopt},
           Case{"=> Unknown status     -7 :   -7", std::nullopt},
           Case{"=> Error: outside boundary", MarkerKind::Event},
           Case{"=> Robot Mode changed      1", MarkerKind::Event},
           Case{"=> Link lost: /dev/ttyUSB0 is gone", MarkerKind::Event},
           Case{"=> ManToAutoEnabled", MarkerKind::Event},
           Case{"ALARM !!", MarkerKind::Alarm},
           Case{"ALARM has ended", MarkerKind::Alarm},
           Case{"ALARM CURRENT TOO LOW !!", MarkerKind::Alarm},
           Case{"=> SCRIPT3 go back 30cm", MarkerKind::Script},
           Case{"=> Searching station => SCRIPT2 toggle MAN/AUTO, AutoToManDisabled,Vmin=24100  : 1042",
                MarkerKind::Script},
           Case{"script 02 : step : 01", MarkerKind::Script},
           Case{"SCRIPT GO.txt executed", MarkerKind::Script},
           Case{"start puls charge timer:  600", MarkerKind::Pulse},
           Case{"stop puls charge timer", MarkerKind::Pulse},
           Case{"charging puls", MarkerKind::Pulse},
           Case{"hello", MarkerKind::Event},
       }) {
    EXPECT_EQ(ClassifyText(c.text), c.kind) << c.text;
  }
}

}  // namespace
}  // namespace verdelo::trends
