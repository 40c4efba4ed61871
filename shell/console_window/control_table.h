// The console's controls addressed by identifier, over the Qt widgets of a
// window built from its template.
#pragma once

#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include "console/host.h"
#include "res/dialog_template.h"

namespace verdelo {

class ControlTable : public IControls {
 public:
  // Takes the controls built from `dialog`.
  void Adopt(const std::map<int, QWidget*>& controls, const DialogTemplate& dialog);
  QWidget* Widget(int id) const { return Find(id).widget; }

  void SetText(int id, std::string_view text) override;
  std::string Text(int id) const override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  void SetEnabled(int id, bool enabled) override;

 private:
  // What a control's text means; found once, since the decoder sets texts
  // and reads check boxes for every answer.
  enum class Kind { None, Label, Edit, WrappingCheckBox, Button, Group, Other };
  struct Entry {
    QWidget* widget = nullptr;
    Kind kind = Kind::None;
  };
  const Entry& Find(int id) const;

  // Indexed by identifier: the identifiers are a few small numbers.
  std::vector<Entry> entries_;
  // Captions of controls that wrap, as set, before the line breaks.
  std::map<int, std::string> wrapping_;
};

}  // namespace verdelo
