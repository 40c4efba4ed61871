#include "trends/log_reader.h"

#include <cstring>

#include "trends/log_line.h"

namespace verdelo::trends {

void LogStreamReader::Feed(std::string_view chunk, Batch& batch) {
  stats_.bytes += chunk.size();
  const char* p = chunk.data();
  const char* const end = p + chunk.size();
  if (afterCr_ && p < end && *p == '\n') ++p;  // the LF of a CR LF cut in two
  afterCr_ = false;
  while (p < end) {
    const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* lf = found ? static_cast<const char*>(found) : end;
    // CR alone ends lines too: look for one inside.
    const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(lf - p));
    const char* stop = cr ? static_cast<const char*>(cr) : lf;
    if (stop == end) {
      Pending(std::string_view(p, static_cast<std::size_t>(end - p)));
      return;
    }
    std::string_view line(p, static_cast<std::size_t>(stop - p));
    if (!pending_.empty() || pendingTooLong_) {
      Pending(line);
      if (pendingTooLong_) {
        ++stats_.lines;
        ++stats_.tooLong;
      } else {
        Line(pending_, batch);
      }
      pending_.clear();
      pendingTooLong_ = false;
    } else if (line.size() > kMaxLine) {
      ++stats_.lines;
      ++stats_.tooLong;
    } else {
      Line(line, batch);
    }
    p = stop + 1;
    if (*stop == '\r') {
      if (p < end && *p == '\n') ++p;
      else if (p == end) afterCr_ = true;
    }
  }
}

void LogStreamReader::Pending(std::string_view part) {
  if (pendingTooLong_) return;
  if (pending_.size() + part.size() > kMaxLine) {
    pendingTooLong_ = true;
    pending_.clear();
    return;
  }
  pending_.append(part);
}

void LogStreamReader::Finish(Batch& batch) {
  if (pendingTooLong_) {
    ++stats_.lines;
    ++stats_.tooLong;
  } else if (!pending_.empty()) {
    Line(pending_, batch);
  }
  pending_.clear();
  pendingTooLong_ = false;
  afterCr_ = false;
}

void LogStreamReader::Reset() {
  stats_ = ReadStats{};
  pending_.clear();
  pendingTooLong_ = false;
  afterCr_ = false;
  clock_ = LocalToEpoch{};
  lastKept_ = std::numeric_limits<std::int64_t>::min();
}

void LogStreamReader::Line(std::string_view text, Batch& batch) {
  if (text.empty()) return;
  ++stats_.lines;
  LogLine line;
  switch (ParseLogLine(text, line)) {
    case LineFault::Layout: ++stats_.layout; return;
    case LineFault::Date: ++stats_.date; return;
    case LineFault::None: break;
  }
  const std::optional<std::int64_t> t = clock_.Convert(line.time, lastKept_);
  if (!t) {
    ++stats_.date;
    return;
  }
  if (*t < lastKept_) {
    ++stats_.backInTime;
    return;
  }
  lastKept_ = *t;
  ++stats_.kept;
  for (int f = 0; f < kLogFieldCount; ++f)
    if (const auto id = SeriesOfField(static_cast<LogField>(f)))
      batch.samples.push_back(Sample{*id, *t, line.fields[static_cast<std::size_t>(f)]});
  if (const auto kind = ClassifyText(line.text)) batch.markers.push_back(Marker{*t, *kind, MarkerText(line.text)});
}

}  // namespace verdelo::trends
