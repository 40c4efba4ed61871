// The data log read from chunks of any size: line ends, lines that are not
// data-log lines, time that goes backwards, and the hour repeated when the
// clocks go back.
#include <gtest/gtest.h>

#include <tuple>

#include "tests/trends/log_maker.h"
#include "tests/trends/time_zone.h"
#include "trends/log_reader.h"

namespace verdelo::trends {
namespace {

const std::string kLine = "05/03/2026;09:07:03; 1002;-1700;21;25100;1800; -12;1;   77;    0;    0;    0;";
const std::string kLater = "05/03/2026;09:08:03; 1014; 1800;21;25200;1810;   0;0;    0;    0;    0;    0;ALARM !!";
constexpr std::int64_t kLineMs = 1772701623000;  // 2026-03-05 09:07:03 UTC

struct Read {
  Batch batch;
  ReadStats stats;
};

Read ReadInChunks(const std::string& bytes, std::size_t chunk, bool finish = true) {
  LogStreamReader reader;
  Read read;
  for (std::size_t at = 0; at < bytes.size(); at += chunk) reader.Feed(std::string_view(bytes).substr(at, chunk), read.batch);
  if (finish) reader.Finish(read.batch);
  read.stats = reader.stats();
  return read;
}

TEST(LogReader, EveryLineEndAndEveryCutGiveTheSameLines) {
  test::ScopedTimeZone utc("UTC");
  for (const char* end : {"\r\n", "\n", "\r"}) {
    const std::string bytes = kLine + end + kLater + end;
    for (std::size_t chunk = 1; chunk <= bytes.size(); ++chunk) {
      const Read read = ReadInChunks(bytes, chunk);
      ASSERT_EQ(read.stats.kept, 2u) << "chunk " << chunk;
      ASSERT_EQ(read.stats.skipped(), 0u) << "chunk " << chunk;
      ASSERT_EQ(read.batch.samples.size(), 16u);  // eight charted values a line
      EXPECT_EQ(read.batch.samples.front().t, kLineMs);
      EXPECT_EQ(read.batch.samples.back().t, kLineMs + 60000);
      ASSERT_EQ(read.batch.markers.size(), 1u);
      EXPECT_EQ(read.batch.markers[0].kind, MarkerKind::Alarm);
      EXPECT_EQ(read.batch.markers[0].text, "ALARM !!");
    }
  }
}

TEST(LogReader, EachValueFeedsItsSeries) {
  test::ScopedTimeZone utc("UTC");
  const Read read = ReadInChunks(kLine + "\r\n", 4096);
  std::map<SeriesId, std::int32_t> values;
  for (const Sample& s : read.batch.samples) values[s.id] = s.v;
  const std::map<SeriesId, std::int32_t> expected = {
      {SeriesId::Status, 1002},     {SeriesId::Current, -1700},      {SeriesId::Temperature, 21},
      {SeriesId::Voltage, 25100},   {SeriesId::Charge, 1800},        {SeriesId::BoundaryFront, -12},
      {SeriesId::CuttingEffort, 77}, {SeriesId::RainLevel, 0}};
  EXPECT_EQ(values, expected);
}

TEST(LogReader, WhatIsSkippedIsCountedByKind) {
  test::ScopedTimeZone utc("UTC");
  const std::string bytes = std::string("\0\0\0\xFF binary\r\n", 13) +  // left by a crash
                            "05/03/2026;09:06:03; 1002;-17" + "\r\n" +      // half a line
                            kLine + "\r\n" +
                            "\r\n\n" +                                     // empty lines: not counted
                            "31/02/2026;09:07:30;0;0;0;0;0;0;0;0;0;0;0;\r\n" +
                            "05/03/2026;08:00:00;0;0;0;0;0;0;0;0;0;0;0;\r\n" +  // back in time
                            "05/03/2026;09:07:03;0;0;0;0;0;0;0;0;0;0;0;\r\n" +  // same second: kept
                            std::string(LogStreamReader::kMaxLine + 1, 'x') + "\n" + kLater +
                            "\r\n05/03/2026;09:09:0";  // cut off at the end of the file
  for (std::size_t chunk : {std::size_t{7}, std::size_t{1000}, bytes.size()}) {
    const Read read = ReadInChunks(bytes, chunk);
    EXPECT_EQ(read.stats.lines, 9u) << chunk;
    EXPECT_EQ(read.stats.kept, 3u) << chunk;
    EXPECT_EQ(read.stats.layout, 3u) << chunk;
    EXPECT_EQ(read.stats.date, 1u) << chunk;
    EXPECT_EQ(read.stats.backInTime, 1u) << chunk;
    EXPECT_EQ(read.stats.tooLong, 1u) << chunk;
    EXPECT_EQ(read.stats.skipped(), 6u) << chunk;
    EXPECT_EQ(read.stats.bytes, bytes.size()) << chunk;
  }
}

TEST(LogReader, ALoneLineFarAheadIsSkippedAndARealPauseIsKept) {
  test::ScopedTimeZone utc("UTC");
  const auto at = [](const std::string& stamp) { return stamp + ";0;0;0;0;0;0;0;0;0;0;0;\r\n"; };
  const std::string a = at("05/03/2026;09:07:03"), b = at("05/03/2026;09:08:03"), far = at("05/03/2099;09:07:03");
  struct Case {
    std::string bytes;
    std::uint64_t kept, farAhead, backInTime;
  };
  for (const Case& c : {Case{a + far + b, 2, 1, 0}, Case{a + far + "garbage\r\n" + b, 2, 1, 0},
                        Case{a + at("08/03/2026;09:07:03") + at("08/03/2026;09:08:03"), 3, 0, 0},  // a pause
                        Case{a + far, 2, 0, 0},                                 // nothing after it tells
                        Case{a + far + at("05/03/2099;09:08:03") + b, 3, 0, 1},  // not alone
                        Case{a + far + at("01/03/2026;09:07:03") + b, 2, 1, 1}}) {
    for (const std::size_t chunk : {std::size_t{7}, c.bytes.size()}) {
      const Read read = ReadInChunks(c.bytes, chunk);
      EXPECT_EQ(std::make_tuple(read.stats.kept, read.stats.farAhead, read.stats.backInTime),
                std::make_tuple(c.kept, c.farAhead, c.backInTime)) << c.bytes;
      EXPECT_EQ(read.batch.samples.size(), 8 * c.kept);
    }
  }
}

TEST(LogReader, ALineWithoutItsEndWaitsUntilTheInputEnds) {
  test::ScopedTimeZone utc("UTC");
  const Read open = ReadInChunks(kLine, 10, false);
  EXPECT_EQ(open.stats.lines, 0u);
  const Read finished = ReadInChunks(kLine, 10, true);
  EXPECT_EQ(finished.stats.kept, 1u);
}

TEST(LogReader, TheRepeatedHourWhenClocksGoBackStaysInOrder) {
  test::ScopedTimeZone berlin("Europe/Berlin");
  // 26 October 2025: 03:00 summer time becomes 02:00 winter time.
  const std::string bytes = test::MakeMowingLog({2025, 10, 26, 1, 30, 0, 0}, 180).bytes;
  const Read read = ReadInChunks(bytes, 65536);
  EXPECT_EQ(read.stats.skipped(), 0u);
  std::int64_t previous = 0;
  std::vector<std::int64_t> voltageTimes;
  for (const Sample& s : read.batch.samples) {
    EXPECT_GE(s.t, previous);
    previous = s.t;
    if (s.id == SeriesId::Voltage) voltageTimes.push_back(s.t);
  }
  // 180 data lines a minute apart; the wall clock showed 02:xx twice.
  ASSERT_GE(voltageTimes.size(), 180u);
  EXPECT_EQ(voltageTimes.back() - voltageTimes.front(), 179 * 60000);
}

TEST(LogReader, ResetForgetsTheLastTimeAndTheCounts) {
  test::ScopedTimeZone utc("UTC");
  LogStreamReader reader;
  Batch batch;
  reader.Feed(kLater + "\r\n" + "half", batch);
  reader.Reset();
  reader.Feed(kLine + "\r\n", batch);
  EXPECT_EQ(reader.stats().kept, 1u);
  EXPECT_EQ(reader.stats().skipped(), 0u);
}

}  // namespace
}  // namespace verdelo::trends
