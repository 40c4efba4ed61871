// The port as the Qt program uses it: notifications arrive at a QObject (the
// port window) as CComLineNotifyEvent, posted with QCoreApplication::postEvent,
// which is safe from the listener thread.
#pragma once

#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <string>

#include "serial/notifying_com_line.h"

namespace verdelo {

// One port event. type() is the message number given to Open, by default
// CDialogComLine::NotifyEventType(). An event can still be queued when its
// line has been closed and opened again, so it carries the number of the
// open it came from (CComLine::OpenNumber()): a receiver drops those of an
// earlier open.
class CComLineNotifyEvent : public QEvent {
 public:
  CComLineNotifyEvent(QEvent::Type type, uint32_t param1, intptr_t param2, uint32_t openNumber = 0)
      : QEvent(type), param1_(param1), param2_(param2), openNumber_(openNumber) {}

  uint32_t Param1() const { return param1_; }
  intptr_t Param2() const { return param2_; }
  uint32_t OpenNumber() const { return openNumber_; }
  uint32_t Events() const { return param1_ & 0xFFFFu; }
  uint32_t LineErrors() const { return param1_ >> 16; }
  // The last notification of a line that is gone: the receiver should close.
  bool IsDeviceLost() const { return (LineErrors() & kLineErrorDeviceLost) != 0; }

 private:
  uint32_t param1_;
  intptr_t param2_;
  uint32_t openNumber_;
};

class CDialogComLine : public CNotifyingComLine {
 public:
  // The process-wide event type of port notifications, registered with Qt on
  // first use.
  static QEvent::Type NotifyEventType();

  ~CDialogComLine() override;

  using CNotifyingComLine::Open;
  // Opens the port and posts its notifications to `window` (none when null),
  // with event type `message` (0: NotifyEventType()), second parameter
  // `value` and the number of this open.
  virtual int32_t Open(const std::string& deviceName, QObject* window, uint32_t message,
                       intptr_t value, uint32_t inputQueue, uint32_t outputQueue);

 private:
  class EventPoster : public INotifyTarget {
   public:
    explicit EventPoster(const CComLine& line) : line_(line) {}
    void PostNotify(uint32_t message, uint32_t param1, intptr_t param2) override;
    std::atomic<QObject*> receiver{nullptr};

   private:
    const CComLine& line_;
  };
  EventPoster poster_{*this};
};

}  // namespace verdelo
