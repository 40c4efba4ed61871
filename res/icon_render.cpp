// verdelo-icon-render: draws the program's icon at each size asked for and
// saves it as a PNG file, so that the icons the desktop shows are drawn by
// the same code as the windows' icon and cannot drift from it. The build
// runs it on Qt's offscreen platform; it needs no display.
//
//   verdelo-icon-render FOLDER NAME SIZE...
//
// writes FOLDER/SIZExSIZE/apps/NAME.png for each SIZE (1 to 1024 pixels),
// the layout of a hicolor icon theme.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include "res/app_icon.h"

namespace {

// Qt's offscreen platform notes a missing XDG_RUNTIME_DIR (a build as
// root, a container), which means nothing for drawing into memory; every
// other message goes on to the build's log.
void PassMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  QTextStream(stderr) << qFormatLogMessage(type, context, message) << '\n';
}

int Fail(const QString& message) {
  QTextStream(stderr) << "verdelo-icon-render: " << message << '\n';
  return message.startsWith(QLatin1String("usage")) ? 2 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A build step must not reach for a display, whatever the shell has set.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(PassMessage);
  const QGuiApplication app(argc, argv);
  const QStringList arguments = QGuiApplication::arguments();
  if (arguments.size() < 4) return Fail(QStringLiteral("usage: verdelo-icon-render FOLDER NAME SIZE..."));
  const QString folder = arguments[1];
  const QString name = arguments[2];
  if (name.isEmpty() || name.contains(QLatin1Char('/')))
    return Fail(QStringLiteral("the icon name \"%1\" is not a file name").arg(name));

  for (qsizetype i = 3; i < arguments.size(); ++i) {
    bool number = false;
    const int size = arguments[i].toInt(&number);
    if (!number || size < 1 || size > 1024)
      return Fail(QStringLiteral("\"%1\" is not a size from 1 to 1024").arg(arguments[i]));
    // A QImage of exactly size x size pixels, whatever scale the platform
    // would give a pixmap.
    const QImage image = verdelo::AppIconPixmap(size).toImage();
    if (image.width() != size || image.height() != size)
      return Fail(QStringLiteral("the icon came out %1x%2 pixels instead of %3x%3")
                      .arg(image.width())
                      .arg(image.height())
                      .arg(size));
    const QString subfolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
    if (!QDir().mkpath(subfolder)) return Fail(QStringLiteral("cannot make %1").arg(subfolder));
    const QString file = subfolder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!image.save(file, "PNG")) return Fail(QStringLiteral("cannot write %1").arg(file));
  }
  return 0;
}
