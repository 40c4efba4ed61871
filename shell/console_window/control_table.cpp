#include "shell/console_window/control_table.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "widgets/template_window.h"

namespace verdelo {

void ControlTable::Adopt(const std::map<int, QWidget*>& controls, const DialogTemplate& dialog) {
  wrapping_.clear();
  for (const ControlTemplate& c : dialog.controls)
    if ((c.flags & kWrap) && c.id >= 0) wrapping_[c.id] = c.caption;
  entries_.clear();
  for (const auto& [id, widget] : controls) {
    if (id < 0 || widget == nullptr) continue;
    if (static_cast<std::size_t>(id) >= entries_.size()) entries_.resize(id + 1);
    Kind kind = Kind::Other;
    if (qobject_cast<QLabel*>(widget)) {
      kind = Kind::Label;
    } else if (qobject_cast<QLineEdit*>(widget)) {
      kind = Kind::Edit;
    } else if (qobject_cast<QAbstractButton*>(widget)) {
      kind = wrapping_.count(id) && qobject_cast<QCheckBox*>(widget) ? Kind::WrappingCheckBox
                                                                     : Kind::Button;
    } else if (qobject_cast<QGroupBox*>(widget)) {
      kind = Kind::Group;
    }
    entries_[id] = {widget, kind};
  }
}

const ControlTable::Entry& ControlTable::Find(int id) const {
  static const Entry none;
  return id >= 0 && static_cast<std::size_t>(id) < entries_.size() ? entries_[id] : none;
}

void ControlTable::SetText(int id, std::string_view text) {
  const Entry& e = Find(id);
  if (e.kind == Kind::None || e.kind == Kind::Other) return;
  const QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  switch (e.kind) {
    case Kind::Label:  // returns at once when the text is the same
      static_cast<QLabel*>(e.widget)->setText(qtext);
      break;
    case Kind::Edit:
      static_cast<QLineEdit*>(e.widget)->setText(qtext);
      break;
    case Kind::WrappingCheckBox: {
      // A caption that wraps keeps wrapping when it changes.
      auto* box = static_cast<QAbstractButton*>(e.widget);
      wrapping_[id] = std::string(text);
      box->setText(WrapCaption(qtext, box->font(), box->width() - 20));
      break;
    }
    case Kind::Button:
      static_cast<QAbstractButton*>(e.widget)->setText(qtext);
      break;
    case Kind::Group:
      static_cast<QGroupBox*>(e.widget)->setTitle(qtext);
      break;
    default:
      break;
  }
}

std::string ControlTable::Text(int id) const {
  const Entry& e = Find(id);
  switch (e.kind) {
    case Kind::Label:
      return static_cast<QLabel*>(e.widget)->text().toStdString();
    case Kind::Edit:
      return static_cast<QLineEdit*>(e.widget)->text().toStdString();
    case Kind::WrappingCheckBox:
      return wrapping_.at(id);
    case Kind::Button:
      return static_cast<QAbstractButton*>(e.widget)->text().toStdString();
    case Kind::Group:
      return static_cast<QGroupBox*>(e.widget)->title().toStdString();
    default:
      return {};
  }
}

bool ControlTable::IsChecked(int id) const {
  const Entry& e = Find(id);
  if (e.kind != Kind::Button && e.kind != Kind::WrappingCheckBox) return false;
  auto* button = static_cast<QAbstractButton*>(e.widget);
  return button->isCheckable() && button->isChecked();
}

void ControlTable::SetChecked(int id, bool checked) {
  const Entry& e = Find(id);
  if (e.kind == Kind::Button || e.kind == Kind::WrappingCheckBox)
    static_cast<QAbstractButton*>(e.widget)->setChecked(checked);
}

void ControlTable::SetEnabled(int id, bool enabled) {
  if (QWidget* widget = Widget(id)) widget->setEnabled(enabled);
}

}  // namespace verdelo
