#include "shell/app.h"

#include <signal.h>

#include <QDir>
#include <QTimer>

#include <cstdlib>
#include <iostream>

#include "console/config_file.h"
#include "shell/console_window/console_dlg.h"

namespace verdelo {

namespace {

// VERDELO_SNAPSHOT_DIR and VERDELO_RUN_SECONDS make a run without a screen
// useful: after that many seconds both windows are saved as PNG files there
// and the program ends.
void ScheduleSnapshots(CKelvoPCDlg& console) {
  const char* dir = std::getenv("VERDELO_SNAPSHOT_DIR");
  const char* seconds = std::getenv("VERDELO_RUN_SECONDS");
  if (seconds == nullptr) return;
  const int ms = std::max(0, std::atoi(seconds)) * 1000;
  QTimer::singleShot(ms, &console, [&console, dir] {
    if (dir != nullptr) {
      const QDir out(QString::fromLocal8Bit(dir));
      const QString consoleShot = out.filePath(QStringLiteral("verdelo-console.png"));
      const QString portShot = out.filePath(QStringLiteral("verdelo-port.png"));
      console.grab().save(consoleShot);
      console.portDialog().grab().save(portShot);
      std::cout << "screenshots: " << consoleShot.toStdString() << " " << portShot.toStdString();
      if (console.trendsShown()) {
        const QString trendsShot = out.filePath(QStringLiteral("verdelo-trends.png"));
        // The whole run, however long it was.
        console.trends().viewRange().ShowAll(console.trends().liveStore().TimeRange());
        console.trends().RefreshNow();
        console.trends().grab().save(trendsShot);
        std::cout << " " << trendsShot.toStdString();
      }
      std::cout << std::endl;
    }
    console.accept();
  });
}

}  // namespace

void IgnoreFileSizeSignal() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

CKelvoPCApp::CKelvoPCApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Verdelo"));
  // Wayland desktops match the window to its menu entry and icon by this.
  setDesktopFileName(QStringLiteral("org.example.verdelo"));
  setQuitOnLastWindowClosed(false);
}

int CKelvoPCApp::InitInstance() {
  CKelvoPCDlg console(ConsolePaths{std::filesystem::current_path(), LocateConfigFile()});
  console.OnInitDialog();
  ScheduleSnapshots(console);
  console.exec();
  return 0;
}

}  // namespace verdelo
