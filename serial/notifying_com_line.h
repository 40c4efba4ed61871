// A listening port that posts each port event as a message to a target.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "serial/listening_com_line.h"
#include "serial/notify_target.h"

namespace verdelo {

class CNotifyingComLine : public CListeningComLine {
 public:
  // Message number of notifications when Open is given 0.
  static constexpr uint32_t kDefaultNotifyMessage = 0xC000;

  ~CNotifyingComLine() override;

  using CListeningComLine::Open;
  // Opens the port for overlapped use and starts the listener, which posts
  // `message` (0: kDefaultNotifyMessage) with `value` as second parameter
  // to `target` for each event. A null target gets nothing.
  virtual int32_t Open(const std::string& deviceName, INotifyTarget* target, uint32_t message,
                       intptr_t value, uint32_t inputQueue, uint32_t outputQueue);
  // Forgets the target first, so no notification is posted once Close has
  // begun; the notification value is kept.
  int32_t Close() override;

  // First notification parameter: errors in the high half, events in the low.
  static uint32_t PackNotifyParam(uint32_t events, uint32_t errors) {
    return ((errors & 0xFFFFu) << 16) | (events & 0xFFFFu);
  }

 protected:
  void OnPortEvent(uint32_t events, uint32_t errors) override;

 private:
  std::atomic<INotifyTarget*> targetWindow_{nullptr};
  std::atomic<uint32_t> notifyMessage_{0};
  intptr_t notifyParam_ = 0;
};

}  // namespace verdelo
