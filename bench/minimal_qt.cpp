// The smallest Qt Widgets program worth comparing with: one dialog with a
// few buttons, shown. Prints "shown" once the dialog is up.
//
//   minimal_qt                 exits 300 ms after showing
//   minimal_qt --idle SECONDS  stays up that long with one 1 s timer running
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  int idleSeconds = -1;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--idle") == 0) idleSeconds = std::atoi(argv[i + 1]);

  QApplication app(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("Minimal"));
  auto* layout = new QHBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("Value :  123"), &dialog));
  for (const char* caption : {"Open", "Close", "Send", "OK"})
    layout->addWidget(new QPushButton(QString::fromLatin1(caption), &dialog));
  dialog.show();
  QTimer::singleShot(0, [] {
    std::printf("shown\n");
    std::fflush(stdout);
  });

  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  if (idleSeconds >= 0) {
    QObject::connect(&tick, &QTimer::timeout, [] {});
    tick.start(1000);
    QTimer::singleShot(idleSeconds * 1000, &app, &QCoreApplication::quit);
  } else {
    QTimer::singleShot(300, &app, &QCoreApplication::quit);
  }
  return app.exec();
}
