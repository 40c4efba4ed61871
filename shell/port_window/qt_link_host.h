// The link supervisor's time, thread and descriptor watches, as Qt gives
// them: two single-shot QTimers, QSocketNotifiers, and tasks posted as events
// to this object, so they run on its thread and die with it. The line's own
// events are read here too, on the window's thread as they arrive: no
// listener thread to wake and hand each batch of bytes over.
#pragma once

#include <QObject>
#include <QTimer>

#include "link/link_supervisor.h"

class QSocketNotifier;

namespace verdelo {

class QtLinkHost : public QObject, public ILinkHost {
 public:
  QtLinkHost();
  // The supervisor told of timers and a readable descriptor.
  void Attach(LinkSupervisor* supervisor) { supervisor_ = supervisor; }

  void StartTimer(Timer timer, int ms) override { timers_[Index(timer)].start(ms); }
  void StopTimer(Timer timer) override { timers_[Index(timer)].stop(); }
  void WatchReadable(int fd) override { Watch(readable_, fd, &LinkSupervisor::OnReadable); }
  bool ReadsLineEvents() const override { return true; }
  void WatchLineEvents(int fd) override { Watch(lineEvents_, fd, &LinkSupervisor::OnLineEvent); }
  void Post(std::function<void()> task) override;
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }

 protected:
  bool event(QEvent* event) override;

 private:
  static int Index(Timer timer) { return timer == Timer::Retry ? 0 : 1; }
  // Replaces the notifier in `slot` by one that calls `handler` while `fd`
  // (-1: none) is readable.
  void Watch(QSocketNotifier*& slot, int fd, void (LinkSupervisor::*handler)());

  LinkSupervisor* supervisor_ = nullptr;
  QTimer timers_[2];
  QSocketNotifier* readable_ = nullptr;
  QSocketNotifier* lineEvents_ = nullptr;
};

}  // namespace verdelo
