// Paints a window at most once per refresh of its screen. Its widgets mark
// themselves for painting as often as they change (a label set 2,304 times a
// second by a flooded line), and Qt would paint the window each time its
// event loop came round, far more often than any screen shows. The pacer
// lets a window's paint through when a refresh has passed since the last
// one and holds the others back; one paint then shows everything that
// changed meanwhile. A change after a quiet spell is painted at once.
//
// A held-back paint is made when the event loop has handled what came in
// and is about to wait again, the moment least likely to keep the next
// input waiting; should nothing come in, a timer makes it a little after
// the refresh is due.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace verdelo {

class PaintPacer : public QObject {
 public:
  // Paces the top-level `window`, whose child it becomes.
  explicit PaintPacer(QWidget* window);

  // The time between two paints: one refresh of the window's screen (60 Hz
  // where the screen does not say).
  int IntervalMs() const;
  // How long after the refresh is due the timer makes a held-back paint.
  static constexpr int kLateMs = 3;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Due() const { return !sincePaint_.isValid() || sincePaint_.elapsed() >= IntervalMs(); }
  void PaintHeldBack();

  QWidget* window_;
  QElapsedTimer sincePaint_;
  QTimer late_;
  bool passing_ = false;  // the held-back paint, sent by this pacer
};

}  // namespace verdelo
