#include "service/event_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>

namespace verdelo {

namespace {

sigset_t SetOf(const std::vector<int>& signals) {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : signals) sigaddset(&set, signal);
  return set;
}

void AddToEpoll(int epoll, int fd) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = fd;
  ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

}  // namespace

void EventLoop::BlockSignals(const std::vector<int>& signals) {
  const sigset_t set = SetOf(signals);
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

EventLoop::EventLoop(const std::vector<int>& signals) {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  AddToEpoll(epoll_, wake_);
  if (!signals.empty()) {
    const sigset_t set = SetOf(signals);
    signals_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    AddToEpoll(epoll_, signals_);
  }
}

EventLoop::~EventLoop() {
  for (auto& [key, timer] : timers_) ::close(timer.fd);
  for (int fd : {signals_, wake_, epoll_})
    if (fd >= 0) ::close(fd);
}

void EventLoop::StartTimer(int key, std::chrono::milliseconds period, bool repeat,
                           std::function<void()> fired) {
  Timer& timer = timers_[key];
  if (timer.fd < 0) {
    timer.fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    AddToEpoll(epoll_, timer.fd);
  }
  const auto ms = std::max<std::int64_t>(period.count(), 1);
  const timespec span{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  itimerspec when{};
  when.it_value = span;
  if (repeat) when.it_interval = span;
  ::timerfd_settime(timer.fd, 0, &when, nullptr);
  timer.running = true;
  timer.repeat = repeat;
  timer.fired = std::move(fired);
}

void EventLoop::StopTimer(int key) {
  const auto it = timers_.find(key);
  if (it == timers_.end() || !it->second.running) return;
  const itimerspec off{};
  ::timerfd_settime(it->second.fd, 0, &off, nullptr);
  it->second.running = false;
}

bool EventLoop::IsTimerRunning(int key) const {
  const auto it = timers_.find(key);
  return it != timers_.end() && it->second.running;
}

void EventLoop::Watch(int fd, std::function<void()> readable) {
  if (watches_.count(fd) == 0) AddToEpoll(epoll_, fd);
  watches_[fd] = std::move(readable);
}

void EventLoop::Unwatch(int fd) {
  if (watches_.erase(fd) != 0) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

void EventLoop::Post(std::function<void()> task) {
  {
    const std::lock_guard<std::mutex> hold(postedLock_);
    posted_.push_back(std::move(task));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void EventLoop::RunPosted() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(wake_, &count, sizeof count);
  std::deque<std::function<void()>> tasks;
  {
    const std::lock_guard<std::mutex> hold(postedLock_);
    tasks.swap(posted_);
  }
  for (auto& task : tasks) {
    if (quit_) return;
    task();
  }
}

bool EventLoop::Run() {
  quit_ = false;
  epoll_event events[16];
  while (!quit_) {
    const int count = ::epoll_wait(epoll_, events, 16, -1);
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (int i = 0; i < count && !quit_; ++i) {
      const int fd = events[i].data.fd;
      if (fd == wake_) {
        RunPosted();
      } else if (fd == signals_) {
        signalfd_siginfo info{};
        while (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
          if (onSignal_) onSignal_(static_cast<int>(info.ssi_signo));
      } else if (const auto watch = watches_.find(fd); watch != watches_.end()) {
        const auto readable = watch->second;  // it may unwatch itself
        readable();
      } else {
        for (auto& [key, timer] : timers_) {
          if (timer.fd != fd) continue;
          std::uint64_t expirations = 0;
          if (::read(fd, &expirations, sizeof expirations) <= 0 || !timer.running) break;
          if (!timer.repeat) timer.running = false;
          const auto fired = timer.fired;  // it may start this timer again
          fired();
          break;
        }
      }
    }
  }
  return true;
}

}  // namespace verdelo
