#include "shell/port_window/qt_link_host.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace verdelo {

namespace {

QEvent::Type TaskEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

class TaskEvent : public QEvent {
 public:
  explicit TaskEvent(std::function<void()> task) : QEvent(TaskEventType()), task(std::move(task)) {}
  const std::function<void()> task;
};

}  // namespace

QtLinkHost::QtLinkHost() {
  for (const Timer timer : {Timer::Retry, Timer::WatchLook}) {
    QTimer& t = timers_[Index(timer)];
    t.setSingleShot(true);
    connect(&t, &QTimer::timeout, this, [this, timer] {
      if (supervisor_ != nullptr) supervisor_->OnTimer(timer);
    });
  }
}

void QtLinkHost::Watch(QSocketNotifier*& slot, int fd, void (LinkSupervisor::*handler)()) {
  delete slot;
  slot = nullptr;
  if (fd < 0) return;
  slot = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(slot, &QSocketNotifier::activated, this, [this, handler] {
    if (supervisor_ != nullptr) (supervisor_->*handler)();
  });
}

void QtLinkHost::Post(std::function<void()> task) {
  QCoreApplication::postEvent(this, new TaskEvent(std::move(task)));
}

bool QtLinkHost::event(QEvent* event) {
  if (event->type() != TaskEventType()) return QObject::event(event);
  static_cast<TaskEvent*>(event)->task();
  return true;
}

}  // namespace verdelo
