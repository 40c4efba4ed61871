#include "widgets/control_table.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "widgets/template_window.h"

namespace verdelo {

void ControlTable::Adopt(std::map<int, QWidget*> controls, const DialogTemplate& dialog) {
  controls_ = std::move(controls);
  wrapping_.clear();
  for (const ControlTemplate& c : dialog.controls)
    if ((c.flags & kWrap) && c.id >= 0) wrapping_[c.id] = c.caption;
}

QWidget* ControlTable::Widget(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void ControlTable::SetText(int id, std::string_view text) {
  QWidget* widget = Widget(id);
  const QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (label->text() != qtext) label->setText(qtext);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(qtext);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    const auto wraps = wrapping_.find(id);
    if (wraps != wrapping_.end() && qobject_cast<QCheckBox*>(widget)) {
      // A caption that wraps keeps wrapping when it changes.
      wraps->second = std::string(text);
      button->setText(WrapCaption(qtext, button->font(), button->width() - 20));
      return;
    }
    button->setText(qtext);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    group->setTitle(qtext);
  }
}

std::string ControlTable::Text(int id) const {
  QWidget* widget = Widget(id);
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text().toStdString();
  const auto wraps = wrapping_.find(id);
  if (wraps != wrapping_.end() && qobject_cast<QCheckBox*>(widget)) return wraps->second;
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title().toStdString();
  return {};
}

bool ControlTable::IsChecked(int id) const {
  auto* button = qobject_cast<QAbstractButton*>(Widget(id));
  return button != nullptr && button->isCheckable() && button->isChecked();
}

void ControlTable::SetChecked(int id, bool checked) {
  if (auto* button = qobject_cast<QAbstractButton*>(Widget(id))) button->setChecked(checked);
}

void ControlTable::SetEnabled(int id, bool enabled) {
  if (QWidget* widget = Widget(id)) widget->setEnabled(enabled);
}

}  // namespace verdelo
