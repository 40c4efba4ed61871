// The console window in this process on a line of the test's choosing, with
// a guard that closes any message box (a box would wait for a click that
// never comes) and remembers what it said.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/console_window/console_dlg.h"
#include "tests/support/qt_wait.h"

namespace verdelo::test {

class MessageBoxGuard {
 public:
  MessageBoxGuard() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        auto* message = qobject_cast<QMessageBox*>(box);
        texts_.push_back(message ? message->text().toStdString() : "a modal window");
        box->close();
      }
    });
    timer_.start(20);
  }
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  QTimer timer_;
  std::vector<std::string> texts_;
};

// Starts a console window with its configuration in `configFile`, its files
// in `workDir`, polling every `pollMs` ms, port COM1 = `device`, opened at
// start.
inline std::unique_ptr<CKelvoPCDlg> StartConsoleWindow(const std::filesystem::path& workDir,
                                                       const std::filesystem::path& configFile,
                                                       const std::string& device, int pollMs,
                                                       const std::vector<std::string>& extra = {}) {
  std::vector<std::string> lines{"[NO_SPLASH_DIALOG]", "[COM1]" + device, "[COMPORT_AUTO_OPEN]1",
                                 "[SCHEDULER_TIMER]" + std::to_string(pollMs)};
  lines.insert(lines.end(), extra.begin(), extra.end());
  WriteCrLfLines(configFile, lines);
  auto window = std::make_unique<CKelvoPCDlg>(ConsolePaths{workDir, configFile});
  window->OnInitDialog();
  window->show();
  return window;
}

inline QLabel* PortStatusLabel(CKelvoPCDlg& window) {
  return qobject_cast<QLabel*>(window.portDialog().Control(1006));
}

}  // namespace verdelo::test
