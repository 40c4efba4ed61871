#include "trends/log_reader.h"

#include <cstring>
#include <utility>

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
  if (waiting_) Keep(std::move(*waiting_), batch);  // no line after it to tell
  waiting_.reset();
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
  waiting_.reset();
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
  if (waiting_) {
    // Far ahead of the line before it, and of this one too: it stood alone.
    if (waiting_->t - *t > kFarAhead) ++stats_.farAhead;
    else Keep(std::move(*waiting_), batch);
    waiting_.reset();
  }
  if (*t < lastKept_) {
    ++stats_.backInTime;
    return;
  }
  Dated dated{*t, line.fields, std::nullopt};
  if (const auto kind = ClassifyText(line.text)) dated.marker = Marker{*t, *kind, MarkerText(line.text)};
  if (lastKept_ != std::numeric_limits<std::int64_t>::min() && *t - lastKept_ > kFarAhead) {
    waiting_ = std::move(dated);
    return;
  }
  Keep(std::move(dated), batch);
}

void LogStreamReader::Keep(Dated&& line, Batch& batch) {
  lastKept_ = line.t;
  ++stats_.kept;
  for (int f = 0; f < kLogFieldCount; ++f)
    if (const auto id = SeriesOfField(static_cast<LogField>(f)))
      batch.samples.push_back(Sample{*id, line.t, line.fields[static_cast<std::size_t>(f)]});
  if (line.marker) batch.markers.push_back(std::move(*line.marker));
}

}  // namespace verdelo::trends
