// The way a Qt program usually reads a serial line, for the flood figure's
// third baseline: a QSerialPort on the window's thread; each readyRead
// reads everything there is, cuts it into frames and shows each frame's
// value in a label. Frames are cut by the console's own FrameAssembler:
// wait for a start byte, then take the next four bytes whatever they are.
#pragma once

#include <QObject>
#include <QSerialPort>

#include "console/mower_frame.h"

class QLabel;

namespace verdelo::bench {

class QtSerialReader : public QObject {
 public:
  // `label` shows each frame's value; it must outlive the reader.
  explicit QtSerialReader(QLabel& label);
  // Opens the device read-write, 115200 baud 8N1, no flow control.
  bool Open(const QString& device);
  QString ErrorText() const { return port_.errorString(); }
  bool Send(const MowerFrame& frame);

  long notifications = 0;  // readyRead signals handled
  long bytes = 0;
  long frames = 0;
  long skipped = 0;  // bytes dropped while waiting for a start byte

 private:
  void OnReadyRead();

  QSerialPort port_;
  QLabel& label_;
  FrameAssembler assembler_;
};

}  // namespace verdelo::bench
