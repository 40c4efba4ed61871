// A notification target that keeps what it is sent, for tests on the
// listener, and a notifying line that counts its listener's event waits so a
// test can tell when the listener has gone round its loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "serial/notifying_com_line.h"

namespace verdelo::test {

struct Notification {
  uint32_t message;
  uint32_t param1;
  intptr_t param2;
};

class NotifyRecorder : public INotifyTarget {
 public:
  void PostNotify(uint32_t message, uint32_t param1, intptr_t param2) override {
    std::lock_guard lock(mutex_);
    received_.push_back({message, param1, param2});
    changed_.notify_all();
  }

  // Waits up to timeoutMs until at least `count` notifications came.
  bool WaitFor(size_t count, int timeoutMs = 2000) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return received_.size() >= count; });
  }

  std::vector<Notification> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

  size_t Count() {
    std::lock_guard lock(mutex_);
    return received_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Notification> received_;
};

class CountingLine : public CNotifyingComLine {
 public:
  ~CountingLine() override {
    if (HasListener()) CNotifyingComLine::Close();
  }

  int32_t WaitForEvent(CompletionRecord* record, uint32_t timeoutMs) override {
    {
      std::lock_guard lock(mutex_);
      ++waitsBegun_;
      changed_.notify_all();
    }
    return CNotifyingComLine::WaitForEvent(record, timeoutMs);
  }

  // Waits until the listener has begun its `count`th event wait, i.e. has
  // finished handling everything before it.
  bool WaitForWaitsBegun(int count, int timeoutMs = 2000) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return waitsBegun_ >= count; });
  }

  int WaitsBegun() {
    std::lock_guard lock(mutex_);
    return waitsBegun_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int waitsBegun_ = 0;
};

}  // namespace verdelo::test
