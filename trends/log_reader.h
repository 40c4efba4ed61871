// Reads a data log from bytes that arrive in chunks of any size (a file
// loaded in the background, a file that grows): lines end in CR LF, LF or
// CR alone; whatever is not a data-log line is counted and skipped.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "trends/epoch_time.h"
#include "trends/series_store.h"

namespace verdelo::trends {

struct ReadStats {
  std::uint64_t bytes = 0;
  std::uint64_t lines = 0;       // not counting empty ones
  std::uint64_t kept = 0;
  std::uint64_t layout = 0;      // not a data-log line (garbage, half lines, other files)
  std::uint64_t date = 0;        // a time stamp no calendar has
  std::uint64_t tooLong = 0;     // longer than kMaxLine
  std::uint64_t backInTime = 0;  // before the line kept last
  std::uint64_t skipped() const { return layout + date + tooLong + backInTime; }
};

class LogStreamReader {
 public:
  // No data-log line comes near this; longer ones are dropped unread so
  // that a file without line ends cannot fill memory.
  static constexpr std::size_t kMaxLine = 4096;

  // Splits the chunk into lines and adds what each holds to `batch`. A
  // line cut at the chunk's end is completed by the next chunk.
  //
  // A line stamped before the last line kept (the clock set back, another
  // log pasted in) is skipped and counted: the charts need time order, and
  // the lines after it are kept as soon as time moves on past it. The hour
  // repeated when daylight saving time ends is no such case: its second
  // pass is read as the later hour.
  void Feed(std::string_view chunk, Batch& batch);
  // The input ends: a last line without a line end is read too.
  void Finish(Batch& batch);
  // Forgets everything, for reading a file again from its start.
  void Reset();

  const ReadStats& stats() const { return stats_; }

 private:
  void Line(std::string_view line, Batch& batch);
  void Pending(std::string_view part);

  ReadStats stats_;
  std::string pending_;          // a line cut at a chunk's end
  bool pendingTooLong_ = false;  // ...that is already too long
  bool afterCr_ = false;         // the last byte seen was a CR
  LocalToEpoch clock_;
  std::int64_t lastKept_ = std::numeric_limits<std::int64_t>::min();
};

}  // namespace verdelo::trends
