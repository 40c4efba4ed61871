#include "widgets/paint_pacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace verdelo {

PaintPacer::PaintPacer(QWidget* window) : QObject(window), window_(window) {
  due_.setSingleShot(true);
  due_.setTimerType(Qt::PreciseTimer);
  connect(&due_, &QTimer::timeout, this, &PaintPacer::PaintNow);
  window_->installEventFilter(this);
}

int PaintPacer::IntervalMs() const {
  const QScreen* screen = window_->screen();
  const double hz = screen != nullptr && screen->refreshRate() >= 1 ? screen->refreshRate() : 60.0;
  return std::max(1, static_cast<int>(std::floor(1000.0 / hz)));
}

// Qt asks a window to paint what changed with one UpdateRequest, and asks no
// more until that one was handled: one held back gathers every later change.
bool PaintPacer::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_ || event->type() != QEvent::UpdateRequest || passing_) return false;
  if (due_.isActive()) return true;
  const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : -1;
  const int interval = IntervalMs();
  if (since < 0 || since >= interval) {
    sincePaint_.start();
    return false;
  }
  due_.start(static_cast<int>(interval - since));
  return true;
}

void PaintPacer::PaintNow() {
  sincePaint_.start();
  QEvent paint(QEvent::UpdateRequest);
  passing_ = true;
  QCoreApplication::sendEvent(window_, &paint);
  passing_ = false;
}

}  // namespace verdelo
