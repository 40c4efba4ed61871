// The third baseline of the flood: the line read the way a Qt program
// usually reads one, with Qt's own serial port class.
//
//   qt_serial_baseline flood --mower PATH [--seconds 30] [--fps 2304] [--voltage]
//       verdelo-mower floods the line; a QSerialPort opened on it on the
//       main thread reads everything there is on each readyRead, cuts it
//       into frames and sets each frame's value as the text of a label in a
//       shown (offscreen) window. Measures the process's CPU time and
//       wake-ups per 1000 frames, as console_harness and line_baseline do,
//       and counts the frames against the mower's trace. --voltage floods
//       battery-voltage answers, each with a new value, so every frame
//       changes the label's text.
#include <stdlib.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <iostream>

#include "bench/bench_util.h"
#include "bench/qt_main.h"
#include "bench/qt_serial_reader.h"
#include "console/mower_frame.h"

namespace verdelo::bench {
namespace {

// Runs the event loop for `ms`, or until `done` holds (checked every 10 ms).
template <typename Done>
void RunEvents(int ms, Done done) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start(10);
  loop.exec();
}
void RunEvents(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

int Flood(const Args& args) {
  TracedFlood flood(args, 30);
  MowerChild& mower = flood.mower;
  if (!mower.ok()) {
    std::cerr << "qt_serial_baseline: the mower did not start\n";
    return 1;
  }

  QWidget window;
  window.setWindowTitle(QStringLiteral("Line"));
  auto* layout = new QVBoxLayout(&window);
  auto* value = new QLabel(QStringLiteral("-"), &window);
  value->setMinimumWidth(120);
  layout->addWidget(value);
  window.show();
  QtSerialReader reader(*value);
  if (!reader.Open(QString::fromStdString(mower.device()))) {
    std::cerr << "qt_serial_baseline: cannot open " << mower.device() << ": "
              << reader.ErrorText().toStdString() << "\n";
    return 1;
  }
  // One request answered: the line is up both ways.
  reader.Send(BuildRequest(CMD_READ_STATUS, 0));
  RunEvents(5000, [&] { return reader.frames >= 1; });

  const std::string reply = flood.Start();
  const long frames0 = reader.frames;
  const long notifications0 = reader.notifications;
  MeasuringWindow measuring;
  measuring.Begin();
  RunEvents(static_cast<int>(flood.seconds * 1000) + 50);
  measuring.End();
  const long windowFrames = reader.frames - frames0;
  const long windowNotifications = reader.notifications - notifications0;

  // The tail, then the mower stops and what it sent last is taken in.
  RunEvents(300);
  mower.Stop();
  RunEvents(300);
  const TracedFrames sent = CountTracedFrames(flood.trace);
  std::cout << "DETAIL|mower said '" << reply << "'; " << windowFrames << " frames in "
            << Fixed(measuring.WallMs() / 1000, 1) << " s, CPU " << Fixed(measuring.CpuMs(), 0) << " ms = "
            << Fixed(measuring.CpuShare(), 2) << "% of a core, " << measuring.Threads().threads
            << " threads; mower sent " << sent.flood << " flood + " << sent.answers << " answer frames, read "
            << reader.frames << " frames (" << reader.bytes << " bytes), " << reader.skipped
            << " bytes skipped; label shows " << value->text().toStdString() << "\n";
  measuring.PrintRates(windowFrames, windowNotifications, "notification");
  std::cout << "VALUE|frames_sent|" << sent.total() << "\nVALUE|frames_counted|" << reader.frames
            << "\nVALUE|bytes_skipped|" << reader.skipped << "\nVALUE|flood_short|" << (flood.frames - sent.flood)
            << std::endl;
  return 0;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  return RunQtMode(argc, argv, "qt_serial_baseline", {{"flood", Flood}});
}
