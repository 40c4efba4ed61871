#include "widgets/template_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>

#include "widgets/clickable_label.h"

namespace verdelo {

DialogUnits DialogUnits::ForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits{(width / 26 + 1) / 2, metrics.height()};
}

QFont DialogFont() {
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

QString WrapCaption(const QString& text, const QFont& font, int width) {
  const QFontMetrics metrics(font);
  QStringList lines;
  QString line;
  auto fits = [&](const QString& candidate) { return metrics.horizontalAdvance(candidate) <= width; };
  for (const QString& word : text.split(QLatin1Char(' '))) {
    const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
    if (fits(candidate)) {
      line = candidate;
      continue;
    }
    if (!line.isEmpty()) lines << line;
    line.clear();
    // A word wider than the control is broken where it reaches the edge.
    for (const QChar c : word) {
      if (!line.isEmpty() && !fits(line + c)) {
        lines << line;
        line.clear();
      }
      line += c;
    }
  }
  lines << line;
  return lines.join(QLatin1Char('\n'));
}

namespace {

QWidget* CreateDefault(const ControlTemplate& c, QWidget* parent) {
  const QString caption = QString::fromUtf8(c.caption);
  switch (c.kind) {
    case ControlKind::GroupBox:
      return new QGroupBox(caption, parent);
    case ControlKind::PushButton:
    case ControlKind::ColorButton:
      return new QPushButton(caption, parent);
    case ControlKind::DefaultPushButton: {
      auto* button = new QPushButton(caption, parent);
      button->setDefault(true);
      return button;
    }
    case ControlKind::CheckBox:
      return new QCheckBox(caption, parent);
    case ControlKind::Edit:
      return new QLineEdit(caption, parent);
    case ControlKind::Label: {
      auto* label = new QLabel(caption, parent);
      label->setWordWrap((c.flags & kNoWrap) == 0);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      // Its text, set with every answer, is never taken for markup (nor
      // looked at for it at each change).
      label->setTextFormat(Qt::PlainText);
      return label;
    }
    case ControlKind::ClickableLabel: {
      auto* label = new ClickableLabel(caption, parent);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::ComboBox: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(true);
      return combo;
    }
    case ControlKind::ListBox:
      return new QListWidget(parent);
  }
  return nullptr;
}

}  // namespace

std::map<int, QWidget*> BuildTemplateControls(QWidget* window, const DialogTemplate& dialog,
                                              const DialogUnits& units,
                                              const CustomControlFactory& custom) {
  std::map<int, QWidget*> byId;
  for (const ControlTemplate& c : dialog.controls) {
    QWidget* widget = custom ? custom(c, window) : nullptr;
    if (widget == nullptr) widget = CreateDefault(c, window);
    const QRect rect = units.Rect(c.x, c.y, c.width, c.height);
    // Placed and sized by the template for good: a fixed size also spares
    // the window a layout request each time a label's text changes.
    widget->move(rect.topLeft());
    widget->setFixedSize(rect.size());
    if (c.flags & kDisabled) widget->setEnabled(false);
    if (c.flags & kWrap) {
      if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        // Room left for the caption beside the tick box.
        box->setText(WrapCaption(box->text(), widget->font(), rect.width() - 20));
      } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(WrapCaption(button->text(), widget->font(), rect.width() - 4));
      }
    }
    widget->setObjectName(QStringLiteral("control_%1").arg(c.id));
    if (c.kind == ControlKind::GroupBox) widget->lower();
    if (c.id >= 0) byId[c.id] = widget;
  }
  return byId;
}

}  // namespace verdelo
