#include "trends/csv_export.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <vector>

namespace verdelo::trends {

namespace {

constexpr std::int64_t kStretch = 24LL * 3600 * 1000;  // written a day at a time

std::string Header() {
  std::string header = "time";
  for (SeriesId id : AllSeries()) {
    const SeriesInfo& info = Info(id);
    header += ',';
    header += info.name;
    if (id == SeriesId::Temperature) header += "_C";
    else if (!info.unit.empty()) header.append("_").append(info.unit);
  }
  return header + ",event";
}

std::string Value(SeriesId id, std::int32_t v) {
  const double scale = Info(id).scale;
  if (scale == 1) return std::to_string(v);
  const int decimals = static_cast<int>(std::lround(-std::log10(scale)));
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, v * scale);
  return text;
}

// A plain number such as -1.5.
bool IsDecimalNumber(std::string_view text) {
  std::size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') digits = true;
    else if (text[i] == '.' && !point) point = true;
    else return false;
  }
  return digits;
}

// A cell as spreadsheets read it back: quoted where it holds a separator,
// and text that a spreadsheet would take for a formula (it begins with =,
// +, - or @ and is no number) behind a single quote, so it stays text.
std::string Cell(const std::string& text) {
  std::string cell = text;
  if (!cell.empty() && std::string_view("=+-@").find(cell.front()) != std::string_view::npos &&
      !IsDecimalNumber(cell))
    cell.insert(0, 1, '\'');
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (char c : cell) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

// What one stretch of time holds, copied out under the store's lock so that
// the file is written without holding it.
struct Stretch {
  std::array<std::vector<Point>, kSeriesCount> points;
  std::vector<Marker> markers;
};

void Copy(const SeriesStore& store, std::int64_t start, std::int64_t end, Stretch& out) {
  store.Inspect([&](const std::array<Series, kSeriesCount>& series, const std::deque<Marker>& markers) {
    for (std::size_t s = 0; s < series.size(); ++s) {
      out.points[s].clear();
      series[s].Visit(start, end, [&](const Point& p) {
        if (p.t >= start && p.t <= end) out.points[s].push_back(p);
      });
    }
    out.markers.clear();
    auto marker = std::lower_bound(markers.begin(), markers.end(), start,
                                   [](const Marker& m, std::int64_t t) { return m.t < t; });
    for (; marker != markers.end() && marker->t <= end; ++marker) out.markers.push_back(*marker);
  });
}

void WriteRows(const Stretch& stretch, std::ostream& out) {
  std::array<std::size_t, kSeriesCount> next{};
  auto marker = stretch.markers.begin();
  for (;;) {
    std::int64_t t = std::numeric_limits<std::int64_t>::max();
    for (std::size_t s = 0; s < next.size(); ++s)
      if (next[s] < stretch.points[s].size()) t = std::min(t, stretch.points[s][next[s]].t);
    if (marker != stretch.markers.end()) t = std::min(t, marker->t);
    if (t == std::numeric_limits<std::int64_t>::max()) return;
    std::string row = IsoLocalTime(t);
    for (std::size_t s = 0; s < next.size(); ++s) {
      row += ',';
      const auto& p = stretch.points[s];
      if (next[s] < p.size() && p[next[s]].t == t) row += Value(AllSeries()[s], p[next[s]++].v);
    }
    row += ',';
    if (marker != stretch.markers.end() && marker->t == t) row += Cell((marker++)->text);
    out << row << "\r\n";
  }
}

}  // namespace

std::string IsoLocalTime(std::int64_t ms) {
  const std::int64_t seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
  const time_t at = static_cast<time_t>(seconds);
  tm local{};
  ::localtime_r(&at, &local);
  char text[96];
  const int offset = static_cast<int>(local.tm_gmtoff / 60);
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms - seconds * 1000), offset < 0 ? '-' : '+', std::abs(offset) / 60,
                std::abs(offset) % 60);
  return text;
}

void WriteCsv(const SeriesStore& store, std::int64_t from, std::int64_t to, std::ostream& out) {
  out << Header() << "\r\n";
  Stretch stretch;
  for (std::int64_t start = from; start <= to && out;) {
    // [start, end), the last stretch with `to` itself.
    const std::int64_t end = to - start < kStretch ? to : start + kStretch - 1;
    Copy(store, start, end, stretch);
    WriteRows(stretch, out);
    if (end == to) break;
    start = end + 1;
  }
}

}  // namespace verdelo::trends
