#include "widgets/paint_pacer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace verdelo {

PaintPacer::PaintPacer(QWidget* window) : QObject(window), window_(window) {
  late_.setSingleShot(true);
  late_.setTimerType(Qt::PreciseTimer);
  connect(&late_, &QTimer::timeout, this, &PaintPacer::PaintHeldBack);
  if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance(thread()))
    connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      if (late_.isActive() && Due()) PaintHeldBack();
    });
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
  // A paint held back is one whose timer runs.
  if (late_.isActive()) return true;
  if (Due()) {
    sincePaint_.start();
    return false;
  }
  late_.start(static_cast<int>(IntervalMs() - sincePaint_.elapsed()) + kLateMs);
  return true;
}

void PaintPacer::PaintHeldBack() {
  late_.stop();
  sincePaint_.start();
  QEvent paint(QEvent::UpdateRequest);
  passing_ = true;
  QCoreApplication::sendEvent(window_, &paint);
  passing_ = false;
}

}  // namespace verdelo
