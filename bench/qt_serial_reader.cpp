#include "bench/qt_serial_reader.h"

#include <QByteArray>
#include <QLabel>

namespace verdelo::bench {

QtSerialReader::QtSerialReader(QLabel& label) : label_(label) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialReader::OnReadyRead);
}

bool QtSerialReader::Open(const QString& device) {
  port_.setPortName(device);
  port_.setBaudRate(QSerialPort::Baud115200);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  return port_.open(QIODevice::ReadWrite);
}

bool QtSerialReader::Send(const MowerFrame& frame) {
  const auto size = static_cast<qint64>(frame.size());
  const bool queued = port_.write(reinterpret_cast<const char*>(frame.data()), size) == size;
  port_.flush();  // now, not when the event loop next runs
  return queued;
}

void QtSerialReader::OnReadyRead() {
  ++notifications;
  const QByteArray received = port_.readAll();
  bytes += received.size();
  for (const char byte : received) {
    if (assembler_.Push(static_cast<std::uint8_t>(byte))) {
      ++frames;
      label_.setText(QString::number(AnswerValueOf(assembler_.frame())));
    } else if (assembler_.received() == 0) {
      ++skipped;  // not a start byte, and no frame under way
    }
  }
}

}  // namespace verdelo::bench
