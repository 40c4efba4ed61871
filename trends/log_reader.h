// Reads a data log from bytes that arrive in chunks of any size (a file
// loaded in the background, a file that grows): lines end in CR LF, LF or
// CR alone; whatever is not a data-log line is counted and skipped.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "trends/epoch_time.h"
#include "trends/log_line.h"
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
  std::uint64_t farAhead = 0;    // a lone line far ahead of the lines around it
  std::uint64_t skipped() const { return layout + date + tooLong + backInTime + farAhead; }
};

class LogStreamReader {
 public:
  // No data-log line comes near this; longer ones are dropped unread so
  // that a file without line ends cannot fill memory.
  static constexpr std::size_t kMaxLine = 4096;
  static constexpr std::int64_t kFarAhead = 24 * 3'600'000;

  // Splits the chunk into lines and adds what each holds to `batch`. A
  // line cut at the chunk's end is completed by the next chunk.
  //
  // A line stamped before the last line kept (the clock set back, another
  // log pasted in) is skipped and counted: the charts need time order, and
  // the lines after it are kept as soon as time moves on past it. The hour
  // repeated when daylight saving time ends is no such case: its second
  // pass is read as the later hour.
  //
  // A line more than kFarAhead after the last line kept waits for the next
  // line to tell a real pause from a wrong stamp (a line dated decades
  // ahead, which would make every later line "before the line above"):
  // when the next line is again more than kFarAhead before it, the line
  // stood alone and is skipped and counted; otherwise it is kept.
  void Feed(std::string_view chunk, Batch& batch);
  // The input ends: a last line without a line end is read too, and a line
  // still waiting for the next one is kept.
  void Finish(Batch& batch);
  // Forgets everything, for reading a file again from its start.
  void Reset();

  const ReadStats& stats() const { return stats_; }

 private:
  // A line read and dated, whose values are not yet in a batch.
  struct Dated {
    std::int64_t t;
    std::array<std::int32_t, kLogFieldCount> fields;
    std::optional<Marker> marker;
  };
  void Line(std::string_view line, Batch& batch);
  void Keep(Dated&& line, Batch& batch);
  void Pending(std::string_view part);

  ReadStats stats_;
  std::string pending_;          // a line cut at a chunk's end
  bool pendingTooLong_ = false;  // ...that is already too long
  bool afterCr_ = false;         // the last byte seen was a CR
  LocalToEpoch clock_;
  std::int64_t lastKept_ = std::numeric_limits<std::int64_t>::min();
  std::optional<Dated> waiting_;  // far ahead, until the next line tells
};

}  // namespace verdelo::trends
