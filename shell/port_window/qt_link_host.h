// The link supervisor's time, thread and descriptor watch, as Qt gives them:
// two single-shot QTimers, a QSocketNotifier, and tasks posted as events to
// this object, so they run on its thread and die with it.
#pragma once

#include <QEvent>
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
  void WatchReadable(int fd) override;
  void Post(std::function<void()> task) override;
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  // The event that carries a posted task: the line's notifications above all.
  static QEvent::Type TaskEventType();

 protected:
  bool event(QEvent* event) override;

 private:
  static int Index(Timer timer) { return timer == Timer::Retry ? 0 : 1; }

  LinkSupervisor* supervisor_ = nullptr;
  QTimer timers_[2];
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace verdelo
