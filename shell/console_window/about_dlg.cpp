#include "shell/console_window/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "res/app_icon.h"
#include "res/dialog_template.h"
#include "widgets/template_window.h"

namespace verdelo {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  const DialogTemplate& dialog = AboutBoxTemplate();
  setWindowTitle(QString::fromUtf8(dialog.caption));
  setWindowIcon(AppIcon());
  setFont(DialogFont());
  const DialogUnits units = DialogUnits::ForFont(font());
  BuildTemplateControls(this, dialog, units, [&units](const ControlTemplate& c, QWidget* p) -> QWidget* {
    if (c.x != 11 || c.y != 17) return nullptr;
    auto* icon = new QLabel(p);  // icon 128
    icon->setPixmap(AppIconPixmap(std::min(units.X(c.width), units.Y(c.height))));
    return icon;
  });
  for (QLabel* label : findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
  if (auto* ok = findChild<QPushButton*>(QStringLiteral("control_%1").arg(IDOK)))
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  setFixedSize(units.X(dialog.width), units.Y(dialog.height));
}

}  // namespace verdelo
