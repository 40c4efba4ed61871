// Loads a data log into a store on a thread of its own, with progress and
// cancel, and then follows what is appended to it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>

#include "trends/log_reader.h"
#include "trends/series_store.h"

namespace verdelo::trends {

class LogLoader {
 public:
  struct Status {
    std::filesystem::path path;
    std::uint64_t done = 0;   // bytes read
    std::uint64_t total = 0;  // the file's size when last looked at
    bool running = false;     // the thread reads or follows
    bool caughtUp = false;    // read to the end at least once
    bool stopped = false;     // ended by Stop() before it was done
    int missingError = 0;     // errno while the file cannot be opened
    int startedOver = 0;      // times the file was cut or replaced
    bool notALog = false;     // no line at all in its first kGiveUpBytes: reading ended
    ReadStats stats;
  };

  explicit LogLoader(SeriesStore& store) : store_(store) {}
  ~LogLoader() { Stop(); }
  LogLoader(const LogLoader&) = delete;
  LogLoader& operator=(const LogLoader&) = delete;

  // Empties the store and reads the file into it in chunks. With `follow`,
  // it then looks for more every kPollPeriod until stopped.
  void Start(std::filesystem::path path, bool follow);
  // Ends the reading; what was read stays in the store. Returns once the
  // thread has ended.
  void Stop();
  Status status() const;

  // Waits until a read that began after this call reached the end of the
  // file, or the reading ended; false after `timeout`.
  bool WaitCaughtUp(std::chrono::milliseconds timeout);

  static constexpr std::size_t kChunkBytes = 1 << 20;
  // A data log has a line end every few hundred bytes; a file without one
  // this far in (a disk image, a file of zeros) is not read to its end.
  static constexpr std::uint64_t kGiveUpBytes = 16 * kChunkBytes;
  static constexpr std::chrono::milliseconds kPollPeriod{500};

 private:
  void Run(std::filesystem::path path, bool follow);
  // Sleeps until the next poll, a nudge or a stop; false on stop.
  bool Idle();

  SeriesStore& store_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;      // to the thread: stop or nudge
  std::condition_variable progress_;  // from the thread: a pass ended
  bool stop_ = false;
  bool nudged_ = false;
  std::uint64_t reads_ = 0;        // reads begun
  std::uint64_t endReached_ = 0;   // the read that last found the end
  Status status_;
};

}  // namespace verdelo::trends
