// The link supervisor's time, thread and descriptor watches, as Qt gives
// them: two single-shot QTimers, QSocketNotifiers, and tasks queued to this
// object, so they run on its thread and die with it. The line's own
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
  void WatchReadable(Watch watch, int fd) override;
  void Post(std::function<void()> task) override;
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }

 private:
  static int Index(Timer timer) { return timer == Timer::Retry ? 0 : 1; }

  LinkSupervisor* supervisor_ = nullptr;
  QTimer timers_[2];
  QSocketNotifier* notifiers_[2] = {};  // Device, Line
};

}  // namespace verdelo
