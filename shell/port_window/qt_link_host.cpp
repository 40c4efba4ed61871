#include "shell/port_window/qt_link_host.h"

#include <QSocketNotifier>

namespace verdelo {

QtLinkHost::QtLinkHost() {
  for (const Timer timer : {Timer::Retry, Timer::WatchLook}) {
    QTimer& t = timers_[Index(timer)];
    t.setSingleShot(true);
    connect(&t, &QTimer::timeout, this, [this, timer] {
      if (supervisor_ != nullptr) supervisor_->OnTimer(timer);
    });
  }
}

void QtLinkHost::WatchReadable(Watch watch, int fd) {
  QSocketNotifier*& notifier = notifiers_[watch == Watch::Line];
  delete notifier;
  notifier = nullptr;
  if (fd < 0) return;
  notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this, watch] {
    if (supervisor_ != nullptr) supervisor_->OnReadable(watch);
  });
}

void QtLinkHost::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace verdelo
