// A label that reports clicks and double clicks. A double click reports its
// first click too, as the press that starts it arrives first.
#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace verdelo {

class ClickableLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void clicked();
  void doubleClicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) emit clicked();
    QLabel::mousePressEvent(event);
  }
  // Not passed on: the base would take the double click for another press.
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
    event->accept();
  }
};

}  // namespace verdelo
