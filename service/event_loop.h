// The service's one thread of work: epoll over timer descriptors, watched
// descriptors, signals and a queue other threads post to. Every callback
// runs on the thread that called Run(), one at a time.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace verdelo {

class EventLoop {
 public:
  // Takes `signals` (SIGTERM, SIGHUP, ...) through a signal descriptor;
  // they must be blocked in every thread before any other thread starts
  // (BlockSignals), or the kernel may hand them to another thread.
  explicit EventLoop(const std::vector<int>& signals);
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  static void BlockSignals(const std::vector<int>& signals);

  // Whatever key the owner picks; starting a running timer starts it again.
  // A repeating timer that fell behind fires once, not once per period lost.
  void StartTimer(int key, std::chrono::milliseconds period, bool repeat, std::function<void()> fired);
  void StopTimer(int key);
  bool IsTimerRunning(int key) const;
  // Calls `readable` while `fd` is readable; Unwatch before closing `fd`.
  void Watch(int fd, std::function<void()> readable);
  void Unwatch(int fd);
  void OnSignal(std::function<void(int signal)> handler) { onSignal_ = std::move(handler); }
  // Safe from any thread: runs `task` on the loop's thread soon.
  void Post(std::function<void()> task);

  // Runs until Quit; false when the loop itself failed.
  bool Run();
  void Quit() { quit_ = true; }

 private:
  struct Timer {
    int fd = -1;
    bool running = false;
    bool repeat = false;
    std::function<void()> fired;
  };
  void RunPosted();

  int epoll_ = -1;
  int wake_ = -1;     // eventfd: posted tasks are waiting
  int signals_ = -1;  // signalfd
  std::map<int, Timer> timers_;
  std::map<int, std::function<void()>> watches_;
  std::function<void(int)> onSignal_;
  std::mutex postedLock_;
  std::deque<std::function<void()>> posted_;
  bool quit_ = false;
};

}  // namespace verdelo
