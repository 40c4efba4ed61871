// The shown range as comma-separated values.
#include <gtest/gtest.h>

#include <future>
#include <sstream>

#include "tests/trends/time_zone.h"
#include "trends/csv_export.h"

namespace verdelo::trends {
namespace {

constexpr std::int64_t kT = 1772701623000;  // 2026-03-05 09:07:03 UTC

TEST(CsvExport, HeaderRowsInTimeOrderAndQuotedEvents) {
  test::ScopedTimeZone zone("Europe/Berlin");
  SeriesStore store;
  store.Add(SeriesId::Voltage, kT, 25100);
  store.Add(SeriesId::Current, kT, -1700);
  store.Add(SeriesId::Status, kT + 250, 1002);
  store.Add(SeriesId::Voltage, kT + 60000, 25050);
  store.Add(SeriesId::Voltage, kT + 120000, 25000);  // after the range
  Batch batch;
  batch.markers.push_back({kT + 250, MarkerKind::Script, "=> SCRIPT2 toggle MAN/AUTO, \"Vmin\""});
  store.Add(batch);
  std::ostringstream out;
  WriteCsv(store, kT - 1000, kT + 60000, out);
  EXPECT_EQ(out.str(),
            "time,voltage_V,current_mA,charge_mAh,temperature_C,boundary_front,boundary_rear,guide,quality,"
            "cutting_effort,rain_level,status,event\r\n"
            "2026-03-05T10:07:03.000+01:00,25.100,-1700,,,,,,,,,,\r\n"
            "2026-03-05T10:07:03.250+01:00,,,,,,,,,,,1002,\"'=> SCRIPT2 toggle MAN/AUTO, \"\"Vmin\"\"\"\r\n"
            "2026-03-05T10:08:03.000+01:00,25.050,,,,,,,,,,,\r\n");
}

TEST(CsvExport, LongRangesAreWrittenWholeAcrossDays) {
  test::ScopedTimeZone zone("UTC");
  SeriesStore store;
  const std::int64_t day = 24 * 3600 * 1000LL;
  for (int i = 0; i < 5 * 24; ++i) store.Add(SeriesId::Temperature, kT + i * 3600 * 1000LL, i % 30);
  std::ostringstream out;
  WriteCsv(store, kT, kT + 5 * day, out);
  const std::string csv = out.str();
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 5 * 24);
  EXPECT_NE(csv.find("2026-03-05T09:07:03.000+00:00,,,,0,"), std::string::npos);
  EXPECT_NE(csv.find("2026-03-10T08:07:03.000+00:00,,,,29,"), std::string::npos);
  EXPECT_EQ(IsoLocalTime(-1), "1969-12-31T23:59:59.999+00:00");
}

TEST(CsvExport, EventsThatReadAsFormulasStayText) {
  test::ScopedTimeZone zone("UTC");
  const std::pair<std::string, std::string> cells[] = {
      {"=1+2", "'=1+2"}, {"+49 mower", "'+49 mower"}, {"@SUM(A1)", "'@SUM(A1)"}, {"-", "'-"},
      {"-1.5", "-1.5"},  {"+3", "+3"},                {"=a,b", "\"'=a,b\""},     {"mowing", "mowing"}};
  Batch batch;
  for (const auto& [text, cell] : cells) batch.markers.push_back({kT, MarkerKind::Event, text});
  SeriesStore store;
  store.Add(batch);
  std::ostringstream out;
  WriteCsv(store, kT, kT, out);
  for (const auto& [text, cell] : cells) EXPECT_NE(out.str().find(",," + cell + "\r\n"), std::string::npos) << text;
}

// Output that asks the store from another thread at the first row: the
// store must not be locked while rows are written.
struct ProbingBuffer : std::streambuf {
  std::streamsize xsputn(const char*, std::streamsize n) override {
    if (++writes == 3) {  // the header and its line end came first
      asked = std::async(std::launch::async, [this] { store->TimeRange(); });
      reached = asked.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    }
    return n;
  }
  const SeriesStore* store = nullptr;
  std::future<void> asked;
  int writes = 0;
  bool reached = false;
};

TEST(CsvExport, TheStoreStaysOpenWhileRowsAreWritten) {
  SeriesStore store;
  for (int i = 0; i < 100; ++i) store.Add(SeriesId::Voltage, kT + i * 1000, 25000 + i);
  ProbingBuffer buffer;
  buffer.store = &store;
  std::ostream out(&buffer);
  WriteCsv(store, kT, kT + 100'000, out);
  EXPECT_TRUE(buffer.reached);
}

}  // namespace
}  // namespace verdelo::trends
