// The About box: the program's name and icon, shown as a splash at start
// and from the console window's menu.
#pragma once

#include <QDialog>

namespace verdelo {

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace verdelo
