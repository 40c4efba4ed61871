// The Trends window's data-log reader. Any bytes read as one line: an
// accepted line holds a real date and eleven values that, written back,
// read the same. The same bytes read as a data log, whole and cut into
// chunks: every line is kept or counted once, the values kept come in time
// order, and how the bytes are cut changes nothing.
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/text.h"
#include "fuzz/fuzz_check.h"
#include "trends/epoch_time.h"
#include "trends/log_line.h"
#include "trends/log_reader.h"

using namespace verdelo;
using namespace verdelo::trends;

namespace {

void CheckLine(std::string_view bytes) {
  LogLine line;
  if (ParseLogLine(bytes, line) != LineFault::None) return;
  FUZZ_CHECK(IsValidLocalTime(line.time));
  FUZZ_CHECK(line.text.data() + line.text.size() == bytes.data() + bytes.size());
  std::string again = Format("%02d/%02d/%04d;%02d:%02d:%02d;", line.time.day, line.time.month, line.time.year,
                             line.time.hour, line.time.minute, line.time.second);
  for (const std::int32_t v : line.fields) again += Format("%d;", v);
  again += line.text;
  LogLine reread;
  FUZZ_CHECK(ParseLogLine(again, reread) == LineFault::None);
  FUZZ_CHECK(reread.fields == line.fields);
  FUZZ_CHECK(reread.text == line.text);
  ClassifyText(line.text);
  MarkerText(line.text);
}

struct Read {
  Batch batch;
  ReadStats stats;
};

Read ReadLog(std::string_view bytes, std::size_t chunk) {
  LogStreamReader reader;
  Read read;
  for (std::size_t at = 0; at < bytes.size(); at += chunk) reader.Feed(bytes.substr(at, chunk), read.batch);
  reader.Finish(read.batch);
  read.stats = reader.stats();
  return read;
}

bool SameSamples(const std::vector<Sample>& a, const std::vector<Sample>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const Sample& x, const Sample& y) { return x.id == y.id && x.t == y.t && x.v == y.v; });
}
bool SameMarkers(const std::vector<Marker>& a, const std::vector<Marker>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const Marker& x, const Marker& y) { return x.t == y.t && x.kind == y.kind && x.text == y.text; });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A zone with daylight saving time, so the repeated hour is read too.
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckLine(bytes);

  const Read whole = ReadLog(bytes, bytes.size() + 1);
  const ReadStats& s = whole.stats;
  FUZZ_CHECK(s.bytes == size);
  FUZZ_CHECK(s.lines == s.kept + s.skipped());
  FUZZ_CHECK(whole.batch.samples.size() == 8 * s.kept);
  for (std::size_t i = 1; i < whole.batch.samples.size(); ++i)
    FUZZ_CHECK(whole.batch.samples[i - 1].t <= whole.batch.samples[i].t);
  for (std::size_t i = 1; i < whole.batch.markers.size(); ++i)
    FUZZ_CHECK(whole.batch.markers[i - 1].t <= whole.batch.markers[i].t);

  const std::size_t chunk = size > 0 ? 1 + data[0] % 17 : 1;
  const Read cut = ReadLog(bytes, chunk);
  FUZZ_CHECK(cut.stats.lines == s.lines && cut.stats.kept == s.kept && cut.stats.skipped() == s.skipped());
  FUZZ_CHECK(SameSamples(cut.batch.samples, whole.batch.samples));
  FUZZ_CHECK(SameMarkers(cut.batch.markers, whole.batch.markers));
  return 0;
}
