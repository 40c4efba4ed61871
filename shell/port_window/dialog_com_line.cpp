#include "shell/port_window/dialog_com_line.h"

#include <QCoreApplication>

namespace verdelo {

QEvent::Type CDialogComLine::NotifyEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// The poster is a member: the listener must be gone before it is.
CDialogComLine::~CDialogComLine() {
  if (HasListener()) CNotifyingComLine::Close();
}

int32_t CDialogComLine::Open(const std::string& deviceName, QObject* window, uint32_t message,
                             intptr_t value, uint32_t inputQueue, uint32_t outputQueue) {
  if (IsOpen()) return SetError(ERROR_ALREADY_INITIALIZED);  // keep the running line's receiver
  poster_.receiver = window;
  const uint32_t type = message != 0 ? message : static_cast<uint32_t>(NotifyEventType());
  return CNotifyingComLine::Open(deviceName, window ? &poster_ : nullptr, type, value, inputQueue,
                                 outputQueue);
}

// Runs on the listener thread. The line cannot be opened again before its
// listener has been joined, so the open number read here is the listener's.
void CDialogComLine::EventPoster::PostNotify(uint32_t message, uint32_t param1, intptr_t param2) {
  if (QObject* target = receiver.load())
    QCoreApplication::postEvent(target, new CComLineNotifyEvent(static_cast<QEvent::Type>(message),
                                                                param1, param2, line_.OpenNumber()));
}

}  // namespace verdelo
