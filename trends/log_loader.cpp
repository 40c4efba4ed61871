#include "trends/log_loader.h"

#include "trends/log_follower.h"

namespace verdelo::trends {

void LogLoader::Start(std::filesystem::path path, bool follow) {
  Stop();
  store_.Clear();
  {
    std::lock_guard lock(mutex_);
    stop_ = false;
    nudged_ = false;
    status_ = Status{};
    status_.path = path;
    status_.running = true;
  }
  thread_ = std::thread([this, path = std::move(path), follow] { Run(path, follow); });
}

void LogLoader::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

LogLoader::Status LogLoader::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

bool LogLoader::WaitCaughtUp(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const std::uint64_t begun = reads_;
  nudged_ = true;
  wake_.notify_all();
  return progress_.wait_for(lock, timeout, [&] { return endReached_ > begun || !status_.running; });
}

bool LogLoader::Idle() {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, kPollPeriod, [&] { return stop_ || nudged_; });
  nudged_ = false;
  return !stop_;
}

void LogLoader::Run(std::filesystem::path path, bool follow) {
  LogFollower follower(path);
  LogStreamReader reader;
  Batch batch;
  std::string bytes;
  bool stopped = false;
  for (;;) {
    std::uint64_t read;
    {
      std::lock_guard lock(mutex_);
      if (stop_) {
        stopped = true;
        break;
      }
      read = ++reads_;
    }
    const LogFollower::Result result = follower.Read(bytes, kChunkBytes);
    if (result == LogFollower::Result::Data) {
      reader.Feed(bytes, batch);
    } else if (result == LogFollower::Result::StartedOver) {
      store_.Clear();
      reader.Reset();
      batch.clear();
    } else if (!follow) {
      reader.Finish(batch);
    }
    store_.Add(batch);
    batch.clear();
    const bool atEnd = result == LogFollower::Result::NothingNew || result == LogFollower::Result::Missing;
    const bool notALog = reader.stats().lines == 0 && reader.stats().bytes >= kGiveUpBytes;
    {
      std::lock_guard lock(mutex_);
      status_.notALog = notALog;
      status_.done = follower.offset();
      status_.total = std::max(follower.size(), follower.offset());
      status_.stats = reader.stats();
      status_.missingError = result == LogFollower::Result::Missing ? follower.lastError() : 0;
      if (result == LogFollower::Result::StartedOver) ++status_.startedOver;
      if (atEnd) {
        status_.caughtUp = true;
        endReached_ = read;
      }
    }
    if (notALog) break;
    if (atEnd) {
      progress_.notify_all();
      if (!follow || !Idle()) break;
    }
  }
  {
    std::lock_guard lock(mutex_);
    status_.running = false;
    status_.stopped = stopped || stop_;
  }
  progress_.notify_all();
}

}  // namespace verdelo::trends
