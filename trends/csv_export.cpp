#include "trends/csv_export.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
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
    else if (!info.unit.empty()) header += "_" + std::string(info.unit);
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

std::string Quoted(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
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
  store.Inspect([&](const std::array<Series, kSeriesCount>& series, const std::deque<Marker>& markers) {
    std::vector<std::vector<Point>> points(kSeriesCount);
    for (std::int64_t start = from; start <= to; start += kStretch) {
      // [start, end), the last stretch with `to` itself.
      const std::int64_t end = std::min(to, start + kStretch - 1);
      for (int s = 0; s < kSeriesCount; ++s) {
        points[static_cast<std::size_t>(s)].clear();
        series[static_cast<std::size_t>(s)].Visit(start, end, [&](const Point& p) {
          if (p.t >= start && p.t <= end) points[static_cast<std::size_t>(s)].push_back(p);
        });
      }
      auto marker = std::lower_bound(markers.begin(), markers.end(), start,
                                     [](const Marker& m, std::int64_t t) { return m.t < t; });
      std::vector<std::size_t> next(kSeriesCount, 0);
      for (;;) {
        std::int64_t t = std::numeric_limits<std::int64_t>::max();
        for (int s = 0; s < kSeriesCount; ++s) {
          const auto& p = points[static_cast<std::size_t>(s)];
          if (next[static_cast<std::size_t>(s)] < p.size()) t = std::min(t, p[next[static_cast<std::size_t>(s)]].t);
        }
        if (marker != markers.end() && marker->t <= end) t = std::min(t, marker->t);
        if (t == std::numeric_limits<std::int64_t>::max()) break;
        std::string row = IsoLocalTime(t);
        for (int s = 0; s < kSeriesCount; ++s) {
          row += ',';
          const auto& p = points[static_cast<std::size_t>(s)];
          std::size_t& i = next[static_cast<std::size_t>(s)];
          if (i < p.size() && p[i].t == t) row += Value(AllSeries()[static_cast<std::size_t>(s)], p[i++].v);
        }
        row += ',';
        if (marker != markers.end() && marker->t == t) row += Quoted((marker++)->text);
        out << row << "\r\n";
      }
    }
  });
}

}  // namespace verdelo::trends
