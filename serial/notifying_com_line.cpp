#include "serial/notifying_com_line.h"

namespace verdelo {

CNotifyingComLine::~CNotifyingComLine() {
  if (HasListener()) CNotifyingComLine::Close();
}

int32_t CNotifyingComLine::Open(const std::string& deviceName, INotifyTarget* target,
                                uint32_t message, intptr_t value, uint32_t inputQueue,
                                uint32_t outputQueue) {
  if (int32_t err = CListeningComLine::Open(deviceName, inputQueue, outputQueue, false)) return err;
  targetWindow_ = target;
  notifyMessage_ = message != 0 ? message : kDefaultNotifyMessage;
  notifyParam_ = value;
  if (int32_t err = StartListening()) {
    Close();
    return SetError(err);
  }
  return SetError(0);
}

int32_t CNotifyingComLine::Close() {
  targetWindow_ = nullptr;
  notifyMessage_ = 0;
  return CListeningComLine::Close();
}

void CNotifyingComLine::OnPortEvent(uint32_t events, uint32_t errors) {
  INotifyTarget* target = targetWindow_.load();
  if (target == nullptr) return;
  target->PostNotify(notifyMessage_.load(), PackNotifyParam(events, errors), notifyParam_);
}

}  // namespace verdelo
