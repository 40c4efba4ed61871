#include "shell/port_window/qt_link_host.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace verdelo {

namespace {

class TaskEvent : public QEvent {
 public:
  explicit TaskEvent(std::function<void()> task) : QEvent(QtLinkHost::TaskEventType()), task(std::move(task)) {}
  const std::function<void()> task;
};

}  // namespace

QEvent::Type QtLinkHost::TaskEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QtLinkHost::QtLinkHost() {
  for (const Timer timer : {Timer::Retry, Timer::WatchLook}) {
    QTimer& t = timers_[Index(timer)];
    t.setSingleShot(true);
    connect(&t, &QTimer::timeout, this, [this, timer] {
      if (supervisor_ != nullptr) supervisor_->OnTimer(timer);
    });
  }
}

void QtLinkHost::WatchReadable(int fd) {
  delete notifier_;
  notifier_ = nullptr;
  if (fd < 0) return;
  notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    if (supervisor_ != nullptr) supervisor_->OnReadable();
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
