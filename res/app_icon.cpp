#include "res/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace verdelo {

QPixmap AppIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // Lawn.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 150, 50));
  p.drawRoundedRect(QRectF(1, 22, 30, 9), 2, 2);
  p.setPen(QPen(QColor(30, 110, 30), 1));
  for (int x = 3; x < 30; x += 3) p.drawLine(QPointF(x, 22), QPointF(x + 1, 19));
  // Body.
  QPainterPath body;
  body.moveTo(5, 21);
  body.lineTo(8, 12);
  body.lineTo(24, 12);
  body.lineTo(28, 21);
  body.closeSubpath();
  p.setPen(QPen(QColor(20, 60, 20), 1));
  p.setBrush(QColor(150, 210, 60));
  p.drawPath(body);
  // Handle bar of the charging contacts.
  p.setBrush(QColor(40, 40, 40));
  p.drawRect(QRectF(13, 8, 6, 4));
  // Wheels.
  p.setBrush(QColor(30, 30, 30));
  p.drawEllipse(QPointF(9, 22), 3.5, 3.5);
  p.drawEllipse(QPointF(24, 22), 3.5, 3.5);
  p.setBrush(QColor(200, 200, 200));
  p.drawEllipse(QPointF(9, 22), 1.2, 1.2);
  p.drawEllipse(QPointF(24, 22), 1.2, 1.2);
  return pixmap;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(AppIconPixmap(size));
  return icon;
}

}  // namespace verdelo
